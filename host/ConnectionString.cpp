#include "host/ConnectionString.h"

#include <QFileInfo>
#include <QList>
#include <QPair>

#include <algorithm>

namespace {

const int LoginTimeoutSeconds = 15;

using Pairs = QList<QPair<QString, QString>>;

// Which characters may enclose a value so that it holds ";": ODBC knows braces only, OLE DB
// also quotes.
enum class Enclosing { Braces, BracesAndQuotes };

// Splits "key=value;key=value". A value may be braced with {} ("}" doubled inside) and, for
// OLE DB, quoted with " or ' (the quote doubled inside). The one reader of every form, so that
// a key is found where the driver finds it and never inside an enclosed value.
bool parsePairs(const QString &text, Enclosing enclosing, Pairs *pairs)
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
        const bool quote =
                enclosing == Enclosing::BracesAndQuotes && (open == u'"' || open == u'\'');
        if (quote || open == u'{') {
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

bool hasKey(const Pairs &pairs, const char *key)
{
    bool found = false;
    valueOf(pairs, { key }, &found);
    return found;
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

// The ODBC drivers tried for SQL Server, best first.
QStringList sqlServerDrivers()
{
    return { QStringLiteral("ODBC Driver 18 for SQL Server"),
             QStringLiteral("ODBC Driver 17 for SQL Server"), QStringLiteral("FreeTDS"),
             QStringLiteral("SQL Server") };
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
    Pairs pairs;
    if (!parsePairs(connectionString, Enclosing::Braces, &pairs))
        return false;
    const QString wanted = keyOf(QLatin1String(key));
    return std::any_of(pairs.cbegin(), pairs.cend(),
                       [&](const auto &pair) { return keyOf(pair.first) == wanted; });
}

QString ConnectionString::fromLvxIni(const QString &server, const QString &database)
{
    return QStringLiteral("Provider=SQLOLEDB.1;") + QStringLiteral("Integrated Security=SSPI;")
            + QStringLiteral("Persist Security Info=False;") + QStringLiteral("Initial Catalog=")
            + database + QStringLiteral(";") + QStringLiteral("Data Source=") + server;
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

namespace {

bool fail(QString *errorString, const QString &text)
{
    *errorString = text;
    return false;
}

QString malformedText()
{
    return QStringLiteral("Die Verbindungszeichenfolge ist fehlerhaft (ein Anführungszeichen "
                          "oder eine Klammer ist nicht geschlossen). ")
            + formsText();
}

bool mapSqlite(const Pairs &pairs, ConnectionTarget *target, QString *errorString)
{
    const QString dataSource = valueOf(pairs, { "datasource", "server", "address", "addr" });
    if (dataSource.isEmpty()) {
        return fail(errorString,
                    QStringLiteral("In der Verbindungszeichenfolge fehlt \"Data Source\" "
                                   "(die SQLite-Datei)."));
    }
    target->driver = QStringLiteral("SQLITE");
    target->databaseName = dataSource;
    target->connectOptions.clear();
    return true;
}

// The host application's OLE DB form for SQL Server, as a DSN-less ODBC connection through
// the best installed driver.
bool mapSqlServer(const Pairs &pairs, const QStringList &installedOdbcDrivers,
                  ConnectionTarget *target, QString *errorString)
{
    QString driver;
    for (const QString &candidate : sqlServerDrivers()) {
        if (installedOdbcDrivers.contains(candidate, Qt::CaseInsensitive)) {
            driver = candidate;
            break;
        }
    }
    if (driver.isEmpty()) {
        return fail(errorString,
                    QStringLiteral("Kein ODBC-Treiber für SQL Server installiert (gesucht: %1).")
                            .arg(sqlServerDrivers().join(QStringLiteral(", "))));
    }

    const QString dataSource = valueOf(pairs, { "datasource", "server", "address", "addr" });
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
                           .arg(driver, ConnectionString::odbcValue(dataSource),
                                ConnectionString::odbcValue(database));
    if (integrated || !hasUser) {
        odbc += QStringLiteral("Trusted_Connection=yes;");
    } else {
        odbc += QStringLiteral("UID=%1;PWD=%2;")
                        .arg(ConnectionString::odbcValue(user),
                             ConnectionString::odbcValue(password));
    }
    // The host application's provider, SQLOLEDB, encrypted only when the string asked for it,
    // and then without checking the certificate where it was told to trust it. Driver 18
    // encrypts and checks by default, which an office server's self-signed certificate fails.
    const QString encryption = valueOf(pairs, { "useencryptionfordata", "encrypt" }).trimmed();
    const bool encrypt = isTrue(encryption)
            || encryption.compare(QLatin1String("mandatory"), Qt::CaseInsensitive) == 0
            || encryption.compare(QLatin1String("strict"), Qt::CaseInsensitive) == 0;
    const bool trust = isTrue(valueOf(pairs, { "trustservercertificate" }));
    if (driver == QLatin1String("FreeTDS")) {
        // FreeTDS checks a certificate only against a CA file of its configuration.
        odbc += encrypt ? QStringLiteral("Encryption=require;") : QStringLiteral("Encryption=off;");
    } else {
        odbc += encrypt ? QStringLiteral("Encrypt=yes;") : QStringLiteral("Encrypt=no;");
        if (trust)
            odbc += QStringLiteral("TrustServerCertificate=yes;");
    }
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

} // namespace

bool ConnectionString::map(const QString &connectionString, const QStringList &installedOdbcDrivers,
                           ConnectionTarget *target, QString *errorString)
{
    const QString text = connectionString.trimmed();
    if (text.isEmpty()) {
        return fail(errorString,
                    QStringLiteral("Keine Verbindungszeichenfolge angegeben. ") + formsText());
    }

    // The keys decide the form, read by the one reader as each form encloses its values: a
    // "Provider" inside an enclosed value is no key.
    Pairs pairs;
    const bool oleDbRead = parsePairs(text, Enclosing::BracesAndQuotes, &pairs);
    if (!oleDbRead || !hasKey(pairs, "provider")) {
        Pairs odbcPairs;
        const bool odbcRead = parsePairs(text, Enclosing::Braces, &odbcPairs);
        if (odbcRead && !hasKey(odbcPairs, "provider")
            && (hasKey(odbcPairs, "driver") || hasKey(odbcPairs, "dsn"))) {
            target->driver = QStringLiteral("QODBC");
            target->databaseName = text;
            target->connectOptions = odbcOptions();
            return true;
        }
        if (!oleDbRead || !odbcRead)
            return fail(errorString, malformedText());
        return fail(errorString,
                    QStringLiteral("Unbekannte Verbindungszeichenfolge. ") + formsText());
    }

    const QString provider = valueOf(pairs, { "provider" }).trimmed();
    if (provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0)
        return mapSqlite(pairs, target, errorString);
    const bool sqlServer = provider.startsWith(QLatin1String("SQLOLEDB"), Qt::CaseInsensitive)
            || provider.startsWith(QLatin1String("SQLNCLI"), Qt::CaseInsensitive)
            || provider.startsWith(QLatin1String("MSOLEDBSQL"), Qt::CaseInsensitive);
    if (!sqlServer) {
        return fail(errorString,
                    QStringLiteral("Der Provider \"%1\" wird nicht unterstützt. ").arg(provider)
                            + formsText());
    }
    return mapSqlServer(pairs, installedOdbcDrivers, target, errorString);
}
