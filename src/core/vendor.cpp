#include "core/vendor.h"

namespace {

QString buildOrEnvironment(const char *name, const char *built)
{
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariable(name) : QString::fromUtf8(built);
}

quint16 port(const char *name, int built)
{
    bool ok = false;
    const uint value = buildOrEnvironment(name, "").toUInt(&ok);
    return ok && value > 0 && value <= 65535 ? quint16(value) : quint16(built);
}

} // namespace

QString VendorEndpoint::url(const QString &path) const
{
    return QStringLiteral("http://%1:%2%3").arg(host).arg(httpPort).arg(path);
}

VendorEndpoint vendorEndpoint()
{
    VendorEndpoint endpoint;
    endpoint.host = buildOrEnvironment("KESTROW_VENDOR_HOST", KESTROW_VENDOR_HOST).trimmed();
    endpoint.httpPort = port("KESTROW_VENDOR_HTTP_PORT", KESTROW_VENDOR_HTTP_PORT);
    endpoint.reportPort = port("KESTROW_REPORT_PORT", KESTROW_REPORT_PORT);
    return endpoint;
}

QByteArray updatePublicKey()
{
    const auto key = QByteArray::fromBase64Encoding(
        buildOrEnvironment("KESTROW_UPDATE_PUBKEY", KESTROW_UPDATE_PUBKEY).trimmed().toLatin1(),
        QByteArray::AbortOnBase64DecodingErrors);
    return key && key.decoded.size() == 32 ? key.decoded : QByteArray();
}
