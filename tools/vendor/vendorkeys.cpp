#include "vendorkeys.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <memory>

namespace VendorKeys {

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using File = std::unique_ptr<FILE, decltype(&std::fclose)>;

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

bool generate(const QString &pemPath, QByteArray *publicKey, QString *error)
{
    Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), EVP_PKEY_free);
    if (!key)
        return fail(error, QStringLiteral("cannot make an Ed25519 key"));
    size_t size = 32;
    publicKey->resize(32);
    if (EVP_PKEY_get_raw_public_key(key.get(), reinterpret_cast<unsigned char *>(publicKey->data()), &size) != 1)
        return fail(error, QStringLiteral("cannot read the public key"));
    File file(std::fopen(pemPath.toLocal8Bit().constData(), "wx"), &std::fclose);
    if (!file)
        return fail(error, QStringLiteral("cannot create %1 (an existing key is never replaced)").arg(pemPath));
    if (PEM_write_PrivateKey(file.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return fail(error, QStringLiteral("cannot write %1").arg(pemPath));
    return true;
}

QByteArray sign(const QString &pemPath, const QByteArray &message, QString *error)
{
    File file(std::fopen(pemPath.toLocal8Bit().constData(), "r"), &std::fclose);
    Key key(file ? PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr) : nullptr, EVP_PKEY_free);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    QByteArray signature(64, '\0');
    size_t size = 64;
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) {
        fail(error, QStringLiteral("%1 holds no Ed25519 private key").arg(pemPath));
        return QByteArray();
    }
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()), &size,
                       reinterpret_cast<const unsigned char *>(message.constData()), size_t(message.size())) != 1) {
        fail(error, QStringLiteral("cannot sign"));
        return QByteArray();
    }
    return signature;
}

} // namespace VendorKeys
