#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Networking/HCHTTPRequestOperationManager.h>
#include <Networking/HCJSONRequestSerializer.h>
#include <Networking/HCJSONResponseSerializer.h>

#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSThread.h>

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {

// What one call reported, seen on the completion queue.
struct Outcome {
    int successes = 0;
    int failures = 0;
    id object;
    Ref<NSError> error;
    HCHTTPRequestOperation* operation = nullptr;
    bool onMainThread = true;
    bool done() const { return successes + failures > 0; }
};

HCHTTPRequestOperationSuccess recordSuccess(Outcome& outcome) {
    return [&outcome](HCHTTPRequestOperation* operation, const id& object) {
        ++outcome.successes;
        outcome.object = object;
        outcome.operation = operation;
        outcome.onMainThread = outcome.onMainThread && NSThread::isMainThread();
    };
}

HCHTTPRequestOperationFailure recordFailure(Outcome& outcome) {
    return [&outcome](HCHTTPRequestOperation* operation, const Ref<NSError>& error) {
        ++outcome.failures;
        outcome.error = error;
        outcome.operation = operation;
        outcome.onMainThread = outcome.onMainThread && NSThread::isMainThread();
    };
}

Ref<HCHTTPRequestOperationManager> jsonManager(double timeout = 15.0) {
    auto manager = HCHTTPRequestOperationManager::manager();
    auto serializer = HCJSONRequestSerializer::serializer();
    serializer->setTimeoutInterval(timeout);
    manager->setRequestSerializer(serializer);
    manager->setResponseSerializer(HCJSONResponseSerializer::serializer());
    return manager;
}

Ref<NSString> ns(const std::string& text) {
    return NSString::from(text);
}

class OperationManager : public ::testing::Test {
protected:
    void SetUp() override {
        auto& s = server.server();
        s.Post("/echo", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            lastBody = request.body;
            lastContentType = request.get_header_value("Content-Type");
            lastUserAgent = request.get_header_value("User-Agent");
            lastLanguage = request.get_header_value("Accept-Language");
            lastAuthorization = request.get_header_value("Authorization");
            response.set_content(request.body, "application/json");
        });
        s.Get("/items", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            lastPath = request.path;
            lastQuery = request.get_param_value("q");
            response.set_content("[1,2,3]", "application/json");
        });
        s.Get("/api/items", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            lastPath = request.path;
            response.set_content("{\"where\":\"api\"}", "application/json");
        });
        s.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("{\"error\":\"no such thing\"}", "application/json");
        });
        s.Get("/broken", [](const httplib::Request&, httplib::Response& response) {
            response.status = 500;
            response.set_content("{\"error\":\"down\"}", "application/json");
        });
        s.Get("/html", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html></html>", "text/html");
        });
        s.Get("/malformed", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("{\"a\":", "application/json");
        });
        s.Get("/empty", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("", "application/json");
        });
        s.Get("/head",
              [](const httplib::Request&, httplib::Response& response) { response.set_header("X-Head", "yes"); });
        s.Get("/big", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(100000, ' ') + "{}", "application/json");
        });
        server.stall("/stall");
        server.start();
    }

    std::string url(const std::string& path) const { return server.url(path); }

    LoopbackServer server;
    std::mutex mutex;
    std::string lastBody, lastContentType, lastUserAgent, lastLanguage, lastAuthorization, lastPath, lastQuery;
};

} // namespace

TEST_F(OperationManager, JSONPostDeliversTheParsedReplyOnTheMainThread) {
    auto manager = jsonManager();
    Outcome outcome;
    auto parameters = NSDictionary::dictionaryWithEntries({{"session"_ns, "S-1"_ns}, {"count"_ns, box(2)}});
    auto operation = manager->POSTParametersSuccessFailure(ns(url("/echo")), parameters, recordSuccess(outcome),
                                                           recordFailure(outcome));
    ASSERT_TRUE(operation);
    EXPECT_EQ(operation->request()->timeoutInterval(), 15.0);
    ASSERT_TRUE(runMainLoopUntil([&] { return outcome.done(); }));
    EXPECT_EQ(outcome.successes, 1);
    EXPECT_EQ(outcome.failures, 0);
    EXPECT_TRUE(outcome.onMainThread);
    EXPECT_EQ(outcome.operation, operation.get());
    EXPECT_TRUE(outcome.object && outcome.object->isEqual(parameters));
    std::lock_guard lock(mutex);
    EXPECT_EQ(lastContentType, "application/json");
    EXPECT_EQ(lastBody, "{\"session\":\"S-1\",\"count\":2}");
    EXPECT_FALSE(lastUserAgent.empty());
    EXPECT_EQ(operation->response()->statusCode(), 200);
    EXPECT_TRUE(operation->isFinished());
}

TEST_F(OperationManager, GETWithQueryAndBaseURLResolution) {
    auto manager = make<HCHTTPRequestOperationManager>(NSURL::URLWithString(ns(url("/api"))));
    EXPECT_EQ(manager->baseURL()->absoluteString()->str(), url("/api/"));
    Outcome relative;
    manager->GETParametersSuccessFailure("items"_ns, nullptr, recordSuccess(relative), recordFailure(relative));
    ASSERT_TRUE(runMainLoopUntil([&] { return relative.done(); }));
    EXPECT_EQ(relative.successes, 1);
    EXPECT_EQ(lastPath, "/api/items");

    Outcome rooted;
    manager->GETParametersSuccessFailure("/items"_ns, NSDictionary::dictionaryWithEntries({{"q"_ns, "a b"_ns}}),
                                         recordSuccess(rooted), recordFailure(rooted));
    ASSERT_TRUE(runMainLoopUntil([&] { return rooted.done(); }));
    EXPECT_EQ(rooted.successes, 1);
    EXPECT_EQ(lastPath, "/items");
    EXPECT_EQ(lastQuery, "a b");
    EXPECT_TRUE(rooted.object->isEqual(NSArray::arrayWithObjects({box(1), box(2), box(3)})));

    auto plain = make<HCHTTPRequestOperationManager>(NSURL::URLWithString(ns("http://127.0.0.1:1")));
    EXPECT_EQ(plain->baseURL()->absoluteString()->str(), "http://127.0.0.1:1");
}

TEST_F(OperationManager, RejectedRepliesReachTheFailureBlock) {
    auto manager = jsonManager();
    struct Case {
        const char* path;
        NSInteger code;
        const char* domain;
    } cases[] = {
        {"/missing", NSURLErrorBadServerResponse, "serialization"},
        {"/broken", NSURLErrorBadServerResponse, "serialization"},
        {"/html", NSURLErrorCannotDecodeContentData, "serialization"},
        {"/malformed", 3840, "NSCocoaErrorDomain"},
    };
    for (const auto& c : cases) {
        Outcome outcome;
        auto operation = manager->GETParametersSuccessFailure(ns(url(c.path)), nullptr, recordSuccess(outcome),
                                                              recordFailure(outcome));
        ASSERT_TRUE(runMainLoopUntil([&] { return outcome.done(); })) << c.path;
        EXPECT_EQ(outcome.successes, 0) << c.path;
        ASSERT_EQ(outcome.failures, 1) << c.path;
        EXPECT_EQ(outcome.error->code(), c.code) << c.path;
        EXPECT_NE(outcome.error->domain()->str().find(c.domain), std::string::npos) << c.path;
        EXPECT_EQ(outcome.operation, operation.get());
    }
    // A rejected status still leaves the parsed body on the operation.
    Outcome missing;
    auto operation = manager->GETParametersSuccessFailure(ns(url("/missing")), nullptr, recordSuccess(missing),
                                                          recordFailure(missing));
    ASSERT_TRUE(runMainLoopUntil([&] { return missing.done(); }));
    auto body = cast<NSDictionary>(operation->responseObject());
    ASSERT_TRUE(body);
    EXPECT_TRUE(body->objectForKey("error"_ns)->isEqual("no such thing"_ns));
}

TEST_F(OperationManager, EmptyBodyAndLeadingWhiteSpace) {
    auto manager = jsonManager();
    Outcome empty;
    manager->GETParametersSuccessFailure(ns(url("/empty")), nullptr, recordSuccess(empty), recordFailure(empty));
    ASSERT_TRUE(runMainLoopUntil([&] { return empty.done(); }));
    EXPECT_EQ(empty.successes, 1);
    EXPECT_FALSE(empty.object);

    Outcome big;
    manager->GETParametersSuccessFailure(ns(url("/big")), nullptr, recordSuccess(big), recordFailure(big));
    ASSERT_TRUE(runMainLoopUntil([&] { return big.done(); }));
    EXPECT_EQ(big.successes, 1);
    EXPECT_TRUE(cast<NSDictionary>(big.object));
}

TEST_F(OperationManager, StalledServerTimesOut) {
    auto manager = jsonManager(0.5);
    Outcome outcome;
    auto started = std::chrono::steady_clock::now();
    manager->POSTParametersSuccessFailure(ns(url("/stall")), NSDictionary::dictionary(), recordSuccess(outcome),
                                          recordFailure(outcome));
    ASSERT_TRUE(runMainLoopUntil([&] { return outcome.done(); }, 10));
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_TRUE(outcome.error->domain()->isEqualToString(NSURLErrorDomain()));
    EXPECT_EQ(outcome.error->code(), NSURLErrorTimedOut);
    EXPECT_GE(elapsed, 0.45);
    EXPECT_LT(elapsed, 5.0);
}

TEST_F(OperationManager, CancelBeforeStartFinishesWithoutConnecting) {
    auto manager = jsonManager();
    manager->operationQueue()->setSuspended(true);
    Outcome outcome;
    auto operation = manager->POSTParametersSuccessFailure(ns(url("/echo")), NSDictionary::dictionary(),
                                                           recordSuccess(outcome), recordFailure(outcome));
    operation->cancel();
    manager->operationQueue()->setSuspended(false);
    ASSERT_TRUE(runMainLoopUntil([&] { return outcome.done(); }));
    drainMainLoop(0.2);
    EXPECT_EQ(outcome.successes, 0);
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.error->code(), NSURLErrorCancelled);
    EXPECT_TRUE(outcome.error->domain()->isEqualToString(NSURLErrorDomain()));
    EXPECT_TRUE(outcome.error->userInfo()->objectForKey(NSURLErrorFailingURLErrorKey()));
    EXPECT_FALSE(operation->response());
    std::lock_guard lock(mutex);
    EXPECT_TRUE(lastBody.empty());
}

TEST_F(OperationManager, CancelRightAfterTheCallReportsOnce) {
    auto manager = jsonManager();
    Outcome outcome;
    auto operation = manager->POSTParametersSuccessFailure(ns(url("/stall")), NSDictionary::dictionary(),
                                                           recordSuccess(outcome), recordFailure(outcome));
    operation->cancel();
    operation->cancel();
    ASSERT_TRUE(runMainLoopUntil([&] { return outcome.done(); }));
    drainMainLoop(0.2);
    EXPECT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.successes, 0);
    EXPECT_EQ(outcome.error->code(), NSURLErrorCancelled);
}

TEST_F(OperationManager, CancelWhileRunning) {
    auto manager = jsonManager();
    Outcome outcome;
    auto operation = manager->GETParametersSuccessFailure(ns(url("/stall")), nullptr, recordSuccess(outcome),
                                                          recordFailure(outcome));
    ASSERT_TRUE(server.waitForStalled(1, 10));
    EXPECT_TRUE(operation->isExecuting());
    operation->cancel();
    ASSERT_TRUE(runMainLoopUntil([&] { return outcome.done(); }));
    server.release();
    drainMainLoop(0.2);
    EXPECT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.successes, 0);
    EXPECT_EQ(outcome.error->code(), NSURLErrorCancelled);
    EXPECT_TRUE(operation->isFinished());
}

TEST_F(OperationManager, CancelAfterFinishChangesNothing) {
    auto manager = jsonManager();
    Outcome outcome;
    auto operation = manager->GETParametersSuccessFailure(ns(url("/items")), nullptr, recordSuccess(outcome),
                                                          recordFailure(outcome));
    ASSERT_TRUE(runMainLoopUntil([&] { return outcome.done(); }));
    operation->cancel();
    drainMainLoop(0.2);
    EXPECT_EQ(outcome.successes, 1);
    EXPECT_EQ(outcome.failures, 0);
    EXPECT_FALSE(operation->error());
}

TEST_F(OperationManager, RequestsThatCannotBeBuiltAreNeverSent) {
    auto manager = jsonManager();
    Outcome outcome;
    auto parameters = NSDictionary::dictionaryWithEntries({{"bad"_ns, box(std::numeric_limits<double>::quiet_NaN())}});
    auto operation = manager->POSTParametersSuccessFailure(ns(url("/echo")), parameters, recordSuccess(outcome),
                                                           recordFailure(outcome));
    EXPECT_FALSE(operation);
    EXPECT_FALSE(outcome.done()); // reported later, never inline
    ASSERT_TRUE(runMainLoopUntil([&] { return outcome.done(); }));
    EXPECT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.operation, nullptr);
    EXPECT_TRUE(outcome.error);
    EXPECT_EQ(manager->operationQueue()->operationCount(), 0u);
    std::lock_guard lock(mutex);
    EXPECT_TRUE(lastBody.empty());
}

TEST_F(OperationManager, HeadReportsTheOperationOnly) {
    auto manager = jsonManager();
    bool called = false;
    Outcome failure;
    auto operation = manager->HEADParametersSuccessFailure(
        ns(url("/head")), nullptr,
        [&](HCHTTPRequestOperation* op) {
            called = true;
            EXPECT_EQ(op->response()->valueForHTTPHeaderField("X-Head"_ns)->str(), "yes");
        },
        recordFailure(failure));
    ASSERT_TRUE(runMainLoopUntil([&] { return called || failure.done(); }));
    EXPECT_TRUE(called);
    EXPECT_EQ(operation->request()->HTTPMethod()->str(), "HEAD");
}

TEST_F(OperationManager, CompletionQueueAndGroup) {
    auto manager = jsonManager();
    auto queue = dispatch_queue_create("test.completion", DISPATCH_QUEUE_SERIAL);
    auto group = dispatch_group_create();
    manager->setCompletionQueue(queue);
    manager->setCompletionGroup(group);
    std::atomic<bool> onQueue{false};
    std::atomic<int> calls{0};
    auto queueKey = &calls;
    dispatch_queue_set_specific(queue, queueKey, queueKey, nullptr);
    manager->GETParametersSuccessFailure(
        ns(url("/items")), nullptr,
        [&](HCHTTPRequestOperation*, const id&) {
            onQueue = dispatch_get_specific(queueKey) == queueKey;
            ++calls;
        },
        [&](HCHTTPRequestOperation*, const Ref<NSError>&) { ++calls; });
    ASSERT_TRUE(runMainLoopUntil([&] { return calls.load() == 1; }));
    EXPECT_TRUE(onQueue.load());
    // Every block of the completion ran inside the group, which is empty again afterwards.
    EXPECT_EQ(dispatch_group_wait(group, dispatch_time(DISPATCH_TIME_NOW, 10 * NSEC_PER_SEC)), 0);
    EXPECT_EQ(calls.load(), 1);
}

TEST_F(OperationManager, HundredConcurrentRequestsAllComplete) {
    auto manager = jsonManager();
    int successes = 0, failures = 0;
    for (int i = 0; i < 100; ++i) {
        manager->POSTParametersSuccessFailure(
            ns(url("/echo")), NSDictionary::dictionaryWithEntries({{"i"_ns, box(i)}}),
            [&, i](HCHTTPRequestOperation*, const id& object) {
                auto dictionary = cast<NSDictionary>(object);
                if (dictionary && unbox<int>(dictionary->objectForKey("i"_ns)) == i) {
                    ++successes;
                } else {
                    ++failures;
                }
            },
            [&](HCHTTPRequestOperation*, const Ref<NSError>& error) {
                ++failures;
                ADD_FAILURE() << NSDescription(error)->str();
            });
    }
    ASSERT_TRUE(runMainLoopUntil([&] { return successes + failures == 100; }, 60));
    EXPECT_EQ(successes, 100);
    EXPECT_EQ(failures, 0);
}

TEST_F(OperationManager, RefusedConnectionFails) {
    LoopbackServer closed;
    closed.start();
    std::string dead = closed.url("/gone");
    closed.stop();
    auto manager = jsonManager();
    Outcome outcome;
    manager->GETParametersSuccessFailure(ns(dead), nullptr, recordSuccess(outcome), recordFailure(outcome));
    ASSERT_TRUE(runMainLoopUntil([&] { return outcome.done(); }));
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.error->code(), NSURLErrorCannotConnectToHost);
}

TEST_F(OperationManager, ArchivingAndCopyingTheManager) {
    auto manager = make<HCHTTPRequestOperationManager>(NSURL::URLWithString("http://127.0.0.1/api"_ns));
    auto serializer = HCJSONRequestSerializer::serializer();
    serializer->setTimeoutInterval(15);
    manager->setRequestSerializer(serializer);
    auto policy = HCSecurityPolicy::policyWithPinningMode(HCSSLPinningModeCertificate);
    manager->setSecurityPolicy(policy);
    auto data = NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(manager, true, nullptr);
    auto restored = cast<HCHTTPRequestOperationManager>(NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(
        HCHTTPRequestOperationManager::class_(), data, nullptr));
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->baseURL()->absoluteString()->str(), "http://127.0.0.1/api/");
    EXPECT_TRUE(cast<HCJSONRequestSerializer>(restored->requestSerializer()));
    EXPECT_TRUE(cast<HCJSONResponseSerializer>(restored->responseSerializer()));
    EXPECT_EQ(restored->securityPolicy()->SSLPinningMode(), HCSSLPinningModeCertificate);

    auto copy = cast<HCHTTPRequestOperationManager>(manager->copy());
    EXPECT_EQ(copy->requestSerializer()->timeoutInterval(), 15.0);
    EXPECT_NE(copy->requestSerializer().get(), manager->requestSerializer().get());
    EXPECT_EQ(copy->securityPolicy()->SSLPinningMode(), HCSSLPinningModeCertificate);
}
