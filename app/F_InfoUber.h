#pragma once

#include "ui/KeepOpenDialog.h"

class QLabel;

// The About window: product title, version and two pictures. It reads nothing, has no buttons
// and closes only through its close box.
class F_InfoUber : public KeepOpenDialog
{
    Q_OBJECT

public:
    // The maker named in the title and the notice.
    static const char MakerName[];

    explicit F_InfoUber(QWidget *parent = nullptr);
    ~F_InfoUber() override;

    // Sets the version line of this build. Runs before every showing of the window.
    void Form_Load();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();

    QLabel *m_lbVersion = nullptr;
};
