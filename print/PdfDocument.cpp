#include "print/PdfDocument.h"

#include "base/AtomicFile.h"

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

PdfDocument::PdfDocument(QString path) : m_path(std::move(path)) { }

bool PdfDocument::write(const QString &html, const QString &title)
{
    m_errorString.clear();
    const QString name = QDir::toNativeSeparators(m_path);
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        m_errorString = QString::fromUtf8("Fehler beim Schreiben der Datei %1: ohne grafische "
                                          "Oberfläche kein PDF.")
                                .arg(name);
        return false;
    }
    // The whole document is made in memory first (a note has a few pages), so that a failing
    // disk leaves an existing file as it was.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(20, 15, 20, 15), QPageLayout::Millimeter));
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Brettholm32"));
        QTextDocument document;
        document.setHtml(html);
        document.print(&writer);
    }
    if (buffer.data().isEmpty()) {
        m_errorString = QString::fromUtf8("Fehler beim Schreiben der Datei %1: das PDF blieb leer.")
                                .arg(name);
        return false;
    }
    AtomicFile file(m_path);
    if (!file.open() || !file.write(buffer.data()) || !file.commit()) {
        m_errorString = QString::fromUtf8("Fehler beim Schreiben der Datei %1: %2")
                                .arg(name, file.errorString());
        return false;
    }
    return true;
}
