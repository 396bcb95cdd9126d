#pragma once

#include "base/SerialWorker.h"
#include "base/Sha256.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

class AtomicFile;
struct sqlite3;
struct sqlite3_stmt;

// The delivery ledger "Lieferbuch.sqlite" beside the settings file: every delivery that left
// the office, with its file's bytes and the host's ids of its logs, so that no log is delivered
// twice by mistake and every delivery file can be shown and written again. The schema is in
// the README; a later program reads the ledger of an earlier one, this one refuses a later one.
//
// A ledger that cannot be opened, read or written (damaged or no ledger, of a later program,
// locked by another program, a folder in its place, a directory or file without write
// permission) makes the operation fail with a German errorString(). Such a file is never
// replaced or repaired.
//
// A delivery is recorded together with its file, so that neither exists without the other:
//   beginDelivery()            before the delivery file is opened: takes the ledger's write
//                              lock and writes to it, so that a ledger that cannot be written
//                              stops the export before the delivery file is touched;
//   addLog(), addBytes()       for every log and line that goes into the file, the bytes
//                              exactly as written;
//   commitDelivery(file, ...)  puts the written file in place and commits the record; when
//                              either fails, the old file (or none) and the old ledger are back;
//   abandonDelivery()          for every other end of the export; also done on destruction.
// A run cut off between the file's placing and the ledger's commit (power loss) can leave the
// new file without its record; the previous file then lies beside it as AtomicFile::asidePath().
class Ledger
{
public:
    enum Access {
        ReadWrite, // created when absent
        ReadOnly,  // for showing it: an absent ledger is an empty one
    };
    struct Delivery
    {
        qint64 id = 0;
        QDateTime time; // local time
        QString user;
        QString computer;
        QString list;
        QStringList lots; // as selected; empty: all lots of the list
        QString path;     // of the delivery file, absolute, with native separators
        qint64 lines = 0;
        qint64 hundredths = 0; // total volume in hundredths of a cubic metre
        QString sha256;        // of the file's bytes, lower-case hex
        QString note;          // the delivery note as HTML (DeliveryNote::html)
    };
    // Of the logs asked about, how many are in recorded deliveries, and the latest of these.
    struct Prior
    {
        qint64 logs = 0;
        QDateTime time;
        QString path;
        QString list;
    };

    static QString fileName() { return QStringLiteral("Lieferbuch.sqlite"); }
    // The ledger's path beside a settings file.
    static QString besideSettings(const QString &settingsFile);

    explicit Ledger(QString path);
    ~Ledger();
    Ledger(const Ledger &) = delete;
    Ledger &operator=(const Ledger &) = delete;

    bool open(Access access = ReadWrite);
    QString path() const { return m_path; }
    QString errorString() const { return m_errorString; }

    // Not during a delivery (between beginDelivery() and its end).
    bool priorDeliveries(const QList<qint64> &logIds, Prior *prior);
    // The list of the latest delivery recorded for a delivery file; empty when there is none.
    bool listOfPath(const QString &path, QString *list);
    // Every delivery, oldest first.
    bool deliveries(QList<Delivery> *deliveries);
    // The file's bytes of a delivery, only when they match its SHA-256.
    bool deliveryBytes(qint64 id, QByteArray *bytes);

    bool beginDelivery(const QString &list, const QStringList &lots, const QString &path);
    bool addLog(qint64 idLog, const QString &logNumber);
    bool addBytes(const QByteArray &bytes);
    // Places the file (opened and written, not committed) and commits the record. When it fails
    // and fileFailed() is true, the file could not be placed and file.errorString() tells why;
    // otherwise errorString() names the ledger's failure.
    bool commitDelivery(AtomicFile &file, qint64 lines, qint64 hundredths,
                        const QString &note = QString());
    // The SHA-256 of the bytes added so far, once the last of them is added: for the delivery
    // note that goes into the record.
    QString pendingSha256();
    bool fileFailed() const { return m_fileFailed; }
    void abandonDelivery();

    // Who records a delivery: the Windows user and computer name; elsewhere the login name and
    // host name.
    static QString userName();
    static QString computerName();

private:
    class Statement;

    bool fail(const QString &reason);
    bool failSqlite(int code);
    bool exec(const char *sql);
    bool createSchema();
    static QString storedPath(const QString &path);

    QString m_path;
    QString m_errorString;
    sqlite3 *m_db = nullptr;

    // The delivery being recorded.
    qint64 m_delivery = 0;
    bool m_inDelivery = false;
    bool m_fileFailed = false;
    sqlite3_stmt *m_insertLog = nullptr;
    sqlite3_stmt *m_insertPart = nullptr;
    // What the export hands over goes to the recorder a part at a time: the logs of the part's
    // lines and its bytes, at least PartSize of them but the last. The recorder inserts them
    // and hashes the bytes while the export builds the next part; the statements, m_parts,
    // m_hash and m_recordCode are the recorder's until m_recorder.wait() returns.
    struct LoggedId
    {
        qint64 idLog;
        QByteArray blnr; // UTF-8
    };
    bool handOver();
    void record(const std::vector<LoggedId> &logs, const QByteArray &bytes);
    std::vector<LoggedId> m_logs;
    QByteArray m_part;
    qint64 m_parts = 0;
    Sha256 m_hash;
    int m_recordCode = 0; // SQLITE_OK, or the failure that ended the recording
    bool m_tailHashed = false;
    // Last, so that it ends before what its jobs use.
    SerialWorker m_recorder;
};
