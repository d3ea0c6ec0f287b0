#include "LoopbackTransactionService.h"

#include <httplib.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

// The service's library is built without the thread sanitizer, which then sees its threads' shared
// buffers but not the locks around them; what happens inside it is not under test.
extern "C" const char* __tsan_default_suppressions() __attribute__((weak));
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libcpp-httplib.so\nrace:libcpp-httplib.so\n";
}

namespace {

// A posted body nested deeper than this is not read as JSON: copying a record, comparing it or
// writing it out recurses once per level, on the server's thread and in whoever reads the records.
constexpr int kMaximumDepth = 512;

// The body as a JSON document, or as its text when it is not JSON or nests past kMaximumDepth.
nlohmann::ordered_json readRecord(const std::string& body) {
    bool tooDeep = false;
    auto bound = [&tooDeep](int depth, nlohmann::ordered_json::parse_event_t event, nlohmann::ordered_json&) {
        bool opens = event == nlohmann::ordered_json::parse_event_t::object_start ||
                     event == nlohmann::ordered_json::parse_event_t::array_start;
        if (opens && depth >= kMaximumDepth) {
            tooDeep = true; // the container and all within it are dropped as they are read
            return false;
        }
        return true;
    };
    auto record = nlohmann::ordered_json::parse(body, bound, false);
    if (tooDeep || record.is_discarded()) {
        return body;
    }
    return record;
}

const char* const kTransactionPath = "/api/functionaltest_finish/";
const char* const kModelListPath = "/static/json/AppleModel.json";

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!extension) {
        throw std::runtime_error("bad certificate extension");
    }
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// A certificate for `key`, signed by `issuerKey` under `issuer` (itself when null).
X509* issue(const char* commonName, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey, const char* altName,
            long serial) {
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -86400L);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 365 * 86400L);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Loopback transactions"),
                               -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer ? issuer : certificate;
    X509_set_issuer_name(certificate, X509_get_subject_name(signer));
    if (altName) {
        addExtension(certificate, signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(certificate, signer, NID_subject_alt_name, altName);
        addExtension(certificate, signer, NID_ext_key_usage, "serverAuth");
    } else {
        addExtension(certificate, signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(certificate, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    }
    addExtension(certificate, signer, NID_subject_key_identifier, "hash");
    X509_sign(certificate, issuerKey ? issuerKey : key, EVP_sha256());
    return certificate;
}

std::string pemOf(X509* certificate) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, certificate);
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    std::string out(data, static_cast<size_t>(length));
    BIO_free(bio);
    return out;
}

} // namespace

LoopbackTransactionService::LoopbackTransactionService(bool secure) : secure_(secure) {
    if (!secure) {
        server_ = std::make_unique<httplib::Server>();
        return;
    }
    EVP_PKEY* rootKey = EVP_EC_gen("P-256");
    EVP_PKEY* leafKey = EVP_EC_gen("P-256");
    if (!rootKey || !leafKey) {
        throw std::runtime_error("key generation failed");
    }
    X509* root = issue("Loopback transactions root", rootKey, nullptr, nullptr, nullptr, 1);
    X509* leaf = issue("127.0.0.1", leafKey, root, rootKey, "IP:127.0.0.1,DNS:localhost", 2);
    rootPEM_ = pemOf(root);
    server_ = std::make_unique<httplib::SSLServer>(leaf, leafKey);
    X509_free(leaf);
    X509_free(root);
    EVP_PKEY_free(leafKey);
    EVP_PKEY_free(rootKey);
    if (!server_->is_valid()) {
        throw std::runtime_error("TLS server could not be set up");
    }
}

LoopbackTransactionService::~LoopbackTransactionService() {
    stop();
}

void LoopbackTransactionService::start() {
    // One request per connection: no idle keep-alive connection holds up stop() for its time-out.
    server_->set_keep_alive_max_count(1);
    server_->set_tcp_nodelay(true);
    server_->Post(kTransactionPath, [this](const httplib::Request& request, httplib::Response& response) {
        handlePost(request.body, &response);
    });
    server_->Get("/ip", [this](const httplib::Request& request, httplib::Response& response) {
        handleAddressPage(request.remote_addr, &response);
    });
    server_->Get(kModelListPath, [this](const httplib::Request&, httplib::Response& response) {
        nlohmann::ordered_json list;
        {
            std::lock_guard lock(mutex_);
            list = modelList_;
        }
        if (list.is_null()) {
            response.status = 404;
            return;
        }
        response.set_content(list.dump(), "application/json");
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("cannot bind a loopback port");
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) {
        std::this_thread::yield();
    }
}

void LoopbackTransactionService::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

std::string LoopbackTransactionService::baseURL() const {
    return std::string(secure_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

void LoopbackTransactionService::setCompanySettings(const nlohmann::ordered_json& settings) {
    std::lock_guard lock(mutex_);
    companySettings_ = settings;
}

nlohmann::ordered_json LoopbackTransactionService::companySettingsFor(const std::vector<std::string>& testKeys) {
    auto settings = nlohmann::ordered_json::object();
    for (const auto& key : testKeys) {
        settings[key] = {{"value", "on"}};
    }
    return settings;
}

void LoopbackTransactionService::setModelList(const nlohmann::ordered_json& list) {
    std::lock_guard lock(mutex_);
    modelList_ = list;
}

void LoopbackTransactionService::setBehaviour(const Behaviour& behaviour) {
    std::lock_guard lock(mutex_);
    behaviour_ = behaviour;
}

void LoopbackTransactionService::refuse(int status, const std::string& error) {
    Behaviour b;
    b.kind = Behaviour::Refuse;
    b.status = status;
    b.error = error;
    setBehaviour(b);
}

void LoopbackTransactionService::delayReplies(double seconds) {
    Behaviour b;
    b.kind = Behaviour::Delay;
    b.delay = seconds;
    setBehaviour(b);
}

void LoopbackTransactionService::dropConnections() {
    Behaviour b;
    b.kind = Behaviour::Drop;
    setBehaviour(b);
}

void LoopbackTransactionService::answerRaw(int status, const std::string& contentType, const std::string& body) {
    Behaviour b;
    b.kind = Behaviour::Raw;
    b.status = status;
    b.contentType = contentType;
    b.body = body;
    setBehaviour(b);
}

void LoopbackTransactionService::setAddressPage(const AddressPage& page) {
    std::lock_guard lock(mutex_);
    addressPage_ = page;
}

void LoopbackTransactionService::handleAddressPage(const std::string& caller, void* out) {
    auto& response = *static_cast<httplib::Response*>(out);
    AddressPage page;
    {
        std::unique_lock lock(mutex_);
        page = addressPage_;
        if (page.delay > 0) {
            changed_.wait_for(lock, std::chrono::duration<double>(page.delay), [this] { return stopping_; });
        }
    }
    if (page.drop) {
        response.set_content_provider(64, "text/html", [](size_t, size_t, httplib::DataSink&) { return false; });
        return;
    }
    response.status = page.status;
    std::string body = page.body.empty()
                           ? "<html><body><p>Your address: <a href=\"/ip\" class=\"ip ipv4\">" +
                                 (caller.empty() ? std::string("127.0.0.1") : caller) + "</a></p></body></html>"
                           : page.body;
    response.set_content(body, page.contentType.c_str());
}

void LoopbackTransactionService::handlePost(const std::string& body, void* out) {
    auto& response = *static_cast<httplib::Response*>(out);
    auto record = readRecord(body);
    Behaviour behaviour;
    nlohmann::ordered_json settings;
    {
        std::lock_guard lock(mutex_);
        records_.push_back(record);
        behaviour = behaviour_;
        settings = companySettings_;
        changed_.notify_all();
    }
    auto accepted = [&] {
        nlohmann::ordered_json reply = nlohmann::ordered_json::object();
        if (record.is_object() && record.value("result", 0) == 2) {
            reply["company_settings"] = settings;
        }
        response.set_content(reply.dump(), "application/json");
    };
    switch (behaviour.kind) {
    case Behaviour::Accept:
        accepted();
        break;
    case Behaviour::Refuse:
        response.set_content(nlohmann::ordered_json{{"error", behaviour.error}, {"status", behaviour.status}}.dump(),
                             "application/json");
        break;
    case Behaviour::Delay: {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::duration<double>(behaviour.delay), [this] { return stopping_; });
        lock.unlock();
        accepted();
        break;
    }
    case Behaviour::Drop:
        // The headers promise 64 bytes; the provider gives up before the first, which closes the
        // connection mid-reply.
        response.set_content_provider(64, "application/json", [](size_t, size_t, httplib::DataSink&) { return false; });
        break;
    case Behaviour::Raw:
        response.status = behaviour.status;
        response.set_content(behaviour.body, behaviour.contentType.c_str());
        break;
    }
}

std::vector<nlohmann::ordered_json> LoopbackTransactionService::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

size_t LoopbackTransactionService::recordCount() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

bool LoopbackTransactionService::waitForRecords(size_t count, double seconds) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return records_.size() >= count; });
}

bool LoopbackTransactionService::installRootAsSystemTrust(const std::string& path) const {
    if (rootPEM_.empty()) {
        return false;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << rootPEM_;
    file.close();
    if (!file) {
        return false;
    }
    return setenv("SSL_CERT_FILE", path.c_str(), 1) == 0;
}
