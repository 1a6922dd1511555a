#pragma once

#include <QByteArray>
#include <QString>

// The vendor's Ed25519 key pair: made once, kept as a PEM file, used to sign update packages.
namespace VendorKeys {

// Writes a new private key to pemPath; the raw 32-byte public key in *publicKey. False with a message in *error.
bool generate(const QString &pemPath, QByteArray *publicKey, QString *error);
// The 64-byte signature of message with the private key at pemPath; empty with a message in *error.
QByteArray sign(const QString &pemPath, const QByteArray &message, QString *error);

} // namespace VendorKeys
