#pragma once

#include "export/MessageSink.h"

#include <QStringList>

// A message sink that keeps what the run said, in order, and answers every question with
// answer.
class RecordedMessages : public MessageSink
{
public:
    void showMessage(const QString &text) override { messages << text; }
    bool confirm(const QString &question) override
    {
        questions << question;
        return answer;
    }

    QStringList messages;
    QStringList questions;
    bool answer = false;
};
