#include "core/webaddress.h"

#include <QUrl>

QString siteHome(const QString &pageAddress)
{
    return QUrl(pageAddress).adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString() +
           QLatin1Char('/');
}

bool isWebAddress(const QString &address)
{
    const QUrl url(address);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}
