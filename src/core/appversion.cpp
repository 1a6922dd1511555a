#include "core/appversion.h"

QString appVersion()
{
    return QStringLiteral(KESTROW_VERSION);
}

QString appId()
{
    return QStringLiteral(KESTROW_APP_ID);
}
