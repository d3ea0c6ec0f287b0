#include <Security/SecTrust.h>

#include <Runtime/ClassBuilder.h>

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

NS_IMPLEMENT_CLASS(SecTrust, NSObject) {}

namespace {

struct VerifyRecord {
    int firstError = X509_V_OK;
    bool fatal = false;
};

int verifyIndex() {
    static int index = X509_STORE_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// Records every problem and carries on, so that the chain is built as far as it goes; only a
// broken signature stops the walk, since a chain whose links do not verify is no chain at all.
int recordingCallback(int ok, X509_STORE_CTX* ctx) {
    if (ok) {
        return 1;
    }
    auto* record = static_cast<VerifyRecord*>(X509_STORE_CTX_get_ex_data(ctx, verifyIndex()));
    int error = X509_STORE_CTX_get_error(ctx);
    if (record && record->firstError == X509_V_OK) {
        record->firstError = error;
    }
    switch (error) {
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
    case X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY:
        if (record) {
            record->fatal = true;
        }
        return 0;
    default:
        return 1;
    }
}

SecTrustFailure failureFor(int error) {
    switch (error) {
    case X509_V_OK:
        return SecTrustFailure::None;
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return SecTrustFailure::Expired;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return SecTrustFailure::NotYetValid;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return SecTrustFailure::UnknownRoot;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return SecTrustFailure::HostMismatch;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
    case X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY:
        return SecTrustFailure::Malformed;
    default:
        return SecTrustFailure::Untrusted;
    }
}

bool isIPAddress(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

std::vector<Ref<SecCertificate>> certificatesOf(const id& object) {
    std::vector<Ref<SecCertificate>> out;
    if (auto one = cast<SecCertificate>(object)) {
        out.push_back(one);
    } else if (auto array = cast<NSArray>(object)) {
        for (const auto& item : *array) {
            auto certificate = cast<SecCertificate>(item);
            if (!certificate) {
                return {};
            }
            out.push_back(certificate);
        }
    }
    return out;
}

bool policiesOf(const id& object, std::vector<Ref<SecPolicy>>& out) {
    out.clear();
    if (!object) {
        out.push_back(SecPolicyCreateBasicX509());
    } else if (auto one = cast<SecPolicy>(object)) {
        out.push_back(one);
    } else if (auto array = cast<NSArray>(object)) {
        for (const auto& item : *array) {
            auto policy = cast<SecPolicy>(item);
            if (!policy) {
                return false;
            }
            out.push_back(policy);
        }
    } else {
        return false;
    }
    return true;
}

// The system's roots, loaded once and shared by every evaluation (an X509_STORE is safe to verify
// against from several threads). Loading a real-sized root file takes milliseconds, far more than
// an evaluation, so it is loaded again only when the file or the directory changes.
class SystemRoots {
public:
    static SystemRoots& shared() {
        static SystemRoots* roots = new SystemRoots();
        return *roots;
    }

    // The store, with a reference for the caller (X509_STORE_free when done).
    X509_STORE* store() {
        std::string file = locationOf(X509_get_default_cert_file_env(), X509_get_default_cert_file());
        std::string dir = locationOf(X509_get_default_cert_dir_env(), X509_get_default_cert_dir());
        std::string signature = file + '\n' + dir + '\n' + stamp(file) + '\n' + stamp(dir);
        std::lock_guard lock(mutex_);
        if (!store_ || signature != signature_) {
            X509_STORE* fresh = X509_STORE_new();
            if (!fresh) {
                return nullptr;
            }
            X509_STORE_set_default_paths(fresh);
            if (store_) {
                X509_STORE_free(store_);
            }
            store_ = fresh;
            signature_ = signature;
            directory_ = dir;
            ++loads_;
        }
        X509_STORE_up_ref(store_);
        return store_;
    }

    std::string directory() {
        std::lock_guard lock(mutex_);
        return directory_;
    }

    unsigned loads() {
        std::lock_guard lock(mutex_);
        return loads_;
    }

private:
    static std::string locationOf(const char* variable, const char* fallback) {
        const char* value = std::getenv(variable);
        return value ? value : (fallback ? fallback : "");
    }
    // What changes when the file or directory does: identity, size and modification time.
    static std::string stamp(const std::string& path) {
        struct stat info {};
        if (path.empty() || ::stat(path.c_str(), &info) != 0) {
            return "-";
        }
        return std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino) + ':' + std::to_string(info.st_size) +
               ':' + std::to_string(info.st_mtim.tv_sec) + '.' + std::to_string(info.st_mtim.tv_nsec) + ':' +
               std::to_string(info.st_ctim.tv_sec) + '.' + std::to_string(info.st_ctim.tv_nsec);
    }

    std::mutex mutex_;
    X509_STORE* store_ = nullptr;
    std::string signature_;
    std::string directory_;
    unsigned loads_ = 0;
};

// The store an evaluation builds on: the shared system roots, the custom anchors alone, or (rare)
// both, in a store of the evaluation's own.
X509_STORE* storeFor(const std::vector<Ref<SecCertificate>>& anchors, bool anchorsOnly) {
    if (!anchorsOnly && anchors.empty()) {
        return SystemRoots::shared().store();
    }
    X509_STORE* store = X509_STORE_new();
    if (!store) {
        return nullptr;
    }
    if (!anchorsOnly) {
        if (X509_STORE* system = SystemRoots::shared().store()) {
            if (STACK_OF(X509)* roots = X509_STORE_get1_all_certs(system)) {
                for (int i = 0; i < sk_X509_num(roots); ++i) {
                    X509_STORE_add_cert(store, sk_X509_value(roots, i));
                }
                sk_X509_pop_free(roots, X509_free);
            }
            X509_STORE_free(system);
        }
        std::string directory = SystemRoots::shared().directory();
        if (X509_LOOKUP* lookup = X509_STORE_add_lookup(store, X509_LOOKUP_hash_dir())) {
            X509_LOOKUP_add_dir(lookup, directory.c_str(), X509_FILETYPE_PEM);
        }
    }
    for (const auto& anchor : anchors) {
        X509_STORE_add_cert(store, anchor->x509());
    }
    return store;
}

} // namespace

unsigned SecTrustSystemRootLoadCount() {
    return SystemRoots::shared().loads();
}

SecTrust::SecTrust(std::vector<Ref<SecCertificate>> certificates, std::vector<Ref<SecPolicy>> policies)
    : certificates_(std::move(certificates)), policies_(std::move(policies)) {}

void SecTrust::setPolicies(std::vector<Ref<SecPolicy>> policies) {
    std::lock_guard lock(mutex_);
    policies_ = std::move(policies);
    evaluated_ = false;
}

std::vector<Ref<SecPolicy>> SecTrust::policies() const {
    std::lock_guard lock(mutex_);
    return policies_;
}

void SecTrust::setAnchorCertificates(std::vector<Ref<SecCertificate>> anchors) {
    std::lock_guard lock(mutex_);
    anchors_ = std::move(anchors);
    anchorsOnly_ = true;
    evaluated_ = false;
}

void SecTrust::setAnchorCertificatesOnly(bool only) {
    std::lock_guard lock(mutex_);
    anchorsOnly_ = only;
    evaluated_ = false;
}

OSStatus SecTrust::evaluate(SecTrustResultType* result) {
    std::lock_guard lock(mutex_);
    if (result) {
        *result = kSecTrustResultInvalid;
    }
    if (certificates_.empty()) {
        return errSecParam;
    }
    X509_STORE* store = storeFor(anchors_, anchorsOnly_);
    X509_STORE_CTX* ctx = X509_STORE_CTX_new();
    STACK_OF(X509)* untrusted = sk_X509_new_null();
    if (!store || !ctx || !untrusted) {
        X509_STORE_free(store);
        X509_STORE_CTX_free(ctx);
        sk_X509_free(untrusted);
        return errSecAllocate;
    }
    for (size_t i = 1; i < certificates_.size(); ++i) {
        sk_X509_push(untrusted, certificates_[i]->x509());
    }
    OSStatus status = errSecSuccess;
    VerifyRecord record;
    if (X509_STORE_CTX_init(ctx, store, certificates_[0]->x509(), untrusted) != 1) {
        status = errSecInternalComponent;
    } else {
        X509_STORE_CTX_set_ex_data(ctx, verifyIndex(), &record);
        X509_STORE_CTX_set_verify_cb(ctx, recordingCallback);
        X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(ctx);
        if (!anchors_.empty()) {
            X509_VERIFY_PARAM_set_flags(param, X509_V_FLAG_PARTIAL_CHAIN);
        }
        for (const auto& policy : policies_) {
            if (policy->kind() == SecPolicy::Kind::SSLServer || policy->kind() == SecPolicy::Kind::SSLClient) {
                X509_STORE_CTX_set_purpose(ctx, policy->kind() == SecPolicy::Kind::SSLServer ? X509_PURPOSE_SSL_SERVER
                                                                                             : X509_PURPOSE_SSL_CLIENT);
                if (policy->hostname() && policy->hostname()->length() > 0) {
                    std::string host = policy->hostname()->str();
                    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
                        host = host.substr(1, host.size() - 2);
                    }
                    if (isIPAddress(host)) {
                        X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
                    } else {
                        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
                        X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
                    }
                }
            }
        }
        int verified = X509_verify_cert(ctx);
        chain_.clear();
        if (STACK_OF(X509)* built = X509_STORE_CTX_get1_chain(ctx)) {
            for (int i = 0; i < sk_X509_num(built); ++i) {
                chain_.push_back(make<SecCertificate>(sk_X509_value(built, i)));
            }
            sk_X509_pop_free(built, X509_free);
        }
        if (chain_.empty() || record.fatal) {
            // A chain that could not be built, or one whose signatures do not hold, is the leaf alone.
            chain_.assign(1, certificates_[0]);
        }
        if (verified == 1 && record.firstError == X509_V_OK) {
            failure_ = SecTrustFailure::None;
            if (result) {
                *result = kSecTrustResultUnspecified;
            }
        } else {
            int error = record.firstError != X509_V_OK ? record.firstError : X509_STORE_CTX_get_error(ctx);
            failure_ = failureFor(error == X509_V_OK ? X509_V_ERR_UNSPECIFIED : error);
            if (result) {
                *result = record.fatal || failure_ == SecTrustFailure::Malformed
                              ? kSecTrustResultFatalTrustFailure
                              : kSecTrustResultRecoverableTrustFailure;
            }
        }
        evaluated_ = true;
    }
    X509_STORE_CTX_free(ctx);
    sk_X509_free(untrusted);
    X509_STORE_free(store);
    return status;
}

SecTrustFailure SecTrust::lastFailure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

NSInteger SecTrust::certificateCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<NSInteger>(evaluated_ ? chain_.size() : certificates_.size());
}

Ref<SecCertificate> SecTrust::certificateAtIndex(NSInteger index) const {
    std::lock_guard lock(mutex_);
    const auto& list = evaluated_ ? chain_ : certificates_;
    if (index < 0 || static_cast<size_t>(index) >= list.size()) {
        return nullptr;
    }
    return list[static_cast<size_t>(index)];
}

Ref<NSArray> SecTrust::certificateChain() const {
    std::lock_guard lock(mutex_);
    return NSArray::arrayWithRefs(evaluated_ ? chain_ : certificates_);
}

std::vector<Ref<SecCertificate>> SecTrust::peerCertificates() const {
    std::lock_guard lock(mutex_);
    return certificates_;
}

Ref<SecKey> SecTrust::publicKey() const {
    std::lock_guard lock(mutex_);
    if (certificates_.empty()) {
        return nullptr;
    }
    EVP_PKEY* key = X509_get0_pubkey(certificates_[0]->x509());
    return key ? make<SecKey>(key) : nullptr;
}

Ref<NSString> SecTrust::description() const {
    std::lock_guard lock(mutex_);
    return NSString::stringWithFormat("<SecTrust %p: %lu certificates>", static_cast<const void*>(this),
                                      static_cast<unsigned long>(certificates_.size()));
}

OSStatus SecTrustCreateWithCertificates(const id& certificates, const id& policies, Ref<SecTrust>* trust) {
    if (!trust) {
        return errSecParam;
    }
    *trust = nullptr;
    auto list = certificatesOf(certificates);
    std::vector<Ref<SecPolicy>> policyList;
    if (list.empty() || !policiesOf(policies, policyList)) {
        return errSecParam;
    }
    *trust = make<SecTrust>(std::move(list), std::move(policyList));
    return errSecSuccess;
}

OSStatus SecTrustSetPolicies(const Ref<SecTrust>& trust, const id& policies) {
    std::vector<Ref<SecPolicy>> list;
    if (!trust || !policies || !policiesOf(policies, list)) {
        return errSecParam;
    }
    trust->setPolicies(std::move(list));
    return errSecSuccess;
}

OSStatus SecTrustSetAnchorCertificates(const Ref<SecTrust>& trust, const Ref<NSArray>& anchors) {
    if (!trust) {
        return errSecParam;
    }
    std::vector<Ref<SecCertificate>> list;
    if (anchors) {
        for (const auto& item : *anchors) {
            auto certificate = cast<SecCertificate>(item);
            if (!certificate) {
                return errSecParam;
            }
            list.push_back(certificate);
        }
    }
    trust->setAnchorCertificates(std::move(list));
    return errSecSuccess;
}

OSStatus SecTrustSetAnchorCertificatesOnly(const Ref<SecTrust>& trust, bool only) {
    if (!trust) {
        return errSecParam;
    }
    trust->setAnchorCertificatesOnly(only);
    return errSecSuccess;
}

OSStatus SecTrustEvaluate(const Ref<SecTrust>& trust, SecTrustResultType* result) {
    if (!trust) {
        return errSecParam;
    }
    return trust->evaluate(result);
}

NSInteger SecTrustGetCertificateCount(const Ref<SecTrust>& trust) {
    return trust ? trust->certificateCount() : 0;
}

Ref<SecCertificate> SecTrustGetCertificateAtIndex(const Ref<SecTrust>& trust, NSInteger index) {
    return trust ? trust->certificateAtIndex(index) : nullptr;
}

Ref<SecKey> SecTrustCopyPublicKey(const Ref<SecTrust>& trust) {
    return trust ? trust->publicKey() : nullptr;
}
