#pragma once

#include "host/HostCursor.h"

#include <QSqlQuery>
#include <QVariantList>
#include <QVector>

class QSqlDatabase;
class QSqlError;

// The rows of a statement on an ODBC connection, read through Qt's QODBC driver.
//
// Values read the same on every server: a fixed-width character column (char, nchar) loses
// the blanks that pad it to its width, as they are no part of the value; decimal columns
// arrive as their exact text; and a number that a driver formats with the locale's decimal
// comma is still read as that number.
class OdbcCursor final : public HostCursor
{
public:
    // Prepares and runs statement with params bound to its "?" placeholders in order. The
    // statement gives up after timeoutSeconds waiting for the server (0: never).
    OdbcCursor(const QSqlDatabase &database, const QString &statement, const QVariantList &params,
               int timeoutSeconds);

    bool next() override;
    int columnCount() const override;
    int indexOf(const QString &name) const override;
    HostValue value(int column) const override;
    bool isNull(int column) const override;

    // The server's own words for an error, else Qt's.
    static QString errorText(const QSqlError &error);

private:
    void takeError();

    QSqlQuery m_query;
    QVector<int> m_types;
    QVector<bool> m_padded;
    bool m_active = false;
};
