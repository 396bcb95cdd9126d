#pragma once

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
