#include "cli/ExportCli.h"

#include "base/QtTranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    // The delivery note's PDF needs Gui's fonts and text layout, never a window; without a
    // note the tool starts as plain as before.
    bool note = false;
    for (int i = 1; i < argc; ++i)
        note = note || qstrncmp(argv[i], "--note", 6) == 0;
#ifndef Q_OS_WIN
    if (note && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
        && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    std::unique_ptr<QCoreApplication> application;
    if (note)
        application = std::make_unique<QGuiApplication>(argc, argv);
    else
        application = std::make_unique<QCoreApplication>(argc, argv);
    // Qt's own file errors in German, as the program's messages around them.
    QtTranslations::installGerman();
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    ExportCli cli(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()), out, err);
    const int code = cli.run(QCoreApplication::arguments());
    out.flush();
    err.flush();
    return code;
}
