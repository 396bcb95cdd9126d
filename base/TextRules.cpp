#include "base/TextRules.h"

#include <QTextCodec>

namespace TextRules {

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

QString toUpper(QString text)
{
    for (const QChar c : std::as_const(text)) {
        if (c.unicode() >= 0x80 || (c >= u'a' && c <= u'z'))
            return std::move(text).toUpper();
    }
    return text;
}

QTextCodec *ansiCodec()
{
    static QTextCodec *const codec = QTextCodec::codecForName("Windows-1252");
    Q_ASSERT(codec);
    return codec;
}

bool toAnsi(QChar c, char *byte)
{
    // Windows-1252 holds ASCII and the upper half of Latin-1 (U+00A0 to U+00FF) at the same
    // code points. Only the rest needs the codec, which costs a converter of its own for each
    // question.
    const char16_t code = c.unicode();
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
        *byte = char(code);
        return true;
    }
    if (c.isSurrogate() || !ansiCodec()->canEncode(c))
        return false;
    *byte = ansiCodec()->fromUnicode(&c, 1).at(0);
    return true;
}

qsizetype firstOutsideAnsi(const QString &text)
{
    char byte = 0;
    for (qsizetype pos = 0; pos < text.size(); ++pos) {
        if (!toAnsi(text.at(pos), &byte))
            return pos;
    }
    return -1;
}

QString characterAt(const QString &text, qsizetype pos)
{
    const bool pair = text.at(pos).isHighSurrogate() && pos + 1 < text.size()
            && text.at(pos + 1).isLowSurrogate();
    return text.mid(pos, pair ? 2 : 1);
}

} // namespace TextRules
