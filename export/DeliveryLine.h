#pragma once

#include "export/DeliveryField.h"
#include "host/HostValue.h"
#include "settings/ExportSettings.h"

#include <QString>

#include <array>

class QLocale;

// The run values a line is built from: the settings as the run took them (the twelve field
// sources and the two owner sources already resolved for the current log) and the header
// row's list number.
struct RunValues
{
    std::array<QString, ExportSettings::KeyCount> value;
    QString headerListe;

    const QString &operator[](ExportSettings::Key key) const { return value[key]; }
    QString &operator[](ExportSettings::Key key) { return value[key]; }
};

// The columns of one log row that go into its line, and its list date formatted "yyyymmdd"
// ("" when it is no date). The owner's values are text, "" for NULL, and are read only when
// the log has an owner (NUMMER not NULL).
struct LogRecord
{
    HostValue los, blnr, klst, ha, gkl, laenge, durch, ak, liste, mwst;
    QString listDatum;
    bool hasOwner = false;
    QString nummer, name, ort, plz, strasse, nation, blz, konto;
};

// The per-run counter behind the piece number: a log of class 2 starts a sequence of pieces
// numbered 1, 2, 3 … through the logs of class 3 that follow it.
class PieceCounter
{
public:
    // The piece number of the next log in order, which the counter then moves past.
    qint64 next(const HostValue &klst);

private:
    qint64 m_counter = 0;
};

// One line of the delivery file: 46 fields, separated by ";", without line end.
class DeliveryLine
{
public:
    static constexpr int FieldCount = DeliveryField::Count;
    using Fields = std::array<QString, FieldCount>;

    // Fills the fields of the current log and moves the piece counter on.
    static Fields BuildDeliveryLine(const RunValues &run, const LogRecord &log,
                                    PieceCounter &counter, const QLocale &locale);
    // The same for the next log of a run, into the fields of a log before it: a field marked
    // in kept keeps the text it has, as it is one of those that are the same for every log
    // (DeliveryField::sameForEveryLog).
    using Kept = std::array<bool, FieldCount>;
    static void BuildDeliveryLine(const RunValues &run, const LogRecord &log, PieceCounter &counter,
                                  const QLocale &locale, Fields &fields, const Kept &kept);

    static QString join(const Fields &fields);

    // Why a line cannot go to the sawmill as it is: a ";", CR or LF in a field would shift the
    // fields after it, and a character outside Windows-1252 cannot be written.
    struct Problem
    {
        int field = -1; // index, 0 to 45
        // The character that cannot be written; empty when the field holds a separator, which
        // is named first.
        QString character;
        // "Feld 5 (Forstamt) von Stamm 15 enthält …"; without the log when blnr is null (a
        // report that names the log itself).
        QString message(const QString &blnr) const;
    };

    // The line as the delivery file holds it, Windows-1252 and ended by CR LF, written over
    // bytes; a run passes the same buffer for every line, so that lines cost no allocation.
    // False, with bytes of no use, when a field cannot be written; *problem then names the
    // first such field.
    static bool encode(const Fields &fields, QByteArray &bytes, Problem *problem);
};
