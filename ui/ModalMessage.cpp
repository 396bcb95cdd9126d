#include "ui/ModalMessage.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QMessageBox>

namespace {

// The box waits for the user, whatever work the window behind it is in: the arrow.
int execWithArrow(QMessageBox &box)
{
    const bool waiting = QGuiApplication::overrideCursor() != nullptr;
    if (waiting)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = box.exec();
    if (waiting)
        QGuiApplication::restoreOverrideCursor();
    return result;
}

} // namespace

void ModalMessage::show(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Brettholm32"), text, QMessageBox::Ok,
                    parent);
    // Some desktop styles put an icon on the button; the box shows text and OK only.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    execWithArrow(box);
}

bool ModalMessage::ask(QWidget *parent, const QString &question)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Brettholm32"), question,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Nein"));
    for (QAbstractButton *button : box.buttons())
        button->setIcon(QIcon());
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return execWithArrow(box) == QMessageBox::Yes;
}
