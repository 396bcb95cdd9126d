#pragma once

#include "host/HostValue.h"

#include <QString>
#include <QStringList>

// The rows of one statement as one kind of connection hands them over, forward only. A
// HostQuery reads through one.
class HostCursor
{
public:
    virtual ~HostCursor() = default;

    // Moves to the next row. False at the end and on a failure, which sets errorString();
    // every later call is false as well.
    virtual bool next() = 0;
    virtual int columnCount() const = 0;
    // The column's position, whatever the name's case; -1 when there is no such column.
    int indexOf(const QString &name) const
    {
        for (qsizetype i = 0; i < m_names.size(); ++i) {
            if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        }
        return -1;
    }
    // A column of the current row, converted only when it is read. NULL when there is no
    // current row or no such column.
    virtual HostValue value(int column) const = 0;

    QString errorString() const { return m_errorString; }
    QString errorNumber() const { return m_errorNumber; }

protected:
    // The result's column names, in order.
    QStringList m_names;
    QString m_errorString;
    QString m_errorNumber;
};
