#include "cli/ExportCli.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
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
