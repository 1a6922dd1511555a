#pragma once

#include <QByteArray>
#include <QString>

// The catalogue's text encoding: base64 (standard alphabet, "=" padding, no line breaks) of UTF-8.
namespace CatalogCodec {

// The bytes of a strictly valid base64 value; empty for anything else (wrong length, foreign character,
// misplaced padding).
QByteArray decodeBase64(const QByteArray &value);
// decodeBase64 read as UTF-8.
QString decodeText(const QByteArray &value);
// The padded base64 of text's UTF-8 bytes, as keys are stored.
QByteArray encodeText(const QString &text);

} // namespace CatalogCodec
