#include "base/Version.h"

QString Version::text(int major, int minor)
{
    return QString::number(major) + u'.' + QString::number(minor);
}

QString Version::text()
{
    return text(BRETTHOLM_VERSION_MAJOR, BRETTHOLM_VERSION_MINOR);
}
