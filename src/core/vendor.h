#pragma once

#include <QByteArray>
#include <QString>

// Where the vendor server is: a build setting (KESTROW_VENDOR_HOST, KESTROW_VENDOR_HTTP_PORT, KESTROW_REPORT_PORT)
// that environment variables of the same names override at run time. An empty host means no vendor server: the
// program then contacts none.
struct VendorEndpoint
{
    QString host;
    quint16 httpPort = 80;
    quint16 reportPort = 2713;

    bool isSet() const { return !host.isEmpty(); }
    // "http://host:port" followed by path.
    QString url(const QString &path) const;
};

VendorEndpoint vendorEndpoint();

// The raw 32-byte Ed25519 public key update packages are signed with (build setting KESTROW_UPDATE_PUBKEY, base64,
// overridden by the variable of that name); empty when none is set or it is not a valid key.
QByteArray updatePublicKey();
