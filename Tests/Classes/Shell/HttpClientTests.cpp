// The back-office client against a server on 127.0.0.1 (real time), and its reply models.
#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Shell/DXLoginModel.h>
#include <Shell/DXQuerySNModel.h>
#include <Shell/HttpClient.h>

#include <Foundation/NSDate.h>
#include <Foundation/NSError.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSUserDefaults.h>
#include <Reactive/RXDisposable.h>
#include <Support/LogCapture.h>

#include <httplib.h>

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

struct Outcome {
    int values = 0;
    id value;
    Ref<NSError> error;
    bool completed = false;
    bool ended() const { return error || completed; }
};

class HttpClientTest : public testing::Test {
protected:
    void SetUp() override {
        NSSandbox::useTemporaryRoot();
        NSUserDefaults::resetStandardUserDefaults();
    }

    void start() {
        server_.start();
        HttpClient::setDefaultServer(NSString::from(server_.url("/")));
    }

    // Subscribes and waits until the signal ends (or the limit passes).
    Outcome run(const Ref<RXSignal>& signal) {
        Outcome outcome;
        signal->subscribeNextErrorCompleted(
            [&](const id& v) {
                ++outcome.values;
                outcome.value = v;
            },
            [&](const Ref<NSError>& e) { outcome.error = e; }, [&] { outcome.completed = true; });
        EXPECT_TRUE(runMainLoopUntil([&] { return outcome.ended(); }, 10.0));
        return outcome;
    }

    void serveRecord(const std::string& body) {
        server_.server().Get("/profiles/clients/_find", [this, body](const httplib::Request& r, httplib::Response& s) {
            std::lock_guard guard(lock_);
            criteria_.push_back(r.get_param_value("criteria"));
            s.set_content(body, "application/json");
        });
    }

    LoopbackServer server_;
    std::mutex lock_;
    std::vector<std::string> criteria_;
};

std::string stored(const char* key) {
    auto text = NSUserDefaults::standardUserDefaults()->stringForKey(NSString::from(key));
    return text ? text->str() : "<none>";
}

} // namespace

TEST_F(HttpClientTest, QuerySNPicksTheRecordBySerialAndStoresValidAddresses) {
    serveRecord(R"({"results": [{"adminconsoleserver": "https://admin.example/",
                                 "webserviceserver": "http://ws.example:8080"}]})");
    start();
    auto client = make<HttpClient>();
    auto outcome = run(client->querySN("ts_tester_07"_ns));
    ASSERT_TRUE(outcome.completed);
    EXPECT_EQ(outcome.values, 1);
    EXPECT_EQ(client->adminconsoleserver()->str(), "https://admin.example/");
    EXPECT_EQ(client->webserviceserver()->str(), "http://ws.example:8080");
    EXPECT_EQ(stored("adminconsoleserver"), "https://admin.example/");
    EXPECT_EQ(stored("webserviceserver"), "http://ws.example:8080");
    run(client->querySN("C39XK"_ns));
    std::lock_guard guard(lock_);
    ASSERT_EQ(criteria_.size(), 2u);
    EXPECT_EQ(criteria_[0], "{\"_id\":\"" + HttpClient::testerClientRecordId()->str() + "\"}");
    EXPECT_EQ(criteria_[1], "{\"_id\":\"" + HttpClient::clientRecordId()->str() + "\"}");
    // A later client starts from the stored addresses.
    EXPECT_EQ(make<HttpClient>()->adminconsoleserver()->str(), "https://admin.example/");
}

TEST_F(HttpClientTest, RepliesOfTheWrongShapeOrWithUnsafeAddressesChangeNothing) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey("https://admin.example/"_ns, "adminconsoleserver"_ns);
    defaults->setObjectForKey("https://ws.example"_ns, "webserviceserver"_ns);
    static const char* const replies[] = {
        R"({"results": []})",
        R"({"results": "nope"})",
        R"([1, 2])",
        R"({"results": [{"adminconsoleserver": "https://evil.example/"}]})",
        R"({"results": [{"adminconsoleserver": 7, "webserviceserver": "https://ws.example"}]})",
        R"({"results": [{"adminconsoleserver": "javascript:void", "webserviceserver": "https://a.example"}]})",
        R"({"results": [{"adminconsoleserver": "https://u:p@a.example/", "webserviceserver": "https://a.example"}]})",
        R"({"results": [{"adminconsoleserver": "https://a.example/ x", "webserviceserver": "https://a.example"}]})",
        R"({"results": [{"adminconsoleserver": "file:///etc/", "webserviceserver": "https://a.example"}]})",
    };
    static std::atomic<int> next{0};
    server_.server().Get("/profiles/clients/_find", [](const httplib::Request&, httplib::Response& s) {
        s.set_content(replies[next.fetch_add(1)], "application/json");
    });
    start();
    auto client = make<HttpClient>();
    for (size_t i = 0; i < std::size(replies); ++i) {
        auto outcome = run(client->querySN("C39XK"_ns));
        EXPECT_TRUE(outcome.completed) << replies[i];
        EXPECT_EQ(outcome.values, 1) << replies[i];
        EXPECT_EQ(client->adminconsoleserver()->str(), "https://admin.example/") << replies[i];
        EXPECT_EQ(stored("adminconsoleserver"), "https://admin.example/") << replies[i];
        EXPECT_EQ(stored("webserviceserver"), "https://ws.example") << replies[i];
    }
}

TEST_F(HttpClientTest, LoginPostsToTheAdminConsoleAndNeverLogsThePassword) {
    std::string body;
    server_.server().Post("/console/api/auth/", [&](const httplib::Request& r, httplib::Response& s) {
        body = r.body;
        s.set_content(R"({"token": "t"})", "application/json");
    });
    start();
    LogCapture capture;
    auto client = make<HttpClient>();
    client->setAdminconsoleserver(NSString::from(server_.url("/console/")));
    auto outcome = run(client->checkLoginPassword("operator"_ns, "s3cret-Pa55"_ns));
    auto lines = capture.finish();
    ASSERT_TRUE(outcome.completed);
    auto sent = cast<NSDictionary>(NSJSONSerialization::JSONObjectWithDataOptionsError(
        NSData::dataWithBytesLength(body.data(), body.size()), 0, nullptr));
    ASSERT_TRUE(sent);
    EXPECT_EQ(cast<NSString>(sent->objectForKey("password"_ns))->str(), "s3cret-Pa55");
    for (const auto& line : lines) {
        EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
    }
}

TEST_F(HttpClientTest, PathsFollowTheStoredAddresses) {
    std::vector<std::string> paths;
    auto record = [&](const httplib::Request& r, httplib::Response& s) {
        paths.push_back(r.method + " " + r.path);
        s.set_content("{}", "application/json");
    };
    server_.server().Get(R"(/.*)", record);
    server_.server().Post(R"(/.*)", record);
    start();
    auto client = make<HttpClient>();
    client->setAdminconsoleserver(NSString::from(server_.url("/ac/")));
    client->setWebserviceserver(NSString::from(server_.url("/ws")));
    run(client->queryCreditWithProductIdCompanyId(3, 12));
    run(client->queryProfileWithClient(
        NSDictionary::dictionaryWithEntries({{"productid"_ns, "p7"_ns}, {"company"_ns, box(12)}})));
    run(client->ReportInsertWithParamter(NSDictionary::dictionaryWithEntries({{"a"_ns, box(1)}})));
    run(client->reportTransacationWithParamter(NSDictionary::dictionaryWithEntries({{"a"_ns, box(1)}})));
    ASSERT_EQ(paths.size(), 4u);
    EXPECT_EQ(paths[0], "GET /ac/api/availablecredit/3/12/");
    EXPECT_EQ(paths[1], "GET /ac/api/pdt/tessaly/getfeaturesettings/p7/12/");
    EXPECT_EQ(paths[2], "POST /ws/insert/");
    EXPECT_EQ(paths[3], "POST /ws/updateresult/");
}

TEST_F(HttpClientTest, FailuresCarryTheClientsDomainAndNothingIsSentWithoutAnAddress) {
    int hits = 0;
    server_.server().Get("/profiles/clients/_find", [&](const httplib::Request&, httplib::Response& s) {
        ++hits;
        s.status = 500;
        s.set_content("{}", "application/json");
    });
    start();
    auto client = make<HttpClient>();
    auto outcome = run(client->querySN("C39XK"_ns));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.values, 0);
    EXPECT_EQ(outcome.error->domain()->str(), HttpClientErrorDomain()->str());
    EXPECT_TRUE(outcome.error->localizedFailureReason());
    EXPECT_EQ(hits, 1);

    auto missing = run(client->checkLoginPassword("a"_ns, "b"_ns));
    ASSERT_TRUE(missing.error);
    EXPECT_EQ(missing.error->domain()->str(), HttpClientErrorDomain()->str());
}

TEST_F(HttpClientTest, DisposingCancelsTheRequest) {
    server_.stall("/profiles/clients/_find");
    start();
    auto client = make<HttpClient>();
    Outcome outcome;
    auto disposable = client->querySN("C39XK"_ns)
                          ->subscribeNextErrorCompleted([&](const id&) { ++outcome.values; },
                                                        [&](const Ref<NSError>& e) { outcome.error = e; },
                                                        [&] { outcome.completed = true; });
    ASSERT_TRUE(server_.waitForStalled(1, 5.0));
    disposable->dispose();
    server_.release();
    drainMainLoop(0.3);
    EXPECT_EQ(outcome.values, 0);
    EXPECT_FALSE(outcome.ended());
}

TEST(HttpClientModels, TransformersAndKeyMapping) {
    auto company = DXQuerySNModel::companyidJSONTransformer();
    EXPECT_EQ(unbox<long>(company->transformedValue("42"_ns)), 42);
    EXPECT_EQ(unbox<long>(company->transformedValue(box(42))), 42);
    EXPECT_FALSE(company->transformedValue("forty"_ns));
    EXPECT_FALSE(company->reverseTransformedValue(box(42)));

    Ref<NSError> error;
    auto record = MMJSONAdapter::modelOfClassFromJSONDictionaryError<DXQuerySNModel>(
        NSDictionary::dictionaryWithEntries({{"_id"_ns, "abc"_ns}, {"siteid"_ns, "7"_ns}}), &error);
    ASSERT_TRUE(record) << (error ? error->description()->str() : "");
    EXPECT_EQ(record->snid()->str(), "abc");
    EXPECT_EQ(unbox<long>(record->siteid()), 7);

    auto reset = DXLoginModel::lastpwdresetJSONTransformer();
    auto date = cast<NSDate>(reset->transformedValue("2016-05-01T10:00:00+0000"_ns));
    ASSERT_TRUE(date);
    EXPECT_DOUBLE_EQ(date->timeIntervalSince1970(), 1462096800.0);
    EXPECT_FALSE(reset->transformedValue("01/05/2016"_ns));
    auto text = cast<NSString>(reset->reverseTransformedValue(date));
    ASSERT_TRUE(text);
    EXPECT_TRUE(cast<NSDate>(reset->transformedValue(text))->isEqualToDate(date));

    auto login = MMJSONAdapter::modelOfClassFromJSONDictionaryError<DXLoginModel>(
        cast<NSDictionary>(NSJSONSerialization::JSONObjectWithDataOptionsError(
            NSString::from(R"({"username": "op", "id": 9, "company": 4, "is_active": true,
                "available_products": [{"id": 5, "name": "Phone"}]})")
                ->dataUsingEncoding(NSUTF8StringEncoding),
            0, nullptr)),
        &error);
    ASSERT_TRUE(login);
    EXPECT_EQ(login->loginid(), 9);
    EXPECT_TRUE(login->is_active());
    ASSERT_EQ(login->availableProducts()->count(), 1u);
    auto product = cast<AvailableProducts>(login->availableProducts()->objectAtIndex(0));
    EXPECT_EQ(product->productId(), 5);
    EXPECT_EQ(product->productName()->str(), "Phone");
}
