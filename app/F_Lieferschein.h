#pragma once

#include <QDialog>

class QTextBrowser;

// The delivery note of one delivery, as it was recorded: shown, printed through the system's
// print dialog, or saved as a PDF.
class F_Lieferschein : public QDialog
{
    Q_OBJECT

public:
    // html as DeliveryNote::html() made it; fileName names the suggested PDF.
    F_Lieferschein(const QString &html, const QString &fileName, QWidget *parent = nullptr);

private:
    void But_Drucken_Click();
    void But_Pdf_Click();

    QString m_html;
    QString m_fileName;
    QTextBrowser *m_text;
};
