#pragma once

#include <QDialog>

// A dialog that no key closes: a plain dialog closes on Escape and presses its default button
// on Enter. Closing is left to the window's own controls and its close box.
class KeepOpenDialog : public QDialog
{
    Q_OBJECT

public:
    using QDialog::QDialog;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
