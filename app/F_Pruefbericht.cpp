#include "app/F_Pruefbericht.h"

#include "ui/WindowFont.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidget *table(const QString &name, const QStringList &headers, QWidget *parent)
{
    auto *widget = new QTableWidget(0, int(headers.size()), parent);
    widget->setObjectName(name);
    widget->setHorizontalHeaderLabels(headers);
    widget->verticalHeader()->hide();
    // One line of text a row, as in the lot list; the report is read, and copied whole.
    widget->verticalHeader()->setDefaultSectionSize(widget->fontMetrics().height() + 6);
    widget->setEditTriggers(QAbstractItemView::NoEditTriggers);
    widget->setSelectionMode(QAbstractItemView::NoSelection);
    widget->setFocusPolicy(Qt::NoFocus);
    widget->setWordWrap(false);
    widget->horizontalHeader()->setStretchLastSection(true);
    return widget;
}

void addRow(QTableWidget *table, const QStringList &cells)
{
    const int row = table->rowCount();
    table->insertRow(row);
    for (int column = 0; column < cells.size(); ++column)
        table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
}

// The log as the first column names it: its number, or where that names no log its place.
QString logCell(const CheckReport::LogProblem &problem)
{
    const QString name = CheckReport::logName(problem);
    return name.startsWith(QLatin1String("Stamm ")) ? name.mid(6) : name;
}

} // namespace

F_Pruefbericht::F_Pruefbericht(const CheckReport &report, QWidget *parent)
    : QDialog(parent), m_report(report)
{
    setWindowTitle(QStringLiteral("Prüfbericht"));
    setFont(WindowFont::standard());
    resize(640, 560);

    auto *layout = new QVBoxLayout(this);
    auto *selection = new QLabel(report.selectionText(), this);
    selection->setObjectName(QStringLiteral("Lb_Auswahl"));
    layout->addWidget(selection);
    QString countText = report.counts();
    if (report.isClean())
        countText += QStringLiteral(" - Keine Fehler gefunden");
    auto *counts = new QLabel(countText, this);
    counts->setObjectName(QStringLiteral("Lb_Anzahl"));
    layout->addWidget(counts);

    // Shared problems fail every log alike; one fix mends them all.
    if (!report.sharedProblems().isEmpty()) {
        layout->addWidget(new QLabel(QStringLiteral("Für alle Stämme:"), this));
        QTableWidget *shared =
                table(QStringLiteral("Tb_Alle"),
                      { QStringLiteral("Meldung"), QStringLiteral("Zu ändern in") }, this);
        for (const CheckReport::SharedProblem &problem : report.sharedProblems())
            addRow(shared, { problem.message, CheckReport::whereToMend(problem.key) });
        shared->resizeColumnToContents(0);
        // As high as its rows, so that the logs' table gets the rest.
        shared->setFixedHeight(shared->horizontalHeader()->sizeHint().height()
                               + shared->verticalHeader()->length() + 2 * shared->frameWidth());
        shared->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        layout->addWidget(shared);
    }
    layout->addWidget(new QLabel(report.logProblems().isEmpty()
                                         ? QStringLiteral("Einzelne Stämme: keine Fehler")
                                         : QStringLiteral("Einzelne Stämme:"),
                                 this));
    QTableWidget *logs = table(
            QStringLiteral("Tb_Staemme"),
            { QStringLiteral("Stamm"), QStringLiteral("Los"), QStringLiteral("Meldung") }, this);
    for (const CheckReport::LogProblem &problem : report.logProblems())
        addRow(logs, { logCell(problem), problem.lot, problem.message });
    logs->resizeColumnToContents(0);
    layout->addWidget(logs, 1);

    // What stops no export, and what the checked logs amount to.
    if (!report.hints().isEmpty()) {
        layout->addWidget(new QLabel(QStringLiteral("Hinweise:"), this));
        QTableWidget *hints =
                table(QStringLiteral("Tb_Hinweise"), { QStringLiteral("Hinweis") }, this);
        for (const QString &hint : report.hints())
            addRow(hints, { hint.mid(QStringLiteral("Hinweis: ").size()) });
        layout->addWidget(hints);
    }
    layout->addWidget(new QLabel(QStringLiteral("Zusammenfassung:"), this));
    QTableWidget *summary =
            table(QStringLiteral("Tb_Summe"), DeliverySummary::columnTitles(), this);
    for (const QStringList &cells : report.summary().cells())
        addRow(summary, cells);
    summary->resizeColumnsToContents();
    layout->addWidget(summary, 1);

    auto *buttons = new QHBoxLayout;
    auto *copy = new QPushButton(QStringLiteral("In die Zwischenablage kopieren"), this);
    copy->setObjectName(QStringLiteral("But_Kopieren"));
    auto *close = new QPushButton(QStringLiteral("Schließen"), this);
    close->setObjectName(QStringLiteral("But_Schliessen"));
    buttons->addWidget(copy);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(copy, &QPushButton::clicked, this, &F_Pruefbericht::But_Kopieren_Click);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void F_Pruefbericht::But_Kopieren_Click()
{
    QGuiApplication::clipboard()->setText(m_report.text());
}
