#pragma once

#include <QString>

// Writes an HTML text (as QTextDocument reads it) as a PDF on A4 paper, replacing the file as
// a whole or not at all. Needs a QGuiApplication for its fonts, not a window: the command line
// writes the delivery note with the offscreen platform.
class PdfDocument
{
public:
    explicit PdfDocument(QString path);

    bool write(const QString &html, const QString &title);
    QString errorString() const { return m_errorString; }

private:
    QString m_path;
    QString m_errorString;
};
