#include "export/DeliveryField.h"

#include "base/TextRules.h"
#include "export/DeliveryLine.h"
#include "export/ValueFormat.h"

#include <QLocale>

namespace {

using K = ExportSettings;
using F = DeliveryField;
using L = LogRecord;

constexpr K::Key None = K::KeyCount;

constexpr F fromSetting(int number, const char *meaning, int width, K::Key key)
{
    return { number, meaning, width, F::Setting, F::AsIs, key, None, nullptr, nullptr, false };
}
constexpr F fromSource(int number, const char *meaning, int width, K::Key key)
{
    return {
        number, meaning, width, F::SourceSetting, F::AsIs, key, None, nullptr, nullptr, false
    };
}
constexpr F withFallback(int number, const char *meaning, F::Source first, K::Key key,
                         K::Key second)
{
    return { number, meaning, 0, first, F::Fallback, key, second, nullptr, nullptr, false };
}
constexpr F unused(int number, bool ownerBlock = false)
{
    return { number, "leer", 0, F::Fixed, F::AsIs, None, None, nullptr, nullptr, ownerBlock };
}
constexpr F fromLog(int number, const char *meaning, int width, HostValue L::*value,
                    F::Rule rule = F::AsIs, bool ownerBlock = false)
{
    return { number, meaning, width, F::LogColumn, rule, None, None, value, nullptr, ownerBlock };
}
constexpr F fromOwner(int number, const char *meaning, int width, QString L::*text,
                      F::Rule rule = F::AsIs)
{
    return { number, meaning, width, F::OwnerColumn, rule, None, None, nullptr, text, true };
}

bool isZero(const HostValue &value)
{
    double number = 0;
    return value.isNull() || (value.toDouble(&number) && number == 0);
}

} // namespace

const std::array<DeliveryField, DeliveryField::Count> DeliveryField::Layout = { {
        fromSetting(1, "Bundesland", 2, K::BUNDESLAND),
        fromSource(2, "Lieferantennummer Brettholm", 10, K::LIEFNRBRETT),
        fromSource(3, "Kaufvertragsnummer Brettholm", 10, K::KAUVERTRNR),
        fromSource(4, "Externe Kaufvertragsnummer", 12, K::EXTKAUFVERTRNR),
        fromSetting(5, "Forstamt", 35, K::FORSTAMT),
        fromSetting(6, "Forstamtsnummer", 12, K::FORSTAMTNUMMER),
        fromSetting(7, "Forstwirtschaftsjahr", 4, K::FWJ),
        { 8, "HAB-Nr.", 12, Header, AsIs, None, None, nullptr, nullptr, false },
        fromSource(9, "Revier", 35, K::REVIER),
        fromSource(10, "Distrikt", 35, K::DISTRIKT),
        fromSource(11, "Strasse-Revier", 35, K::STRASSEREVIER),
        fromSource(12, "PLZ-Revier", 10, K::PLZREVIER),
        fromSource(13, "Ort-Revier", 35, K::ORTREVIER),
        fromSource(14, "Name-Revierförster", 35, K::NAMEREVIERFORSTER),
        fromSource(15, "Telefon-Revierförster", 16, K::TELREVIERFORSTER),
        unused(16),
        unused(17),
        fromSource(18, "Abteilung", 35, K::ABT),
        fromSource(19, "Unterabteilung", 35, K::UABT),
        unused(20),
        fromLog(21, "Los", 5, &L::los, Trim),
        fromLog(22, "Stammnummer", 0, &L::blnr),
        unused(23),
        fromLog(24, "Stücknummer", 0, &L::klst, PieceNumber),
        fromLog(25, "HA", 0, &L::ha, TrimUpper),
        fromLog(26, "GKL", 4, &L::gkl, TrimUpper),
        fromLog(27, "Länge", 0, &L::laenge, Length),
        fromLog(28, "DURCH", 0, &L::durch),
        fromLog(29, "Rindenkennzeichen", 0, &L::ak, BarkFlag),
        fromOwner(30, "Nummer des Waldbesitzers", 12, &L::nummer),
        fromOwner(31, "Name des Waldbesitzers", 35, &L::name),
        fromOwner(32, "Ort des Waldbesitzers", 35, &L::ort),
        fromOwner(33, "PLZ des Waldbesitzers", 10, &L::plz),
        fromOwner(34, "Straße des Waldbesitzers", 35, &L::strasse),
        fromOwner(35, "Nation", 3, &L::nation, Nation),
        fromOwner(36, "Nation", 3, &L::nation, Nation),
        fromOwner(37, "Bankleitzahl", 15, &L::blz),
        fromOwner(38, "Kontonummer", 18, &L::konto),
        unused(39, true),
        fromLog(40, "Mehrwertsteuersatz", 0, &L::mwst, VatRate, true),
        unused(41, true),
        withFallback(42, "Steuernummer", OwnerSource, K::STEUERNRWB, K::STEUERNR),
        fromLog(43, "Liste des Stammes", 0, &L::liste),
        withFallback(44, "Zertifizierung", Setting, K::ZERTIFIZIERUNGWB, K::ZERTIFIZIERUNG),
        withFallback(45, "Zertifizierungsnummer", OwnerSource, K::ZERTIFIZIERUNGSNRWB,
                     K::ZERTIFIZIERUNGSNR),
        { 46, "Listendatum", 0, LogColumn, AsIs, None, None, nullptr, &L::listDatum, false },
} };

QString DeliveryField::build(const RunValues &run, const LogRecord &log, PieceCounter &counter,
                             const QLocale &locale) const
{
    // The owner block of a log without owner is built from no values at all: empty fields,
    // Germany as nation, no VAT rate.
    const bool noValue = ownerBlock && !log.hasOwner;
    static const HostValue Null;
    static const QString Empty;
    const HostValue &column = value && !noValue ? log.*value : Null;
    QString result;
    switch (source) {
    case Setting:
    case SourceSetting:
    case OwnerSource:
        result = run[key];
        if (rule == Fallback && result.isEmpty())
            result = run[fallback];
        break;
    case Header:
        result = run.headerListe;
        break;
    case LogColumn:
    case OwnerColumn:
        if (text)
            result = noValue ? Empty : log.*text;
        break;
    case Fixed:
        return QString();
    }
    switch (rule) {
    case AsIs:
        if (value)
            result = column.toText(locale);
        break;
    case Trim:
        result = TextRules::trimBlanks(column.toText(locale));
        break;
    case TrimUpper:
        result = TextRules::toUpper(TextRules::trimBlanks(column.toText(locale)));
        break;
    case Length:
        result = ValueFormat::length(column, locale);
        break;
    case PieceNumber:
        result = QString::number(counter.next(column));
        break;
    case BarkFlag: {
        const QString bark = TextRules::trimBlanks(column.toText(locale));
        result = bark == QLatin1String("a") || bark == QLatin1String("U") ? QStringLiteral("1")
                                                                          : QStringLiteral("0");
        break;
    }
    case Nation:
        if (result.isEmpty()
            || TextRules::toUpper(TextRules::trimBlanks(result)) == QLatin1String("D"))
            result = QStringLiteral("DE");
        break;
    case VatRate:
        result = isZero(column) ? QString() : column.toText(locale);
        break;
    case Fallback:
        break;
    }
    return width > 0 ? result.left(width) : result;
}

ExportSettings::Key DeliveryField::settingShown(const RunValues &run) const
{
    if (rule == Fallback && run[key].isEmpty())
        return fallback;
    return key;
}

bool DeliveryField::sameForEveryLog(const std::array<bool, ExportSettings::KeyCount> &perLog) const
{
    switch (source) {
    case Setting:
    case SourceSetting:
    case OwnerSource:
        return !perLog[key];
    case Header:
    case Fixed:
        return true;
    case LogColumn:
    case OwnerColumn:
        return false;
    }
    return false;
}
