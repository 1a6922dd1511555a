#include "sites/catalogcodec.h"

namespace CatalogCodec {

namespace {

bool isAlphabet(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

} // namespace

QByteArray decodeBase64(const QByteArray &value)
{
    const qsizetype size = value.size();
    if (size == 0 || size % 4 != 0)
        return QByteArray();
    qsizetype padding = 0;
    if (value.endsWith("=="))
        padding = 2;
    else if (value.endsWith('='))
        padding = 1;
    for (qsizetype i = 0; i < size - padding; ++i) {
        if (!isAlphabet(value[i]))
            return QByteArray();
    }
    return QByteArray::fromBase64(value);
}

QString decodeText(const QByteArray &value)
{
    return QString::fromUtf8(decodeBase64(value));
}

QByteArray encodeText(const QString &text)
{
    return text.toUtf8().toBase64();
}

} // namespace CatalogCodec
