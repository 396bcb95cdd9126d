#pragma once

#include "host/HostDatabase.h"
#include "settings/ExportSettings.h"

#include <QWidget>

class QComboBox;
class QListWidget;

// The main window: choice of the list and its lots, start of the export, settings and About.
// It owns the database connection and the settings from a successful Form_Load to its close.
class F_Main : public QWidget
{
    Q_OBJECT

public:
    explicit F_Main(const QString &applicationDirectory, QWidget *parent = nullptr);
    ~F_Main() override;

    // The start sequence: caption, connection, default settings, list selector, Brett.Ini.
    // False when the program cannot start; errorString() then holds the text to show, and
    // Brett.Ini has been neither read nor written.
    bool Form_Load(const QString &commandLineText);
    QString errorString() const { return m_errorString; }

    ExportSettings &settings() { return m_settings; }
    QString brettIniPath() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    bool fillListSelector();
    void FillLbLos();
    void CbListe_Confirmed();
    // The list selector's text and the selected lots; false, after saying why, when the lots
    // were filled for another list than the one the selector now names.
    bool selection(QString *list, QStringList *lots);
    void B_Start_Click();
    void B_Einstellungen_Click();
    void B_Info_Click();
    void Mnu_Pruefen_Click();
    void Mnu_Lieferungen_Click();
    void Form_Unload();

    QString m_applicationDirectory;
    HostDatabase m_database;
    ExportSettings m_settings;
    QString m_errorString;
    bool m_loaded = false;
    // The list whose lots the lot list holds.
    QString m_lotsList;
    QComboBox *m_cbListe = nullptr;
    QListWidget *m_lbLos = nullptr;
};
