#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The text form shared by lindavex.Ini and Brett.Ini: 8-bit Windows-1252, one entry per line.
// Lines may end with CR LF or LF when read; written lines end with CR LF. A file that an editor
// saved as UTF-8 is read as UTF-8; it is written back in Windows-1252.
class IniText
{
public:
    bool read(const QString &path);
    const QStringList &lines() const { return m_lines; }
    QString errorString() const { return m_errorString; }

    // Splits a line at its first "=". A line without "=", or with "=" as its first character,
    // carries no key. The key is upper-cased and both parts lose their blanks at the ends;
    // the value keeps any further "=".
    static bool splitLine(const QString &line, QString *key, QString *value);

    // The text of a file's bytes: UTF-8 when they hold non-ASCII bytes that are valid UTF-8
    // (a byte-order mark is dropped), Windows-1252 otherwise.
    static QString decode(const QByteArray &bytes);

    // The lines in Windows-1252, each ended by CR LF. A character that Windows-1252 lacks
    // becomes "?": see TextRules::firstOutsideAnsi.
    static QByteArray encode(const QStringList &lines);

private:
    QStringList m_lines;
    QString m_errorString;
};
