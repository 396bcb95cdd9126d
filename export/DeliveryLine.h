#pragma once

#include "host/HostValue.h"
#include "settings/ExportSettings.h"

#include <QString>

#include <array>

class QLocale;

// The run values a line is built from: the settings as the run took them (the twelve field
// sources and the two owner sources already resolved for the current log), the header row's
// list number, and the log's list date formatted "yyyymmdd".
struct RunValues
{
    std::array<QString, ExportSettings::KeyCount> value;
    QString headerListe;
    QString listDatum;

    const QString &operator[](ExportSettings::Key key) const { return value[key]; }
    QString &operator[](ExportSettings::Key key) { return value[key]; }
};

// The columns of one log row that go into its line. The owner's values are text, "" for NULL,
// and are read only when the log has an owner (NUMMER not NULL).
struct LogRecord
{
    HostValue los, blnr, klst, ha, gkl, laenge, durch, ak, liste, mwst;
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
    static constexpr int FieldCount = 46;
    using Fields = std::array<QString, FieldCount>;

    // Fills the fields of the current log and moves the piece counter on.
    static Fields BuildDeliveryLine(const RunValues &run, const LogRecord &log,
                                    PieceCounter &counter, const QLocale &locale);

    static QString join(const Fields &fields);

    // The line as the delivery file holds it, Windows-1252 and ended by CR LF, written over
    // bytes; a run passes the same buffer for every line, so that lines cost no allocation.
    // False, with bytes of no use, when a field fails fieldProblem(), which then says why: a
    // character Windows-1252 lacks would be lost, a separator would shift the fields.
    static bool encode(const Fields &fields, QByteArray &bytes);

    // Why a field cannot go to the sawmill as it is, or "" when all can: a ";", CR or LF would
    // shift the following fields, and a character outside Windows-1252 cannot be written.
    // The first such field in field order is named by number and meaning, with the log
    // number blnr unless that is null (a report that names the log itself); *field receives
    // its index.
    static QString fieldProblem(const Fields &fields, const QString &blnr, int *field = nullptr);

    // What field index (0 to 45) holds, as the messages name it: "Name des Waldbesitzers".
    static QString fieldMeaning(int index);
};
