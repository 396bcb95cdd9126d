#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

// A broken property ends the run like a crash, so that libFuzzer keeps the input.
inline void fuzzCheck(bool holds, const char *property, const QString &detail = QString())
{
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s %s\n", property, qPrintable(detail));
    std::abort();
}
