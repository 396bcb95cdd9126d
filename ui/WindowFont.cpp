#include "ui/WindowFont.h"

#include "ui/Twips.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

namespace {

struct Caption
{
    const char *text;
    int widthTwips;
    bool bold;
};

// The captions with the least room to spare in the three windows, each with the width its
// label has. Any other caption fits when these do; the window tests measure every caption.
const Caption TightCaptions[] = {
    { "Los(e) auswählen:", 1455, false },
    { "Kaufsvertragsnummer Brettholm", 2340, false },
    { "ZertifizierungsNr. von WB:", 1980, false },
    { "Datenexport von Lindavex Pro - 32 / Firma Brettholm Massivholz", 5415, true },
    { "Version 1.12", 855, false },
};

// 8 pt at 96 dots per inch; no fallback is drawn larger than the original.
constexpr int LargestPixelSize = 11;
constexpr int SmallestPixelSize = 7;

bool captionsFit(const QFont &font)
{
    for (const Caption &caption : TightCaptions) {
        QFont captionFont = font;
        captionFont.setBold(caption.bold);
        const int width =
                QFontMetrics(captionFont).horizontalAdvance(QString::fromUtf8(caption.text));
        if (width > Twips::toPixels(caption.widthTwips))
            return false;
    }
    return true;
}

QFont fallback()
{
    QFont sans;
    sans.setStyleHint(QFont::SansSerif);
    sans.setFamily(QFontInfo(sans).family());
    for (int pixels = LargestPixelSize; pixels > SmallestPixelSize; --pixels) {
        sans.setPixelSize(pixels);
        if (captionsFit(sans))
            return sans;
    }
    sans.setPixelSize(SmallestPixelSize);
    return sans;
}

} // namespace

namespace WindowFont {

QFont standard()
{
    // A system may list the family and draw it with another face of other widths, so the
    // designed font, too, must fit the captions. Windows' "MS Sans Serif" is a bitmap font that
    // Qt files under its cell heights and then asks for by character height, which gives the
    // 10 pt face for 8 pt; the offscreen platform there draws a face of its own.
    static const QFont font = [] {
        const QFont designed(QStringLiteral("MS Sans Serif"), 8);
        return QFontDatabase::hasFamily(designed.family()) && captionsFit(designed) ? designed
                                                                                    : fallback();
    }();
    return font;
}

} // namespace WindowFont
