#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Networking/HCHTTPRequestOperationManager.h>
#include <Networking/HCJSONResponseSerializer.h>

#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSNumber.h>

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {

struct Result {
    int successes = 0;
    int failures = 0;
    id object;
    Ref<NSError> error;
    bool done() const { return successes + failures > 0; }
};

void run(const Ref<HCHTTPRequestOperation>& operation, Result& result, bool enqueue = true) {
    operation->setCompletionBlockWithSuccessFailure(
        [&result](HCHTTPRequestOperation*, const id& object) {
            ++result.successes;
            result.object = object;
        },
        [&result](HCHTTPRequestOperation*, const Ref<NSError>& error) {
            ++result.failures;
            result.error = error;
        });
    if (enqueue) {
        static const Ref<NSOperationQueue> queue = make<NSOperationQueue>();
        queue->addOperation(operation);
    }
}

Ref<NSURLRequest> requestFor(const std::string& url) {
    return make<NSURLRequest>(NSURL::URLWithString(NSString::from(url)));
}

} // namespace

TEST(OperationTrust, DefaultPolicyAndPinningOverHTTPS) {
    TestCertificates::shared().installRootAsSystemTrust();
    auto serve = [](const TestIdentity& identity) {
        auto server = std::make_unique<LoopbackServer>(identity);
        server->server().Get("/data", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("{\"secure\":true}", "application/json");
        });
        server->start();
        return server;
    };
    auto manager = HCHTTPRequestOperationManager::manager();
    auto good = serve(TestCertificates::shared().leaf);
    Result ok;
    manager->GETParametersSuccessFailure(
        NSString::from(good->url("/data")), nullptr,
        [&](HCHTTPRequestOperation*, const id& o) {
            ++ok.successes;
            ok.object = o;
        },
        [&](HCHTTPRequestOperation*, const Ref<NSError>& e) {
            ++ok.failures;
            ok.error = e;
        });
    ASSERT_TRUE(runMainLoopUntil([&] { return ok.done(); }));
    EXPECT_EQ(ok.successes, 1) << (ok.error ? NSDescription(ok.error)->str() : "");

    // A rejected server: the policy cancels the challenge and the request fails.
    auto selfSigned = serve(TestCertificates::shared().selfSigned);
    Result rejected;
    manager->GETParametersSuccessFailure(
        NSString::from(selfSigned->url("/data")), nullptr,
        [&](HCHTTPRequestOperation*, const id&) { ++rejected.successes; },
        [&](HCHTTPRequestOperation*, const Ref<NSError>& e) {
            ++rejected.failures;
            rejected.error = e;
        });
    ASSERT_TRUE(runMainLoopUntil([&] { return rejected.done(); }));
    ASSERT_EQ(rejected.failures, 1);
    EXPECT_EQ(rejected.error->code(), NSURLErrorUserCancelledAuthentication);

    // Pinning the self-signed certificate (and allowing it) lets the same server through.
    auto pinned = HCSecurityPolicy::policyWithPinningMode(HCSSLPinningModeCertificate);
    pinned->setPinnedCertificates(NSArray::arrayWithObjects({TestCertificates::shared().selfSigned.der()}));
    pinned->setAllowInvalidCertificates(true);
    manager->setSecurityPolicy(pinned);
    Result pinnedResult;
    manager->GETParametersSuccessFailure(
        NSString::from(selfSigned->url("/data")), nullptr,
        [&](HCHTTPRequestOperation*, const id&) { ++pinnedResult.successes; },
        [&](HCHTTPRequestOperation*, const Ref<NSError>&) { ++pinnedResult.failures; });
    ASSERT_TRUE(runMainLoopUntil([&] { return pinnedResult.done(); }));
    EXPECT_EQ(pinnedResult.successes, 1);
}

TEST(OperationCredentials, OnlyTheOriginalHostReceivesThem) {
    LoopbackServer server;
    std::atomic<int> authorizedHere{0};
    std::atomic<int> authorizedElsewhere{0};
    LoopbackServer other;
    auto protectedRoute = [](std::atomic<int>& authorized) {
        return [&authorized](const httplib::Request& request, httplib::Response& response) {
            if (request.get_header_value("Authorization") == "Basic dXNlcjpzZWNyZXQ=") {
                ++authorized;
                response.set_content("{}", "application/json");
            } else {
                response.status = 401;
                response.set_header("WWW-Authenticate", "Basic realm=\"r\"");
                response.set_content("{}", "application/json");
            }
        };
    };
    server.server().Get("/private", protectedRoute(authorizedHere));
    other.server().Get("/private", protectedRoute(authorizedElsewhere));
    other.start();
    server.server().Get("/away", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(other.url("/private").replace(7, 9, "localhost"), 302);
    });
    server.start();

    auto manager = HCHTTPRequestOperationManager::manager();
    manager->setShouldUseCredentialStorage(false);
    manager->setCredential(
        NSURLCredential::credentialWithUserPasswordPersistence("user"_ns, "secret"_ns, NSURLCredentialPersistenceNone));
    Result here;
    manager->GETParametersSuccessFailure(
        NSString::from(server.url("/private")), nullptr, [&](HCHTTPRequestOperation*, const id&) { ++here.successes; },
        [&](HCHTTPRequestOperation*, const Ref<NSError>&) { ++here.failures; });
    ASSERT_TRUE(runMainLoopUntil([&] { return here.done(); }));
    EXPECT_EQ(here.successes, 1);
    EXPECT_EQ(authorizedHere.load(), 1);

    Result away;
    manager->GETParametersSuccessFailure(
        NSString::from(server.url("/away")), nullptr, [&](HCHTTPRequestOperation*, const id&) { ++away.successes; },
        [&](HCHTTPRequestOperation*, const Ref<NSError>& e) {
            ++away.failures;
            away.error = e;
        });
    ASSERT_TRUE(runMainLoopUntil([&] { return away.done(); }));
    EXPECT_EQ(away.failures, 1); // the other host's 401 stands
    EXPECT_EQ(authorizedElsewhere.load(), 0);
}

TEST(OperationOutput, AStreamThatStopsTakingBytesFailsTheOperation) {
    LoopbackServer server;
    server.server().Get("/big", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::string(10000, 'b'), "application/octet-stream");
    });
    server.start();
    auto operation = make<HCHTTPRequestOperation>(requestFor(server.url("/big")));
    static uint8_t buffer[16];
    operation->setOutputStream(NSOutputStream::outputStreamToBufferCapacity(buffer, sizeof buffer));
    Result result;
    run(operation, result);
    ASSERT_TRUE(runMainLoopUntil([&] { return result.done(); }));
    EXPECT_EQ(result.successes, 0);
    ASSERT_EQ(result.failures, 1);
    EXPECT_EQ(result.error->code(), NSURLErrorCannotWriteToFile);
}

TEST(OperationPause, CancellingAPausedOperationFinishesIt) {
    LoopbackServer server;
    server.stall("/slow");
    server.start();
    auto operation = make<HCHTTPRequestOperation>(requestFor(server.url("/slow")));
    Result result;
    run(operation, result);
    ASSERT_TRUE(server.waitForStalled(1, 10));
    operation->pause();
    EXPECT_TRUE(operation->isPaused());
    EXPECT_EQ(operation->request()->valueForHTTPHeaderField("Range"_ns)->str(), "bytes=0-");
    operation->cancel();
    ASSERT_TRUE(runMainLoopUntil([&] { return result.done(); }));
    EXPECT_TRUE(operation->isFinished());
    EXPECT_EQ(result.failures, 1);
    EXPECT_EQ(result.error->code(), NSURLErrorCancelled);
    server.release();
}

TEST(OperationPause, PausingBeforeStartSetsPausedWithoutNotifications) {
    auto operation = make<HCHTTPRequestOperation>(requestFor("http://127.0.0.1:1/x"));
    int finishes = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        HCNetworkingOperationDidFinishNotification(), nullptr, nullptr,
        [&](const Ref<NSNotification>&) { ++finishes; });
    operation->pause();
    EXPECT_TRUE(operation->isPaused());
    EXPECT_FALSE(operation->connection());
    drainMainLoop(0.1);
    EXPECT_EQ(finishes, 0);
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

namespace {

// A server that sends the first half of a body, then waits; asked for the rest, it either honours
// the range or (when `ignoresRange`) sends everything again.
struct ResumableServer {
    explicit ResumableServer(bool ignoresRange) {
        server.server().Get("/doc", [this, ignoresRange](const httplib::Request& request, httplib::Response& response) {
            std::string body = std::string(5000, 'A') + std::string(5000, 'B');
            auto range = request.get_header_value("Range");
            if (!range.empty() && !ignoresRange) {
                // The server library answers the range itself: 206, the slice and Content-Range.
                response.set_content(body, "application/octet-stream");
                return;
            }
            if (!range.empty()) {
                // The whole body again, as if no range had been asked for (sent chunked, so that the
                // server library does not cut it to the range).
                response.status = 200;
                response.set_chunked_content_provider("application/octet-stream",
                                                      [body](size_t offset, httplib::DataSink& sink) {
                                                          if (offset < body.size()) {
                                                              sink.write(body.data() + offset, body.size() - offset);
                                                          } else {
                                                              sink.done();
                                                          }
                                                          return true;
                                                      });
                return;
            }
            // The first request: half the body, then a stall until the test lets go.
            response.set_header("ETag", "\"v1\"");
            response.set_content_provider(10000, "application/octet-stream",
                                          [this, body](size_t offset, size_t, httplib::DataSink& sink) {
                                              if (offset == 0) {
                                                  sink.write(body.data(), 5000);
                                                  halfSent = true;
                                                  return true;
                                              }
                                              std::unique_lock lock(mutex);
                                              released.wait(lock, [this] { return stop; });
                                              return false;
                                          });
        });
        server.start();
    }
    ~ResumableServer() {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        released.notify_all();
    }
    LoopbackServer server;
    std::mutex mutex;
    std::condition_variable released;
    bool stop = false;
    std::atomic<bool> halfSent{false};
};

void pauseAfterHalfAndResume(bool ignoresRange, Result& result, Ref<HCHTTPRequestOperation>& operation) {
    auto server = std::make_unique<ResumableServer>(ignoresRange);
    operation = make<HCHTTPRequestOperation>(requestFor(server->server.url("/doc")));
    run(operation, result);
    ASSERT_TRUE(runMainLoopUntil([&] { return operation->totalBytesRead() >= 5000; }));
    operation->pause();
    EXPECT_EQ(operation->request()->valueForHTTPHeaderField("Range"_ns)->str(), "bytes=5000-");
    EXPECT_EQ(operation->request()->valueForHTTPHeaderField("If-Range"_ns)->str(), "\"v1\"");
    operation->resume();
    ASSERT_TRUE(runMainLoopUntil([&] { return result.done(); }));
}

} // namespace

TEST(OperationResume, TheRestOfTheBodyIsAppended) {
    Result result;
    Ref<HCHTTPRequestOperation> operation;
    pauseAfterHalfAndResume(false, result, operation);
    ASSERT_EQ(result.successes, 1) << (result.error ? NSDescription(result.error)->str() : "");
    EXPECT_EQ(operation->responseData()->stringValue(), std::string(5000, 'A') + std::string(5000, 'B'));
}

TEST(OperationResume, AServerThatIgnoresTheRangeNeverCorruptsTheBody) {
    Result result;
    Ref<HCHTTPRequestOperation> operation;
    pauseAfterHalfAndResume(true, result, operation);
    ASSERT_EQ(result.successes, 1) << (result.error ? NSDescription(result.error)->str() : "");
    EXPECT_EQ(operation->responseData()->length(), 10000u);
    EXPECT_EQ(operation->responseData()->stringValue(), std::string(5000, 'A') + std::string(5000, 'B'));
    EXPECT_EQ(operation->totalBytesRead(), 10000);
}

TEST(OperationBatch, EmptyAndFullBatches) {
    Ref<NSArray> received;
    auto empty = HCURLConnectionOperation::batchOfRequestOperationsProgressBlockCompletionBlock(
        NSArray::array(), nullptr, [&](const Ref<NSArray>& operations) { received = operations; });
    ASSERT_EQ(empty->count(), 1u);
    auto queue = make<NSOperationQueue>();
    queue->addOperation(cast<NSOperation>(empty->objectAtIndex(0)));
    ASSERT_TRUE(runMainLoopUntil([&] { return static_cast<bool>(received); }));
    EXPECT_EQ(received->count(), 0u);

    LoopbackServer server;
    server.server().Get("/n", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("{}", "application/json");
    });
    server.start();
    auto operations = NSMutableArray::array();
    for (int i = 0; i < 3; ++i) {
        auto operation = make<HCHTTPRequestOperation>(requestFor(server.url("/n")));
        operation->setResponseSerializer(HCJSONResponseSerializer::serializer());
        operations->addObject(operation);
    }
    std::vector<NSUInteger> progress;
    received = nullptr;
    auto batch = HCURLConnectionOperation::batchOfRequestOperationsProgressBlockCompletionBlock(
        operations,
        [&](NSUInteger finished, NSUInteger total) {
            EXPECT_EQ(total, 3u);
            progress.push_back(finished);
        },
        [&](const Ref<NSArray>& ops) { received = ops; });
    ASSERT_EQ(batch->count(), 4u);
    EXPECT_EQ(cast<NSOperation>(batch->lastObject())->dependencies()->count(), 3u);
    queue->addOperationsWaitUntilFinished(batch, false);
    ASSERT_TRUE(runMainLoopUntil([&] { return static_cast<bool>(received); }));
    EXPECT_EQ(received->count(), 3u);
    ASSERT_EQ(progress.size(), 3u);
    EXPECT_EQ(progress.back(), 3u);
}

TEST(OperationStates, TransitionsAndTheirNotifications) {
    auto operation = make<HCHTTPRequestOperation>(requestFor("http://127.0.0.1:1/x"));
    EXPECT_EQ(operation->state(), HCOperationReadyState);
    EXPECT_TRUE(operation->isReady());
    operation->pause();
    EXPECT_TRUE(operation->isPaused());
    EXPECT_FALSE(operation->isExecuting());
    // Archiving a paused operation stores it as ready; decoding applies the transition rule.
    auto data = NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(operation, true, nullptr);
    auto restored = cast<HCHTTPRequestOperation>(
        NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(HCHTTPRequestOperation::class_(), data, nullptr));
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->state(), HCOperationReadyState);
    EXPECT_EQ(restored->request()->URL()->absoluteString()->str(), "http://127.0.0.1:1/x");

    auto copy = cast<HCHTTPRequestOperation>(operation->copy());
    EXPECT_EQ(copy->state(), HCOperationReadyState);
    EXPECT_NE(copy->responseSerializer().get(), operation->responseSerializer().get());
    EXPECT_NE(operation->description()->str().find("state: isPaused"), std::string::npos);
}

TEST(OperationText, ResponseStringUsesTheDeclaredCharsetOrUTF8) {
    LoopbackServer server;
    server.server().Get("/latin", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("caf\xE9", "text/plain; charset=iso-8859-1");
    });
    server.server().Get("/plain", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("caf\xC3\xA9", "text/plain");
    });
    server.start();
    for (const char* path : {"/latin", "/plain"}) {
        auto operation = make<HCHTTPRequestOperation>(requestFor(server.url(path)));
        Result result;
        run(operation, result);
        ASSERT_TRUE(runMainLoopUntil([&] { return result.done(); }));
        EXPECT_EQ(operation->responseString()->str(), "caf\xC3\xA9") << path;
    }
}
