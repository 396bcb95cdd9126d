#pragma once

#include "host/HostValue.h"
#include "settings/ExportSettings.h"

#include <QString>

#include <array>

class PieceCounter;
class QLocale;
struct LogRecord;
struct RunValues;

// One field of the delivery line: where its value comes from, how it is cut and shaped, and
// what messages call it. The table of all 46, DeliveryField::Layout, is the one description of
// the line; the line builder, the field messages and the check report all read it.
struct DeliveryField
{
    enum Source : quint8 {
        Setting,       // a setting as stored
        SourceSetting, // a field-source setting, resolved against the header and each log row
        OwnerSource,   // an owner setting, resolved against each log row
        Header,        // the header row's list number
        LogColumn,     // a column of the log row
        OwnerColumn,   // a column of the log's owner; "" for a log without owner
        Fixed,         // always empty
    };
    // What is done to the value before it is cut to the width.
    enum Rule : quint8 {
        AsIs,
        Trim,        // blanks at both ends removed
        TrimUpper,   // and then upper case
        Length,      // mask "###0.0"
        PieceNumber, // from the class and the run's piece counter
        BarkFlag,    // "1" for the bark codes "a" and "U", else "0"
        Nation,      // "DE" for none or "D", else the text as stored
        VatRate,     // "" for 0
        Fallback,    // the value of key, or when that is empty the one of fallback
    };

    int number; // from 1
    const char *meaning;
    int width; // the first so many characters are kept; 0 keeps all
    Source source;
    Rule rule;
    // The setting of a Setting, SourceSetting or OwnerSource field; KeyCount otherwise.
    ExportSettings::Key key;
    // The second value of a Fallback field, a plain setting.
    ExportSettings::Key fallback;
    // The column of a LogColumn or OwnerColumn field, held as value or as text.
    HostValue LogRecord::*value;
    QString LogRecord::*text;
    // A field of the owner block, which a log without owner fills as if every owner value
    // were empty.
    bool ownerBlock;

    static constexpr int Count = 46;
    static const std::array<DeliveryField, Count> Layout;

    // The field's text for a log: its value, shaped by its rule, cut to its width.
    QString build(const RunValues &run, const LogRecord &log, PieceCounter &counter,
                  const QLocale &locale) const;

    // The setting whose value this log's field shows (for a fallback field the one that was
    // used); KeyCount for a field that shows no setting.
    ExportSettings::Key settingShown(const RunValues &run) const;
    // Whether the field holds the same text on every log of a run: a setting, unless the
    // source setting names a log or owner column (perLog, indexed by setting), the header or
    // a fixed text.
    bool sameForEveryLog(const std::array<bool, ExportSettings::KeyCount> &perLog) const;
};
