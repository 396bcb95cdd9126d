#pragma once

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
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
                defaults << (box->defaultButton() ? box->defaultButton()->text() : QString());
                cursors << cursorStack();
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start(5);
    }

    QStringList messages;
    QStringList captions;
    // The text of each box's default button, the one Enter presses.
    QStringList defaults;
    // The override cursors while each box was shown, the top first: "arrow wait" is the
    // arrow over the box of a window at work, "" no override at all.
    QStringList cursors;

    static QString cursorStack()
    {
        QList<Qt::CursorShape> shapes;
        while (const QCursor *cursor = QGuiApplication::overrideCursor()) {
            shapes << cursor->shape();
            QGuiApplication::restoreOverrideCursor();
        }
        QStringList names;
        for (auto shape = shapes.crbegin(); shape != shapes.crend(); ++shape)
            QGuiApplication::setOverrideCursor(*shape);
        for (Qt::CursorShape shape : shapes)
            names << (shape == Qt::ArrowCursor          ? QStringLiteral("arrow")
                              : shape == Qt::WaitCursor ? QStringLiteral("wait")
                                                        : QString::number(shape));
        return names.join(u' ');
    }

private:
    QTimer m_timer;
};
