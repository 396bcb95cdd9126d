#include "app/ModalMessage.h"

#include <QMessageBox>

void ModalMessage::show(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Brettholm32"), text, QMessageBox::Ok,
                    parent);
    box.exec();
}
