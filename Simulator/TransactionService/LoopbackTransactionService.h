// LoopbackTransactionService: a small, real transaction service on 127.0.0.1 (HTTP or HTTPS), for
// the tests and the simulator. It serves the model list at "/static/json/AppleModel.json" (once
// given one; 404 before), takes the transaction posts at "/api/functionaltest_finish/",
// keeps every record it received, answers the start transaction (result 2) with the company
// settings, and can be told to misbehave: refuse ({"error": ..., "status": ...}), answer late
// (past the client's time-out), drop the connection, or answer with any status, type and body.
//
// Stands on cpp-httplib, nlohmann-json and OpenSSL alone; it knows nothing of the app.
#pragma once

#include <nlohmann/json.hpp>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

class LoopbackTransactionService {
public:
    // What the service does with the next posts (until told otherwise).
    struct Behaviour {
        enum Kind {
            Accept, // 200, application/json: the company settings for a start transaction, else {}
            Refuse, // 200, application/json: {"error": error, "status": status}
            Delay,  // Accept, but only after `delay` seconds (cut short when the service stops)
            Drop,   // the headers promise a body, then the connection closes without it
            Raw,    // `status`, `contentType` and `body` as given
        };
        Kind kind = Accept;
        std::string error;
        int status = 200;
        double delay = 0;
        std::string contentType = "application/json";
        std::string body;
    };

    // `secure` serves HTTPS with a certificate for 127.0.0.1 and localhost, signed by a root of its
    // own (rootCertificatePEM).
    explicit LoopbackTransactionService(bool secure = false);
    ~LoopbackTransactionService();
    LoopbackTransactionService(const LoopbackTransactionService&) = delete;
    LoopbackTransactionService& operator=(const LoopbackTransactionService&) = delete;

    void start();
    void stop();
    int port() const { return port_; }
    // "http://127.0.0.1:<port>" (https when secure): the web-service base the app stores.
    std::string baseURL() const;

    // The company settings of the start reply: test key -> {"value": "on"}, in the given order.
    void setCompanySettings(const nlohmann::ordered_json& settings);
    static nlohmann::ordered_json companySettingsFor(const std::vector<std::string>& testKeys);

    // The model list served at "/static/json/AppleModel.json" ({"iOS": {...}}); null: 404.
    void setModelList(const nlohmann::ordered_json& list);

    void setBehaviour(const Behaviour& behaviour);
    void accept() { setBehaviour({}); }
    void refuse(int status, const std::string& error);
    void delayReplies(double seconds);
    void dropConnections();
    void answerRaw(int status, const std::string& contentType, const std::string& body);

    // The public-address page at "/ip" (the Wi-Fi test fetches it): what it answers now.
    struct AddressPage {
        int status = 200;
        std::string contentType = "text/html";
        std::string body;  // empty: a page naming the caller's address between the usual markers
        double delay = 0;  // seconds before the answer (cut short when the service stops)
        bool drop = false; // the connection closes without the promised body
    };
    void setAddressPage(const AddressPage& page);
    std::string addressPageURL() const { return baseURL() + "/ip"; }

    // Every record received (the parsed JSON body; a body that is not JSON, or nests more than 512
    // arrays and objects deep, is kept as a string).
    std::vector<nlohmann::ordered_json> records() const;
    size_t recordCount() const;
    // Waits (real time) until at least `count` records arrived; false after `seconds`.
    bool waitForRecords(size_t count, double seconds) const;

    // HTTPS only: the root that signs the service's certificate, as PEM, and a file holding it.
    const std::string& rootCertificatePEM() const { return rootPEM_; }
    // Writes the root into `path` and makes it the process's trusted roots (SSL_CERT_FILE), so
    // the platform's default trust accepts the service. Call before the first HTTPS request.
    bool installRootAsSystemTrust(const std::string& path) const;

private:
    void handlePost(const std::string& body, void* response);
    void handleAddressPage(const std::string& caller, void* response);
    AddressPage addressPage_;

    std::unique_ptr<httplib::Server> server_;
    bool secure_ = false;
    int port_ = 0;
    std::thread thread_;
    std::string rootPEM_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    Behaviour behaviour_;
    nlohmann::ordered_json companySettings_ = nlohmann::ordered_json::object();
    nlohmann::ordered_json modelList_;
    std::vector<nlohmann::ordered_json> records_;
};
