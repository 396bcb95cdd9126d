#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// Reads and closes, in order, every message box that the window under test shows while the
// recorder lives, as a user who reads each one and presses OK.
class ModalRecorder
{
public:
    ModalRecorder()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                box && box->isVisible()) {
                messages << box->text();
                captions << box->windowTitle();
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start(5);
    }

    QStringList messages;
    QStringList captions;

private:
    QTimer m_timer;
};
