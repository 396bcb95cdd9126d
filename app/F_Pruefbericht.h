#pragma once

#include "export/CheckReport.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

// The check report: every failed check of every log of the chosen list and lots in one window,
// where "Konvertierung starten" stops at the first failed log. The problems that every log
// shares come first, once, with where the user mends them; then each log's own problems, and
// the counts. The report can be copied as text, as the command line's --check prints it.
class F_Pruefbericht : public QDialog
{
    Q_OBJECT

public:
    explicit F_Pruefbericht(const CheckReport &report, QWidget *parent = nullptr);

private:
    void But_Kopieren_Click();

    CheckReport m_report;
};
