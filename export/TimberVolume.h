#pragma once

#include <QString>
#include <QtGlobal>

class HostValue;

// The volume and diameter class of one log as the German raw-timber trade measures it: the
// mid-diameter DURCH in centimetres rounded down to a whole centimetre (d), the length LAENGE
// in metres as stored (L), the volume by Huber's formula V = pi/4 * (d/100)^2 * L in cubic
// metres, rounded half up to a hundredth. The sawmill's own measurement governs; these are the
// forest office's figures.
//
// Volumes are whole numbers of hundredths of a cubic metre, so that every total is the exact
// sum of the rounded volumes of its logs.
namespace TimberVolume {

// The diameter classes in their order: a larger value is a thicker class.
enum Class : quint8 {
    NoClass, // DURCH missing, not positive or no number
    D0,      // below 10 cm
    D1a,     // 10-14
    D1b,     // 15-19
    D2a,     // 20-24
    D2b,     // 25-29
    D3a,     // 30-34
    D3b,     // 35-39
    D4,      // 40-49
    D5,      // 50-59
    D6,      // 60-69
    D7,      // 70-79
    D8,      // 80 and more
};

struct Measure
{
    Class diameterClass = NoClass;
    qint64 hundredths = 0;
};

// The class and volume of a log from its DURCH and LAENGE, as numbers or as text that reads as
// a C-notation number. A log without a positive DURCH and LAENGE, or beyond any tree (a
// diameter from 100 m or a length from 10 km), has the volume 0; its class comes from DURCH
// alone. The rounding is decided from exact integers and pi to 19 decimals, not from a binary
// floating-point product: the only volumes it may round up instead of down lie less than
// 10^-17 m^3 below a half hundredth (for logs under 2 m across and 100 m long). An exact half
// cannot occur, pi being irrational.
Measure measure(const HostValue &durch, const HostValue &laenge);

// "D0" ... "D8"; the empty text for NoClass.
QString className(Class diameterClass);

// Hundredths of a cubic metre as the forest office writes them: "1234,56", "0,05", no
// grouping.
QString volumeText(qint64 hundredths);

} // namespace TimberVolume
