// brettholm32-bench: the measuring helpers of bench/run.sh. Not shipped.
//
//   brettholm32-bench statement FILTER      prints the export's log statement for FILTER
//   brettholm32-bench rows CONNECTION LIST  reads the log rows of LIST, every column, and
//                                           nothing else
//   brettholm32-bench start CONNECTION      starts the main window as brettholm32 does and
//                                           prints the wall clock (ns since the epoch) once
//                                           the window is shown and painted
//   brettholm32-bench postgres              starts a PostgreSQL server as tst_postgres does,
//                                           prints its port and the folder of its ODBC driver
//                                           list, and keeps it running until stdin ends
#include "PostgresServer.h"
#include "app/F_Main.h"
#include "export/ExportRun.h"
#include "host/HostDatabase.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>

namespace {

int usage()
{
    std::fputs("usage: brettholm32-bench statement FILTER | rows CONNECTION LIST"
               " | start CONNECTION | postgres\n",
               stderr);
    return 2;
}

// What reading costs on its own: the export's statement through the program's own reading
// path (HostDatabase, HostQuery), every row stepped and every column converted to a
// HostValue, as the sqlite3 shell turns every column into text; nothing else done.
int readRows(const QString &connection, const QString &list)
{
    HostDatabase database;
    if (!database.open(connection)) {
        std::fprintf(stderr, "%s\n", qPrintable(database.errorString()));
        return 1;
    }
    HostQuery rows =
            database.execStreamed(ExportRun::logStatement(QStringLiteral("LISTE = ?")), { list });
    long long count = 0;
    const int columns = rows.columnCount();
    while (rows.next()) {
        for (int column = 0; column < columns; ++column)
            count += rows.value(column).isNull() ? 0 : 1;
    }
    if (rows.failed()) {
        std::fprintf(stderr, "%s\n", qPrintable(rows.errorString()));
        return 1;
    }
    // The values that are not NULL, so that no conversion can be left out.
    std::printf("%lld\n", count);
    return 0;
}

// Reports the first exposure of the window once the events it caused, the first paint
// among them, have been handled.
class ShownWatcher : public QObject
{
public:
    explicit ShownWatcher(QWidget *window) : m_window(window) { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Expose && m_window->windowHandle() == watched
            && m_window->windowHandle()->isExposed()) {
            m_seen = true;
            QTimer::singleShot(0, [] {
                const auto now = std::chrono::system_clock::now().time_since_epoch();
                std::printf(
                        "%lld\n",
                        static_cast<long long>(
                                std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    QWidget *m_window;
    bool m_seen = false;
};

// The start sequence of app/main.cpp. The window is not closed, so Brett.Ini is not written.
int showMainWindow(int argc, char *argv[], const QString &connection)
{
    QApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("Brettholm32"));
    F_Main window(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
    ShownWatcher watcher(&window);
    application.installEventFilter(&watcher);
    if (!window.Form_Load(connection)) {
        std::fprintf(stderr, "%s\n", qPrintable(window.errorString()));
        return 1;
    }
    window.show();
    return application.exec();
}

// The server of the client/server rows of bench/run.sh; the script loads the data with psql.
int runPostgres()
{
    PostgresServer server;
    if (!server.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::printf("%d %s\n", server.port(), qPrintable(server.folder()));
    std::fflush(stdout);
    while (std::getchar() != EOF) { }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString command = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (command == QLatin1String("statement") && argc == 3) {
        const QString statement = ExportRun::logStatement(QString::fromLocal8Bit(argv[2]));
        std::printf("%s\n", statement.toUtf8().constData());
        return 0;
    }
    if (command == QLatin1String("rows") && argc == 4) {
        QCoreApplication application(argc, argv);
        return readRows(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    if (command == QLatin1String("postgres") && argc == 2) {
        QCoreApplication application(argc, argv);
        return runPostgres();
    }
    if (command == QLatin1String("start") && argc == 3)
        return showMainWindow(argc, argv, QString::fromLocal8Bit(argv[2]));
    return usage();
}
