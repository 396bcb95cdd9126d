#pragma once

#include <QString>

// The program's version as the windows show it, from the build's major and minor number.
class Version
{
public:
    // "<major>.<minor>", both plain decimals: minor 5 reads 1.5, minor 12 reads 1.12.
    static QString text(int major, int minor);
    static QString text();
};
