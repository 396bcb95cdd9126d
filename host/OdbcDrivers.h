#pragma once

#include <QStringList>

// The names of the ODBC drivers installed on this machine, as the driver manager lists them.
class OdbcDrivers
{
public:
    static QStringList installed();
};
