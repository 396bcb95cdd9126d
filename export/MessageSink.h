#pragma once

#include <QString>

// Where the export run reports what the user has to read: the GUI shows each message in a
// modal box and returns when it is closed, the command line prints it, tests record it.
class MessageSink
{
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const QString &text) = 0;
};
