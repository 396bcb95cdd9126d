// The delivery line builder on any run values and log row: a line that is written holds
// exactly 46 fields, no line break, and the codec's Windows-1252 bytes; a line that is refused
// names a field that really holds a separator or a character the codec cannot write; the number
// masks give what they promise for any decimal text; a double's decimal text is Qt's shortest form.
#include "FuzzCheck.h"

#include "base/DecimalText.h"
#include "base/TextRules.h"
#include "export/DeliveryLine.h"
#include "export/ValueFormat.h"
#include "host/HostValue.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTextCodec>

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

QString text(FuzzedDataProvider &input)
{
    const std::string bytes = input.ConsumeRandomLengthString(40);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// A column value as a driver may hand it over.
HostValue value(FuzzedDataProvider &input)
{
    switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0:
        return HostValue();
    case 1:
        return HostValue::text(text(input));
    case 2:
        return HostValue::number(text(input));
    case 3:
        return HostValue::number(input.ConsumeFloatingPoint<double>());
    default:
        return HostValue::date(QDate(input.ConsumeIntegralInRange(1, 9999),
                                     input.ConsumeIntegralInRange(1, 12),
                                     input.ConsumeIntegralInRange(1, 28)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    static const QLocale german(QLocale::German, QLocale::Germany);

    RunValues run;
    for (QString &setting : run.value)
        setting = text(input);
    run.headerListe = text(input);
    LogRecord log;
    for (HostValue *column : { &log.los, &log.blnr, &log.klst, &log.ha, &log.gkl, &log.laenge,
                               &log.durch, &log.ak, &log.liste, &log.mwst })
        *column = value(input);
    log.listDatum = text(input);
    log.hasOwner = input.ConsumeBool();
    for (QString *owner : { &log.nummer, &log.name, &log.ort, &log.plz, &log.strasse, &log.nation,
                            &log.blz, &log.konto })
        *owner = text(input);

    PieceCounter counter;
    const DeliveryLine::Fields fields = DeliveryLine::BuildDeliveryLine(run, log, counter, german);
    const QString line = DeliveryLine::join(fields);
    QByteArray bytes;
    DeliveryLine::Problem problem;
    if (DeliveryLine::encode(fields, bytes, &problem)) {
        fuzzCheck(bytes == TextRules::ansiCodec()->fromUnicode(line) + "\r\n", "the codec's bytes",
                  line);
        fuzzCheck(line.count(u';') == DeliveryLine::FieldCount - 1, "46 fields", line);
        fuzzCheck(!line.contains(u'\r') && !line.contains(u'\n'), "one line", line);
        fuzzCheck(TextRules::ansiCodec()->canEncode(line), "Windows-1252 only", line);
    } else {
        const QString &field = fields.at(problem.field);
        // Not a regular expression: it never matches in text with a lone surrogate half.
        const auto separator = [](const QString &text) {
            return text.contains(u';') || text.contains(u'\r') || text.contains(u'\n');
        };
        const bool named = problem.character.isEmpty() ? separator(field)
                                                       : field.contains(problem.character)
                        && !separator(field)
                        // The codec takes a lone surrogate half for writable; no file can hold
                        // one.
                        && (problem.character.front().isSurrogate()
                            || !TextRules::ansiCodec()->canEncode(problem.character));
        fuzzCheck(named, "the refused field holds what the message names", field);
        for (int i = 0; i < problem.field; ++i)
            fuzzCheck(!separator(fields.at(i)) && TextRules::ansiCodec()->canEncode(fields.at(i)),
                      "no earlier field is refused", fields.at(i));
    }

    // "###0.0": digits, the decimal comma, one digit.
    static const QRegularExpression oneDecimal(QStringLiteral("^-?[0-9]+,[0-9]$"));
    if (!log.laenge.decimalText().isEmpty()) {
        const QString length = ValueFormat::length(log.laenge, german);
        fuzzCheck(oneDecimal.match(length).hasMatch(), "length mask", length);
    }
    // The shortest decimal of a double, written by the value itself, is the one Qt writes.
    const double binary = input.ConsumeFloatingPoint<double>();
    if (std::isfinite(binary)) {
        const QString decimal = HostValue::number(binary).decimalText();
        fuzzCheck(decimal
                          == DecimalText::normalize(
                                  QString::number(binary, 'f', QLocale::FloatingPointShortest)),
                  "shortest decimal", decimal);
    }

    // "0000": a number is padded to at least four digits; any other text stays as it is.
    const QString piece = run.value[0];
    const QString padded = ValueFormat::zeroPadded(piece, 4, german);
    static const QRegularExpression digits(QStringLiteral("^-?[0-9]{4,}$"));
    fuzzCheck(padded == piece || digits.match(padded).hasMatch(), "numeric pattern", padded);
    return 0;
}
