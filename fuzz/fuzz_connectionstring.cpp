// The connection-string mapping on any text: every string either maps to a usable target or
// is refused with a reason, and a value put into an ODBC string comes back out of it whole.
#include "FuzzCheck.h"

#include "host/ConnectionString.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<QStringList> machines { {},
                                        { QStringLiteral("FreeTDS") },
                                        { QStringLiteral("ODBC Driver 18 for SQL Server"),
                                          QStringLiteral("FreeTDS") } };
    for (const QStringList &drivers : machines) {
        ConnectionTarget target;
        QString error;
        if (!ConnectionString::map(text, drivers, &target, &error)) {
            fuzzCheck(!error.isEmpty(), "a refusal says why", text);
            continue;
        }
        fuzzCheck(target.driver == QLatin1String("SQLITE")
                          || target.driver == QLatin1String("QODBC"),
                  "known driver", target.driver);
        fuzzCheck(!target.databaseName.trimmed().isEmpty(), "a database to open", text);
        // SQLite files are always opened read-only by HostDatabase.
        fuzzCheck(target.driver == QLatin1String("SQLITE")
                          || target.connectOptions.contains(QLatin1String("READ_ONLY")),
                  "opened read-only", target.connectOptions);
    }

    // An ODBC value is kept as it is, or braced with every "}" doubled.
    const QString value = ConnectionString::odbcValue(text);
    if (value != text) {
        fuzzCheck(value.startsWith(u'{') && value.endsWith(u'}'), "braced", value);
        QString inner = value.mid(1, value.size() - 2);
        fuzzCheck(!inner.replace(QStringLiteral("}}"), QString()).contains(u'}'),
                  "no lone closing brace inside", value);
        fuzzCheck(value.mid(1, value.size() - 2).replace(QStringLiteral("}}"), QStringLiteral("}"))
                          == text,
                  "value comes back whole", value);
    } else {
        fuzzCheck(!text.contains(u';') && !text.contains(u'{') && !text.contains(u'}'),
                  "unbraced value needs no braces", text);
    }
    return 0;
}
