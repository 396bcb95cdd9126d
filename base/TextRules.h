#pragma once

#include <QString>

class QTextCodec;

// Text rules shared by every subsystem.
namespace TextRules {

// Removes spaces at both ends. Tabs and other white space stay: the host application and the
// settings file treat only the space character as a blank.
QString trimBlanks(const QString &text);

// The 8-bit code page of every file the program reads or writes (Windows-1252, as on German
// Windows systems). Never null.
QTextCodec *ansiCodec();

// The position of the first character of text that Windows-1252 cannot hold, or -1. For a
// character outside the Basic Multilingual Plane it is that of its first half.
qsizetype firstOutsideAnsi(const QString &text);

} // namespace TextRules
