#include "export/Ledger.h"

#include "base/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

// The program that writes a ledger marks it, so that another SQLite file in its place is
// refused instead of being written into.
constexpr int ApplicationId = 0x42523332; // "BR32"
constexpr int SchemaVersion = 1;
// How long another program's write may hold the ledger before this one gives up.
constexpr int BusyTimeoutMs = 1500;
// The file's bytes are stored in parts, so that neither recording nor restoring a file of
// 300 000 lines holds it in memory.
constexpr qsizetype PartSize = 1 << 20;

const char *const Schema[] = {
    "CREATE TABLE delivery ("
    " id INTEGER PRIMARY KEY,"
    " time TEXT NOT NULL,"     // local time, ISO 8601 without zone
    " user TEXT NOT NULL,"     // the Windows user
    " computer TEXT NOT NULL," // the Windows computer name
    " list TEXT NOT NULL,"
    " lots TEXT NOT NULL," // a JSON array of the selected lots; [] for all lots
    " path TEXT NOT NULL," // the delivery file, absolute
    " lines INTEGER NOT NULL,"
    " volume INTEGER NOT NULL," // hundredths of a cubic metre
    " sha256 TEXT NOT NULL,"    // lower-case hex of the file's bytes
    " note TEXT NOT NULL)",     // the delivery note as HTML, as it was shown
    "CREATE INDEX delivery_by_path ON delivery (path)",
    "CREATE TABLE delivery_part ("
    " delivery INTEGER NOT NULL REFERENCES delivery (id),"
    " part INTEGER NOT NULL," // from 0; the parts in order are the file's bytes
    " bytes BLOB NOT NULL,"
    " PRIMARY KEY (delivery, part))",
    "CREATE TABLE delivered_log ("
    " delivery INTEGER NOT NULL REFERENCES delivery (id),"
    " id_log INTEGER NOT NULL," // LOGS.ID_LOG of the host
    " blnr TEXT NOT NULL)",     // the log number as delivered
    "CREATE INDEX delivered_log_by_log ON delivered_log (id_log, delivery)",
};

QString text(sqlite3_stmt *statement, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

QDateTime timeOf(const QString &iso)
{
    return QDateTime::fromString(iso, Qt::ISODate);
}

} // namespace

// One prepared statement, finalized with its scope.
class Ledger::Statement
{
public:
    Statement(sqlite3 *db, const char *sql)
    {
        m_code = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool ok() const { return m_code == SQLITE_OK || m_code == SQLITE_ROW || m_code == SQLITE_DONE; }
    int code() const { return m_code; }
    sqlite3_stmt *get() const { return m_statement; }

    Statement &bind(int position, qint64 value)
    {
        if (ok())
            m_code = sqlite3_bind_int64(m_statement, position, value);
        return *this;
    }
    Statement &bind(int position, const QString &value)
    {
        const QByteArray utf8 = value.toUtf8();
        if (ok())
            m_code = sqlite3_bind_text(m_statement, position, utf8.constData(), int(utf8.size()),
                                       SQLITE_TRANSIENT);
        return *this;
    }
    // True while there is a row.
    bool step()
    {
        if (!ok())
            return false;
        m_code = sqlite3_step(m_statement);
        return m_code == SQLITE_ROW;
    }

private:
    sqlite3_stmt *m_statement = nullptr;
    int m_code = SQLITE_OK;
};

QString Ledger::besideSettings(const QString &settingsFile)
{
    return QFileInfo(settingsFile).absoluteDir().filePath(fileName());
}

Ledger::Ledger(QString path) : m_path(std::move(path)) { }

Ledger::~Ledger()
{
    abandonDelivery();
    sqlite3_close_v2(m_db);
}

bool Ledger::fail(const QString &reason)
{
    m_errorString =
            QStringLiteral("Lieferbuch %1: %2").arg(QDir::toNativeSeparators(m_path), reason);
    return false;
}

bool Ledger::failSqlite(int code)
{
    if (QFileInfo(m_path).isDir())
        return fail(QString::fromUtf8("An seiner Stelle liegt ein Ordner."));
    // A full disk (or the file size limit) arrives as a failed write.
    const int error = m_db ? sqlite3_system_errno(m_db) : 0;
    if ((code & 0xff) == SQLITE_IOERR && (error == ENOSPC || error == EFBIG))
        code = SQLITE_FULL;
    switch (code & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return fail(QString::fromUtf8("Die Datei ist beschädigt oder kein Lieferbuch. Sie bleibt, "
                                      "wie sie ist."));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return fail(QString::fromUtf8("Ein anderes Programm schreibt gerade hinein. Bitte "
                                      "später noch einmal versuchen."));
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return fail(QString::fromUtf8("Es kann nicht beschrieben werden; die Datei oder ihr "
                                      "Ordner ist schreibgeschützt."));
    case SQLITE_CANTOPEN:
        return fail(QString::fromUtf8("Die Datei kann nicht geöffnet oder angelegt werden."));
    case SQLITE_FULL:
        return fail(QString::fromUtf8("Der Datenträger ist voll."));
    case SQLITE_IOERR:
        // The file size limit arrives as a failed write whose errno is gone by now.
        if (code == SQLITE_IOERR_WRITE && !error)
            return fail(QString::fromUtf8("Schreibfehler; vielleicht ist der Datenträger voll."));
        return fail(error ? QString::fromUtf8("Lese- oder Schreibfehler: %1.")
                                    .arg(qt_error_string(error))
                          : QString::fromUtf8("Lese- oder Schreibfehler (SQLite %1).").arg(code));
    default:
        return fail(QString::fromUtf8("SQLite-Fehler %1 (%2).")
                            .arg(code)
                            .arg(QString::fromUtf8(sqlite3_errstr(code))));
    }
}

bool Ledger::exec(const char *sql)
{
    const int code = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    return code == SQLITE_OK || failSqlite(sqlite3_extended_errcode(m_db));
}

bool Ledger::open(Access access)
{
    m_errorString.clear();
    if (m_db)
        return true;
    if (access == ReadOnly && !QFileInfo(m_path).exists())
        return true;
    const int flags =
            access == ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    // SQLite takes the name as UTF-8 on every platform, Windows included.
    const int code = sqlite3_open_v2(m_path.toUtf8().constData(), &m_db,
                                     flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return failSqlite(code);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, BusyTimeoutMs);
    // What SQLite keeps aside (sorts, temporary tables) stays in memory; nothing is written
    // beside the ledger. The index of the delivered logs takes them in the order of their
    // numbers, not of their ids, so a delivery writes it all over: with SQLite's 2 MB page
    // cache a delivery of a million logs wrote and read its pages again 2.6 million times
    // each, with 8 MB 2.1 million.
    bool ok = exec("PRAGMA temp_store = MEMORY; PRAGMA cache_size = -8000");
    if (ok && access == ReadWrite && sqlite3_db_readonly(m_db, "main") == 1)
        ok = failSqlite(SQLITE_READONLY);
    if (ok)
        ok = createSchema();
    if (!ok) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    return ok;
}

// Reads what the file is: a ledger of this or an earlier version, an empty file to be made
// one, or anything else, which is refused.
bool Ledger::createSchema()
{
    const auto pragma = [this](const char *sql, qint64 *value) {
        Statement statement(m_db, sql);
        if (statement.step())
            *value = sqlite3_column_int64(statement.get(), 0);
        return statement.ok() || failSqlite(sqlite3_extended_errcode(m_db));
    };
    qint64 application = 0, version = 0, objects = 0;
    if (!pragma("PRAGMA application_id", &application) || !pragma("PRAGMA user_version", &version)
        || !pragma("SELECT count(*) FROM sqlite_master", &objects))
        return false;
    if (objects > 0 && application != ApplicationId)
        return fail(QString::fromUtf8("Die Datei ist eine SQLite-Datenbank, aber kein Lieferbuch. "
                                      "Sie bleibt, wie sie ist."));
    if (version > SchemaVersion)
        return fail(QString::fromUtf8("Es stammt von einer neueren Programmversion (Schema %1) "
                                      "und wird mit dieser nicht gelesen.")
                            .arg(version));
    if (objects > 0)
        return true;
    if (sqlite3_db_readonly(m_db, "main") == 1)
        return true; // an empty file shown read-only is an empty ledger
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    for (const char *sql : Schema) {
        if (!exec(sql)) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            return false;
        }
    }
    const QByteArray marks = QStringLiteral("PRAGMA application_id = %1; PRAGMA user_version = %2")
                                     .arg(ApplicationId)
                                     .arg(SchemaVersion)
                                     .toLatin1();
    if (!exec(marks.constData()) || !exec("COMMIT")) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return true;
}

QString Ledger::storedPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

bool Ledger::priorDeliveries(const QList<qint64> &logIds, Prior *prior)
{
    *prior = Prior();
    m_errorString.clear();
    if (!m_db)
        return true;
    if (m_inDelivery)
        return fail(QStringLiteral("priorDeliveries() during a delivery"));
    if (logIds.isEmpty())
        return true;
    // One pass over the ledger's index between the lowest and the highest id asked for: a
    // host's log ids grow, so the range holds the selection and few others.
    std::vector<qint64> asked(logIds.cbegin(), logIds.cend());
    std::sort(asked.begin(), asked.end());
    asked.erase(std::unique(asked.begin(), asked.end()), asked.end());
    Statement scan(m_db,
                   "SELECT id_log, delivery FROM delivered_log WHERE id_log BETWEEN ? AND ? "
                   "ORDER BY id_log");
    scan.bind(1, asked.front()).bind(2, asked.back());
    qint64 latestDelivery = 0;
    qint64 lastFound = 0;
    while (scan.step()) {
        const qint64 id = sqlite3_column_int64(scan.get(), 0);
        if (!std::binary_search(asked.cbegin(), asked.cend(), id))
            continue;
        // A log delivered more than once counts once.
        if (prior->logs == 0 || id != lastFound)
            ++prior->logs;
        lastFound = id;
        latestDelivery = std::max(latestDelivery, sqlite3_column_int64(scan.get(), 1));
    }
    if (!scan.ok())
        return failSqlite(sqlite3_extended_errcode(m_db));
    if (prior->logs == 0)
        return true;
    Statement latest(m_db, "SELECT time, path, list FROM delivery WHERE id = ?");
    if (latest.bind(1, latestDelivery).step()) {
        prior->time = timeOf(text(latest.get(), 0));
        prior->path = text(latest.get(), 1);
        prior->list = text(latest.get(), 2);
    }
    return latest.ok() || failSqlite(sqlite3_extended_errcode(m_db));
}

bool Ledger::listOfPath(const QString &path, QString *list)
{
    list->clear();
    m_errorString.clear();
    if (!m_db)
        return true;
#ifdef Q_OS_WIN
    // Windows names a file regardless of case.
    const char *sql = "SELECT list FROM delivery WHERE path = ? COLLATE NOCASE "
                      "ORDER BY id DESC LIMIT 1";
#else
    const char *sql = "SELECT list FROM delivery WHERE path = ? ORDER BY id DESC LIMIT 1";
#endif
    Statement statement(m_db, sql);
    if (statement.bind(1, storedPath(path)).step())
        *list = text(statement.get(), 0);
    return statement.ok() || failSqlite(sqlite3_extended_errcode(m_db));
}

bool Ledger::deliveries(QList<Delivery> *deliveries)
{
    deliveries->clear();
    m_errorString.clear();
    if (!m_db)
        return true;
    Statement statement(m_db,
                        "SELECT id, time, user, computer, list, lots, path, lines, volume, "
                        "sha256, note FROM delivery ORDER BY id");
    while (statement.step()) {
        sqlite3_stmt *row = statement.get();
        Delivery d;
        d.id = sqlite3_column_int64(row, 0);
        d.time = timeOf(text(row, 1));
        d.user = text(row, 2);
        d.computer = text(row, 3);
        d.list = text(row, 4);
        for (const QJsonValue lot : QJsonDocument::fromJson(text(row, 5).toUtf8()).array())
            d.lots << lot.toString();
        d.path = text(row, 6);
        d.lines = sqlite3_column_int64(row, 7);
        d.hundredths = sqlite3_column_int64(row, 8);
        d.sha256 = text(row, 9);
        d.note = text(row, 10);
        deliveries->append(d);
    }
    return statement.ok() || failSqlite(sqlite3_extended_errcode(m_db));
}

bool Ledger::deliveryBytes(qint64 id, QByteArray *bytes)
{
    bytes->clear();
    m_errorString.clear();
    QString sha256;
    if (m_db) {
        Statement statement(m_db, "SELECT sha256 FROM delivery WHERE id = ?");
        if (statement.bind(1, id).step())
            sha256 = text(statement.get(), 0);
        if (!statement.ok())
            return failSqlite(sqlite3_extended_errcode(m_db));
    }
    if (sha256.isEmpty())
        return fail(QString::fromUtf8("Eine Lieferung Nr. %1 ist nicht verzeichnet.").arg(id));
    Sha256 hash;
    Statement parts(m_db, "SELECT bytes FROM delivery_part WHERE delivery = ? ORDER BY part");
    parts.bind(1, id);
    while (parts.step()) {
        const QByteArrayView part(static_cast<const char *>(sqlite3_column_blob(parts.get(), 0)),
                                  sqlite3_column_bytes(parts.get(), 0));
        hash.addData(part);
        bytes->append(part);
    }
    if (!parts.ok()) {
        bytes->clear();
        return failSqlite(sqlite3_extended_errcode(m_db));
    }
    if (QString::fromLatin1(hash.result().toHex()) != sha256) {
        bytes->clear();
        return fail(QString::fromUtf8("Die gespeicherte Datei der Lieferung Nr. %1 stimmt nicht "
                                      "mit ihrer Prüfsumme überein; das Lieferbuch ist "
                                      "beschädigt.")
                            .arg(id));
    }
    return true;
}

bool Ledger::beginDelivery(const QString &list, const QStringList &lots, const QString &path)
{
    m_errorString.clear();
    m_fileFailed = false;
    if (!m_db)
        return fail(QString::fromUtf8("Es ist nicht geöffnet."));
    abandonDelivery();
    // The write lock and a first write before the delivery file is touched: a ledger that is
    // locked, read-only or in a read-only directory (no journal can be made) fails here.
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    m_inDelivery = true;
    Statement insert(m_db,
                     "INSERT INTO delivery (time, user, computer, list, lots, path, lines, "
                     "volume, sha256, note) VALUES (?, ?, ?, ?, ?, ?, 0, 0, '', '')");
    insert.bind(1, QDateTime::currentDateTime().toString(Qt::ISODate))
            .bind(2, userName())
            .bind(3, computerName())
            .bind(4, list)
            .bind(5,
                  QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(lots))
                                            .toJson(QJsonDocument::Compact)))
            .bind(6, storedPath(path))
            .step();
    if (!insert.ok()) {
        failSqlite(sqlite3_extended_errcode(m_db));
        abandonDelivery();
        return false;
    }
    m_delivery = sqlite3_last_insert_rowid(m_db);
    if (sqlite3_prepare_v2(m_db,
                           "INSERT INTO delivered_log (delivery, id_log, blnr) VALUES (?, ?, ?)",
                           -1, &m_insertLog, nullptr)
                != SQLITE_OK
        || sqlite3_prepare_v2(m_db,
                              "INSERT INTO delivery_part (delivery, part, bytes) VALUES (?, ?, ?)",
                              -1, &m_insertPart, nullptr)
                != SQLITE_OK) {
        failSqlite(sqlite3_extended_errcode(m_db));
        abandonDelivery();
        return false;
    }
    sqlite3_bind_int64(m_insertLog, 1, m_delivery);
    sqlite3_bind_int64(m_insertPart, 1, m_delivery);
    return true;
}

bool Ledger::addLog(qint64 idLog, const QString &logNumber)
{
    if (!m_inDelivery || m_tailHashed)
        return false;
    m_logs.push_back({ idLog, logNumber.toUtf8() });
    return true;
}

bool Ledger::addBytes(const QByteArray &bytes)
{
    // Nothing may follow the bytes whose digest was asked for.
    if (!m_inDelivery || m_tailHashed)
        return false;
    m_part += bytes;
    return m_part.size() < PartSize || handOver();
}

bool Ledger::handOver()
{
    // A failure of the part before ends the delivery here, one part late: the record and the
    // file are given up together all the same.
    m_recorder.wait();
    if (m_recordCode != SQLITE_OK) {
        failSqlite(m_recordCode);
        abandonDelivery();
        return false;
    }
    m_recorder.run(
            [this, logs = std::move(m_logs), bytes = std::move(m_part)] { record(logs, bytes); });
    m_logs.clear();
    m_part.clear();
    m_part.reserve(PartSize);
    return true;
}

void Ledger::record(const std::vector<LoggedId> &logs, const QByteArray &bytes)
{
    // Steps an insert; a failure ends the recording with SQLite's code.
    const auto insert = [this](sqlite3_stmt *statement) {
        const int code = sqlite3_step(statement);
        sqlite3_reset(statement);
        if (code != SQLITE_DONE)
            m_recordCode = sqlite3_extended_errcode(m_db);
        return code == SQLITE_DONE;
    };
    for (const LoggedId &log : logs) {
        sqlite3_bind_int64(m_insertLog, 2, log.idLog);
        sqlite3_bind_text(m_insertLog, 3, log.blnr.constData(), int(log.blnr.size()),
                          SQLITE_STATIC);
        if (!insert(m_insertLog))
            return;
    }
    if (bytes.isEmpty())
        return;
    m_hash.addData(bytes);
    sqlite3_bind_int64(m_insertPart, 2, m_parts);
    sqlite3_bind_blob64(m_insertPart, 3, bytes.constData(), sqlite3_uint64(bytes.size()),
                        SQLITE_STATIC);
    if (insert(m_insertPart))
        ++m_parts;
}

QString Ledger::pendingSha256()
{
    if (!m_tailHashed && m_inDelivery && handOver())
        m_tailHashed = true;
    m_recorder.wait();
    return QString::fromLatin1(m_hash.result().toHex());
}

bool Ledger::commitDelivery(AtomicFile &file, qint64 lines, qint64 hundredths, const QString &note)
{
    m_fileFailed = false;
    if (!m_inDelivery) {
        file.cancel();
        return m_errorString.isEmpty() ? fail(QString::fromUtf8("Keine Lieferung begonnen."))
                                       : false;
    }
    const QString sha256 = pendingSha256();
    if (!m_inDelivery || m_recordCode != SQLITE_OK) {
        // handOver() gave the delivery up, or the last part failed.
        if (m_inDelivery) {
            failSqlite(m_recordCode);
            abandonDelivery();
        }
        file.cancel();
        return false;
    }
    {
        Statement update(m_db,
                         "UPDATE delivery SET time = ?, lines = ?, volume = ?, sha256 = ?, "
                         "note = ? WHERE id = ?");
        update.bind(1, QDateTime::currentDateTime().toString(Qt::ISODate))
                .bind(2, lines)
                .bind(3, hundredths)
                .bind(4, sha256)
                .bind(5, note)
                .bind(6, m_delivery)
                .step();
        if (!update.ok()) {
            failSqlite(sqlite3_extended_errcode(m_db));
            abandonDelivery();
            file.cancel();
            return false;
        }
    }
    sqlite3_finalize(m_insertLog);
    sqlite3_finalize(m_insertPart);
    m_insertLog = m_insertPart = nullptr;
    if (!file.place()) {
        m_fileFailed = true;
        m_errorString = file.errorString();
        abandonDelivery();
        return false;
    }
    if (!exec("COMMIT")) {
        // The record is not there, so neither may the file be.
        if (!file.undo())
            m_errorString += QString::fromUtf8(" Die neue Datei konnte nicht wieder entfernt "
                                               "werden: %1")
                                     .arg(file.errorString());
        abandonDelivery();
        return false;
    }
    m_inDelivery = false;
    abandonDelivery();
    file.keep();
    return true;
}

void Ledger::abandonDelivery()
{
    m_recorder.wait();
    sqlite3_finalize(m_insertLog);
    sqlite3_finalize(m_insertPart);
    m_insertLog = m_insertPart = nullptr;
    if (m_inDelivery && m_db && !sqlite3_get_autocommit(m_db)) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    } else if (m_inDelivery && m_db) {
        // SQLite rolled the transaction back itself after a failed write (a full disk) and
        // left its journal for the next reader to play back; a read here does it at once.
        sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    }
    m_inDelivery = false;
    m_delivery = 0;
    m_logs.clear();
    m_part.clear();
    m_parts = 0;
    m_hash.reset();
    m_recordCode = SQLITE_OK;
    m_tailHashed = false;
}

QString Ledger::userName()
{
#ifdef Q_OS_WIN
    return qEnvironmentVariable("USERNAME");
#else
    if (const passwd *entry = getpwuid(geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
#endif
}

QString Ledger::computerName()
{
#ifdef Q_OS_WIN
    return qEnvironmentVariable("COMPUTERNAME");
#else
    return QSysInfo::machineHostName();
#endif
}
