#include "base/IniText.h"

#include "base/TextRules.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

bool IniText::read(const QString &path)
{
    m_lines.clear();
    m_errorString.clear();
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        m_errorString = QStringLiteral("Die Datei %1 wurde nicht gefunden.").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_errorString = QStringLiteral("Die Datei %1 kann nicht geöffnet werden: %2")
                                .arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_errorString = QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2")
                                .arg(path, file.errorString());
        return false;
    }
    const QString text = TextRules::ansiCodec()->toUnicode(bytes);
    m_lines = text.split(u'\n');
    if (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
    for (QString &line : m_lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return true;
}

bool IniText::splitLine(const QString &line, QString *key, QString *value)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0)
        return false;
    *key = TextRules::trimBlanks(line.left(eq).toUpper());
    *value = TextRules::trimBlanks(line.mid(eq + 1));
    return true;
}

QByteArray IniText::encode(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += TextRules::ansiCodec()->fromUnicode(line);
        bytes += "\r\n";
    }
    return bytes;
}
