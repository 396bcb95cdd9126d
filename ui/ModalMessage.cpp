#include "ui/ModalMessage.h"

#include <QAbstractButton>
#include <QMessageBox>

void ModalMessage::show(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Brettholm32"), text, QMessageBox::Ok,
                    parent);
    // Some desktop styles put an icon on the button; the box shows text and OK only.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}
