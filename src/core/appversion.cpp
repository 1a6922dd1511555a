#include "core/appversion.h"

QString appVersion()
{
    return QStringLiteral(KESTROW_VERSION);
}
