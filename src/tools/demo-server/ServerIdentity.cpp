#include "tools/demo-server/ServerIdentity.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace kiv::demo {

namespace {

template <typename T, void (*Free)(T*)>
struct TOpenSslDeleter {
    void operator()(T* p) const { Free(p); }
};
using TKey = std::unique_ptr<EVP_PKEY, TOpenSslDeleter<EVP_PKEY, EVP_PKEY_free>>;
using TCertificate = std::unique_ptr<X509, TOpenSslDeleter<X509, X509_free>>;

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

TFile OpenFile(const std::filesystem::path& path, const char* mode) { return TFile(std::fopen(path.c_str(), mode)); }

TCertificate ReadCertificate(const std::filesystem::path& path) {
    TFile file = OpenFile(path, "r");
    if (!file) return nullptr;
    return TCertificate(PEM_read_X509(file.get(), nullptr, nullptr, nullptr));
}

// A key that is there, readable and the certificate's own.
bool KeyMatches(const std::filesystem::path& path, X509* certificate) {
    TFile file = OpenFile(path, "r");
    if (!file) return false;
    TKey key(PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr));
    return key && X509_check_private_key(certificate, key.get()) == 1;
}

void Make(const std::filesystem::path& certificatePath, const std::filesystem::path& keyPath) {
    TKey key(EVP_RSA_gen(2048));
    if (!key) throw std::runtime_error("cannot make an RSA key");
    TCertificate certificate(X509_new());
    if (!certificate) throw std::runtime_error("cannot make a certificate");
    X509_set_version(certificate.get(), 2);
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1) throw std::runtime_error("no random bytes for the serial");
    serial[0] &= 0x7F;
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate.get()));
    BN_free(number);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -24 * 3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(certificate.get(), key.get());
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("kiv-demo-server"), -1,
                               -1, 0);
    X509_set_issuer_name(certificate.get(), name);
    if (X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0) throw std::runtime_error("cannot sign");

    const std::filesystem::path keyTemp = keyPath.string() + ".new";
    const std::filesystem::path certificateTemp = certificatePath.string() + ".new";
    {
        const mode_t old = umask(077);
        TFile file = OpenFile(keyTemp, "w");
        umask(old);
        if (!file || PEM_write_PrivateKey(file.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
            throw std::runtime_error("cannot write " + keyTemp.string());
        }
    }
    {
        TFile file = OpenFile(certificateTemp, "w");
        if (!file || PEM_write_X509(file.get(), certificate.get()) != 1) {
            throw std::runtime_error("cannot write " + certificateTemp.string());
        }
    }
    std::filesystem::rename(keyTemp, keyPath);
    std::filesystem::rename(certificateTemp, certificatePath);
}

std::string Fingerprint(X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    X509_digest(certificate, EVP_sha256(), digest, &size);
    std::string text;
    char pair[4];
    for (unsigned int i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, i ? ":%02X" : "%02X", digest[i]);
        text += pair;
    }
    return text;
}

}  // namespace

TServerIdentity PrepareServerIdentity(const std::filesystem::path& stateDir, bool renew) {
    std::filesystem::create_directories(stateDir);
    TServerIdentity identity{stateDir / "server.crt", stateDir / "server.key", {}};
    TCertificate certificate = renew ? nullptr : ReadCertificate(identity.certificateFile);
    if (!certificate || !KeyMatches(identity.keyFile, certificate.get())) {
        Make(identity.certificateFile, identity.keyFile);
        certificate = ReadCertificate(identity.certificateFile);
        if (!certificate) throw std::runtime_error("cannot read back " + identity.certificateFile.string());
    }
    identity.sha256 = Fingerprint(certificate.get());
    return identity;
}

}  // namespace kiv::demo
