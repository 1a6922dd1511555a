#include "ui/kit/safeurl.h"

#include <QDesktopServices>
#include <QUrl>

bool openWebAddress(const QString &address)
{
    if (!isWebAddress(address))
        return false;
    return QDesktopServices::openUrl(QUrl(address));
}
