#pragma once

#include "export/MessageSink.h"

class QWidget;

// The program's message box: caption "Brettholm32", one OK button, no icon, modal.
class ModalMessage : public MessageSink
{
public:
    explicit ModalMessage(QWidget *parent = nullptr) : m_parent(parent) { }
    void showMessage(const QString &text) override { show(m_parent, text); }
    bool confirm(const QString &facts) override
    {
        return ask(m_parent, facts + QStringLiteral("\n\nTrotzdem liefern?"));
    }

    static void show(QWidget *parent, const QString &text);
    // "Ja" and "Nein", "Nein" the default and the answer of Escape; true for "Ja".
    static bool ask(QWidget *parent, const QString &question);
    // OK, the default, and beside it a button for what can follow (named actionName); true
    // when that one was pressed.
    static bool showOffering(QWidget *parent, const QString &text, const QString &action,
                             const QString &actionName);

protected:
    QWidget *parentWidget() const { return m_parent; }

private:
    QWidget *m_parent;
};
