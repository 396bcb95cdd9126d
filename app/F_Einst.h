#pragma once

#include "settings/ExportSettings.h"

#include "ui/KeepOpenDialog.h"

#include <array>

class QComboBox;
class QPushButton;

// The settings window. It edits the settings in memory and nothing else: opening shows them
// as they are, every close copies every field back, and neither touches Brett.Ini or the
// database. There is no cancel, and neither Enter nor Escape closes it.
class F_Einst : public KeepOpenDialog
{
    Q_OBJECT

public:
    // The settings must outlive the window.
    explicit F_Einst(ExportSettings &settings, QWidget *parent = nullptr);
    ~F_Einst() override;

    // Refills the field-source lists and shows the settings, values that are no entry of
    // their list included. Runs before every showing of the window.
    void Form_Load();

    // Closing stores every field, as every other way of closing does, and says so when the
    // export directory is missing.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void But_Schliessen_Click();
    void But_PathExport_Click();
    void warnOfMissingExportDirectory();

    // Rebuilds the list of one field-source combo box: the owner-account columns for
    // "Cb_SteuerNrWB" and "Cb_ZertifizierungsNrWB" (by object name), the log columns for any
    // other. The list is replaced, never extended.
    static void FillSourceCombo(QComboBox &combo);
    void buildControls();
    void FillSourceCombos();
    void Form_Unload();

    ExportSettings &m_settings;
    // The field of each key, text box or combo box alike.
    std::array<QWidget *, ExportSettings::KeyCount> m_fields {};
    QPushButton *m_butSchliessen = nullptr;
    QPushButton *m_butPathExport = nullptr;
    bool m_loaded = false;
};
