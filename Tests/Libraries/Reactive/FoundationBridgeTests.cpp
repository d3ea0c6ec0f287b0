// Foundation bridges: notifications, user defaults, file reads and URL requests.
#include "ReactiveTestSupport.h"

#include <Foundation/NSFileManager.h>
#include <Support/PlatformTestCase.h>

#include <httplib.h>

#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace rxtest;

class RXFoundationBridgeTest : public PlatformTestCase {
protected:
    static Ref<NSString> temporaryFile(const std::string& name, const std::string& contents) {
        std::string path = NSTemporaryDirectory()->str() + "/rx-bridge-" + std::to_string(::getpid()) + "-" + name;
        EXPECT_TRUE(NSData::dataWithString(contents)->writeToFileAtomically(NSString::from(path), true)) << path;
        return NSString::from(path);
    }
};

TEST_F(RXFoundationBridgeTest, NotificationsArriveUntilTheSubscriptionIsDisposed) {
    Recorder any, fromSender;
    auto center = make<NSNotificationCenter>();
    auto sender = make<NSObject>();
    auto other = make<NSObject>();
    Ref<RXDisposable> anySubscription;
    anySubscription = center.get()
                          ? rx_addObserverForNameObject(center, "RXPing"_ns, nullptr)->subscribeNext([&](const id& n) {
                                any.add(cast<NSNotification>(n)->object() == sender ? "sender" : "other");
                            })
                          : nullptr;
    rx_addObserverForNameObject(center, "RXPing"_ns, sender)->subscribeNext([&](const id&) { fromSender.add("ping"); });
    center->postNotificationNameObject("RXPing"_ns, sender);
    center->postNotificationNameObject("RXPing"_ns, other);
    center->postNotificationNameObject("RXPong"_ns, sender);
    anySubscription->dispose();
    center->postNotificationNameObject("RXPing"_ns, other);
    EXPECT_EQ(any.events(), (Events{"sender", "other"}));
    EXPECT_EQ(fromSender.events(), (Events{"ping"}));
}

TEST_F(RXFoundationBridgeTest, UserDefaultsTerminalStoresWithoutEchoAndHearsOutsideChanges) {
    Recorder r;
    DispatchClock::useRealTime(); // the terminal writes on a background scheduler
    auto defaults = make<NSUserDefaults>("rx-bridge-test"_ns);
    defaults->setObjectForKey("start"_ns, "key"_ns);
    Ref<RXChannelTerminal> terminal = rx_channelTerminalForKey(defaults, "key"_ns);
    r.subscribe(terminal);
    EXPECT_EQ(r.events(), (Events{"start"}));

    terminal->sendNext("written"_ns);
    ASSERT_TRUE(runUntil([&] {
        auto value = defaults->stringForKey("key"_ns);
        return value && value->isEqualToString("written"_ns);
    }));
    defaults->setObjectForKey("written"_ns, "key"_ns); // the same value again: nothing new
    defaults->setObjectForKey("start"_ns, "key"_ns);   // back to the value before the write
    defaults->setObjectForKey("other"_ns, "key"_ns);
    EXPECT_EQ(r.events(), (Events{"start", "start", "other"}));
    defaults->removeObjectForKey("key"_ns);
}

TEST_F(RXFoundationBridgeTest, ReadsFilesIntoReplaySubjects) {
    Recorder r;
    Ref<NSString> path = temporaryFile("text", "\xEF\xBB\xBFhello");
    auto scheduler = make<RXTestScheduler>();
    Ref<RXReplaySubject> data = rx_readContentsOfURLOptionsScheduler(NSURL::fileURLWithPath(path), 0, scheduler);
    NSStringEncoding encoding = NSASCIIStringEncoding;
    Ref<RXReplaySubject> text =
        rx_readContentsOfURLUsedEncodingScheduler(NSURL::fileURLWithPath(path), &encoding, scheduler);
    Ref<RXReplaySubject> missing =
        rx_readContentsOfURLOptionsScheduler(NSURL::fileURLWithPath("/no/such/rx/file"_ns), 0, scheduler);
    Ref<RXReplaySubject> remote =
        rx_readContentsOfURLOptionsScheduler(NSURL::URLWithString("http://example.com/x"_ns), 0, scheduler);
    scheduler->stepAll(); // the reads happen whether or not anybody subscribed
    data->subscribeNextErrorCompleted([&](const id& d) { r.add(std::to_string(cast<NSData>(d)->length())); }, r.error(),
                                      r.completed());
    r.subscribe(text);
    r.subscribe(missing);
    r.subscribe(remote);
    EXPECT_EQ(r.events(), (Events{"8", "completed", "hello", "completed", "error:260",
                                  "error:" + std::to_string(NSFileReadUnsupportedSchemeError)}));
    EXPECT_EQ(encoding, NSUTF8StringEncoding);
    EXPECT_TRUE(NSFileManager::defaultManager()->removeItemAtPathError(path, nullptr));
}

TEST_F(RXFoundationBridgeTest, AFileHandleIsReadInChunksAndAReadErrorIsAnError) {
    Recorder r;
    Recorder failed;
    DispatchClock::useRealTime();
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    auto reader = make<NSFileHandle>(fds[0], true);
    auto writer = make<NSFileHandle>(fds[1], true);
    Ref<RXReplaySubject> chunks = rx_readInBackground(reader);
    chunks->subscribeNextErrorCompleted([&](const id& d) { r.add(cast<NSData>(d)->stringValue()); }, r.error(),
                                        r.completed());
    writer->writeData(NSData::dataWithString("one"));
    ASSERT_TRUE(runUntil([&] { return r.size() >= 1; }));
    writer->writeData(NSData::dataWithString("two"));
    ASSERT_TRUE(runUntil([&] { return r.size() >= 2; }));
    writer->closeFile();
    ASSERT_TRUE(runUntil([&] { return r.size() >= 3; }));
    EXPECT_EQ(r.events(), (Events{"one", "two", "completed"}));

    auto closed = make<NSFileHandle>(::open("/dev/null", O_RDONLY), true);
    closed->closeFile();
    failed.subscribe(rx_readInBackground(closed)->ignoreValues());
    ASSERT_TRUE(runUntil([&] { return failed.size() >= 1; }));
    EXPECT_EQ(failed.events()[0].rfind("error:", 0), 0u);
}

class RXURLRequestTest : public RXFoundationBridgeTest {
protected:
    void SetUp() override {
        RXFoundationBridgeTest::SetUp();
        DispatchClock::useRealTime();
        server_.Get("/ok",
                    [](const httplib::Request&, httplib::Response& res) { res.set_content("fine", "text/plain"); });
        server_.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("nothing here", "text/plain");
        });
        server_.set_keep_alive_max_count(1); // no idle connection holds up stop()
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) {
            std::this_thread::yield();
        }
    }
    void TearDown() override {
        server_.stop();
        thread_.join();
        RXFoundationBridgeTest::TearDown();
    }
    Ref<NSURLRequest> request(const std::string& path) const {
        return NSURLRequest::requestWithURL(
            NSURL::URLWithString(NSString::from("http://127.0.0.1:" + std::to_string(port_) + path)));
    }

    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

TEST_F(RXURLRequestTest, ASuccessfulRequestSendsTheResponseAndBody) {
    Recorder r;
    rx_sendAsynchronousRequest(request("/ok"))
        ->subscribeNextErrorCompleted(
            [&](const id& value) {
                auto tuple = cast<RXTuple>(value);
                auto response = cast<NSHTTPURLResponse>(tuple->first());
                r.add(std::to_string(response ? response->statusCode() : 0) + " " +
                      cast<NSData>(tuple->second())->stringValue());
            },
            r.error(), r.completed());
    ASSERT_TRUE(runUntil([&] { return r.size() >= 2; }));
    EXPECT_EQ(r.events(), (Events{"200 fine", "completed"}));
}

TEST_F(RXURLRequestTest, AnHTTPErrorStatusIsAnErrorCarryingTheResponse) {
    Ref<NSError> error;
    bool gotValue = false;
    rx_sendAsynchronousRequest(request("/missing"))
        ->subscribeNextError([&](const id&) { gotValue = true; }, [&](const Ref<NSError>& e) { error = e; });
    ASSERT_TRUE(runUntil([&] { return static_cast<bool>(error); }));
    EXPECT_FALSE(gotValue);
    EXPECT_TRUE(error->domain()->isEqualToString(NSURLErrorDomain()));
    EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
    auto response = cast<NSHTTPURLResponse>(error->userInfo()->objectForKey(RXURLConnectionResponseErrorKey()));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->statusCode(), 404);
    EXPECT_EQ(cast<NSData>(error->userInfo()->objectForKey(RXURLConnectionDataErrorKey()))->stringValue(),
              "nothing here");
}

TEST_F(RXURLRequestTest, AConnectionFailureIsAnErrorAndDisposalCancels) {
    Recorder failed;
    int closedPort = port_;
    server_.stop();
    thread_.join();
    thread_ = std::thread([] {});
    failed.subscribe(rx_sendAsynchronousRequest(NSURLRequest::requestWithURL(
        NSURL::URLWithString(NSString::from("http://127.0.0.1:" + std::to_string(closedPort) + "/ok")))));
    ASSERT_TRUE(runUntil([&] { return failed.size() >= 1; }));
    EXPECT_EQ(failed.events().size(), 1u);
    EXPECT_EQ(failed.events()[0].rfind("error:", 0), 0u);
}
