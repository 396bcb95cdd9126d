#include "export/ExportRun.h"

#include "base/AtomicFile.h"
#include "base/TextRules.h"
#include "export/DeliveryLine.h"
#include "export/FieldSource.h"
#include "export/MessageSink.h"
#include "export/ValueFormat.h"
#include "host/HostDatabase.h"
#include "settings/ExportSettings.h"

#include <QDir>

#include <optional>

namespace {

using K = ExportSettings;

// The settings resolved against the header row once and against every log row.
const K::Key LogSourceKeys[] = { K::LIEFNRBRETT,      K::KAUVERTRNR, K::EXTKAUFVERTRNR,
                                 K::REVIER,           K::DISTRIKT,   K::STRASSEREVIER,
                                 K::PLZREVIER,        K::ORTREVIER,  K::NAMEREVIERFORSTER,
                                 K::TELREVIERFORSTER, K::ABT,        K::UABT };
const K::Key OwnerSourceKeys[] = { K::STEUERNRWB, K::ZERTIFIZIERUNGSNRWB };
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

// The messages of every check the log fails, in check order. The owner checks are made only
// for a log with an owner, and when ownerChecksAfterFailure is false only if no earlier check
// of the log failed.
QStringList failedChecks(const RunValues &run, const LogRecord &log, bool ownerChecksAfterFailure,
                         const QLocale &locale)
{
    QStringList messages;
    for (const ValueCheck &check : SettingChecksBeforeListe) {
        if (run[check.key].isEmpty())
            messages << QString::fromUtf8(check.message);
    }
    if (run.headerListe.isEmpty())
        messages << QStringLiteral("HAB-Nr. ist nicht ausgefüllt");
    for (const ValueCheck &check : SettingChecksAfterListe) {
        if (run[check.key].isEmpty())
            messages << QString::fromUtf8(check.message);
    }
    if (!hasLogNumber(log.blnr, locale))
        messages << QStringLiteral("Stammnummer ist nicht ausgefüllt");
    if (run.listDatum.isEmpty())
        messages << QStringLiteral("Listendatum ist nicht ausgefüllt");
    if (!log.hasOwner || (!messages.isEmpty() && !ownerChecksAfterFailure))
        return messages;
    if (log.name.isEmpty())
        messages << QStringLiteral("Waldbesitzername ist nicht ausgefüllt");
    if (log.ort.isEmpty())
        messages << QStringLiteral("Waldbesitzer-Ort ist nicht ausgefüllt");
    if (log.plz.isEmpty())
        messages << QStringLiteral("Waldbesitzer-PLZ ist nicht ausgefüllt");
    if (log.strasse.isEmpty())
        messages << QStringLiteral("Waldbesitzer-Straße ist nicht ausgefüllt");
    return messages;
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
          m_blz(row.indexOf(QStringLiteral("BLZ"))), m_konto(row.indexOf(QStringLiteral("KONTO")))
    {
    }

    HostValue listDatum(const HostRow &row) const { return row.value(m_listDatum); }

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
            m_nummer, m_name, m_ort, m_plz, m_strasse, m_nation, m_blz, m_konto;
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
    for (int n = 1; n <= 10; ++n) {
        statement += QStringLiteral("(select LANGNAME from RELTABLE where ID = LOGS.RELTABLE%1) "
                                    "AS RELTABLE%1,")
                             .arg(n);
    }
    statement += QStringLiteral(
            "LISTE,LISTDATUM,BLNR,HA,GKL,LAENGE,DURCH,KLST,LOS,WO1,WO2,WO3,WO4,WO5,WO6,"
            "FREI1,FREI2,FREI3,FREI4,FREI5,RINDENKENNZ AS AK,NUMMER,NAME,ORT,PLZ,"
            "STRASSE,NATION,BLZ,BANK,KONTO,POSTSCHECK,UID,BLZ1,BANK1,KONTO1,"
            "POSTSCHECK1,UID1,COALESCE(MWST,0) as MWST "
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
    const bool checking = m_mode == CheckOnly;
    const QString listName = TextRules::trimBlanks(listText);
    if (listName.isEmpty()) {
        say(QStringLiteral("Keine Liste ausgewählt"));
        return false;
    }

    // The selection filter. Every name and lot is a bound value; the empty lot entry stands
    // for the logs without a lot, whether their lot is empty or NULL.
    QString filter = QStringLiteral("LISTE = ?");
    QVariantList params { listName };
    if (!selectedLots.isEmpty()) {
        QStringList placeholders;
        for (const QString &lot : selectedLots) {
            placeholders << QStringLiteral("?");
            params << lot;
        }
        const QString in = QStringLiteral("LOS IN (") + placeholders.join(u',') + u')';
        if (selectedLots.contains(QString()))
            filter += QStringLiteral(" AND (") + in + QStringLiteral(" OR LOS IS NULL)");
        else
            filter += QStringLiteral(" AND ") + in;
    }

    // Header values.
    RunValues run;
    {
        HostQuery header = m_database.exec(
                QStringLiteral("SELECT * FROM LISTENKOPF WHERE LISTE = ?"), { listName });
        if (!header.next()) {
            if (header.failed())
                say(databaseErrorMessage(header.errorString()));
            else
                say(QStringLiteral("Liste %1 nicht gefunden - Abbruch!").arg(listName));
            return false;
        }
        // A locked list is not to be exported. The selector offers none, but a typed name can
        // still reach one, or the host may have locked the list since the selector was filled.
        const int lockColumn = header.indexOf(QStringLiteral("GESPERRT"));
        double locked = 0;
        if (lockColumn >= 0 && header.value(lockColumn).toDouble(&locked) && locked != 0) {
            say(QStringLiteral("Liste %1 ist gesperrt - Abbruch!").arg(listName));
            return false;
        }
        for (K::Key key : { K::BUNDESLAND, K::FORSTAMT, K::FORSTAMTNUMMER, K::FWJ })
            run[key] = m_settings.value(key);
        run.headerListe = header.value(header.indexOf(QStringLiteral("LISTE"))).toText(m_locale);
        for (K::Key key : LogSourceKeys) {
            FieldSource source;
            if (!source.bindHeader(m_settings[key], header)) {
                say(missingColumnMessage(source.columnName(), key));
                return false;
            }
            run[key] = source.headerValue(header, m_locale);
        }
    }

    bool aborted = false;
    if (run[K::LIEFNRBRETT].isEmpty()) {
        say(QStringLiteral("Lieferscheinnummer wurde nicht eingegeben! - Abbruch!"));
        aborted = true;
    }

    HostQuery logs = m_database.execStreamed(logStatement(filter), params);
    if (logs.failed()) {
        say(databaseErrorMessage(logs.errorString()));
        return false;
    }
    if (aborted)
        return false;

    m_deliveryPath = m_settings.value(K::EXPORTPATH) + QDir::separator() + QStringLiteral("LB")
            + ValueFormat::zeroPadded(run[K::LIEFNRBRETT].left(4), 4, m_locale)
            + ValueFormat::zeroPadded(TextRules::trimBlanks(run.headerListe).left(8), 8, m_locale)
            + QStringLiteral(".Txt");
    AtomicFile file(m_deliveryPath);
    if (!checking && !file.open()) {
        say(fileErrorMessage(m_deliveryPath, file.errorString()));
        return false;
    }

    PieceCounter counter;
    QByteArray line;
    std::optional<LogColumns> columns;
    FieldSource logSources[std::size(LogSourceKeys)];
    FieldSource ownerSources[std::size(OwnerSourceKeys)];
    bool anyLogFailed = false;

    while (logs.next()) {
        // The field sources are bound on the first log: a list without logs names no column.
        if (!columns) {
            columns.emplace(logs);
            for (size_t i = 0; i < std::size(LogSourceKeys); ++i) {
                if (!logSources[i].bindLog(m_settings[LogSourceKeys[i]], logs)) {
                    say(missingColumnMessage(logSources[i].columnName(), LogSourceKeys[i]));
                    return false;
                }
            }
            for (size_t i = 0; i < std::size(OwnerSourceKeys); ++i) {
                if (!ownerSources[i].bindOwner(m_settings[OwnerSourceKeys[i]], logs)) {
                    say(missingColumnMessage(ownerSources[i].columnName(), OwnerSourceKeys[i]));
                    return false;
                }
            }
        }

        run.listDatum = ValueFormat::listDate(columns->listDatum(logs));
        for (size_t i = 0; i < std::size(LogSourceKeys); ++i)
            logSources[i].updateLogValue(run[LogSourceKeys[i]], logs, m_locale);
        for (K::Key key : PlainPerLogKeys)
            run[key] = m_settings.value(key);
        for (size_t i = 0; i < std::size(OwnerSourceKeys); ++i)
            run[OwnerSourceKeys[i]] = ownerSources[i].ownerValue(logs, m_locale);
        const LogRecord log = columns->read(logs, m_locale);

        QStringList problems = failedChecks(run, log, checking, m_locale);
        if (problems.isEmpty()) {
            const DeliveryLine::Fields fields =
                    DeliveryLine::BuildDeliveryLine(run, log, counter, m_locale);
            if (!DeliveryLine::encode(fields, line)) {
                problems << DeliveryLine::fieldProblem(fields, log.blnr.toText(m_locale));
            } else if (!checking) {
                if (!file.write(line)) {
                    say(fileErrorMessage(m_deliveryPath, file.errorString()));
                    return false;
                }
            }
        }
        if (problems.isEmpty())
            continue;
        if (checking) {
            const QString blnr = log.blnr.toText(m_locale);
            for (const QString &problem : problems)
                say(QStringLiteral("Stamm %1: %2").arg(blnr, problem));
            anyLogFailed = true;
            continue;
        }
        for (const QString &problem : problems)
            say(problem);
        say(QStringLiteral("Überleitung abgebrochen!"));
        return false;
    }
    if (logs.failed()) {
        say(databaseErrorMessage(logs.errorString()));
        return false;
    }

    if (checking) {
        if (!anyLogFailed)
            say(QStringLiteral("Keine Fehler gefunden"));
        return !anyLogFailed;
    }
    if (!file.commit()) {
        say(fileErrorMessage(m_deliveryPath, file.errorString()));
        return false;
    }
    say(QStringLiteral("Export erfolgreich!"));
    return true;
}
