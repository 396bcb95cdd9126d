#include "export/DeliveryLine.h"

#include "base/TextRules.h"

#include <algorithm>

qint64 PieceCounter::next(const HostValue &klst)
{
    double value = 0;
    if (klst.toDouble(&value)) {
        if (value == 2) {
            m_counter = 0;
            return 1;
        }
        if (value == 3)
            return 2 + m_counter++;
    }
    m_counter = 0;
    return 0;
}

namespace {

bool isSeparator(QChar c)
{
    return c == u';' || c == u'\r' || c == u'\n';
}

} // namespace

DeliveryLine::Fields DeliveryLine::BuildDeliveryLine(const RunValues &run, const LogRecord &log,
                                                     PieceCounter &counter, const QLocale &locale)
{
    Fields fields;
    BuildDeliveryLine(run, log, counter, locale, fields, Kept {});
    return fields;
}

void DeliveryLine::BuildDeliveryLine(const RunValues &run, const LogRecord &log,
                                     PieceCounter &counter, const QLocale &locale, Fields &fields,
                                     const Kept &kept)
{
    for (int i = 0; i < FieldCount; ++i) {
        if (!kept[i])
            fields[i] = DeliveryField::Layout[i].build(run, log, counter, locale);
    }
}

QString DeliveryLine::join(const Fields &fields)
{
    qsizetype size = FieldCount - 1;
    for (const QString &field : fields)
        size += field.size();
    QString line;
    line.reserve(size);
    for (int i = 0; i < FieldCount; ++i) {
        if (i > 0)
            line += u';';
        line += fields[i];
    }
    return line;
}

bool DeliveryLine::encode(const Fields &fields, QByteArray &bytes, Problem *problem)
{
    // One byte per character, so the size is known before the first byte is written.
    qsizetype size = FieldCount - 1 + 2;
    for (const QString &field : fields)
        size += field.size();
    bytes.resize(size);
    char *out = bytes.data();
    for (int i = 0; i < FieldCount; ++i) {
        if (i > 0)
            *out++ = ';';
        const QString &text = fields[i];
        for (qsizetype pos = 0; pos < text.size(); ++pos) {
            const QChar c = text.at(pos);
            // Printable ASCII other than ";" first: nearly every character is one.
            if (c.unicode() - 0x20u < 0x60u && c != u';') {
                *out++ = char(c.unicode());
                continue;
            }
            if (!isSeparator(c) && TextRules::toAnsi(c, out)) {
                ++out;
                continue;
            }
            // A separator anywhere in the field is named before a character the code page
            // lacks, as it is the one that would shift the fields.
            problem->field = i;
            problem->character.clear();
            if (!isSeparator(c) && std::none_of(text.cbegin() + pos, text.cend(), isSeparator))
                problem->character = TextRules::characterAt(text, pos);
            return false;
        }
    }
    *out++ = '\r';
    *out++ = '\n';
    return true;
}

QString DeliveryLine::Problem::message(const QString &blnr) const
{
    QString text = QStringLiteral("Feld %1 (%2)")
                           .arg(field + 1)
                           .arg(QString::fromUtf8(DeliveryField::Layout[field].meaning));
    if (!blnr.isNull())
        text += QStringLiteral(" von Stamm ") + blnr;
    if (character.isEmpty())
        return text + QStringLiteral(" enthält ein Semikolon oder einen Zeilenumbruch");
    return text + QStringLiteral(" enthält das nicht darstellbare Zeichen ") + character;
}
