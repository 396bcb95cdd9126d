#include "host/OdbcCursor.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace {

// SQL Server and PostgreSQL let a reader wait without end for a lock that a writer holds. Qt
// sets no statement attributes, so the timeout goes to the driver's statement handle, which
// QODBC creates in prepare() and keeps for exec().
bool setStatementTimeout(const QSqlQuery &query, int seconds)
{
    const QVariant handle = query.result()->handle();
    if (!handle.isValid() || handle.metaType().sizeOf() != int(sizeof(SQLHANDLE)))
        return false;
    SQLHANDLE statement = *static_cast<const SQLHANDLE *>(handle.constData());
    if (!statement)
        return false;
    const SQLRETURN result = SQLSetStmtAttr(
            statement, SQL_ATTR_QUERY_TIMEOUT,
            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), SQL_IS_UINTEGER);
    return SQL_SUCCEEDED(result);
}

// The ODBC type codes of fixed-width character columns (SQL_CHAR, SQL_WCHAR).
bool isFixedWidthText(int odbcType)
{
    return odbcType == 1 || odbcType == -8;
}

QString withoutTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.left(end);
}

} // namespace

OdbcCursor::OdbcCursor(const QSqlDatabase &database, const QString &statement,
                       const QVariantList &params, int timeoutSeconds)
    : m_query(database)
{
    m_query.setForwardOnly(true);
    // ODBC drivers hand over decimal columns exactly only as text.
    m_query.setNumericalPrecisionPolicy(QSql::HighPrecision);
    bool ok = m_query.prepare(statement);
    if (ok) {
        setStatementTimeout(m_query, timeoutSeconds);
        for (const QVariant &param : params) {
            // Qt binds the null QString as NULL; here, as on SQLite, it is the empty text.
            if (param.typeId() == QMetaType::QString && param.toString().isNull())
                m_query.addBindValue(QStringLiteral(""));
            else
                m_query.addBindValue(param);
        }
        ok = m_query.exec();
    }
    m_active = ok && m_query.isActive();
    if (!m_active) {
        takeError();
        if (m_errorString.isEmpty())
            m_errorString = QStringLiteral("Unbekannter Datenbankfehler");
        return;
    }
    const QSqlRecord record = m_query.record();
    m_types.reserve(record.count());
    m_padded.reserve(record.count());
    for (int i = 0; i < record.count(); ++i) {
        m_types << record.field(i).metaType().id();
        m_padded << isFixedWidthText(record.field(i).typeID());
    }
}

QString OdbcCursor::errorText(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    return text;
}

void OdbcCursor::takeError()
{
    const QSqlError error = m_query.lastError();
    if (error.type() == QSqlError::NoError)
        return;
    m_errorString = errorText(error);
    m_errorNumber = error.nativeErrorCode();
}

bool OdbcCursor::next()
{
    if (!m_active)
        return false;
    if (m_query.next())
        return true;
    takeError();
    m_active = false;
    return false;
}

int OdbcCursor::columnCount() const
{
    return int(m_types.size());
}

int OdbcCursor::indexOf(const QString &name) const
{
    return m_query.record().indexOf(name);
}

bool OdbcCursor::isNull(int column) const
{
    return m_query.isNull(column);
}

HostValue OdbcCursor::value(int column) const
{
    if (m_query.isNull(column))
        return HostValue();
    const QVariant value = m_query.value(column);
    if (m_padded.value(column) && value.typeId() == QMetaType::QString)
        return HostValue::text(withoutTrailingBlanks(value.toString()));
    return HostValue::fromVariant(value, m_types.value(column));
}
