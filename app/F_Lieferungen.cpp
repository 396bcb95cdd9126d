#include "app/F_Lieferungen.h"

#include "app/F_Lieferschein.h"
#include "base/AtomicFile.h"
#include "export/TimberVolume.h"
#include "ui/ModalMessage.h"
#include "ui/WindowFont.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

F_Lieferungen::F_Lieferungen(const QString &ledgerPath, QWidget *parent)
    : QDialog(parent), m_ledgerPath(ledgerPath), m_table(new QTableWidget(this))
{
    setWindowTitle(QStringLiteral("Lieferungen"));
    setFont(WindowFont::standard());
    resize(760, 360);
    m_table->setObjectName(QStringLiteral("Tb_Lieferungen"));
    const QStringList titles { QStringLiteral("Zeit"),   QStringLiteral("Benutzer"),
                               QStringLiteral("Liste"),  QStringLiteral("Lose"),
                               QStringLiteral("Stämme"), QStringLiteral("Festmeter"),
                               QStringLiteral("Datei") };
    m_table->setColumnCount(int(titles.size()));
    m_table->setHorizontalHeaderLabels(titles);
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setStretchLastSection(true);

    Ledger ledger(ledgerPath);
    if (!ledger.open(Ledger::ReadOnly) || !ledger.deliveries(&m_deliveries)) {
        // Said once the window shows, over it.
        const QString reason = ledger.errorString();
        QTimer::singleShot(0, this, [this, reason] { ModalMessage::show(this, reason); });
    }
    for (const Ledger::Delivery &delivery : std::as_const(m_deliveries)) {
        QStringList lots;
        for (const QString &lot : delivery.lots)
            lots << (lot.isEmpty() ? QStringLiteral("ohne Los") : lot);
        const QStringList cells {
            delivery.time.toString(QStringLiteral("dd.MM.yyyy HH:mm")),
            delivery.user,
            delivery.list,
            lots.isEmpty() ? QStringLiteral("alle") : lots.join(QStringLiteral(", ")),
            QString::number(delivery.lines),
            TimberVolume::volumeText(delivery.hundredths),
            delivery.path,
        };
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        for (int column = 0; column < cells.size(); ++column)
            m_table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    m_table->resizeColumnsToContents();
    if (m_table->rowCount() > 0)
        m_table->selectRow(m_table->rowCount() - 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    auto *buttons = new QHBoxLayout;
    auto *note = new QPushButton(QStringLiteral("Lieferschein…"), this);
    note->setObjectName(QStringLiteral("But_Lieferschein"));
    auto *restore = new QPushButton(QStringLiteral("Datei wiederherstellen…"), this);
    restore->setObjectName(QStringLiteral("But_Wiederherstellen"));
    auto *close = new QPushButton(QStringLiteral("Schließen"), this);
    close->setObjectName(QStringLiteral("But_Schliessen"));
    buttons->addWidget(note);
    buttons->addWidget(restore);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(note, &QPushButton::clicked, this, &F_Lieferungen::But_Lieferschein_Click);
    connect(restore, &QPushButton::clicked, this, &F_Lieferungen::But_Wiederherstellen_Click);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

const Ledger::Delivery *F_Lieferungen::chosen() const
{
    const int row = m_table->currentRow();
    return row >= 0 && row < m_deliveries.size() ? &m_deliveries.at(row) : nullptr;
}

void F_Lieferungen::But_Lieferschein_Click()
{
    if (const Ledger::Delivery *delivery = chosen()) {
        F_Lieferschein note(delivery->note, QFileInfo(delivery->path).fileName(), this);
        note.exec();
    }
}

// The bytes go out only as the ledger holds them unchanged: a file that differs from what was
// delivered would be worse than none.
void F_Lieferungen::But_Wiederherstellen_Click()
{
    const Ledger::Delivery *delivery = chosen();
    if (!delivery)
        return;
    const QString path = QFileDialog::getSaveFileName(
            this, QStringLiteral("Datei wiederherstellen"), delivery->path);
    if (path.isEmpty())
        return;
    Ledger ledger(m_ledgerPath);
    QByteArray bytes;
    if (!ledger.open(Ledger::ReadOnly) || !ledger.deliveryBytes(delivery->id, &bytes)) {
        ModalMessage::show(this, ledger.errorString());
        return;
    }
    AtomicFile file(path);
    if (!file.open() || !file.write(bytes) || !file.commit()) {
        ModalMessage::show(this,
                           QStringLiteral("Fehler beim Schreiben der Datei %1 \n%2")
                                   .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    ModalMessage::show(this,
                       QStringLiteral("Die Datei %1 ist wiederhergestellt.")
                               .arg(QDir::toNativeSeparators(path)));
}
