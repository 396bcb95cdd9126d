#include "host/ConnectionString.h"

#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QRegularExpression>

namespace {

const int LoginTimeoutSeconds = 15;

using Pairs = QList<QPair<QString, QString>>;

// Splits "key=value;key=value". A value may be quoted with " or ' (the quote doubled inside)
// or braced with {} ("}" doubled inside), which lets it hold ";".
bool parsePairs(const QString &text, Pairs *pairs)
{
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size) {
        const qsizetype eq = text.indexOf(u'=', pos);
        const qsizetype semi = text.indexOf(u';', pos);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // A piece without "=": only blanks are allowed there.
            const qsizetype end = semi < 0 ? size : semi;
            if (!text.mid(pos, end - pos).trimmed().isEmpty())
                return false;
            pos = end + 1;
            continue;
        }
        const QString key = text.mid(pos, eq - pos).trimmed();
        pos = eq + 1;
        while (pos < size && text.at(pos) == u' ')
            ++pos;
        QString value;
        const QChar open = pos < size ? text.at(pos) : QChar();
        if (open == u'"' || open == u'\'' || open == u'{') {
            const QChar close = open == u'{' ? QChar(u'}') : open;
            ++pos;
            bool closed = false;
            while (pos < size) {
                const QChar c = text.at(pos++);
                if (c == close) {
                    if (pos < size && text.at(pos) == close) {
                        value += c;
                        ++pos;
                        continue;
                    }
                    closed = true;
                    break;
                }
                value += c;
            }
            if (!closed)
                return false;
            while (pos < size && text.at(pos) == u' ')
                ++pos;
            if (pos < size && text.at(pos) != u';')
                return false;
            ++pos;
        } else {
            const qsizetype end = semi < 0 ? size : semi;
            value = text.mid(pos, end - pos).trimmed();
            pos = end + 1;
        }
        if (key.isEmpty())
            return false;
        pairs->append(qMakePair(key, value));
    }
    return true;
}

// Key comparison that ignores case and blanks ("User ID" = "userid").
QString keyOf(const QString &key)
{
    QString result = key.toLower();
    result.remove(u' ');
    return result;
}

QString valueOf(const Pairs &pairs, std::initializer_list<const char *> keys, bool *found = nullptr)
{
    // The last occurrence wins, as in OLE DB.
    for (auto it = pairs.crbegin(); it != pairs.crend(); ++it) {
        const QString k = keyOf(it->first);
        for (const char *wanted : keys) {
            if (k == QLatin1String(wanted)) {
                if (found)
                    *found = true;
                return it->second;
            }
        }
    }
    if (found)
        *found = false;
    return QString();
}

bool hasKey(const QString &text, const char *key)
{
    const QRegularExpression re(QStringLiteral("(^|;)\\s*%1\\s*=").arg(QLatin1String(key)),
                                QRegularExpression::CaseInsensitiveOption);
    return re.match(text).hasMatch();
}

bool isTrue(const QString &value)
{
    const QString v = value.trimmed().toLower();
    return v == QLatin1String("sspi") || v == QLatin1String("true") || v == QLatin1String("yes");
}

QString odbcOptions(int loginTimeoutSeconds = LoginTimeoutSeconds)
{
    return QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_ONLY")
            .arg(loginTimeoutSeconds);
}

QString formsText()
{
    return QStringLiteral(
            "Erlaubt sind: \"Provider=SQLOLEDB.1;Integrated Security=SSPI;"
            "Initial Catalog=DATENBANK;Data Source=SERVER\" (auch mit User ID und Password), "
            "\"Provider=SQLite;Data Source=DATEI\" oder eine ODBC-Verbindungszeichenfolge "
            "mit \"Driver=\" oder \"DSN=\".");
}

} // namespace

bool ConnectionString::containsKey(const QString &connectionString, const char *key)
{
    return hasKey(connectionString, key);
}

QString ConnectionString::fromLvxIni(const QString &server, const QString &database)
{
    return QStringLiteral("Provider=SQLOLEDB.1;") + QStringLiteral("Integrated Security=SSPI;")
            + QStringLiteral("Persist Security Info=False;") + QStringLiteral("Initial Catalog=")
            + database + QStringLiteral(";") + QStringLiteral("Data Source=") + server;
}

QStringList ConnectionString::sqlServerDrivers()
{
    return { QStringLiteral("ODBC Driver 18 for SQL Server"),
             QStringLiteral("ODBC Driver 17 for SQL Server"), QStringLiteral("FreeTDS"),
             QStringLiteral("SQL Server") };
}

QString ConnectionString::odbcValue(const QString &value)
{
    const bool needsBraces = value.contains(u';') || value.contains(u'{') || value.contains(u'}')
            || value.startsWith(u' ') || value.endsWith(u' ');
    if (!needsBraces)
        return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + escaped + u'}';
}

bool ConnectionString::map(const QString &connectionString, const QStringList &installedOdbcDrivers,
                           ConnectionTarget *target, QString *errorString)
{
    const QString text = connectionString.trimmed();
    if (text.isEmpty()) {
        *errorString = QStringLiteral("Keine Verbindungszeichenfolge angegeben. ") + formsText();
        return false;
    }

    if (!hasKey(text, "provider")) {
        if (hasKey(text, "driver") || hasKey(text, "dsn")) {
            target->driver = QStringLiteral("QODBC");
            target->databaseName = text;
            target->connectOptions = odbcOptions();
            return true;
        }
        *errorString = QStringLiteral("Unbekannte Verbindungszeichenfolge. ") + formsText();
        return false;
    }

    Pairs pairs;
    if (!parsePairs(text, &pairs)) {
        *errorString = QStringLiteral("Die Verbindungszeichenfolge ist fehlerhaft "
                                      "(ein Anführungszeichen oder eine Klammer ist nicht "
                                      "geschlossen). ")
                + formsText();
        return false;
    }
    const QString provider = valueOf(pairs, { "provider" }).trimmed();
    const QString dataSource = valueOf(pairs, { "datasource", "server", "address", "addr" });

    if (provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0) {
        if (dataSource.isEmpty()) {
            *errorString = QStringLiteral("In der Verbindungszeichenfolge fehlt \"Data Source\" "
                                          "(die SQLite-Datei).");
            return false;
        }
        target->driver = QStringLiteral("SQLITE");
        target->databaseName = dataSource;
        target->connectOptions.clear();
        return true;
    }

    const bool sqlServer = provider.startsWith(QLatin1String("SQLOLEDB"), Qt::CaseInsensitive)
            || provider.startsWith(QLatin1String("SQLNCLI"), Qt::CaseInsensitive)
            || provider.startsWith(QLatin1String("MSOLEDBSQL"), Qt::CaseInsensitive);
    if (!sqlServer) {
        *errorString = QStringLiteral("Der Provider \"%1\" wird nicht unterstützt. ").arg(provider)
                + formsText();
        return false;
    }

    QString driver;
    for (const QString &candidate : sqlServerDrivers()) {
        if (installedOdbcDrivers.contains(candidate, Qt::CaseInsensitive)) {
            driver = candidate;
            break;
        }
    }
    if (driver.isEmpty()) {
        *errorString = QStringLiteral("Kein ODBC-Treiber für SQL Server installiert (gesucht: %1).")
                               .arg(sqlServerDrivers().join(QStringLiteral(", ")));
        return false;
    }

    const QString database = valueOf(pairs, { "initialcatalog", "database" });
    bool hasUser = false;
    const QString user = valueOf(pairs, { "userid", "uid", "user" }, &hasUser);
    const QString password = valueOf(pairs, { "password", "pwd" });
    const bool integrated = isTrue(valueOf(pairs, { "integratedsecurity", "trusted_connection" }));

    // "Connect Timeout" of OLE DB; 0 there waits for ever, which a program that must not hang
    // does not offer.
    bool timeoutGiven = false;
    const QString timeoutText = valueOf(pairs, { "connecttimeout", "connectiontimeout" });
    const int timeout = timeoutText.trimmed().toInt(&timeoutGiven);

    QString odbc = QStringLiteral("Driver={%1};Server=%2;Database=%3;")
                           .arg(driver, odbcValue(dataSource), odbcValue(database));
    if (integrated || !hasUser)
        odbc += QStringLiteral("Trusted_Connection=yes;");
    else
        odbc += QStringLiteral("UID=%1;PWD=%2;").arg(odbcValue(user), odbcValue(password));
    // FreeTDS's default protocol version "auto" tries one version after the other and keeps
    // waiting on a server that accepts the connection but never answers, past any login
    // timeout. SQL Server 2005 and later negotiate down from 7.4 themselves.
    if (driver == QLatin1String("FreeTDS"))
        odbc += QStringLiteral("TDS_Version=7.4;");

    target->driver = QStringLiteral("QODBC");
    target->databaseName = odbc;
    target->connectOptions =
            odbcOptions(timeoutGiven && timeout > 0 ? timeout : LoginTimeoutSeconds);
    return true;
}
