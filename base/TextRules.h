#pragma once

#include <QString>

class QTextCodec;

// Text rules shared by every subsystem.
namespace TextRules {

// Removes spaces at both ends. Tabs and other white space stay: the host application and the
// settings file treat only the space character as a blank.
QString trimBlanks(const QString &text);

// QString::toUpper(), which looks every character up in Unicode's tables, but at once for a
// text of capitals, digits and ASCII signs, which nearly every species and grade is.
QString toUpper(QString text);

// The 8-bit code page of every file the program reads or writes (Windows-1252, as on German
// Windows systems). Never null.
QTextCodec *ansiCodec();

// The Windows-1252 byte of c into *byte; false when the code page has none for it (a half of
// a surrogate pair never has one). The one rule of what a file of the program can hold.
bool toAnsi(QChar c, char *byte);

// The position of the first character of text that Windows-1252 cannot hold, or -1. For a
// character outside the Basic Multilingual Plane it is that of its first half.
qsizetype firstOutsideAnsi(const QString &text);

// The character at pos as a message shows it: both halves of a surrogate pair kept together,
// so that an emoji is named whole rather than as half a character.
QString characterAt(const QString &text, qsizetype pos);

} // namespace TextRules
