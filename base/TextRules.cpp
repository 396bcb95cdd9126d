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

QTextCodec *ansiCodec()
{
    static QTextCodec *const codec = QTextCodec::codecForName("Windows-1252");
    Q_ASSERT(codec);
    return codec;
}

qsizetype firstOutsideAnsi(const QString &text)
{
    for (qsizetype pos = 0; pos < text.size(); ++pos) {
        const QChar c = text.at(pos);
        if (c.isSurrogate() || !ansiCodec()->canEncode(c))
            return pos;
    }
    return -1;
}

} // namespace TextRules
