#include "export/DeliveryNote.h"

namespace {

QString cell(const QString &text, bool number = false)
{
    return (number ? QStringLiteral("<td align=\"right\">") : QStringLiteral("<td>"))
            + text.toHtmlEscaped() + QStringLiteral("</td>");
}

QString fact(const QString &label, const QString &value)
{
    return QStringLiteral("<tr><td><b>") + label.toHtmlEscaped() + QStringLiteral("</b></td>")
            + cell(value) + QStringLiteral("</tr>");
}

} // namespace

QString DeliveryNote::html(const Content &content)
{
    QStringList lots;
    for (const QString &lot : content.lots)
        lots << (lot.isEmpty() ? QStringLiteral("ohne Los") : lot);
    const QString lotText = lots.isEmpty() ? QStringLiteral("alle Lose") : lots.join(u", ");

    QString html = QStringLiteral("<html><body><h1>Lieferschein</h1>"
                                  "<table cellspacing=\"0\" cellpadding=\"3\">");
    html += fact(QStringLiteral("Forstamt"), content.forestOffice);
    html += fact(QStringLiteral("Forstamtsnummer"), content.officeNumber);
    html += fact(QStringLiteral("Forstwirtschaftsjahr"), content.forestryYear);
    html += fact(QStringLiteral("Liste"), content.list);
    html += fact(QStringLiteral("Lose"), lotText);
    html += fact(QStringLiteral("Listendatum"), content.listDate);
    html += fact(QStringLiteral("Lieferantennummer"), content.supplierNumber);
    html += fact(QStringLiteral("Kaufvertragsnummer"), content.contractNumber);
    if (!content.externalContractNumber.isEmpty())
        html += fact(QStringLiteral("Externe Kaufvertragsnummer"), content.externalContractNumber);
    html += QStringLiteral("</table><h2>Zusammenfassung</h2>"
                           "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
    for (const QString &title : DeliverySummary::columnTitles())
        html += QStringLiteral("<th>") + title.toHtmlEscaped() + QStringLiteral("</th>");
    html += QStringLiteral("</tr>");
    for (const DeliverySummary::Row &row : content.rows) {
        html += QStringLiteral("<tr>") + cell(row.lot) + cell(row.species) + cell(row.grade)
                + cell(TimberVolume::className(row.diameterClass))
                + cell(QString::number(row.logs), true)
                + cell(TimberVolume::volumeText(row.hundredths), true) + QStringLiteral("</tr>");
    }
    html += QStringLiteral("<tr><td colspan=\"4\"><b>Summe</b></td><td align=\"right\"><b>")
            + QString::number(content.logs) + QStringLiteral("</b></td><td align=\"right\"><b>")
            + TimberVolume::volumeText(content.hundredths)
            + QStringLiteral(" fm</b></td></tr></table><h2>Lieferdatei</h2>"
                             "<table cellspacing=\"0\" cellpadding=\"3\">");
    html += fact(QStringLiteral("Datei"), content.fileName);
    html += fact(QStringLiteral("Zeilen"), QString::number(content.lines));
    html += fact(QStringLiteral("Erstellt"),
                 content.time.toString(QStringLiteral("dd.MM.yyyy HH:mm")));
    // On a line of its own, in a size that keeps its 64 digits together for a reader to compare.
    html += QStringLiteral("</table><p><b>SHA-256</b><br><span style=\"font-size: 8pt\">")
            + content.sha256.toHtmlEscaped() + QStringLiteral("</span></p></body></html>");
    return html;
}
