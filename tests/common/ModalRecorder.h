#pragma once

#include <QApplication>
#include <QCursor>
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
                const QPushButton *enter = box->defaultButton();
                boxes << QStringLiteral("%1 [%2%3] %4")
                                 .arg(box->windowTitle(), cursorStack(),
                                      enter ? ", Enter " + enter->text() : QString(),
                                      box->text().section(u'\n', 0, 0));
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start(5);
    }

    QStringList messages;
    // Each box as "caption [cursors, Enter default button] first line of its text", the cursors
    // as cursorStack() gives them while the box shows.
    QStringList boxes;

    // The override cursors, the top first: "arrow wait" is the arrow over the box of a window
    // at work, "" no override at all.
    static QString cursorStack()
    {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        if (!cursor)
            return QString();
        const Qt::CursorShape shape = cursor->shape();
        QGuiApplication::restoreOverrideCursor();
        const QString below = cursorStack();
        QGuiApplication::setOverrideCursor(shape);
        const QString name = shape == Qt::ArrowCursor ? QStringLiteral("arrow")
                : shape == Qt::WaitCursor             ? QStringLiteral("wait")
                                                      : QString::number(shape);
        return below.isEmpty() ? name : name + u' ' + below;
    }

private:
    QTimer m_timer;
};
