#include "ServerIdentity.h"

#include "SocketErrors.h"

#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <optional>

namespace ServerIdentity {

namespace {

struct Free
{
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
    void operator()(X509 *certificate) const { X509_free(certificate); }
    void operator()(X509_EXTENSION *extension) const { X509_EXTENSION_free(extension); }
    void operator()(BIGNUM *number) const { BN_free(number); }
};
template <typename T> using Owned = std::unique_ptr<T, Free>;

// Valid from a day back, for a peer whose clock lags, to a month ahead.
constexpr long validFromSeconds = -24L * 60 * 60;
constexpr long validForSeconds = 30L * 24 * 60 * 60;

bool addExtension(X509 *certificate, int nid, const char *value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    const Owned<X509_EXTENSION> extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

bool setRandomSerial(X509 *certificate)
{
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        return false;
    bytes[0] &= 0x7F; // a positive number
    const Owned<BIGNUM> serial(BN_bin2bn(bytes, sizeof bytes, nullptr));
    return serial && BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate));
}

template <typename T, typename Encode> QByteArray der(const T *object, Encode encode)
{
    const int size = encode(object, nullptr);
    if (size <= 0)
        return {};
    QByteArray bytes(size, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(bytes.data());
    return encode(object, &out) == size ? bytes : QByteArray();
}

std::optional<Identity> make()
{
    const Owned<EVP_PKEY> key(EVP_EC_gen("P-256"));
    const Owned<X509> certificate(X509_new());
    if (!key || !certificate)
        return std::nullopt;
    X509 *x = certificate.get();
    X509_NAME *name = X509_get_subject_name(x);
    const bool made = X509_set_version(x, 2) == 1 && setRandomSerial(x) &&
                      X509_gmtime_adj(X509_getm_notBefore(x), validFromSeconds) &&
                      X509_gmtime_adj(X509_getm_notAfter(x), validForSeconds) &&
                      X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                                 reinterpret_cast<const unsigned char *>("Tapwire"),
                                                 -1, -1, 0) == 1 &&
                      X509_set_issuer_name(x, name) == 1 && X509_set_pubkey(x, key.get()) == 1 &&
                      addExtension(x, NID_basic_constraints, "critical,CA:FALSE") &&
                      addExtension(x, NID_ext_key_usage, "serverAuth") &&
                      addExtension(x, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1,IP:::1") &&
                      X509_sign(x, key.get(), EVP_sha256()) > 0;
    if (!made)
        return std::nullopt;
    const QByteArray certificateDer = der(x, i2d_X509);
    QByteArray keyDer = der(key.get(), i2d_PrivateKey);
    Identity identity{QSslCertificate(certificateDer, QSsl::Der),
                      QSslKey(keyDer, QSsl::Ec, QSsl::Der, QSsl::PrivateKey)};
    // The key's one copy outside the library's own objects goes at once.
    OPENSSL_cleanse(keyDer.data(), size_t(keyDer.size()));
    if (identity.certificate.isNull() || identity.key.isNull())
        return std::nullopt;
    return identity;
}

} // namespace

const Identity &get(const QDateTime &now)
{
    static std::optional<Identity> identity;
    if (!identity || identity->certificate.expiryDate() < now.addDays(1))
        identity = make();
    if (!identity)
        throw SocketErrors::error(SocketErrors::TlsHandshakeFailed,
                                  QStringLiteral("the server's certificate could not be made"));
    return *identity;
}

} // namespace ServerIdentity
