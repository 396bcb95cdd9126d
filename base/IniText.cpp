#include "base/IniText.h"

#include "base/TextRules.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextCodec>

#include <algorithm>

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
    const QString text = decode(bytes);
    m_lines = text.split(u'\n');
    if (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
    for (QString &line : m_lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return true;
}

QString IniText::decode(const QByteArray &bytes)
{
    // An editor may have saved the file as UTF-8, with or without a byte-order mark. Bytes
    // above 127 that form valid UTF-8 are taken as that: German text in Windows-1252 never
    // does, as an umlaut or "ß" would need one of 0x80 to 0xBF after it, none of which
    // follows one in a word.
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        QStringDecoder utf8(QStringConverter::Utf8);
        QString text = utf8(bytes);
        if (!utf8.hasError())
            return text;
    }
    return TextRules::ansiCodec()->toUnicode(bytes);
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
