#include "export/DeliveryLine.h"

#include "base/TextRules.h"
#include "export/ValueFormat.h"

#include <QLocale>
#include <QTextCodec>

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

QString firstValue(const QString &preferred, const QString &fallback)
{
    return preferred.isEmpty() ? fallback : preferred;
}

// Windows-1252 holds ASCII and the upper half of Latin-1 (U+00A0 to U+00FF) at the same code
// points. Only the rest needs the codec, which costs a converter of its own for each question.
bool isLatin1InAnsi(char16_t c)
{
    return c < 0x80 || (c >= 0xA0 && c <= 0xFF);
}

bool isSeparator(char16_t c)
{
    return c == u';' || c == u'\r' || c == u'\n';
}

bool isWritable(char16_t c)
{
    return isLatin1InAnsi(c)
            || (!QChar::isSurrogate(c) && TextRules::ansiCodec()->canEncode(QChar(c)));
}

// Writes a character of a field that is no printable ASCII; false when it cannot be written.
bool encodeOther(QChar c, char *out)
{
    if (isSeparator(c.unicode()) || !isWritable(c.unicode()))
        return false;
    *out = isLatin1InAnsi(c.unicode()) ? char(c.unicode())
                                       : TextRules::ansiCodec()->fromUnicode(&c, 1).at(0);
    return true;
}

bool isZero(const HostValue &value)
{
    double number = 0;
    return value.isNull() || (value.toDouble(&number) && number == 0);
}

} // namespace

DeliveryLine::Fields DeliveryLine::BuildDeliveryLine(const RunValues &run, const LogRecord &log,
                                                     PieceCounter &counter, const QLocale &locale)
{
    using K = ExportSettings;
    Fields f;
    f[0] = run[K::BUNDESLAND].left(2);
    f[1] = run[K::LIEFNRBRETT].left(10);
    f[2] = run[K::KAUVERTRNR].left(10);
    f[3] = run[K::EXTKAUFVERTRNR].left(12);
    f[4] = run[K::FORSTAMT].left(35);
    f[5] = run[K::FORSTAMTNUMMER].left(12);
    f[6] = run[K::FWJ].left(4);
    f[7] = run.headerListe.left(12);
    f[8] = run[K::REVIER].left(35);
    f[9] = run[K::DISTRIKT].left(35);
    f[10] = run[K::STRASSEREVIER].left(35);
    f[11] = run[K::PLZREVIER].left(10);
    f[12] = run[K::ORTREVIER].left(35);
    f[13] = run[K::NAMEREVIERFORSTER].left(35);
    f[14] = run[K::TELREVIERFORSTER].left(16);
    // Fields 16 and 17 stay empty.
    f[17] = run[K::ABT].left(35);
    f[18] = run[K::UABT].left(35);
    // Field 20 stays empty.
    f[20] = TextRules::trimBlanks(log.los.toText(locale)).left(5);
    f[21] = log.blnr.toText(locale);
    // Field 23 stays empty.
    f[23] = QString::number(counter.next(log.klst));
    f[24] = TextRules::trimBlanks(log.ha.toText(locale)).toUpper();
    f[25] = TextRules::trimBlanks(log.gkl.toText(locale)).toUpper().left(4);
    f[26] = ValueFormat::length(log.laenge, locale);
    f[27] = log.durch.toText(locale);
    const QString bark = TextRules::trimBlanks(log.ak.toText(locale));
    f[28] = bark == QLatin1String("a") || bark == QLatin1String("U") ? QStringLiteral("1")
                                                                     : QStringLiteral("0");
    if (log.hasOwner) {
        f[29] = log.nummer.left(12);
        f[30] = log.name.left(35);
        f[31] = log.ort.left(35);
        f[32] = log.plz.left(10);
        f[33] = log.strasse.left(35);
        const bool germany = log.nation.isEmpty()
                || TextRules::trimBlanks(log.nation).toUpper() == QLatin1String("D");
        f[34] = germany ? QStringLiteral("DE") : log.nation.left(3);
        f[35] = f[34];
        f[36] = log.blz.left(15);
        f[37] = log.konto.left(18);
        // Field 39 stays empty.
        f[39] = isZero(log.mwst) ? QString() : log.mwst.toText(locale);
        // Field 41 stays empty.
    } else {
        // A log without owner: empty owner fields, Germany as nation, no VAT rate.
        f[34] = QStringLiteral("DE");
        f[35] = QStringLiteral("DE");
    }
    f[41] = firstValue(run[K::STEUERNRWB], run[K::STEUERNR]);
    f[42] = log.liste.toText(locale);
    f[43] = firstValue(run[K::ZERTIFIZIERUNGWB], run[K::ZERTIFIZIERUNG]);
    f[44] = firstValue(run[K::ZERTIFIZIERUNGSNRWB], run[K::ZERTIFIZIERUNGSNR]);
    f[45] = run.listDatum;
    return f;
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

bool DeliveryLine::encode(const Fields &fields, QByteArray &bytes)
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
        for (const QChar c : fields[i]) {
            // Printable ASCII other than ";" first: nearly every character is one.
            if (c.unicode() - 0x20u < 0x60u && c != u';')
                *out++ = char(c.unicode());
            else if (!encodeOther(c, out++))
                return false;
        }
    }
    *out++ = '\r';
    *out++ = '\n';
    return true;
}

QString DeliveryLine::fieldMeaning(int index)
{
    static const char *const Meanings[FieldCount] = {
        "Bundesland",
        "Lieferantennummer Brettholm",
        "Kaufvertragsnummer Brettholm",
        "Externe Kaufvertragsnummer",
        "Forstamt",
        "Forstamtsnummer",
        "Forstwirtschaftsjahr",
        "HAB-Nr.",
        "Revier",
        "Distrikt",
        "Strasse-Revier",
        "PLZ-Revier",
        "Ort-Revier",
        "Name-Revierförster",
        "Telefon-Revierförster",
        "leer",
        "leer",
        "Abteilung",
        "Unterabteilung",
        "leer",
        "Los",
        "Stammnummer",
        "leer",
        "Stücknummer",
        "HA",
        "GKL",
        "Länge",
        "DURCH",
        "Rindenkennzeichen",
        "Nummer des Waldbesitzers",
        "Name des Waldbesitzers",
        "Ort des Waldbesitzers",
        "PLZ des Waldbesitzers",
        "Straße des Waldbesitzers",
        "Nation",
        "Nation",
        "Bankleitzahl",
        "Kontonummer",
        "leer",
        "Mehrwertsteuersatz",
        "leer",
        "Steuernummer",
        "Liste des Stammes",
        "Zertifizierung",
        "Zertifizierungsnummer",
        "Listendatum",
    };
    return QString::fromUtf8(Meanings[index]);
}

QString DeliveryLine::fieldProblem(const Fields &fields, const QString &blnr, int *field)
{
    for (int i = 0; i < FieldCount; ++i) {
        const QString &text = fields[i];
        // A separator anywhere in the field is named before a character the code page lacks.
        QString problem;
        qsizetype unwritable = -1;
        for (qsizetype pos = 0; pos < text.size() && problem.isEmpty(); ++pos) {
            const char16_t c = text.at(pos).unicode();
            if (isSeparator(c))
                problem = QStringLiteral("enthält ein Semikolon oder einen Zeilenumbruch");
            else if (unwritable < 0 && !isWritable(c))
                unwritable = pos;
        }
        if (problem.isEmpty() && unwritable >= 0) {
            const bool pair = text.at(unwritable).isHighSurrogate() && unwritable + 1 < text.size()
                    && text.at(unwritable + 1).isLowSurrogate();
            problem = QStringLiteral("enthält das nicht darstellbare Zeichen ")
                    + text.mid(unwritable, pair ? 2 : 1);
        }
        if (problem.isEmpty())
            continue;
        if (field)
            *field = i;
        const QString name = QStringLiteral("Feld %1 (%2)").arg(i + 1).arg(fieldMeaning(i));
        if (blnr.isNull())
            return name + u' ' + problem;
        return name + QStringLiteral(" von Stamm ") + blnr + u' ' + problem;
    }
    return QString();
}
