#include "export/ExportRun.h"

#include "base/AtomicFile.h"
#include "base/SerialWorker.h"
#include "base/TextRules.h"
#include "export/DeliveryLine.h"
#include "export/FieldSource.h"
#include "export/Ledger.h"
#include "export/MessageSink.h"
#include "export/TimberVolume.h"
#include "export/ValueFormat.h"
#include "host/HostDatabase.h"
#include "host/HostLists.h"
#include "host/SourceColumns.h"
#include "settings/ExportSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <array>
#include <optional>

namespace {

using K = ExportSettings;

const K::Key PlainPerLogKeys[] = { K::STEUERNR, K::ZERTIFIZIERUNG, K::ZERTIFIZIERUNGSNR,
                                   K::ZERTIFIZIERUNGWB };

struct ValueCheck
{
    K::Key key;
    const char *message;
};

// Checks 1 to 14, in their order; the header's list number comes after FWJ.
const ValueCheck SettingChecksBeforeListe[] = {
    { K::BUNDESLAND, "Bundesland ist nicht ausgefüllt" },
    { K::LIEFNRBRETT, "Lieferantennummer Brettholm ist nicht ausgefüllt" },
    { K::KAUVERTRNR, "Kaufvertragsnummer Brettholm ist nicht ausgefüllt" },
    { K::FORSTAMT, "Forstamt ist nicht ausgefüllt" },
    { K::FORSTAMTNUMMER, "Forstamtsnummer ist nicht ausgefüllt" },
    { K::FWJ, "Forstwirtschaftsjahr ist nicht ausgefüllt" },
};
const ValueCheck SettingChecksAfterListe[] = {
    { K::REVIER, "Revier ist nicht ausgefüllt" },
    { K::STRASSEREVIER, "Strasse-Revier ist nicht ausgefüllt" },
    { K::PLZREVIER, "PLZ-Revier ist nicht ausgefüllt" },
    { K::ORTREVIER, "Ort-Revier ist nicht ausgefüllt" },
    { K::NAMEREVIERFORSTER, "Name-Revierförster ist nicht ausgefüllt" },
    { K::TELREVIERFORSTER, "Telefon-Revierförster ist nicht ausgefüllt" },
    { K::ABT, "Abteilung ist nicht ausgefüllt" },
};

// A log must carry a log number above zero.
bool hasLogNumber(const HostValue &blnr, const QLocale &locale)
{
    if (blnr.isNull())
        return false;
    double number = 0;
    if (blnr.toDouble(&number))
        return number > 0;
    return !TextRules::trimBlanks(blnr.toText(locale)).isEmpty();
}

// A failed check: its message, and the setting it reads (KeyCount: none). A shared problem
// does not depend on the log, so every log of the list fails it alike.
struct Problem
{
    QString message;
    K::Key key;
    bool shared;
};

// Which settings give a value that may differ from log to log (a field source naming a log
// or owner column); the others give every log the same.
using PerLogKeys = std::array<bool, K::KeyCount>;

// The messages of every check the log fails, in check order. The owner checks are made only
// for a log with an owner, and when ownerChecksAfterFailure is false only if no earlier check
// of the log failed.
QList<Problem> failedChecks(const RunValues &run, const LogRecord &log,
                            bool ownerChecksAfterFailure, const PerLogKeys &perLog,
                            const QLocale &locale)
{
    QList<Problem> problems;
    const auto setting = [&](const ValueCheck &check) {
        if (run[check.key].isEmpty())
            problems.append({ QString::fromUtf8(check.message), check.key, !perLog[check.key] });
    };
    const auto ofLog = [&](const char *message) {
        problems.append({ QString::fromUtf8(message), K::KeyCount, false });
    };
    for (const ValueCheck &check : SettingChecksBeforeListe)
        setting(check);
    if (run.headerListe.isEmpty())
        problems.append({ QStringLiteral("HAB-Nr. ist nicht ausgefüllt"), K::KeyCount, true });
    for (const ValueCheck &check : SettingChecksAfterListe)
        setting(check);
    if (!hasLogNumber(log.blnr, locale))
        ofLog("Stammnummer ist nicht ausgefüllt");
    if (log.listDatum.isEmpty())
        ofLog("Listendatum ist nicht ausgefüllt");
    if (!log.hasOwner || (!problems.isEmpty() && !ownerChecksAfterFailure))
        return problems;
    if (log.name.isEmpty())
        ofLog("Waldbesitzername ist nicht ausgefüllt");
    if (log.ort.isEmpty())
        ofLog("Waldbesitzer-Ort ist nicht ausgefüllt");
    if (log.plz.isEmpty())
        ofLog("Waldbesitzer-PLZ ist nicht ausgefüllt");
    if (log.strasse.isEmpty())
        ofLog("Waldbesitzer-Straße ist nicht ausgefüllt");
    return problems;
}

// A field problem is shared when its field holds the same value on every log; it is mended in
// the setting the field shows.
Problem fieldProblem(const DeliveryLine::Problem &problem, const QString &blnr,
                     const RunValues &run, const PerLogKeys &perLog)
{
    const DeliveryField &field = DeliveryField::Layout[problem.field];
    return { problem.message(blnr), field.settingShown(run), field.sameForEveryLog(perLog) };
}

// The first character of a file name piece that no Windows file name may hold, described
// for a message, or "".
QString forbiddenInFileName(const QString &piece)
{
    for (const QChar c : piece) {
        if (c.unicode() < 0x20)
            return QStringLiteral("das Steuerzeichen U+")
                    + QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
        if (QStringLiteral("\\/:*?\"<>|").contains(c))
            return QStringLiteral("das Zeichen ") + c;
    }
    return QString();
}

// The positions of the log query's columns, found once per run.
class LogColumns
{
public:
    explicit LogColumns(const HostRow &row)
        : m_los(row.indexOf(QStringLiteral("LOS"))), m_blnr(row.indexOf(QStringLiteral("BLNR"))),
          m_klst(row.indexOf(QStringLiteral("KLST"))), m_ha(row.indexOf(QStringLiteral("HA"))),
          m_gkl(row.indexOf(QStringLiteral("GKL"))),
          m_laenge(row.indexOf(QStringLiteral("LAENGE"))),
          m_durch(row.indexOf(QStringLiteral("DURCH"))), m_ak(row.indexOf(QStringLiteral("AK"))),
          m_liste(row.indexOf(QStringLiteral("LISTE"))),
          m_listDatum(row.indexOf(QStringLiteral("LISTDATUM"))),
          m_mwst(row.indexOf(QStringLiteral("MWST"))),
          m_nummer(row.indexOf(QStringLiteral("NUMMER"))),
          m_name(row.indexOf(QStringLiteral("NAME"))), m_ort(row.indexOf(QStringLiteral("ORT"))),
          m_plz(row.indexOf(QStringLiteral("PLZ"))),
          m_strasse(row.indexOf(QStringLiteral("STRASSE"))),
          m_nation(row.indexOf(QStringLiteral("NATION"))),
          m_blz(row.indexOf(QStringLiteral("BLZ"))), m_konto(row.indexOf(QStringLiteral("KONTO"))),
          m_idLog(row.indexOf(QStringLiteral("ID_LOG")))
    {
    }

    // The host's id of the log, as the ledger records it.
    qint64 idLog(const HostRow &row) const
    {
        double id = 0;
        return row.value(m_idLog).toDouble(&id) ? qint64(id) : 0;
    }

    LogRecord read(const HostRow &row, const QLocale &locale) const
    {
        LogRecord log;
        log.los = row.value(m_los);
        log.blnr = row.value(m_blnr);
        log.klst = row.value(m_klst);
        log.ha = row.value(m_ha);
        log.gkl = row.value(m_gkl);
        log.laenge = row.value(m_laenge);
        log.durch = row.value(m_durch);
        log.ak = row.value(m_ak);
        log.liste = row.value(m_liste);
        log.mwst = row.value(m_mwst);
        log.listDatum = ValueFormat::listDate(row.value(m_listDatum));
        const HostValue nummer = row.value(m_nummer);
        log.hasOwner = !nummer.isNull();
        if (log.hasOwner) {
            log.nummer = nummer.toText(locale);
            log.name = row.value(m_name).toText(locale);
            log.ort = row.value(m_ort).toText(locale);
            log.plz = row.value(m_plz).toText(locale);
            log.strasse = row.value(m_strasse).toText(locale);
            log.nation = row.value(m_nation).toText(locale);
            log.blz = row.value(m_blz).toText(locale);
            log.konto = row.value(m_konto).toText(locale);
        }
        return log;
    }

private:
    int m_los, m_blnr, m_klst, m_ha, m_gkl, m_laenge, m_durch, m_ak, m_liste, m_listDatum, m_mwst,
            m_nummer, m_name, m_ort, m_plz, m_strasse, m_nation, m_blz, m_konto, m_idLog;
};

// A log as a hint names it: by its number and lot.
QString hintPrefix(const QString &blnr, const QString &lot)
{
    return QStringLiteral("Hinweis: Stamm %1 (%2): ")
            .arg(blnr.isEmpty() ? QStringLiteral("ohne Nummer") : blnr,
                 lot.isEmpty() ? QStringLiteral("ohne Los") : QStringLiteral("Los ") + lot);
}

// A measure that is missing, not positive or beyond what a log can be; "" when plausible.
QString measureHint(const HostValue &value, const char *column, double limit, bool limitIncluded,
                    const QString &beyond, const QLocale &locale)
{
    double number = 0;
    if (!value.toDouble(&number))
        return QStringLiteral("%1 fehlt").arg(QLatin1String(column));
    const QString text = value.toText(locale);
    if (number <= 0)
        return QStringLiteral("%1 %2 ist nicht größer als 0").arg(QLatin1String(column), text);
    if (number > limit || (limitIncluded && number == limit))
        return QStringLiteral("%1 %2 ist %3").arg(QLatin1String(column), text, beyond);
    return QString();
}

// The hints of a check: what is probably wrong with the list but stops no export.
class Hints
{
public:
    Hints(CheckReport &report, const QLocale &locale) : m_report(report), m_locale(locale)
    {
        const QString point = locale.decimalPoint();
        if (point != QLatin1String(",")) {
            report.addHint(QStringLiteral("Hinweis: Das Dezimaltrennzeichen der "
                                          "Ländereinstellungen ist „%1“, nicht das Komma; "
                                          "Längen und Dezimalzahlen werden damit geliefert")
                                   .arg(point));
        }
    }

    // The settings that the delivery line cuts to its field's width, once for the run.
    void settings(const RunValues &run, const PerLogKeys &perLog)
    {
        for (const DeliveryField &field : DeliveryField::Layout) {
            const K::Key key = field.settingShown(run);
            if (key == K::KeyCount || field.width == 0 || !field.sameForEveryLog(perLog)
                || run[key].size() <= field.width)
                continue;
            m_report.addHint(
                    QStringLiteral("Hinweis: „%1“ enthält „%2“, geliefert wird „%3“")
                            .arg(ExportSettings::label(key), run[key], run[key].left(field.width)));
        }
    }

    void log(const LogRecord &log, const QString &blnr, const QString &lot)
    {
        const QString prefix = hintPrefix(blnr, lot);
        for (const QString &hint : { measureHint(log.durch, "DURCH", 150, true,
                                                 QStringLiteral("150 cm oder mehr"), m_locale),
                                     measureHint(log.laenge, "LAENGE", 20, false,
                                                 QStringLiteral("mehr als 20 m"), m_locale) }) {
            if (!hint.isEmpty())
                m_report.addHint(prefix + hint);
        }
        if (blnr.isEmpty())
            return;
        QStringList &lots = m_lotsByNumber[blnr];
        if (lots.isEmpty())
            m_numbers.append(blnr);
        lots.append(lot);
    }

    // Every log whose number another log of the selection has as well.
    void finish()
    {
        for (const QString &blnr : std::as_const(m_numbers)) {
            const QStringList &lots = m_lotsByNumber[blnr];
            if (lots.size() < 2)
                continue;
            for (const QString &lot : lots)
                m_report.addHint(hintPrefix(blnr, lot)
                                 + QStringLiteral("die Stammnummer kommt in der Auswahl %1-mal vor")
                                           .arg(lots.size()));
        }
    }

private:
    CheckReport &m_report;
    const QLocale &m_locale;
    QStringList m_numbers; // in order of their first log
    QHash<QString, QStringList> m_lotsByNumber;
};

QString missingColumnMessage(const QString &column, K::Key key)
{
    return QStringLiteral("Spalte %1 (aus %2) nicht gefunden - Abbruch!")
            .arg(column, ExportSettings::keyName(key));
}

QString databaseErrorMessage(const QString &driverText)
{
    return QStringLiteral("Datenbankfehler: %1 - Abbruch!").arg(driverText);
}

QString fileErrorMessage(const QString &path, const QString &description)
{
    return QStringLiteral("Fehler beim Schreiben der Datei ") + path + QStringLiteral(" \n")
            + description;
}

} // namespace

ExportRun::ExportRun(const HostDatabase &database, ExportSettings &settings, MessageSink &messages,
                     const QLocale &locale)
    : m_database(database), m_settings(settings), m_messages(messages), m_locale(locale)
{
}

void ExportRun::say(const QString &message)
{
    m_messages.showMessage(message);
}

QString ExportRun::logStatement(const QString &filter)
{
    QString statement = QStringLiteral("SELECT ");
    for (const QString &column : SourceColumns::numberedColumns("RELTABLE")) {
        statement += QStringLiteral("(select LANGNAME from RELTABLE where ID = LOGS.%1) AS %1,")
                             .arg(column);
    }
    statement += QStringLiteral("LISTE,LISTDATUM,BLNR,HA,GKL,LAENGE,DURCH,KLST,LOS,");
    for (const QString &column :
         SourceColumns::numberedColumns("WO") + SourceColumns::numberedColumns("FREI"))
        statement += column + u',';
    statement += QStringLiteral("RINDENKENNZ AS AK,NUMMER,NAME,ORT,PLZ,STRASSE,NATION,");
    for (const QString &column : SourceColumns::ownerAccountColumns())
        statement += column + u',';
    statement += QStringLiteral(
            "COALESCE(MWST,0) as MWST,LOGS.ID_LOG AS ID_LOG "
            "FROM LOGS "
            "inner join LOGS_RECH on LOGS.ID_LOG = LOGS_RECH.ID_LOG "
            "left join PERSONAL on PERSONAL.ID_PERSONAL = LOGS_RECH.A1_KUNDE "
            "left join RINDENKENNZ on RINDENKENNZ.ID_RINDENKENNZ = LOGS.ID_RINDENKENNZ "
            "left join WALDORT on WALDORT.ID_WALDORT = LOGS.ID_WALDORT "
            "WHERE ");
    statement += filter;
    statement += QStringLiteral(" ORDER BY ")
            + HostDatabase::orderNullsFirst({ QStringLiteral("LOGS.BLNR") })
            + QStringLiteral(", LOGS.ID_LOG");
    return statement;
}

bool ExportRun::run(const QString &listText, const QStringList &selectedLots)
{
    m_deliveryPath.clear();
    m_report = CheckReport();
    m_delivery = DeliveryNote::Content();
    m_listDate.clear();
    m_lines = 0;
    m_headerFailed = false;
    const QString listName = TextRules::trimBlanks(listText);
    if (listName.isEmpty()) {
        say(QStringLiteral("Keine Liste ausgewählt"));
        return false;
    }
    m_report.setSelection(listName, selectedLots);
    const Selection selection = selectionFilter(listName, selectedLots);

    RunValues run;
    if (!readHeaderValues(listName, run))
        return false;
    const bool exporting = m_mode == Export;
    // The summary orders the lots as the lot list does; without a selection it is the list's.
    QStringList lotOrder = selectedLots;
    // The logs delivered before are asked about before anything is written, so their ids are
    // read before the logs, unless a missing supplier number ends the run anyway. A second
    // connection reads them, and the lot list, while the log statement sorts the selection,
    // which every server does before it hands over the first row: 0.5 s of an export of
    // 300 000 logs from PostgreSQL. A connection serves one statement at a time, so where no
    // second one can be opened they come first on the one connection.
    QList<qint64> ids;
    const bool readIds = exporting && !run[K::LIEFNRBRETT].isEmpty();
    QString readFailure;
    const auto readBefore = [&](const HostDatabase &database) {
        readFailure =
                readBeforeLogs(database, selection, listName,
                               lotOrder.isEmpty() ? &lotOrder : nullptr, readIds ? &ids : nullptr);
    };
    std::optional<HostQuery> logs;
    HostDatabase beside;
    if (beside.openBeside(m_database)) {
        // Its thread ends here, before the logs are read, so that the allocator's arena it
        // took goes to the thread that fetches them (see OdbcFetchAhead).
        SerialWorker besideLogs;
        besideLogs.run([&] { readBefore(beside); });
        logs.emplace(m_database.execStreamed(logStatement(selection.filter), selection.params));
    } else {
        readBefore(m_database);
    }
    beside.close();
    if (!readFailure.isEmpty()) {
        say(databaseErrorMessage(readFailure));
        return false;
    }
    m_summary = DeliverySummary(lotOrder);
    // A missing supplier number ends the run, but only after the log query has been tried, so
    // that a failing database is reported first. A check goes on to the logs.
    const bool supplierGiven = checkSupplier(run);
    if (!logs)
        logs.emplace(m_database.execStreamed(logStatement(selection.filter), selection.params));
    if (logs->failed()) {
        say(databaseErrorMessage(logs->errorString()));
        return false;
    }
    if (!supplierGiven && exporting)
        return false;

    m_deliveryPath = deliveryFileName(run);
    if (!checkFileName(run) && exporting)
        return false;
    std::optional<Ledger> ledger;
    if (exporting) {
        ledger.emplace(m_ledgerPath);
        if (!beginDelivery(*ledger, ids, run))
            return false;
        // Asked about; their memory is the logs' now.
        ids = QList<qint64>();
    }
    AtomicFile file(m_deliveryPath);
    if (exporting && !file.open()) {
        say(fileErrorMessage(m_deliveryPath, file.errorString()));
        return false;
    }
    if (!exportLogs(*logs, run, file, ledger ? &*ledger : nullptr))
        return false;
    return finish(file, ledger ? &*ledger : nullptr);
}

QString ExportRun::readBeforeLogs(const HostDatabase &database, const Selection &selection,
                                  const QString &listName, QStringList *lots, QList<qint64> *ids)
{
    if (lots) {
        HostLists lists(database);
        if (!lists.lotsOfList(listName, lots))
            return lists.errorString();
    }
    if (!ids)
        return QString();
    HostQuery query = database.exec(
            QStringLiteral("SELECT LOGS.ID_LOG AS ID_LOG FROM LOGS inner join LOGS_RECH on "
                           "LOGS.ID_LOG = LOGS_RECH.ID_LOG WHERE ")
                    + selection.filter,
            selection.params);
    double id = 0;
    while (query.next()) {
        if (query.value(0).toDouble(&id))
            ids->append(qint64(id));
    }
    return query.errorString();
}

bool ExportRun::beginDelivery(Ledger &ledger, const QList<qint64> &ids, const RunValues &run)
{
    const auto refused = [this](const QString &reason) {
        say(reason + QStringLiteral(" - Abbruch!"));
        return false;
    };
    if (m_ledgerPath.isEmpty())
        return refused(QStringLiteral("Kein Lieferbuch angegeben"));
    if (!ledger.open())
        return refused(ledger.errorString());
    const QString list = m_report.list();
    Ledger::Prior prior;
    if (!ledger.priorDeliveries(ids, &prior))
        return refused(ledger.errorString());
    const QString path = QDir::toNativeSeparators(QFileInfo(m_deliveryPath).absoluteFilePath());
    if (prior.logs > 0
        && !m_messages.confirm(
                QStringLiteral("%1 der %2 Stämme dieser Auswahl sind schon geliefert, zuletzt am "
                               "%3 mit der Datei %4 (Liste %5).")
                        .arg(prior.logs)
                        .arg(ids.size())
                        .arg(prior.time.toString(QStringLiteral("dd.MM.yyyy HH:mm")),
                             QDir::toNativeSeparators(prior.path), prior.list)))
        return false;
    // The file name holds only eight characters of the list: another list can end in the same
    // file and replace its delivery.
    QString otherList;
    if (QFileInfo::exists(m_deliveryPath) && !ledger.listOfPath(path, &otherList))
        return refused(ledger.errorString());
    if (!otherList.isEmpty() && otherList != list
        && !m_messages.confirm(QStringLiteral("Die Datei %1 ist laut Lieferbuch die Lieferung der "
                                              "Liste %2; sie würde durch die Lieferung der "
                                              "Liste %3 ersetzt.")
                                       .arg(path, otherList, list)))
        return false;
    if (!ledger.beginDelivery(list, m_report.lots(), path))
        return refused(ledger.errorString());
    m_delivery.forestOffice = run[K::FORSTAMT];
    m_delivery.officeNumber = run[K::FORSTAMTNUMMER];
    m_delivery.forestryYear = run[K::FWJ];
    m_delivery.list = list;
    m_delivery.lots = m_report.lots();
    m_delivery.supplierNumber = run[K::LIEFNRBRETT];
    m_delivery.contractNumber = run[K::KAUVERTRNR];
    m_delivery.externalContractNumber = run[K::EXTKAUFVERTRNR];
    m_delivery.fileName = QFileInfo(m_deliveryPath).fileName();
    return true;
}

ExportRun::Selection ExportRun::selectionFilter(const QString &listName,
                                                const QStringList &selectedLots)
{
    // Every name and lot is a bound value. An entry stands for every stored value it shows:
    // the logs of the list whose trimmed name it is, whose trimmed lot is one of the entries;
    // the empty lot entry stands for the logs without a lot, whether empty, blank or NULL.
    Selection selection { HostLists::logsCondition(), { listName } };
    if (selectedLots.isEmpty())
        return selection;
    QStringList placeholders;
    for (const QString &lot : selectedLots) {
        placeholders << QStringLiteral("?");
        selection.params << lot;
    }
    const QString in = HostLists::trimmed(QStringLiteral("LOGS.LOS")) + QStringLiteral(" IN (")
            + placeholders.join(u',') + u')';
    if (selectedLots.contains(QString()))
        selection.filter += QStringLiteral(" AND (") + in + QStringLiteral(" OR LOGS.LOS IS NULL)");
    else
        selection.filter += QStringLiteral(" AND ") + in;
    return selection;
}

bool ExportRun::readHeaderValues(const QString &listName, RunValues &run)
{
    HostQuery header = m_database.exec(QStringLiteral("SELECT * FROM LISTENKOPF WHERE ")
                                               + HostLists::headerCondition(),
                                       { listName });
    if (!header.next()) {
        if (header.failed())
            say(databaseErrorMessage(header.errorString()));
        else
            say(HostLists::refusal(HostLists::ListMissing, listName));
        return false;
    }
    // A locked list is not to be exported. The selector offers none, but a typed name can
    // still reach one, or the host may have locked the list since the selector was filled.
    const int lockColumn = header.indexOf(QStringLiteral("GESPERRT"));
    if (lockColumn >= 0 && HostLists::isLocked(header.value(lockColumn))) {
        say(HostLists::refusal(HostLists::ListLocked, listName));
        return false;
    }
    for (K::Key key : { K::BUNDESLAND, K::FORSTAMT, K::FORSTAMTNUMMER, K::FWJ })
        run[key] = m_settings.value(key);
    run.headerListe = header.value(header.indexOf(QStringLiteral("LISTE"))).toText(m_locale);
    for (K::Key key : FieldSource::ValueSettings) {
        FieldSource source = FieldSource::valueSetting(FieldSource::trimInPlace(m_settings[key]));
        if (!source.bindHeader(header)) {
            say(missingColumnMessage(source.columnName(), key));
            return false;
        }
        run[key] = ResolveHeaderField(source, header, m_locale);
    }
    return true;
}

void ExportRun::headerProblem(const QString &message, ExportSettings::Key key)
{
    m_headerFailed = true;
    if (m_mode == CheckOnly)
        m_report.addShared(message, key);
    else
        say(message);
}

bool ExportRun::checkSupplier(const RunValues &run)
{
    if (!run[K::LIEFNRBRETT].isEmpty())
        return true;
    headerProblem(QStringLiteral("Lieferscheinnummer wurde nicht eingegeben! - Abbruch!"),
                  K::LIEFNRBRETT);
    return false;
}

// The supplier and list numbers become part of the file name; a character that no Windows
// file name may hold would otherwise end in a file error about a folder that does not exist,
// or in a file elsewhere.
bool ExportRun::checkFileName(const RunValues &run)
{
    const QString list = TextRules::trimBlanks(run.headerListe);
    const QString inSupplier = forbiddenInFileName(run[K::LIEFNRBRETT].left(4));
    const QString inList = forbiddenInFileName(list.left(8));
    if (!inSupplier.isEmpty()) {
        headerProblem(QStringLiteral("Die Lieferantennummer %1 enthält %2, das in keinem "
                                     "Dateinamen stehen darf - Abbruch!")
                              .arg(run[K::LIEFNRBRETT], inSupplier),
                      K::LIEFNRBRETT);
    }
    if (!inList.isEmpty()) {
        headerProblem(QStringLiteral("Die Liste %1 enthält %2, das in keinem Dateinamen stehen "
                                     "darf - Abbruch!")
                              .arg(list, inList),
                      K::KeyCount);
    }
    return inSupplier.isEmpty() && inList.isEmpty();
}

QString ExportRun::deliveryFileName(const RunValues &run) const
{
    return m_settings.value(K::EXPORTPATH) + QDir::separator() + QStringLiteral("LB")
            + ValueFormat::zeroPadded(run[K::LIEFNRBRETT].left(4), 4, m_locale)
            + ValueFormat::zeroPadded(TextRules::trimBlanks(run.headerListe).left(8), 8, m_locale)
            + QStringLiteral(".Txt");
}

// The field sources of the log row, bound on the first log: a list without logs names no
// column. The owner settings are trimmed here, as their resolver first reads them.
bool ExportRun::bindLogSources(const HostRow &log, LogSources &sources)
{
    for (size_t i = 0; i < std::size(FieldSource::ValueSettings); ++i) {
        const K::Key key = FieldSource::ValueSettings[i];
        sources.values[i] = FieldSource::valueSetting(m_settings.value(key));
        if (!sources.values[i].bindLog(log)) {
            say(missingColumnMessage(sources.values[i].columnName(), key));
            return false;
        }
    }
    for (size_t i = 0; i < std::size(FieldSource::OwnerSettings); ++i) {
        const K::Key key = FieldSource::OwnerSettings[i];
        sources.owners[i] = FieldSource::ownerSetting(FieldSource::trimInPlace(m_settings[key]));
        if (!sources.owners[i].bindLog(log)) {
            say(missingColumnMessage(sources.owners[i].columnName(), key));
            return false;
        }
    }
    return true;
}

bool ExportRun::exportLogs(HostQuery &logs, RunValues &run, AtomicFile &file, Ledger *ledger)
{
    const bool checking = m_mode == CheckOnly;
    PieceCounter counter;
    // The fields that are the same for every log are built once, for the first log built.
    DeliveryLine::Fields fields;
    DeliveryLine::Kept kept {};
    bool built = false;
    QByteArray line;
    std::optional<LogColumns> columns;
    LogSources sources;
    PerLogKeys perLog {};
    std::optional<Hints> hints;
    if (checking)
        hints.emplace(m_report, m_locale);
    int position = 0;
    while (logs.next()) {
        if (!columns) {
            columns.emplace(logs);
            if (!bindLogSources(logs, sources))
                return false;
            for (size_t i = 0; i < std::size(FieldSource::ValueSettings); ++i)
                perLog[FieldSource::ValueSettings[i]] = sources.values[i].readsLogRow();
            for (size_t i = 0; i < std::size(FieldSource::OwnerSettings); ++i)
                perLog[FieldSource::OwnerSettings[i]] = sources.owners[i].readsLogRow();
        }
        ++position;

        // The run values of this log.
        for (size_t i = 0; i < std::size(FieldSource::ValueSettings); ++i)
            ResolveLogField(sources.values[i], run[FieldSource::ValueSettings[i]], logs, m_locale);
        for (K::Key key : PlainPerLogKeys)
            run[key] = m_settings.value(key);
        for (size_t i = 0; i < std::size(FieldSource::OwnerSettings); ++i)
            run[FieldSource::OwnerSettings[i]] =
                    ResolveOwnerField(sources.owners[i], logs, m_locale);
        const LogRecord log = columns->read(logs, m_locale);

        // Its checks, then its line. The report names the log itself, so its messages do not.
        QList<Problem> problems = failedChecks(run, log, checking, perLog, m_locale);
        const QString blnr = log.blnr.toText(m_locale);
        m_summary.add(log.los.toText(m_locale), log.ha.toText(m_locale), log.gkl.toText(m_locale),
                      TimberVolume::measure(log.durch, log.laenge));
        if (position == 1)
            m_listDate = QDate::fromString(log.listDatum, QStringLiteral("yyyyMMdd"))
                                 .toString(QStringLiteral("dd.MM.yyyy"));
        if (problems.isEmpty()) {
            DeliveryLine::BuildDeliveryLine(run, log, counter, m_locale, fields, kept);
            if (!built) {
                for (int i = 0; i < DeliveryLine::FieldCount; ++i)
                    kept[i] = DeliveryField::Layout[i].sameForEveryLog(perLog);
                built = true;
            }
            DeliveryLine::Problem problem;
            if (!DeliveryLine::encode(fields, line, &problem)) {
                problems << fieldProblem(problem, checking ? QString() : blnr, run, perLog);
            } else if (!checking) {
                if (!file.write(line)) {
                    say(fileErrorMessage(m_deliveryPath, file.errorString()));
                    return false;
                }
                ++m_lines;
                if (!ledger->addLog(columns->idLog(logs), blnr) || !ledger->addBytes(line)) {
                    say(ledger->errorString() + QStringLiteral(" - Abbruch!"));
                    return false;
                }
            }
        }
        if (checking) {
            const QString lot = TextRules::trimBlanks(log.los.toText(m_locale));
            if (position == 1)
                hints->settings(run, perLog);
            hints->log(log, blnr, lot);
            m_report.countLog(m_headerFailed || !problems.isEmpty());
            for (const Problem &problem : problems) {
                if (problem.shared)
                    m_report.addShared(problem.message, problem.key);
                else
                    m_report.addLogProblem({ position, blnr, hasLogNumber(log.blnr, m_locale), lot,
                                             problem.message });
            }
            continue;
        }
        if (problems.isEmpty())
            continue;
        for (const Problem &problem : problems)
            say(problem.message);
        say(QStringLiteral("Überleitung abgebrochen!"));
        return false;
    }
    if (logs.failed()) {
        say(databaseErrorMessage(logs.errorString()));
        return false;
    }
    if (checking) {
        hints->finish();
    } else if (position == 0) {
        // No log is no delivery: an empty file would replace the last one as a success.
        say(m_report.lots().isEmpty()
                    ? QStringLiteral("Liste %1 hat keine Stämme - Abbruch!").arg(m_report.list())
                    : QStringLiteral("Die gewählten Lose der Liste %1 haben keine Stämme - "
                                     "Abbruch!")
                              .arg(m_report.list()));
        return false;
    }
    return true;
}

bool ExportRun::finish(AtomicFile &file, Ledger *ledger)
{
    if (m_mode == CheckOnly) {
        m_report.setSummary(m_summary);
        m_report.setComplete();
        return m_report.isClean();
    }
    m_delivery.listDate = m_listDate;
    m_delivery.rows = m_summary.rows();
    m_delivery.logs = m_summary.logs();
    m_delivery.hundredths = m_summary.hundredths();
    m_delivery.lines = m_lines;
    m_delivery.sha256 = ledger->pendingSha256();
    m_delivery.time = QDateTime::currentDateTime();
    if (!ledger->commitDelivery(file, m_lines, m_summary.hundredths(),
                                DeliveryNote::html(m_delivery))) {
        if (ledger->fileFailed())
            say(fileErrorMessage(m_deliveryPath, ledger->errorString()));
        else
            say(ledger->errorString() + QStringLiteral(" - Abbruch!"));
        return false;
    }
    m_messages.showSuccess(
            QStringLiteral("Export erfolgreich!\n%1\n%2 %3, %4 Festmeter")
                    .arg(QDir::toNativeSeparators(QFileInfo(m_deliveryPath).absoluteFilePath()))
                    .arg(m_lines)
                    .arg(m_lines == 1 ? QStringLiteral("Stamm") : QStringLiteral("Stämme"))
                    .arg(TimberVolume::volumeText(m_summary.hundredths())));
    return true;
}
