#pragma once

#include "WebSettings.h"

#include <filesystem>
#include <optional>
#include <string>

namespace lm {

// The certificate and private key the web API serves HTTPS with, and the certificate's
// SHA-256 fingerprint, which the window and `LMControl --web-info` show so that a browser's
// warning about a self-signed certificate can be checked against it.
struct TlsIdentity {
    static constexpr const char* selfSignedName = "web-identity.pem";

    std::string certificatePem; // the certificate, then any chain certificates after it
    std::string privateKeyPem;
    std::string fingerprint; // "AB:01:…", 32 bytes as a browser shows them
    std::filesystem::path source;
    bool selfSigned = false;

    // The operator's pair when the settings name one, else the self-signed pair in `folder`
    // (one file at mode 0600, made on first use: an EC P-256 key and a certificate for this
    // computer's name, localhost and the loopback addresses, valid for five years). Two
    // programs that make it at once end up with the same pair. Nothing, with `why`, when a file
    // cannot be read, holds no certificate or key, or the key is not the certificate's.
    static std::optional<TlsIdentity> ensure(const std::filesystem::path& folder,
                                             const WebSettings& settings, std::string& why);
    // Checks a pair given as PEM text and takes its fingerprint.
    static std::optional<TlsIdentity> fromPem(const std::string& certificatePem,
                                              const std::string& privateKeyPem, std::string& why);
    // A new self-signed pair as one PEM text (key, then certificate), for `hostName`.
    static std::string makeSelfSigned(const std::string& hostName);
    // The SHA-256 fingerprint of the first certificate in the PEM text; empty when there is
    // none.
    static std::string fingerprintOf(const std::string& certificatePem);
};

} // namespace lm
