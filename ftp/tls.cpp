#include "ftp/tls.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>

#include "ftp/errors.h"

namespace varnox::ftp {

namespace {

std::string text(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<std::size_t>(size));
}

// One line of UTF-8 text: OpenSSL escapes the control characters below 0x80 itself.
std::string nameOf(const X509_NAME* name) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
    X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
    return escapeLayoutControls(text(bio.get()));
}

std::string timeOf(const ASN1_TIME* time) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
    ASN1_TIME_print(bio.get(), time);
    return text(bio.get());
}

Certificate describe(X509* certificate) {
    Certificate facts;
    facts.subject = nameOf(X509_get_subject_name(certificate));
    facts.issuer = nameOf(X509_get_issuer_name(certificate));
    facts.validFrom = timeOf(X509_get0_notBefore(certificate));
    facts.validUntil = timeOf(X509_get0_notAfter(certificate));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_digest(certificate, EVP_sha256(), digest, &length);
    for (unsigned int i = 0; i < length; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : ":%02X", digest[i]);
        facts.sha256 += hex;
    }
    return facts;
}

bool namesHost(X509* certificate, const std::string& host) {
    std::string bare = host;
    if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') {
        bare = bare.substr(1, bare.size() - 2);
    }
    return X509_check_ip_asc(certificate, bare.c_str(), 0) == 1 ||
           X509_check_host(certificate, bare.c_str(), bare.size(), 0, nullptr) == 1;
}

}  // namespace

std::string escapeLayoutControls(std::string_view text) {
    const auto byte = [&](std::size_t at) {
        return at < text.size() ? static_cast<unsigned char>(text[at]) : 0u;
    };
    const auto following = [&](std::size_t at) { return (byte(at) & 0xC0u) == 0x80u; };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        // Only characters of two and three bytes can be among those escaped; any other byte,
        // a part of a longer character included, is taken over as it is.
        std::size_t length = 1;
        char32_t c = byte(i);
        if (c >= 0xC2 && c < 0xE0 && following(i + 1)) {
            length = 2;
            c = ((c & 0x1Fu) << 6) | (byte(i + 1) & 0x3Fu);
        } else if (c >= 0xE0 && c < 0xF0 && following(i + 1) && following(i + 2)) {
            length = 3;
            c = ((c & 0x0Fu) << 12) | ((byte(i + 1) & 0x3Fu) << 6) | (byte(i + 2) & 0x3Fu);
        }
        const bool escaped =
            length > 1 && ((c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
                           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069));
        if (escaped) {
            char written[16];
            std::snprintf(written, sizeof written, "\\U%04X", static_cast<unsigned>(c));
            out += written;
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

int TlsCheck::installOn(void*, void* sslContext, void* self) {
    auto* context = static_cast<SSL_CTX*>(sslContext);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(
        context,
        [](X509_STORE_CTX* store, void* check) {
            return static_cast<TlsCheck*>(check)->verify(store) ? 1 : 0;
        },
        self);
    return 0;
}

bool TlsCheck::verify(void* storeContext) noexcept {
    try {
        return check(storeContext);
    } catch (const std::bad_alloc&) {
        problem_ = LocalProblem{error::kNotEnoughMemory,
                                "Out of memory checking the certificate of " + server_};
    } catch (...) {
        problem_ = LocalProblem{error::kInternalError,
                                "The certificate of " + server_ + " could not be checked"};
    }
    return false;
}

bool TlsCheck::check(void* storeContext) {
    auto* store = static_cast<X509_STORE_CTX*>(storeContext);
    X509* leaf = X509_STORE_CTX_get0_cert(store);
    if (leaf == nullptr) {
        return false;
    }
    // A certificate passes when the system's trust store vouches for it, or when it is the one
    // trusted for this server. Reading the trust store takes longer than the handshake, so it
    // is read only for a certificate that is not known already; a file of trusted certificates
    // that cannot be used matters only for a certificate that the trust store does not vouch for.
    const Certificate facts = describe(leaf);
    if (acceptedNow_ == facts.sha256) {
        return true;  // a data connection of a connection whose certificate passed
    }
    const settings::TrustedServers::Lookup trusted =
        trusted_ != nullptr ? trusted_->lookUp(server_) : settings::TrustedServers::Lookup{};
    if (trusted.fingerprint == facts.sha256) {
        acceptedNow_ = facts.sha256;
        return true;
    }
    X509_STORE_set_default_paths(X509_STORE_CTX_get0_store(store));
    if (X509_verify_cert(store) == 1 && namesHost(leaf, host_)) {
        acceptedNow_ = facts.sha256;
        return true;
    }
    if (trusted.problem) {
        problem_ = LocalProblem{platform::windowsNumber(trusted.problem->systemError(), true),
                                trusted.problem->description()};
        return false;
    }
    if (!ask_ || !ask_(facts, trusted.fingerprint.has_value())) {
        refused_ = true;
        return false;
    }
    acceptedNow_ = facts.sha256;
    if (trusted_ != nullptr) {
        try {
            trusted_->trust(server_, facts.sha256);
        } catch (const std::exception&) {
            // Trusted for this connection; asked again next time.
        }
    }
    return true;
}

}  // namespace varnox::ftp
