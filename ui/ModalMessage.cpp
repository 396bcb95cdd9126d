#include "ui/ModalMessage.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QMessageBox>

void ModalMessage::show(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Brettholm32"), text, QMessageBox::Ok,
                    parent);
    // Some desktop styles put an icon on the button; the box shows text and OK only.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    // The box waits for the user, whatever work the window behind it is in: the arrow.
    const bool waiting = QGuiApplication::overrideCursor() != nullptr;
    if (waiting)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (waiting)
        QGuiApplication::restoreOverrideCursor();
}
