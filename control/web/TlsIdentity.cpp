#include "TlsIdentity.h"

#include "PrivateFiles.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>
#include <unistd.h>

namespace lm {

namespace {

struct Free {
    void operator()(BIO* bio) const { BIO_free(bio); }
    void operator()(X509* certificate) const { X509_free(certificate); }
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(BIGNUM* number) const { BN_free(number); }
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};
template <typename T> using Owned = std::unique_ptr<T, Free>;

Owned<BIO> readingBio(const std::string& text) {
    return Owned<BIO>(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
}

std::string bioText(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::string openSslError() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) {
        return "unknown error";
    }
    std::array<char, 256> text{};
    ERR_error_string_n(code, text.data(), text.size());
    return text.data();
}

void addExtension(X509* certificate, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    const Owned<X509_EXTENSION> extension(
        X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    if (!extension || X509_add_ext(certificate, extension.get(), -1) != 1) {
        throw std::runtime_error("cannot add a certificate extension: " + openSslError());
    }
}

// A host name that may stand in a certificate's DNS name: letters, digits, "-" and ".".
bool isDnsName(const std::string& name) {
    return !name.empty() && name.size() < 254 && name.front() != '-' && name.front() != '.' &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                  "0123456789-.") == std::string::npos;
}

std::string hostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
        return "localhost";
    }
    return name.data();
}

// Writes the file only when it is not there yet: a second program that made its own pair at
// the same moment takes the first one's.
bool createOnce(const std::filesystem::path& file, const std::string& bytes, std::string& why) {
    const std::filesystem::path draft = file.string() + ".new-" + std::to_string(::getpid());
    if (!privateFiles::write(draft, bytes, why)) {
        return false;
    }
    const bool linked = ::link(draft.c_str(), file.c_str()) == 0;
    const int linkError = errno;
    ::unlink(draft.c_str());
    if (!linked && linkError != EEXIST) {
        why = "cannot make " + file.string() + ": " + std::strerror(linkError);
        return false;
    }
    return true;
}

} // namespace

std::string TlsIdentity::fingerprintOf(const std::string& certificatePem) {
    const Owned<BIO> bio = readingBio(certificatePem);
    const Owned<X509> certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    if (!certificate) {
        ERR_clear_error();
        return {};
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    if (X509_digest(certificate.get(), EVP_sha256(), digest.data(), &size) != 1) {
        return {};
    }
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        if (i > 0) {
            text += ':';
        }
        text += digits[digest[i] >> 4U];
        text += digits[digest[i] & 0xFU];
    }
    return text;
}

std::optional<TlsIdentity> TlsIdentity::fromPem(const std::string& certificatePem,
                                                const std::string& privateKeyPem,
                                                std::string& why) {
    const Owned<BIO> certificateBio = readingBio(certificatePem);
    const Owned<X509> certificate(
        PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr));
    if (!certificate) {
        why = "no certificate in PEM form: " + openSslError();
        return std::nullopt;
    }
    const Owned<BIO> keyBio = readingBio(privateKeyPem);
    // An empty pass phrase: a key that needs one cannot be used unattended.
    const Owned<EVP_PKEY> key(
        PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, const_cast<char*>("")));
    if (!key) {
        why = "no private key in PEM form without a pass phrase: " + openSslError();
        return std::nullopt;
    }
    if (X509_check_private_key(certificate.get(), key.get()) != 1) {
        ERR_clear_error();
        why = "the private key does not belong to the certificate";
        return std::nullopt;
    }
    // Written out again, so that the certificate's text holds certificates only (the chain
    // after the first) and the key's text the key only, whatever else the files held.
    const Owned<BIO> certificates(BIO_new(BIO_s_mem()));
    PEM_write_bio_X509(certificates.get(), certificate.get());
    while (const Owned<X509> chain{
        PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr)}) {
        PEM_write_bio_X509(certificates.get(), chain.get());
    }
    ERR_clear_error(); // the end of the text
    const Owned<BIO> keyText(BIO_new(BIO_s_mem()));
    PEM_write_bio_PrivateKey(keyText.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr);

    TlsIdentity identity;
    identity.certificatePem = bioText(certificates.get());
    identity.privateKeyPem = bioText(keyText.get());
    identity.fingerprint = fingerprintOf(identity.certificatePem);
    return identity;
}

std::string TlsIdentity::makeSelfSigned(const std::string& host) {
    const Owned<EVP_PKEY> key(EVP_EC_gen("P-256"));
    const Owned<X509> certificate(X509_new());
    if (!key || !certificate) {
        throw std::runtime_error("cannot make a key: " + openSslError());
    }
    X509_set_version(certificate.get(), 2); // version 3
    std::array<unsigned char, 16> serial{};
    RAND_bytes(serial.data(), serial.size());
    serial[0] &= 0x7FU; // positive
    const Owned<BIGNUM> number(BN_bin2bn(serial.data(), serial.size(), nullptr));
    BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(certificate.get()));
    constexpr long hour = 3600;
    constexpr long fiveYears = 5L * 365 * 24 * hour;
    // An hour back, for a client whose clock is a little behind.
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -hour);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), fiveYears);
    X509_set_pubkey(certificate.get(), key.get());

    const std::string name = isDnsName(host) ? host : "localhost";
    X509_NAME* subject = X509_get_subject_name(certificate.get());
    const std::string commonName = "LMControl " + name;
    X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("lmsign"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509_set_issuer_name(certificate.get(), subject);

    std::string altNames = "DNS:localhost,IP:127.0.0.1,IP:::1";
    if (name != "localhost") {
        altNames = "DNS:" + name + "," + altNames;
    }
    addExtension(certificate.get(), NID_basic_constraints, "critical,CA:FALSE");
    addExtension(certificate.get(), NID_key_usage, "critical,digitalSignature");
    addExtension(certificate.get(), NID_ext_key_usage, "serverAuth");
    addExtension(certificate.get(), NID_subject_alt_name, altNames);
    addExtension(certificate.get(), NID_subject_key_identifier, "hash");
    if (X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0) {
        throw std::runtime_error("cannot sign the certificate: " + openSslError());
    }

    const Owned<BIO> out(BIO_new(BIO_s_mem()));
    if (PEM_write_bio_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1 ||
        PEM_write_bio_X509(out.get(), certificate.get()) != 1) {
        throw std::runtime_error("cannot write the pair: " + openSslError());
    }
    return bioText(out.get());
}

std::optional<TlsIdentity> TlsIdentity::ensure(const std::filesystem::path& folder,
                                               const WebSettings& settings, std::string& why) {
    if (!settings.certificateFile.empty() || !settings.privateKeyFile.empty()) {
        if (settings.certificateFile.empty() || settings.privateKeyFile.empty()) {
            why = "a certificate needs its private key, and a key its certificate";
            return std::nullopt;
        }
        const std::optional<std::string> certificate =
            privateFiles::read(settings.certificateFile, why);
        const std::optional<std::string> key =
            certificate ? privateFiles::read(settings.privateKeyFile, why) : std::nullopt;
        if (!certificate || !key) {
            return std::nullopt;
        }
        std::optional<TlsIdentity> identity = fromPem(*certificate, *key, why);
        if (!identity) {
            why = settings.certificateFile + ", " + settings.privateKeyFile + ": " + why;
            return std::nullopt;
        }
        identity->source = settings.certificateFile;
        return identity;
    }

    const std::filesystem::path file = folder / selfSignedName;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        if (!privateFiles::makeFolder(folder, why)) {
            return std::nullopt;
        }
        std::string pair;
        try {
            pair = makeSelfSigned(hostName());
        } catch (const std::runtime_error& failure) {
            why = failure.what();
            return std::nullopt;
        }
        if (!createOnce(file, pair, why)) {
            return std::nullopt;
        }
    }
    const std::optional<std::string> pair = privateFiles::read(file, why);
    if (!pair) {
        return std::nullopt;
    }
    // One file holds both: the key's block and the certificate's block.
    std::optional<TlsIdentity> identity = fromPem(*pair, *pair, why);
    if (!identity) {
        why = file.string() + ": " + why;
        return std::nullopt;
    }
    identity->source = file;
    identity->selfSigned = true;
    return identity;
}

} // namespace lm
