#pragma once

#include <QByteArray>

// Whether signature is a valid Ed25519 signature of message under the raw 32-byte publicKey.
bool verifySignature(const QByteArray &message, const QByteArray &signature, const QByteArray &publicKey);
