#pragma once

#include "export/Ledger.h"

#include <QDialog>

class QTableWidget;

// The ledger as a table, oldest delivery first: for the chosen delivery its delivery note,
// and its file written again from the bytes the ledger keeps, after they are checked against
// their SHA-256.
class F_Lieferungen : public QDialog
{
    Q_OBJECT

public:
    // The ledger is read when the window opens; one that cannot be read is said in a box and
    // leaves the table empty.
    explicit F_Lieferungen(const QString &ledgerPath, QWidget *parent = nullptr);

private:
    void But_Lieferschein_Click();
    void But_Wiederherstellen_Click();
    const Ledger::Delivery *chosen() const;

    QString m_ledgerPath;
    QList<Ledger::Delivery> m_deliveries;
    QTableWidget *m_table;
};
