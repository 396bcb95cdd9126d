#pragma once

#include <QString>

// Where the export run reports what the user has to read: the GUI shows each message in a
// modal box and returns when it is closed, the command line prints it, tests record it.
class MessageSink
{
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const QString &text) = 0;

    // A question before the run does what is probably a mistake (delivering logs again); true
    // to go on. The GUI asks Ja/Nein with Nein the default; the command line goes on only when
    // it was told so beforehand. A sink that cannot ask says no.
    virtual bool confirm(const QString &question)
    {
        showMessage(question);
        return false;
    }

    // The end of a successful export: "Export erfolgreich!" and, on further lines, what was
    // sent. The GUI offers the delivery note beside OK.
    virtual void showSuccess(const QString &text) { showMessage(text); }
};
