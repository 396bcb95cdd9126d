#include "app/F_Lieferschein.h"

#include "print/PdfDocument.h"
#include "ui/ModalMessage.h"
#include "ui/WindowFont.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

F_Lieferschein::F_Lieferschein(const QString &html, const QString &fileName, QWidget *parent)
    : QDialog(parent), m_html(html), m_fileName(fileName), m_text(new QTextBrowser(this))
{
    setWindowTitle(QStringLiteral("Lieferschein"));
    setFont(WindowFont::standard());
    resize(640, 560);
    m_text->setObjectName(QStringLiteral("Tx_Lieferschein"));
    m_text->setHtml(html);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    auto *buttons = new QHBoxLayout;
    auto *print = new QPushButton(QStringLiteral("Drucken…"), this);
    print->setObjectName(QStringLiteral("But_Drucken"));
    auto *pdf = new QPushButton(QStringLiteral("Als PDF speichern…"), this);
    pdf->setObjectName(QStringLiteral("But_Pdf"));
    auto *close = new QPushButton(QStringLiteral("Schließen"), this);
    close->setObjectName(QStringLiteral("But_Schliessen"));
    buttons->addWidget(print);
    buttons->addWidget(pdf);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(print, &QPushButton::clicked, this, &F_Lieferschein::But_Drucken_Click);
    connect(pdf, &QPushButton::clicked, this, &F_Lieferschein::But_Pdf_Click);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void F_Lieferschein::But_Drucken_Click()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Lieferschein ") + m_fileName);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QTextDocument document;
    document.setDefaultFont(font());
    document.setHtml(m_html);
    document.print(&printer);
}

void F_Lieferschein::But_Pdf_Click()
{
    const QString suggested = QDir::home().filePath(QFileInfo(m_fileName).completeBaseName()
                                                    + QStringLiteral(".pdf"));
    const QString path =
            QFileDialog::getSaveFileName(this, QStringLiteral("Als PDF speichern"), suggested,
                                         QStringLiteral("PDF-Dateien (*.pdf)"));
    if (path.isEmpty())
        return;
    PdfDocument pdf(path);
    if (!pdf.write(m_html, QStringLiteral("Lieferschein ") + m_fileName))
        ModalMessage::show(this, pdf.errorString());
}
