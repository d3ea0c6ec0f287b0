// The transaction client: the 19-key record against the simulated device, the pass rule, storage
// bands, the log, and the post against the loopback transaction service with its refusals and
// failures (real time, with a shortened client time-out).
#include "ShellTestCase.h"

#include <Categorys/DXLocalizedString.h>
#include <Categorys/DXUtility.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSNumber.h>
#include <Reactive/RXDisposable.h>

#include <regex>
#include <set>

namespace {

using Json = nlohmann::ordered_json;

Json toJSON(const id& object) {
    Ref<NSError> error;
    auto data = NSJSONSerialization::dataWithJSONObjectOptionsError(object, 0, &error);
    EXPECT_TRUE(data);
    return data ? Json::parse(data->stringValue()) : Json();
}

class BrindleHttpClientTests : public ShellTestCase {
protected:
    void setStorageGiB(double gib) {
        auto storage = SimDevice::current().storage();
        storage.totalBytes = static_cast<int64_t>(gib * 1073741824.0);
        SimDevice::current().setStorage(storage);
    }

    Json build(const std::vector<Ref<DXTestModel>>& records, const char* result, const char* evaluate,
               bool withList = true) {
        auto list = withList ? NSArray::arrayWithRefs(records) : nullptr;
        auto r = client()->buildTempTransactionWithSessionIdResultValueResultEvaluate(
            "S-1"_ns, list, result ? NSString::from(result) : nullptr, NSString::from(evaluate));
        EXPECT_EQ(r->count(), 19u);
        return toJSON(r);
    }

    // One transaction: subscribes and turns the main loop until the signal ends.
    struct Outcome {
        int nexts = 0;
        int completions = 0;
        Ref<NSError> error;
        id reply;
    };
    Outcome send(const Ref<NSDictionary>& record) {
        Outcome o;
        bool ended = false;
        client()->reportTempTransactionWithData(record)->subscribeNextErrorCompleted(
            [&](const id& reply) {
                ++o.nexts;
                o.reply = reply;
            },
            [&](const Ref<NSError>& error) {
                o.error = error;
                ended = true;
            },
            [&] {
                ++o.completions;
                ended = true;
            });
        EXPECT_TRUE(runMainLoopUntil([&] { return ended; }, 10.0));
        drainMainLoop(0.05);
        return o;
    }

    Ref<NSDictionary> finalRecord() {
        return client()->buildTempTransactionWithSessionIdResultValueResultEvaluate(
            "S-1234"_ns, NSArray::arrayWithRefs(std::vector<Ref<DXTestModel>>{record("WIFI", 1)}), nullptr, "1"_ns);
    }
};

} // namespace

TEST_F(BrindleHttpClientTests, RecordCarriesTheDeviceAndTheRun) {
    storeDeviceIdentifiers();
    setStorageGiB(100);
    auto r = build({record("WIFI", 1), record("GPS", 1)}, nullptr, "1");
    std::set<std::string> keys;
    for (auto& [key, value] : r.items()) {
        keys.insert(key);
    }
    EXPECT_EQ(keys, (std::set<std::string>{"uuid", "timeCreated", "esnNumber", "sourceMake", "clientVer", "MacAddress",
                                           "errorCode", "result", "result_value", "grade", "color", "devicememorysize",
                                           "sourceCarrier", "AndroidVersion", "iosVersion", "serialnumber",
                                           "modelnumber", "sourceModel", "evaluate"}));
    EXPECT_EQ(r["uuid"], "S-1");
    EXPECT_TRUE(
        std::regex_match(r["timeCreated"].get<std::string>(), std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d{4})")))
        << r["timeCreated"];
    EXPECT_EQ(r["esnNumber"], "356789012345678");
    EXPECT_EQ(r["sourceMake"], "Apple");
    EXPECT_EQ(r["clientVer"], DXUtility::clientVersion()->str());
    EXPECT_EQ(r["MacAddress"], "");
    EXPECT_EQ(r["errorCode"], "1");
    EXPECT_EQ(r["result"], 1);
    EXPECT_EQ(Json::parse(r["result_value"].get<std::string>()), (Json{{"WIFI", "SUCCESS"}, {"GPS", "SUCCESS"}}));
    EXPECT_EQ(r["grade"], "");
    EXPECT_EQ(r["color"], "");
    EXPECT_EQ(r["devicememorysize"], "128GB");
    EXPECT_EQ(r["sourceCarrier"], "Celvix Mobile");
    EXPECT_EQ(r["AndroidVersion"], "");
    EXPECT_EQ(r["iosVersion"], "11.2.6");
    EXPECT_EQ(r["serialnumber"], "F2LXK0ABCDEF");
    EXPECT_EQ(r["modelnumber"], "iPhone10,3");
    EXPECT_EQ(r["sourceModel"], (Json{"A1865", "A1901"}));
    EXPECT_EQ(r["evaluate"], "1");
}

TEST_F(BrindleHttpClientTests, StartRecordWithNothingStored) {
    SimDevice::current().setCarrier(std::nullopt);
    auto r = build({}, "2", "0", false);
    EXPECT_EQ(r["result"], 2);
    EXPECT_EQ(r["evaluate"], "0");
    EXPECT_EQ(Json::parse(r["result_value"].get<std::string>()), Json::object());
    EXPECT_EQ(r["sourceModel"], Json::array());
    EXPECT_EQ(r["sourceCarrier"], "");
    EXPECT_EQ(r["esnNumber"], "") << "an absent device id is sent empty";
    EXPECT_EQ(r["serialnumber"], "");

    NSUserDefaults::standardUserDefaults()->setObjectForKey("A1865"_ns, "devicenumber"_ns);
    EXPECT_EQ(build({}, "2", "0", false)["sourceModel"], (Json{"A1865"}));
}

TEST_F(BrindleHttpClientTests, OnlyARunWhereEveryRecordPassedIsAPass) {
    EXPECT_EQ(build({record("A", 1), record("B", 1)}, nullptr, "0")["result"], 1);
    EXPECT_EQ(build({record("A", 1), record("B", 2)}, nullptr, "0")["result"], 0);
    EXPECT_EQ(build({record("A", 1), record("AUDIT_OPERATOR", 2)}, nullptr, "0")["result"], 0)
        << "a failed audit decoy fails the run";
    EXPECT_EQ(build({record("A", 1), record("B", 0)}, nullptr, "0")["result"], 0) << "a test that never ran";
    EXPECT_EQ(build({record("A", 1), record("B", 3)}, nullptr, "0")["result"], 0) << "a test that timed out";
    EXPECT_EQ(build({record("A", 2)}, "2", "0")["result"], 2) << "the start transaction's argument wins";

    auto r = build({record("A", 0), record("B", 3), record("C", 2), record("D", 1), record("D", 2)}, nullptr, "0");
    EXPECT_EQ(Json::parse(r["result_value"].get<std::string>()),
              (Json{{"A", "FAIL"}, {"B", "FAIL"}, {"C", "FAIL"}, {"D", "FAIL"}}))
        << "a later record of the same key replaces the earlier";
}

TEST_F(BrindleHttpClientTests, StorageBands) {
    auto band = [](double g) { return BrindleHttpClient::storageBandForSize(g)->str(); };
    EXPECT_EQ(band(0.9), "0GB");
    EXPECT_EQ(band(1), "0GB");
    EXPECT_EQ(band(1.5), "4GB");
    EXPECT_EQ(band(4), "4GB") << "an exact size is banded by itself";
    EXPECT_EQ(band(4.01), "8GB");
    EXPECT_EQ(band(64), "64GB");
    EXPECT_EQ(band(100), "128GB");
    EXPECT_EQ(band(512), "512GB");
    EXPECT_EQ(band(700), "1024GB");
    EXPECT_EQ(band(1536), "0GB");
    setStorageGiB(64);
    EXPECT_EQ(build({}, nullptr, "0")["devicememorysize"], "64GB");
}

TEST_F(BrindleHttpClientTests, LogNeverShowsTheIdentifiersInClear) {
    storeDeviceIdentifiers();
    auto r = client()->buildTempTransactionWithSessionIdResultValueResultEvaluate("S-1"_ns, nullptr, "2"_ns, "0"_ns);
    client()->reportTempTransactionWithData(r);
    EXPECT_TRUE(logged("esnNumber"));
    EXPECT_TRUE(logged("***********5678"));
    EXPECT_FALSE(logged("356789012345678"));
    EXPECT_FALSE(logged("F2LXK0ABCDEF"));
    EXPECT_TRUE(logged("self.webserviceserver:"));
}

TEST_F(BrindleHttpClientTests, PostReachesTheStoredServiceWithAllKeys) {
    // The client is made once per process, with the address of the first call (this one, unless an
    // earlier test of the same process made it); a later address changes nothing.
    auto shared = BrindleHttpClient::sharedHttpClientWithBaseUrl("http://first.invalid"_ns);
    auto firstAddress = shared->webserviceserver();
    storeDeviceIdentifiers();
    auto& service = startService();
    EXPECT_EQ(client(), shared);
    EXPECT_TRUE(NSObjectsEqual(client()->webserviceserver(), firstAddress)) << "the first address wins";
    auto record = finalRecord();
    auto signal = client()->reportTempTransactionWithData(record);
    EXPECT_EQ(service.recordCount(), 0u) << "cold: nothing is sent before a subscription";

    auto outcome = send(record);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.nexts, 1);
    EXPECT_EQ(outcome.completions, 1);
    ASSERT_EQ(service.recordCount(), 1u);
    EXPECT_EQ(service.records()[0], toJSON(record));

    int replies = 0;
    signal->subscribeNext([&](const id&) { ++replies; });
    signal->subscribeNext([&](const id&) { ++replies; });
    EXPECT_TRUE(runMainLoopUntil([&] { return replies == 2; }));
    EXPECT_EQ(service.recordCount(), 3u) << "every subscription posts once more";
}

TEST_F(BrindleHttpClientTests, StartReplyCarriesTheCompanySettings) {
    auto& service = startService();
    service.setCompanySettings(LoopbackTransactionService::companySettingsFor({"WIFI", "GPS"}));
    auto outcome =
        send(client()->buildTempTransactionWithSessionIdResultValueResultEvaluate("S-1"_ns, nullptr, "2"_ns, "0"_ns));
    auto reply = cast<NSDictionary>(outcome.reply);
    ASSERT_TRUE(reply);
    EXPECT_EQ(toJSON(reply->objectForKey("company_settings"_ns)),
              (Json{{"WIFI", {{"value", "on"}}}, {"GPS", {{"value", "on"}}}}));
    EXPECT_FALSE(BrindleHttpClient::messageForReply(reply));
}

TEST_F(BrindleHttpClientTests, RefusalsAreRepliesWithTheirMessages) {
    auto& service = startService();
    service.refuse(409, "Session closed");
    auto outcome = send(finalRecord());
    EXPECT_FALSE(outcome.error) << "a refusal is a reply, not an error";
    EXPECT_EQ(BrindleHttpClient::messageForReply(outcome.reply)->str(),
              DXLocalizedString("MT_LOGIN_HAS_USELESS_ID_ERROR")->str());

    service.refuse(400, "Upload transaction fail");
    outcome = send(finalRecord());
    EXPECT_EQ(BrindleHttpClient::messageForReply(outcome.reply)->str(),
              DXLocalizedString("MT_REPORT_TRANSCATION_ERROR")->str());

    service.refuse(400, "Unknown device");
    outcome = send(finalRecord());
    EXPECT_EQ(BrindleHttpClient::messageForReply(outcome.reply)->str(), "Unknown device");
    EXPECT_EQ(service.recordCount(), 3u);
}

TEST_F(BrindleHttpClientTests, FailuresArriveAsOneError) {
    auto& service = startService();
    shortenClientTimeout(0.5);
    struct Case {
        const char* what;
        std::function<void()> arrange;
    };
    std::vector<Case> cases = {
        {"time-out", [&] { service.delayReplies(30); }},
        {"dropped connection", [&] { service.dropConnections(); }},
        {"not JSON", [&] { service.answerRaw(200, "application/Json", "<html>busy</html>"); }},
        {"wrong shape", [&] { service.answerRaw(200, "application/Json", "[1, 2]"); }},
        {"error status", [&] { service.answerRaw(500, "application/Json", "{\"error\": \"boom\"}"); }},
        {"wrong content type", [&] { service.answerRaw(200, "text/html", "{}"); }},
    };
    for (auto& c : cases) {
        c.arrange();
        auto outcome = send(finalRecord());
        EXPECT_TRUE(outcome.error) << c.what;
        EXPECT_EQ(outcome.nexts, 0) << c.what;
        EXPECT_EQ(outcome.completions, 0) << c.what;
        if (outcome.error) {
            auto message = BrindleHttpClient::messageForError(outcome.error)->str();
            EXPECT_NE(message.find("(" + std::to_string(outcome.error->code()) + ")"), std::string::npos) << message;
        }
    }
    service.delayReplies(30);
    auto outcome = send(finalRecord());
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), NSURLErrorTimedOut);
}

TEST_F(BrindleHttpClientTests, DisposingCancelsTheRequest) {
    auto& service = startService();
    service.delayReplies(30);
    int events = 0;
    auto disposable = client()
                          ->reportTempTransactionWithData(finalRecord())
                          ->subscribeNextErrorCompleted([&](const id&) { ++events; },
                                                        [&](const Ref<NSError>&) { ++events; }, [&] { ++events; });
    ASSERT_TRUE(service.waitForRecords(1, 5));
    disposable->dispose();
    drainMainLoop(0.3);
    EXPECT_EQ(events, 0);
}

TEST_F(BrindleHttpClientTests, PostsOverHTTPS) {
    auto& service = startService(true);
    auto root = NSSandbox::temporaryPath()->stringByAppendingPathComponent("service-root.pem"_ns);
    ASSERT_TRUE(service.installRootAsSystemTrust(root->str()));
    ASSERT_EQ(service.baseURL().rfind("https://", 0), 0u);
    auto outcome = send(finalRecord());
    EXPECT_FALSE(outcome.error) << (outcome.error ? BrindleHttpClient::messageForError(outcome.error)->str() : "");
    EXPECT_EQ(outcome.nexts, 1);
    ASSERT_EQ(service.recordCount(), 1u);
    EXPECT_EQ(service.records()[0]["evaluate"], "1");
}
