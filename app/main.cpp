#include "app/F_Main.h"
#include "base/QtTranslations.h"
#include "settings/StartSequence.h"
#include "ui/ModalMessage.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("Brettholm32"));
    // Without the catalogue Qt's few texts stay English; the program runs all the same.
    QtTranslations::installGerman();

    F_Main window(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
    if (!window.Form_Load(StartSequence::commandLineText(QCoreApplication::arguments()))) {
        ModalMessage::show(nullptr, window.errorString());
        return 1;
    }
    window.show();
    return application.exec();
}
