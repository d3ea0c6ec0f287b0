// Loads against servers and clients that misbehave: bodies that break their declared length,
// delegates and streams that keep the network waiting, downgrading redirects, credentials on
// cross-origin hops, replies beyond curl's limits.
#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Network/NSStream.h>
#include <Network/NSURLConnection.h>
#include <Network/NSURLSession.h>

#include <Foundation/NSOperationQueue.h>

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

using Seconds = std::chrono::duration<double>;

// The end of one load, waited for from any thread.
struct Outcome {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::string body;
    int status = 0;
    Ref<NSError> error;

    void finish(const Ref<NSData>& data, const Ref<NSURLResponse>& response, const Ref<NSError>& e) {
        std::lock_guard lock(mutex);
        body = data ? data->stringValue() : "";
        status = response ? static_cast<int>(cast<NSHTTPURLResponse>(response)->statusCode()) : 0;
        error = e;
        done = true;
        changed.notify_all();
    }
    // Waits without turning the main run loop (the caller may be a blocked main thread).
    bool wait(double seconds) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, Seconds(seconds), [&] { return done; });
    }
    bool isDone() {
        std::lock_guard lock(mutex);
        return done;
    }
    NSInteger code() {
        std::lock_guard lock(mutex);
        return error ? error->code() : 0;
    }
};

// A session whose completion handlers run on a queue of its own, off the main thread.
Ref<NSURLSession> backgroundSession(NSObject* delegate = nullptr) {
    return NSURLSession::sessionWithConfigurationDelegateDelegateQueue(
        NSURLSessionConfiguration::ephemeralSessionConfiguration(), delegate, make<NSOperationQueue>());
}

void load(const Ref<NSURLSession>& session, const Ref<NSURLRequest>& request, Outcome& outcome) {
    session
        ->dataTaskWithRequestCompletionHandler(
            request, [&outcome](const Ref<NSData>& data, const Ref<NSURLResponse>& response,
                                const Ref<NSError>& error) { outcome.finish(data, response, error); })
        ->resume();
}

Ref<NSMutableURLRequest> post(const std::string& url, const Ref<NSInputStream>& body, long declared) {
    auto request = make<NSMutableURLRequest>(NSURL::URLWithString(NSString::from(url)));
    request->setHTTPMethod("POST"_ns);
    request->setHTTPBodyStream(body);
    request->setValueForHTTPHeaderField(NSString::from(std::to_string(declared)), "Content-Length"_ns);
    request->setTimeoutInterval(20);
    return request;
}

// A stream of the app's own (not one of the platform's): each read waits until the test lets it go.
class GatedStream : public NSInputStream {
public:
    explicit GatedStream(std::string bytes) : bytes_(std::move(bytes)) {}
    void open() override { setStatus(NSStreamStatusOpen); }
    void close() override { setStatus(NSStreamStatusClosed); }
    NSInteger readMaxLength(uint8_t* buffer, NSUInteger length) override {
        std::unique_lock lock(mutex_);
        ++readers_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return open_; });
        size_t n = std::min<size_t>(length, bytes_.size() - offset_);
        std::memcpy(buffer, bytes_.data() + offset_, n);
        offset_ += n;
        if (n == 0) {
            status_ = NSStreamStatusAtEnd;
        }
        return static_cast<NSInteger>(n);
    }
    bool hasBytesAvailable() override { return true; }
    void letGo() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool waitForReader(double seconds) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, Seconds(seconds), [&] { return readers_ > 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string bytes_;
    size_t offset_ = 0;
    bool open_ = false;
    int readers_ = 0;
};

class Hostile : public ::testing::Test {
protected:
    void SetUp() override {
        DispatchClock::useRealTime();
        auto& s = server.server();
        s.Post("/echo", [this](const httplib::Request& request, httplib::Response& response) {
            ++posts;
            {
                std::lock_guard lock(mutex);
                received.push_back(request.body);
            }
            response.set_content(request.body, "text/plain");
        });
        s.Get("/hello", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("hello", "text/plain");
        });
        s.Get("/authorization", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.get_header_value("Authorization"), "text/plain");
        });
        s.Get("/huge-header", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("X-Huge", std::string(300000, 'h'));
            response.set_content("x", "text/plain");
        });
        server.start();
    }

    std::string url(const std::string& path) const { return server.url(path); }

    LoopbackServer server;
    std::atomic<int> posts{0};
    std::mutex mutex;
    std::vector<std::string> received;
};

} // namespace

TEST_F(Hostile, BodyStreamsMustHaveTheirDeclaredLength) {
    auto session = backgroundSession();
    struct Case {
        std::string bytes;
        long declared;
        bool ownStream; // a stream class of the app's own is read off the network thread
    } cases[] = {{"hello world", 5, false}, {"hi", 5, false}, {"hello world", 5, true}, {"hi", 5, true}};
    for (const auto& c : cases) {
        Ref<NSInputStream> stream;
        if (c.ownStream) {
            auto gated = make<GatedStream>(c.bytes);
            gated->letGo();
            stream = gated;
        } else {
            stream = NSInputStream::inputStreamWithData(NSData::dataWithString(c.bytes));
        }
        Outcome outcome;
        load(session, post(url("/echo"), stream, c.declared), outcome);
        ASSERT_TRUE(outcome.wait(10));
        EXPECT_EQ(outcome.code(), NSURLErrorRequestBodyStreamExhausted) << c.bytes << " as " << c.declared;
        EXPECT_TRUE(outcome.error->localizedDescription()->containsString("declared length"_ns));
    }
    // Nothing reached the server as a request: a body cut short is no request, and no byte past a
    // declared length went out to be read as the start of another one.
    Outcome exact;
    load(session, post(url("/echo"), NSInputStream::inputStreamWithData(NSData::dataWithString("hello")), 5), exact);
    ASSERT_TRUE(exact.wait(10));
    EXPECT_FALSE(exact.error);
    EXPECT_EQ(exact.body, "hello");
    EXPECT_EQ(posts.load(), 1);
    session->invalidateAndCancel();
}

TEST_F(Hostile, ABlockingBodyStreamHoldsUpOnlyItsOwnUpload) {
    auto session = backgroundSession();
    auto gated = make<GatedStream>("slow body");
    Outcome upload;
    load(session, post(url("/echo"), gated, 9), upload);
    ASSERT_TRUE(gated->waitForReader(10));

    Outcome other;
    auto started = std::chrono::steady_clock::now();
    load(session, make<NSURLRequest>(NSURL::URLWithString(NSString::from(url("/hello")))), other);
    ASSERT_TRUE(other.wait(5)) << "the network thread waits for a stream";
    EXPECT_EQ(other.body, "hello");
    EXPECT_LT(Seconds(std::chrono::steady_clock::now() - started).count(), 5.0);
    EXPECT_FALSE(upload.isDone());

    gated->letGo();
    ASSERT_TRUE(upload.wait(10));
    EXPECT_FALSE(upload.error);
    EXPECT_EQ(upload.body, "slow body");
    session->invalidateAndCancel();
}

namespace {

// Holds every server-trust answer until the test gives it.
class SlowTrust : public NSObject, public NSURLSessionDelegate {
public:
    void URLSessionDidReceiveChallengeCompletionHandler(NSURLSession*, const Ref<NSURLAuthenticationChallenge>&,
                                                        const NSURLSessionChallengeHandler& handler) override {
        std::lock_guard lock(mutex);
        pending.push_back(handler);
        changed.notify_all();
    }
    bool waitForQuestion(double seconds) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, Seconds(seconds), [&] { return !pending.empty(); });
    }
    void answerAll() {
        std::vector<NSURLSessionChallengeHandler> answers;
        {
            std::lock_guard lock(mutex);
            answers.swap(pending);
        }
        for (auto& answer : answers) {
            answer(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
        }
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<NSURLSessionChallengeHandler> pending;
};

} // namespace

TEST_F(Hostile, ASlowTrustAnswerHoldsUpOnlyItsOwnLoad) {
    TestCertificates::shared().installRootAsSystemTrust();
    LoopbackServer secure(TestCertificates::shared().leaf);
    secure.server().Get("/secure", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("secret", "text/plain");
    });
    secure.start();

    auto slow = make<SlowTrust>();
    auto trusting = backgroundSession(slow.get());
    Outcome secret;
    load(trusting, make<NSURLRequest>(NSURL::URLWithString(NSString::from(secure.url("/secure")))), secret);
    ASSERT_TRUE(slow->waitForQuestion(10));

    auto other = backgroundSession();
    Outcome hello;
    load(other, make<NSURLRequest>(NSURL::URLWithString(NSString::from(url("/hello")))), hello);
    ASSERT_TRUE(hello.wait(5)) << "the network thread waits for a trust answer";
    EXPECT_EQ(hello.body, "hello");
    EXPECT_FALSE(secret.isDone());

    slow->answerAll();
    ASSERT_TRUE(secret.wait(10));
    EXPECT_FALSE(secret.error) << NSDescription(secret.error)->str();
    EXPECT_EQ(secret.body, "secret");
    trusting->invalidateAndCancel();
    other->invalidateAndCancel();
}

namespace {

class MainThreadDelegate : public NSObject, public NSURLConnectionDataDelegate {
public:
    std::atomic<int> challenges{0};
    std::atomic<bool> finished{false};
    Ref<NSError> error;
    std::string body;
    void
    connectionWillSendRequestForAuthenticationChallenge(NSURLConnection* connection,
                                                        const Ref<NSURLAuthenticationChallenge>& challenge) override {
        ++challenges;
        NSURLConnectionDelegate::connectionWillSendRequestForAuthenticationChallenge(connection, challenge);
    }
    void connectionDidReceiveData(NSURLConnection*, const Ref<NSData>& data) override { body += data->stringValue(); }
    void connectionDidFinishLoading(NSURLConnection*) override { finished = true; }
    void connectionDidFailWithError(NSURLConnection*, const Ref<NSError>& e) override {
        error = e;
        finished = true;
    }
};

} // namespace

TEST_F(Hostile, ABlockedMainThreadHoldsUpOnlyTheLoadsThatReportThere) {
    TestCertificates::shared().installRootAsSystemTrust();
    LoopbackServer secure(TestCertificates::shared().leaf);
    secure.server().Get("/secure", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("secret", "text/plain");
    });
    secure.start();

    // The connection's delegate lives on the main run loop, which this thread now stops turning.
    auto delegate = make<MainThreadDelegate>();
    auto connection = NSURLConnection::connectionWithRequestDelegate(
        make<NSURLRequest>(NSURL::URLWithString(NSString::from(secure.url("/secure")))), delegate.get());
    auto session = backgroundSession();
    Outcome hello;
    load(session, make<NSURLRequest>(NSURL::URLWithString(NSString::from(url("/hello")))), hello);
    ASSERT_TRUE(hello.wait(5)) << "the network thread waits for the main thread";
    EXPECT_EQ(hello.body, "hello");
    EXPECT_EQ(delegate->challenges.load(), 0);

    ASSERT_TRUE(runMainLoopUntil([&] { return delegate->finished.load(); }));
    EXPECT_EQ(delegate->challenges.load(), 1);
    EXPECT_FALSE(delegate->error);
    EXPECT_EQ(delegate->body, "secret");
    session->invalidateAndCancel();
}

namespace {

class Redirects : public NSObject, public NSURLSessionTaskDelegate {
public:
    bool choose = false; // return a request of its own rather than the one offered
    void URLSessionTaskWillPerformHTTPRedirectionNewRequestCompletionHandler(
        NSURLSession*, NSURLSessionTask*, const Ref<NSHTTPURLResponse>&, const Ref<NSURLRequest>& request,
        const std::function<void(const Ref<NSURLRequest>&)>& handler) override {
        handler(choose ? cast<NSURLRequest>(request->copy()) : request);
    }
};

} // namespace

TEST_F(Hostile, AnHTTPSRedirectToPlainHTTPIsFollowedOnlyWhenTheClientChoosesIt) {
    TestCertificates::shared().installRootAsSystemTrust();
    LoopbackServer secure(TestCertificates::shared().leaf);
    std::string target = url("/echo");
    secure.server().Post("/downgrade", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(target, 307);
    });
    secure.start();

    for (bool choose : {false, true}) {
        auto redirects = make<Redirects>();
        redirects->choose = choose;
        auto session = backgroundSession(redirects.get());
        auto request = post(secure.url("/downgrade"), nullptr, 9);
        request->setHTTPBody(NSData::dataWithString("card=4111"));
        Outcome outcome;
        load(session, request, outcome);
        ASSERT_TRUE(outcome.wait(10));
        if (choose) {
            EXPECT_FALSE(outcome.error);
            EXPECT_EQ(outcome.body, "card=4111");
        } else {
            EXPECT_EQ(outcome.code(), NSURLErrorAppTransportSecurityRequiresSecureConnection);
            EXPECT_EQ(posts.load(), 0) << "the body went out in clear";
        }
        session->invalidateAndCancel();
    }
    // A session without a say refuses it too.
    auto plain = backgroundSession();
    auto request = post(secure.url("/downgrade"), nullptr, 0);
    request->setHTTPBody(NSData::dataWithString("card=4111"));
    Outcome refused;
    load(plain, request, refused);
    ASSERT_TRUE(refused.wait(10));
    EXPECT_EQ(refused.code(), NSURLErrorAppTransportSecurityRequiresSecureConnection);
    EXPECT_EQ(posts.load(), 1);
    plain->invalidateAndCancel();
}

TEST_F(Hostile, SessionCredentialsStayWithTheirOrigin) {
    LoopbackServer other;
    other.server().Get("/authorization", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content("seen:" + request.get_header_value("Authorization") + request.get_header_value("Cookie"),
                             "text/plain");
    });
    other.start();
    server.server().Get("/away", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(other.url("/authorization"), 302);
    });
    server.server().Get("/here", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/authorization", 302);
    });
    auto configuration = NSURLSessionConfiguration::ephemeralSessionConfiguration();
    configuration->setHTTPAdditionalHeaders(
        NSDictionary::dictionaryWithEntries({{"Authorization"_ns, "Bearer secret"_ns}, {"Cookie"_ns, "id=1"_ns}}));
    auto session =
        NSURLSession::sessionWithConfigurationDelegateDelegateQueue(configuration, nullptr, make<NSOperationQueue>());
    Outcome away;
    load(session, make<NSURLRequest>(NSURL::URLWithString(NSString::from(url("/away")))), away);
    ASSERT_TRUE(away.wait(10));
    EXPECT_EQ(away.body, "seen:");
    Outcome here;
    load(session, make<NSURLRequest>(NSURL::URLWithString(NSString::from(url("/here")))), here);
    ASSERT_TRUE(here.wait(10));
    EXPECT_EQ(here.body, "Bearer secret");
    session->invalidateAndCancel();
}

namespace {

class AsksForTasks : public NSObject, public NSURLSessionDataDelegate {
public:
    std::atomic<int> answered{-1};
    std::atomic<bool> done{false};
    void URLSessionTaskDidCompleteWithError(NSURLSession* session, NSURLSessionTask*, const Ref<NSError>&) override {
        // From the delegate queue itself: the answer cannot wait for a later turn of that queue.
        std::mutex m;
        std::condition_variable cv;
        bool have = false;
        session->getTasksWithCompletionHandler([&](const Ref<NSArray>& data, const Ref<NSArray>&, const Ref<NSArray>&) {
            std::lock_guard lock(m);
            answered = static_cast<int>(data->count());
            have = true;
            cv.notify_all();
        });
        std::unique_lock lock(m);
        cv.wait_for(lock, Seconds(5), [&] { return have; });
        done = true;
    }
};

} // namespace

TEST_F(Hostile, TaskListsAskedFromTheDelegateQueueAreAnswered) {
    auto delegate = make<AsksForTasks>();
    auto session = backgroundSession(delegate.get());
    session->dataTaskWithRequest(make<NSURLRequest>(NSURL::URLWithString(NSString::from(url("/hello")))))->resume();
    ASSERT_TRUE(runMainLoopUntil([&] { return delegate->done.load(); }, 15));
    EXPECT_GE(delegate->answered.load(), 0);
    session->invalidateAndCancel();
}

TEST_F(Hostile, CurlErrorsWithAPlatformCounterpartKeepTheirMeaning) {
    auto session = backgroundSession();
    Outcome huge;
    load(session, make<NSURLRequest>(NSURL::URLWithString(NSString::from(url("/huge-header")))), huge);
    ASSERT_TRUE(huge.wait(10));
    EXPECT_EQ(huge.code(), NSURLErrorDataLengthExceedsMaximum);
    session->invalidateAndCancel();
}
