#pragma once

#include "export/MessageSink.h"

class QWidget;

// The program's message box: caption "Brettholm32", one OK button, no icon, modal.
class ModalMessage : public MessageSink
{
public:
    explicit ModalMessage(QWidget *parent = nullptr) : m_parent(parent) { }
    void showMessage(const QString &text) override { show(m_parent, text); }

    static void show(QWidget *parent, const QString &text);

private:
    QWidget *m_parent;
};
