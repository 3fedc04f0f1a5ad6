#include "ApiError.h"
#include "PasswordHash.h"
#include "Secrets.h"
#include "TempDir.h"
#include "TlsIdentity.h"

#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace lm {
namespace {

TEST(WebPasswordHashTest, OnlyTheSamePasswordMatches) {
    const std::string stored = passwordHash::make("correct horse");
    EXPECT_EQ(stored.rfind("$argon2id$", 0), 0U);
    EXPECT_EQ(stored.find("correct horse"), std::string::npos);
    EXPECT_TRUE(passwordHash::check(stored, "correct horse"));
    for (const char* wrong : {"correct hors", "correct horse ", "Correct horse", ""}) {
        EXPECT_FALSE(passwordHash::check(stored, wrong)) << wrong;
    }
    // A salt of its own each time.
    EXPECT_NE(passwordHash::make("correct horse"), stored);
}

TEST(WebPasswordHashTest, EmptyOrDamagedHashMatchesNothing) {
    for (const std::string& stored :
         {std::string(), std::string("$argon2id$v=19$broken"), std::string(200, 'x')}) {
        EXPECT_FALSE(passwordHash::check(stored, "")) << stored;
        EXPECT_FALSE(passwordHash::check(stored, "x")) << stored;
    }
}

TEST(WebPasswordHashTest, AThirdHashAtOnceWaitsAndThenGivesUp) {
    const std::string stored = passwordHash::make("p");
    std::vector<std::future<bool>> running;
    for (int i = 0; i < 2; ++i) {
        running.push_back(std::async(std::launch::async, [&] {
            // Each call holds a place about 0.1 s; three in a row hold it long enough.
            bool all = true;
            for (int round = 0; round < 3; ++round) {
                all = passwordHash::check(stored, "p") && all;
            }
            return all;
        }));
    }
    while (passwordHash::waitingOrRunning() < 2) {
        std::this_thread::yield();
    }
    EXPECT_THROW(passwordHash::check(stored, "p", std::chrono::milliseconds(0)), ApiError);
    for (auto& result : running) {
        EXPECT_TRUE(result.get());
    }
}

TEST(WebSecretsTest, TokensAreLongRandomAndKeptOnlyAsHashes) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const std::string token = secrets::newToken();
        EXPECT_EQ(token.size(), 4U + 64U);
        EXPECT_TRUE(seen.insert(token).second);
    }
    // The SHA-256 of "abc", from FIPS 180-2.
    EXPECT_EQ(secrets::sha256Hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_TRUE(secrets::equal("abc", "abc"));
    EXPECT_FALSE(secrets::equal("abc", "abd"));
    EXPECT_FALSE(secrets::equal("abc", "ab"));
}

struct Owned {
    X509* certificate = nullptr;
    ~Owned() { X509_free(certificate); }
};

Owned certificateOf(const std::string& pem) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    Owned owned{PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)};
    BIO_free(bio);
    return owned;
}

TEST(WebTlsIdentityTest, SelfSignedPairIsMadeOnceAtMode0600) {
    test::TempDir dir;
    std::string why;
    const auto first = TlsIdentity::ensure(dir.path() / "cfg", WebSettings{}, why);
    ASSERT_TRUE(first) << why;
    EXPECT_TRUE(first->selfSigned);
    struct stat status {};
    ASSERT_EQ(::stat(first->source.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777U, 0600U);
    // The certificate's text holds no key.
    EXPECT_EQ(first->certificatePem.find("PRIVATE KEY"), std::string::npos);
    const auto second = TlsIdentity::ensure(dir.path() / "cfg", WebSettings{}, why);
    ASSERT_TRUE(second) << why;
    EXPECT_EQ(second->fingerprint, first->fingerprint);
    EXPECT_EQ(first->fingerprint.size(), 32U * 3U - 1U);
}

TEST(WebTlsIdentityTest, SelfSignedCertificateNamesThisComputerAndTheLoopback) {
    const std::string pair = TlsIdentity::makeSelfSigned("sign-control");
    const Owned owned = certificateOf(pair);
    ASSERT_NE(owned.certificate, nullptr);
    X509* certificate = owned.certificate;
    EXPECT_EQ(X509_check_host(certificate, "sign-control", 0, 0, nullptr), 1);
    EXPECT_EQ(X509_check_host(certificate, "localhost", 0, 0, nullptr), 1);
    EXPECT_EQ(X509_check_ip_asc(certificate, "127.0.0.1", 0), 1);
    EXPECT_NE(X509_check_host(certificate, "elsewhere", 0, 0, nullptr), 1);
    EXPECT_EQ(X509_check_purpose(certificate, X509_PURPOSE_SSL_SERVER, 0), 1);
}

TEST(WebTlsIdentityTest, OperatorsPairIsUsedAndAMismatchIsRefused) {
    test::TempDir dir;
    const std::string pairA = TlsIdentity::makeSelfSigned("a");
    const std::string pairB = TlsIdentity::makeSelfSigned("b");
    std::string why;
    const auto a = TlsIdentity::fromPem(pairA, pairA, why);
    const auto b = TlsIdentity::fromPem(pairB, pairB, why);
    ASSERT_TRUE(a && b) << why;
    const auto write = [&](const char* name, const std::string& text) {
        const auto path = dir.path() / name;
        std::ofstream(path) << text;
        return path.string();
    };
    WebSettings settings;
    settings.certificateFile = write("a.crt", a->certificatePem);
    settings.privateKeyFile = write("a.key", a->privateKeyPem);
    const auto used = TlsIdentity::ensure(dir.path() / "cfg", settings, why);
    ASSERT_TRUE(used) << why;
    EXPECT_FALSE(used->selfSigned);
    EXPECT_EQ(used->fingerprint, a->fingerprint);
    EXPECT_NE(a->fingerprint, b->fingerprint);

    settings.privateKeyFile = write("b.key", b->privateKeyPem);
    EXPECT_FALSE(TlsIdentity::ensure(dir.path() / "cfg", settings, why));
    EXPECT_NE(why.find("does not belong"), std::string::npos) << why;
    settings.privateKeyFile = write("none.key", "no key here");
    EXPECT_FALSE(TlsIdentity::ensure(dir.path() / "cfg", settings, why));
    settings.privateKeyFile.clear();
    EXPECT_FALSE(TlsIdentity::ensure(dir.path() / "cfg", settings, why));
}

} // namespace
} // namespace lm
