#include "ui/ModalMessage.h"

#include "ui/WaitCursor.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace {

QMessageBox *newBox(QWidget *parent, const QString &text, QMessageBox::StandardButtons buttons)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Brettholm32"), text, buttons,
                                parent);
    // Some desktop styles put an icon on a button; the box shows text and its buttons only.
    for (QAbstractButton *button : box->buttons())
        button->setIcon(QIcon());
    return box;
}

} // namespace

void ModalMessage::show(QWidget *parent, const QString &text)
{
    const std::unique_ptr<QMessageBox> box(newBox(parent, text, QMessageBox::Ok));
    const ArrowCursor arrow;
    box->exec();
}

bool ModalMessage::ask(QWidget *parent, const QString &question)
{
    const std::unique_ptr<QMessageBox> box(
            newBox(parent, question, QMessageBox::Yes | QMessageBox::No));
    box->button(QMessageBox::Yes)->setText(QStringLiteral("Ja"));
    box->button(QMessageBox::No)->setText(QStringLiteral("Nein"));
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    const ArrowCursor arrow;
    return box->exec() == QMessageBox::Yes;
}

bool ModalMessage::showOffering(QWidget *parent, const QString &text, const QString &action,
                                const QString &actionName)
{
    const std::unique_ptr<QMessageBox> box(newBox(parent, text, QMessageBox::Ok));
    QPushButton *offered = box->addButton(action, QMessageBox::ActionRole);
    offered->setObjectName(actionName);
    box->setDefaultButton(QMessageBox::Ok);
    const ArrowCursor arrow;
    box->exec();
    return box->clickedButton() == offered;
}
