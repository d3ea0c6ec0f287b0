#include <Shell/HttpClient.h>

#include <Categorys/DXLocalizedString.h>
#include <Dispatch/DispatchOnce.h>
#include <Foundation/NSError.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSURL.h>
#include <Foundation/NSUserDefaults.h>
#include <Networking/HCJSONRequestSerializer.h>
#include <Networking/HCJSONResponseSerializer.h>
#include <Reactive/RXDisposable.h>
#include <Reactive/RXSubscriber.h>
#include <Runtime/ClassBuilder.h>

#include <mutex>

NS_IMPLEMENT_CLASS(HttpClient, NSObject) {
    b.property("requestManager", &HttpClient::requestManager, &HttpClient::setRequestManager);
    b.property("adminconsoleserver", &HttpClient::adminconsoleserver, &HttpClient::setAdminconsoleserver, "copy");
    b.property("webserviceserver", &HttpClient::webserviceserver, &HttpClient::setWebserviceserver, "copy");
}

namespace {

const char* const kAdminConsoleKey = "adminconsoleserver";
const char* const kWebServiceKey = "webserviceserver";
const char* const kTesterPrefix = "ts_tester";
const double kRequestTimeout = 10.0;
const size_t kMaximumAddressLength = 2048;

std::mutex& serverLock() {
    static std::mutex lock;
    return lock;
}

std::string& defaultServerText() {
    static std::string server = "http://backoffice.celvix.example/";
    return server;
}

// The client's error for a failed request: the fixed domain, the transport's code, the transport's
// failure reason (or "timeout" when it gives none) and the warning text for the operator.
Ref<NSError> clientError(const Ref<NSError>& transport) {
    auto reason = transport ? transport->localizedFailureReason() : nullptr;
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKey(reason ? reason : "timeout"_ns, NSLocalizedFailureReasonErrorKey());
    info->setObjectForKey(DXLocalizedString("LOGINVIEWCONTROLLER_WARNING"), NSLocalizedDescriptionKey());
    return make<NSError>(HttpClientErrorDomain(), transport ? transport->code() : 0, info);
}

// The error of a request whose base address is not known: nothing is sent.
Ref<NSError> missingServerError() {
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKey("no server address"_ns, NSLocalizedFailureReasonErrorKey());
    info->setObjectForKey(DXLocalizedString("LOGINVIEWCONTROLLER_WARNING"), NSLocalizedDescriptionKey());
    return make<NSError>(HttpClientErrorDomain(), NSURLErrorBadURL, info);
}

Ref<NSString> describe(const id& value) {
    if (auto text = cast<NSString>(value)) {
        return text;
    }
    return value ? value->description() : ""_ns;
}

} // namespace

const Ref<NSString>& HttpClientErrorDomain() {
    static const Ref<NSString> domain = "LOGINVIEWCONTROLLER_WARNING"_ns;
    return domain;
}

Ref<NSString> HttpClient::defaultServer() {
    std::lock_guard guard(serverLock());
    return NSString::from(defaultServerText());
}

void HttpClient::setDefaultServer(const Ref<NSString>& server) {
    std::lock_guard guard(serverLock());
    auto text = server ? server->str() : std::string();
    if (text.empty() || text.back() != '/') {
        text += '/';
    }
    defaultServerText() = text;
}

Ref<NSString> HttpClient::testerClientRecordId() {
    return "5b1f3c2e-8d4a-4e6b-9c7d-2a1e0f3b4c5d"_ns;
}

Ref<NSString> HttpClient::clientRecordId() {
    return "9e8d7c6b-5a4f-4e3d-8c2b-1a0f9e8d7c6b"_ns;
}

HttpClient::HttpClient() {
    auto manager = make<HCHTTPRequestOperationManager>(NSURL::URLWithString(defaultServer()));
    manager->setResponseSerializer(HCJSONResponseSerializer::serializer());
    auto requestSerializer = HCJSONRequestSerializer::serializer();
    requestSerializer->setTimeoutInterval(kRequestTimeout);
    manager->setRequestSerializer(requestSerializer);
    requestManager_ = manager;
    auto defaults = NSUserDefaults::standardUserDefaults();
    adminconsoleserver_ = defaults->stringForKey(NSString::from(kAdminConsoleKey));
    webserviceserver_ = defaults->stringForKey(NSString::from(kWebServiceKey));
}

Ref<HttpClient> HttpClient::sharedHttpClient() {
    static dispatch_once_t once;
    static Ref<HttpClient> client;
    dispatch_once(&once, [] { client = make<HttpClient>(); });
    return client;
}

bool HttpClient::isAcceptableServerAddress(const id& value) {
    auto text = cast<NSString>(value);
    if (!text || text->length() == 0 || text->str().size() > kMaximumAddressLength) {
        return false;
    }
    for (unsigned char c : text->str()) {
        if (c <= 0x20 || c == 0x7f) {
            return false;
        }
    }
    auto url = NSURL::URLWithString(text);
    if (!url) {
        return false;
    }
    auto scheme = url->scheme();
    if (!scheme) {
        return false;
    }
    auto lower = scheme->lowercaseString()->str();
    if (lower != "http" && lower != "https") {
        return false;
    }
    auto host = url->host();
    return host && host->length() > 0 && !url->user() && !url->password() && !url->query() && !url->fragment();
}

void HttpClient::adoptServersFromReply(const id& reply) {
    auto root = cast<NSDictionary>(reply);
    auto results = root ? cast<NSArray>(root->objectForKey("results"_ns)) : nullptr;
    auto record = results && results->count() > 0 ? cast<NSDictionary>(results->objectAtIndex(0)) : nullptr;
    id admin = record ? record->objectForKey(NSString::from(kAdminConsoleKey)) : nullptr;
    id web = record ? record->objectForKey(NSString::from(kWebServiceKey)) : nullptr;
    // Both addresses are adopted together, or neither: a reply of the wrong shape, or one naming
    // something that is not a plain http(s) server, must not redirect later requests (which carry
    // the operator's credentials) nor survive a restart.
    if (!isAcceptableServerAddress(admin) || !isAcceptableServerAddress(web)) {
        NSLog("querySN: the reply names no usable server addresses; keeping %@ and %@", adminconsoleserver_,
              webserviceserver_);
        return;
    }
    setAdminconsoleserver(cast<NSString>(admin));
    setWebserviceserver(cast<NSString>(web));
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey(adminconsoleserver_, NSString::from(kAdminConsoleKey));
    defaults->setObjectForKey(webserviceserver_, NSString::from(kWebServiceKey));
    if (!defaults->synchronize()) {
        NSLog("client: the defaults could not be written; the servers are kept in memory");
    }
}

Ref<RXSignal> HttpClient::requestSignal(const Ref<NSString>& method, std::function<Ref<NSString>(HttpClient*)> url,
                                        const id& parameters, std::function<void(HttpClient*, const id&)> beforeReply) {
    Weak<HttpClient> weakSelf(Ref<HttpClient>(this));
    return RXSignal::createSignal(
        [weakSelf, method, url, parameters, beforeReply](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
            auto self = weakSelf.lock();
            auto address = self ? url(self.get()) : nullptr;
            if (!address) {
                subscriber->sendError(missingServerError());
                return nullptr;
            }
            auto success = [weakSelf, subscriber, beforeReply](HCHTTPRequestOperation*, const id& reply) {
                if (beforeReply) {
                    if (auto client = weakSelf.lock()) {
                        beforeReply(client.get(), reply);
                    }
                }
                subscriber->sendNext(reply);
                subscriber->sendCompleted();
            };
            auto failure = [subscriber](HCHTTPRequestOperation*, const Ref<NSError>& error) {
                subscriber->sendError(clientError(error));
            };
            auto manager = self->requestManager();
            Ref<HCHTTPRequestOperation> operation =
                method->isEqualToString("POST"_ns)
                    ? manager->POSTParametersSuccessFailure(address, parameters, success, failure)
                    : manager->GETParametersSuccessFailure(address, parameters, success, failure);
            return RXDisposable::disposableWithBlock([operation] {
                if (operation) {
                    operation->cancel();
                }
            });
        });
}

Ref<RXSignal> HttpClient::checkLoginPassword(const Ref<NSString>& username, const Ref<NSString>& password) {
    NSLog("checkLogin: %@", username);
    auto body = NSMutableDictionary::dictionary();
    body->setObjectForKey(username ? id(username) : id(NSNull::null()), "username"_ns);
    body->setObjectForKey(password ? id(password) : id(NSNull::null()), "password"_ns);
    return requestSignal(
        "POST"_ns,
        [](HttpClient* self) -> Ref<NSString> {
            auto base = self->adminconsoleserver();
            return base ? NSString::stringWithFormat("%@api/auth/", base) : nullptr;
        },
        body, nullptr);
}

Ref<RXSignal> HttpClient::querySN(const Ref<NSString>& serialNumber) {
    bool tester = serialNumber && serialNumber->hasPrefix(NSString::from(kTesterPrefix));
    auto record = tester ? testerClientRecordId() : clientRecordId();
    auto criteria = NSDictionary::dictionaryWithEntries({{"_id"_ns, record}});
    auto data = NSJSONSerialization::dataWithJSONObjectOptionsError(criteria, 0, nullptr);
    auto parameters = NSDictionary::dictionaryWithEntries(
        {{"criteria"_ns, NSString::stringWithDataEncoding(data, NSUTF8StringEncoding)}});
    return requestSignal(
        "GET"_ns, [](HttpClient*) -> Ref<NSString> { return "/profiles/clients/_find"_ns; }, parameters,
        [](HttpClient* self, const id& reply) { self->adoptServersFromReply(reply); });
}

Ref<RXSignal> HttpClient::queryCreditWithProductIdCompanyId(int64_t productId, int64_t companyId) {
    return requestSignal(
        "GET"_ns,
        [productId, companyId](HttpClient* self) -> Ref<NSString> {
            auto base = self->adminconsoleserver();
            return base ? NSString::stringWithFormat("%@api/availablecredit/%ld/%ld/", base,
                                                     static_cast<long>(productId), static_cast<long>(companyId))
                        : nullptr;
        },
        nullptr, nullptr);
}

Ref<RXSignal> HttpClient::queryProfileWithClient(const Ref<NSDictionary>& client) {
    auto product = describe(client ? client->objectForKey("productid"_ns) : nullptr);
    auto company = describe(client ? client->objectForKey("company"_ns) : nullptr);
    return requestSignal(
        "GET"_ns,
        [product, company](HttpClient* self) -> Ref<NSString> {
            auto base = self->adminconsoleserver();
            return base ? NSString::stringWithFormat("%@api/pdt/tessaly/getfeaturesettings/%@/%@/", base, product,
                                                     company)
                        : nullptr;
        },
        nullptr, nullptr);
}

Ref<RXSignal> HttpClient::ReportInsertWithParamter(const Ref<NSDictionary>& parameters) {
    return requestSignal(
        "POST"_ns,
        [](HttpClient* self) -> Ref<NSString> {
            auto base = self->webserviceserver();
            return base ? NSString::stringWithFormat("%@/insert/", base) : nullptr;
        },
        parameters, nullptr);
}

Ref<RXSignal> HttpClient::reportTransacationWithParamter(const Ref<NSDictionary>& parameters) {
    return requestSignal(
        "POST"_ns,
        [](HttpClient* self) -> Ref<NSString> {
            auto base = self->webserviceserver();
            return base ? NSString::stringWithFormat("%@/updateresult/", base) : nullptr;
        },
        parameters, nullptr);
}
