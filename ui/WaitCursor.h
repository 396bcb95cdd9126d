#pragma once

#include <QCursor>
#include <QGuiApplication>

// The wait cursor over every window of the program while it lives. The program works on its
// one thread without yielding, so a window takes no input while a query or the export runs;
// the cursor tells the user that it works and has not hung. A message box shown meanwhile
// has the arrow (ModalMessage).
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

// The arrow over a box or window that waits for the user while the program is at work (a
// WaitCursor lives); nothing when it is not.
class ArrowCursor
{
public:
    ArrowCursor() : m_waiting(QGuiApplication::overrideCursor() != nullptr)
    {
        if (m_waiting)
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~ArrowCursor()
    {
        if (m_waiting)
            QGuiApplication::restoreOverrideCursor();
    }
    ArrowCursor(const ArrowCursor &) = delete;
    ArrowCursor &operator=(const ArrowCursor &) = delete;

private:
    bool m_waiting;
};
