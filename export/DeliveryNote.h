#pragma once

#include "export/DeliverySummary.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The delivery note (Lieferschein) that goes with a delivery file: who delivers what under
// which contract, the summary per lot, species, grade and diameter class, and the file by
// name, lines and SHA-256, so that the sawmill can tell the file it read is the one sent.
//
// Built as HTML for a QTextDocument (print or PDF), from values alone: no window, no database.
class DeliveryNote
{
public:
    struct Content
    {
        QString forestOffice;           // FORSTAMT
        QString officeNumber;           // FORSTAMTNUMMER
        QString forestryYear;           // FWJ
        QString list;                   // the list's number
        QStringList lots;               // as selected; empty: all lots
        QString listDate;               // as shown to the clerk ("15.03.2024")
        QString supplierNumber;         // LIEFNRBRETT
        QString contractNumber;         // KAUVERTRNR
        QString externalContractNumber; // EXTKAUFVERTRNR; left out when empty
        QList<DeliverySummary::Row> rows;
        qint64 logs = 0;
        qint64 hundredths = 0;
        QString fileName; // of the delivery file, without its directory
        qint64 lines = 0;
        QString sha256;
        QDateTime time; // of the delivery
    };

    // Every text escaped; volumes as TimberVolume::volumeText(), the time as "15.03.2024 10:20".
    static QString html(const Content &content);
};
