#include "export/TimberVolume.h"

#include "host/HostValue.h"

namespace TimberVolume {

namespace {

// A diameter or length beyond these is no log; the limits keep the exact arithmetic below in
// 128 bits.
constexpr qint64 DiameterLimit = 10000; // cm
constexpr qint64 LengthLimit = 10000;   // m
constexpr int LengthDecimals = 6;       // a micrometre; beyond it a stored length is noise

// pi * 10^19 rounded down: pi lies in [Pi, Pi + 1] / 10^19.
constexpr unsigned __int128 Pi = (unsigned __int128)(3141592653589793238ULL) * 10 + 4;
constexpr unsigned __int128 PiScale = 10000000000000000000ULL;

struct Decimal
{
    bool positive = false;
    qint64 whole = 0; // the digits before the point; -1 when there are too many
    QString fraction; // the digits after the point
};

// A canonical decimal text ("-12.5", "0.25", "40").
Decimal parse(const QString &text)
{
    Decimal d;
    if (text.isEmpty() || text.startsWith(u'-') || text == QLatin1String("0"))
        return d;
    d.positive = true;
    const qsizetype point = text.indexOf(u'.');
    const qsizetype wholeDigits = point < 0 ? text.size() : point;
    if (wholeDigits > 17) {
        d.whole = -1;
    } else {
        for (qsizetype i = 0; i < wholeDigits; ++i)
            d.whole = d.whole * 10 + text.at(i).digitValue();
    }
    if (point >= 0)
        d.fraction = text.mid(point + 1);
    return d;
}

Class classOf(qint64 d)
{
    if (d < 10)
        return D0;
    if (d >= 80)
        return D8;
    if (d >= 40)
        return Class(D4 + (d - 40) / 10);
    return Class(D1a + (d - 10) / 5);
}

} // namespace

Measure measure(const HostValue &durch, const HostValue &laenge)
{
    Measure result;
    const Decimal diameter = parse(durch.decimalText());
    if (!diameter.positive)
        return result;
    result.diameterClass = diameter.whole < 0 ? D8 : classOf(diameter.whole);
    const Decimal length = parse(laenge.decimalText());
    if (!length.positive || diameter.whole < 0 || diameter.whole >= DiameterLimit
        || length.whole < 0 || length.whole >= LengthLimit)
        return result;

    // L = m / 10^k exactly, its decimals beyond the sixth rounded half up.
    const qsizetype k = qMin<qsizetype>(length.fraction.size(), LengthDecimals);
    quint64 m = quint64(length.whole);
    quint64 scale = 1;
    for (qsizetype i = 0; i < k; ++i) {
        m = m * 10 + quint64(length.fraction.at(i).digitValue());
        scale *= 10;
    }
    if (length.fraction.size() > k && length.fraction.at(k).digitValue() >= 5)
        ++m;

    // V in hundredths is pi * d^2 * m / (400 * 10^k), rounded half up: the quotient of
    // (2 * pi * n + s) / (2 * s) with n = d^2 * m and s = 400 * 10^k. Computed with both
    // bounds of pi; where they disagree the volume lies at the half within their distance.
    const quint64 d = quint64(diameter.whole);
    const unsigned __int128 n = (unsigned __int128)(d * d) * m;
    const unsigned __int128 s = (unsigned __int128)(400 * scale) * PiScale;
    const auto rounded = [&](unsigned __int128 pi) { return (2 * pi * n + s) / (2 * s); };
    result.hundredths = qint64(rounded(Pi + 1));
    Q_ASSERT(rounded(Pi) == rounded(Pi + 1) || rounded(Pi) + 1 == rounded(Pi + 1));
    return result;
}

QString className(Class diameterClass)
{
    static const char *const names[] = { "",    "D0", "D1a", "D1b", "D2a", "D2b", "D3a",
                                         "D3b", "D4", "D5",  "D6",  "D7",  "D8" };
    return QString::fromLatin1(names[diameterClass]);
}

QString volumeText(qint64 hundredths)
{
    const qint64 cents = hundredths < 0 ? -hundredths : hundredths;
    QString text = QString::number(cents / 100) + u','
            + QString::number(cents % 100).rightJustified(2, u'0');
    return hundredths < 0 ? u'-' + text : text;
}

} // namespace TimberVolume
