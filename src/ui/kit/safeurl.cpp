#include "ui/kit/safeurl.h"

#include <QDesktopServices>
#include <QUrl>

bool isWebAddress(const QString &address)
{
    const QUrl url(address);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool openWebAddress(const QString &address)
{
    if (!isWebAddress(address))
        return false;
    return QDesktopServices::openUrl(QUrl(address));
}
