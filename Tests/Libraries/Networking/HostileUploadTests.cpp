// The HTTP client against files and streams that change under an upload, slow part streams,
// pinned keys under other names, task lists asked from the delegate queue and the activity count.
#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Networking/HCHTTPRequestOperationManager.h>
#include <Networking/HCHTTPSessionManager.h>
#include <Networking/HCNetworkActivityIndicatorManager.h>
#include <Networking/HCSecurityPolicy.h>

#include <Foundation/NSNotificationCenter.h>
#include <Network/NSStream.h>
#include <Network/NSURLRequest.h>

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace {

struct Result {
    std::atomic<int> successes{0};
    std::atomic<int> failures{0};
    Ref<NSError> error;
    bool done() const { return successes + failures > 0; }
};

HCHTTPRequestOperationSuccess succeed(Result& result) {
    return [&result](HCHTTPRequestOperation*, const id&) { ++result.successes; };
}

HCHTTPRequestOperationFailure fail(Result& result) {
    return [&result](HCHTTPRequestOperation*, const Ref<NSError>& error) {
        result.error = error;
        ++result.failures;
    };
}

std::string temporaryFile(const std::string& contents) {
    char path[] = "/tmp/celvix-upload-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, contents.data(), contents.size()), static_cast<ssize_t>(contents.size()));
    close(fd);
    return path;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class HostileUpload : public ::testing::Test {
protected:
    void SetUp() override {
        DispatchClock::useRealTime();
        server.server().Post("/upload", [this](const httplib::Request& request, httplib::Response& response) {
            ++uploads;
            response.set_content("{\"files\":" + std::to_string(request.files.size()) + "}", "application/json");
        });
        server.server().Get("/hello", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("{\"hello\":1}", "application/json");
        });
        server.stall("/stall");
        server.start();
        manager = HCHTTPRequestOperationManager::manager();
    }

    // Uploads a form whose one file part is `path`, letting `change` alter the file after the part
    // took its size; answers the result once the request has ended.
    void uploadFile(const std::string& path, const std::function<void()>& change, Result& result) {
        auto operation = manager->POSTParametersConstructingBodyWithBlockSuccessFailure(
            NSString::from(server.url("/upload")), nullptr,
            [&](HCMultipartFormData* form) {
                ASSERT_TRUE(form->appendPartWithFileURLNameFileNameMimeTypeError(
                    NSURL::fileURLWithPath(NSString::from(path)), "file"_ns, "data.bin"_ns,
                    "application/octet-stream"_ns, nullptr));
                form->appendPartWithFormDataName(NSData::dataWithString("after"), "field"_ns);
                change();
            },
            succeed(result), fail(result));
        ASSERT_TRUE(operation);
    }

    LoopbackServer server;
    std::atomic<int> uploads{0};
    Ref<HCHTTPRequestOperationManager> manager;
};

} // namespace

TEST_F(HostileUpload, AFilePartThatGrowsOrShrinksFailsTheUpload) {
    for (bool grow : {true, false}) {
        std::string path = temporaryFile(std::string(4000, 'f'));
        Result result;
        uploadFile(
            path,
            [&] {
                std::ofstream file(path, grow ? std::ios::app : std::ios::trunc);
                file << (grow ? std::string(3000, 'g') : std::string(10, 's'));
            },
            result);
        ASSERT_TRUE(runMainLoopUntil([&] { return result.done(); }, 20));
        ASSERT_EQ(result.failures.load(), 1) << (grow ? "grown" : "shrunk");
        EXPECT_EQ(result.error->code(), NSURLErrorRequestBodyStreamExhausted);
        EXPECT_TRUE(result.error->localizedDescription()->containsString("declared length"_ns));
        unlink(path.c_str());
    }
    EXPECT_EQ(uploads.load(), 0) << "a form with a part of the wrong length reached the server";
}

TEST_F(HostileUpload, AFilePartDeletedBeforeTheUploadFailsAtOnceWithTheFileError) {
    std::string path = temporaryFile("contents");
    manager->requestSerializer()->setTimeoutInterval(60);
    Result result;
    auto start = std::chrono::steady_clock::now();
    uploadFile(
        path, [&] { unlink(path.c_str()); }, result);
    ASSERT_TRUE(runMainLoopUntil([&] { return result.done(); }, 20));
    EXPECT_LT(secondsSince(start), 10.0) << "the load waited for the server to give up";
    ASSERT_EQ(result.failures.load(), 1);
    EXPECT_TRUE(result.error->domain()->isEqualToString(NSPOSIXErrorDomain()));
    EXPECT_EQ(result.error->code(), ENOENT);
    EXPECT_EQ(uploads.load(), 0);
}

TEST_F(HostileUpload, ASlowPartStreamHoldsUpOnlyItsOwnUpload) {
    Ref<NSInputStream> reader;
    Ref<NSOutputStream> writer;
    NSStream::getBoundStreamsWithBufferSize(1024, &reader, &writer);
    writer->open();
    Result upload;
    manager->POSTParametersConstructingBodyWithBlockSuccessFailure(
        NSString::from(server.url("/upload")), nullptr,
        [&](HCMultipartFormData* form) {
            form->appendPartWithInputStreamNameFileNameLengthMimeType(reader, "file"_ns, "slow.bin"_ns, 5,
                                                                      "application/octet-stream"_ns);
        },
        succeed(upload), fail(upload));

    Result other;
    auto start = std::chrono::steady_clock::now();
    manager->GETParametersSuccessFailure(NSString::from(server.url("/hello")), nullptr, succeed(other), fail(other));
    ASSERT_TRUE(runMainLoopUntil([&] { return other.done(); }, 5)) << "the network thread waits for a part";
    EXPECT_EQ(other.successes.load(), 1);
    EXPECT_LT(secondsSince(start), 5.0);
    EXPECT_FALSE(upload.done());

    const uint8_t bytes[] = {'s', 'l', 'o', 'w', '!'};
    EXPECT_EQ(writer->writeMaxLength(bytes, sizeof bytes), 5);
    writer->close();
    ASSERT_TRUE(runMainLoopUntil([&] { return upload.done(); }, 20));
    EXPECT_EQ(upload.successes.load(), 1) << (upload.error ? NSDescription(upload.error)->str() : "");
    EXPECT_EQ(uploads.load(), 1);
}

TEST_F(HostileUpload, ARequestCancelledBeforeItStartsKeepsTheActivityCountPaired) {
    auto indicator = make<HCNetworkActivityIndicatorManager>();
    std::atomic<int> starts{0}, finishes{0};
    auto center = NSNotificationCenter::defaultCenter();
    auto startObserver = center->addObserverForNameObjectQueueUsingBlock(
        HCNetworkingOperationDidStartNotification(), nullptr, nullptr, [&](const Ref<NSNotification>&) { ++starts; });
    auto finishObserver =
        center->addObserverForNameObjectQueueUsingBlock(HCNetworkingOperationDidFinishNotification(), nullptr, nullptr,
                                                        [&](const Ref<NSNotification>&) { ++finishes; });

    Result running;
    manager->GETParametersSuccessFailure(NSString::from(server.url("/stall")), nullptr, succeed(running),
                                         fail(running));
    ASSERT_TRUE(server.waitForStalled(1, 10));
    ASSERT_TRUE(runMainLoopUntil([&] { return indicator->activityCount() == 1; }));

    Result cancelled;
    auto operation = manager->HTTPRequestOperationWithRequestSuccessFailure(
        make<NSURLRequest>(NSURL::URLWithString(NSString::from(server.url("/hello")))), succeed(cancelled),
        fail(cancelled));
    operation->cancel();
    manager->operationQueue()->addOperation(operation);
    ASSERT_TRUE(runMainLoopUntil([&] { return cancelled.done(); }));
    drainMainLoop(0.3);
    EXPECT_EQ(indicator->activityCount(), 1) << "the indicator lost count of the running request";
    EXPECT_EQ(starts.load(), 1);
    EXPECT_EQ(finishes.load(), 0);

    server.release();
    ASSERT_TRUE(runMainLoopUntil([&] { return running.done() && indicator->activityCount() == 0; }));
    EXPECT_EQ(starts.load(), finishes.load());
    center->removeObserver(startObserver);
    center->removeObserver(finishObserver);
}

TEST(HostilePinning, APinnedKeyUnderAnotherHostNameIsRefusedWhenDomainsAreValidated) {
    DispatchClock::useRealTime();
    TestCertificates::shared().installRootAsSystemTrust();
    LoopbackServer wrongHost(TestCertificates::shared().wrongHost);
    wrongHost.server().Get("/data", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("{}", "application/json");
    });
    wrongHost.start();
    for (bool validates : {true, false}) {
        auto policy = HCSecurityPolicy::policyWithPinningMode(HCSSLPinningModePublicKey);
        policy->setPinnedCertificates(NSArray::arrayWithObjects({TestCertificates::shared().wrongHost.der()}));
        policy->setAllowInvalidCertificates(true);
        policy->setValidatesDomainName(validates);
        auto manager = HCHTTPRequestOperationManager::manager();
        manager->setSecurityPolicy(policy);
        Result result;
        manager->GETParametersSuccessFailure(NSString::from(wrongHost.url("/data")), nullptr, succeed(result),
                                             fail(result));
        ASSERT_TRUE(runMainLoopUntil([&] { return result.done(); }));
        if (validates) {
            EXPECT_EQ(result.failures.load(), 1);
            EXPECT_EQ(result.error->code(), NSURLErrorUserCancelledAuthentication);
        } else {
            EXPECT_EQ(result.successes.load(), 1); // no domain check asked for: the key decides
        }
    }
}

TEST(HostileSession, TaskListsFromTheManagersOwnCallbacksAreAnswered) {
    DispatchClock::useRealTime();
    LoopbackServer server;
    server.server().Get("/hello", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("{}", "application/json");
    });
    server.start();
    auto manager = make<HCURLSessionManager>();
    std::atomic<long> listed{-1};
    HCURLSessionManager* raw = manager.get();
    manager->setTaskDidCompleteBlock([&listed, raw](NSURLSession*, NSURLSessionTask*, const Ref<NSError>&) {
        listed = static_cast<long>(raw->tasks()->count());
    });
    std::atomic<bool> done{false};
    manager
        ->dataTaskWithRequestCompletionHandler(
            make<NSURLRequest>(NSURL::URLWithString(NSString::from(server.url("/hello")))),
            [&](const Ref<NSURLResponse>&, const id&, const Ref<NSError>&) { done = true; })
        ->resume();
    ASSERT_TRUE(runMainLoopUntil([&] { return done.load() && listed.load() >= 0; }, 15))
        << "the session's delegate queue is stuck";
    manager->invalidateSessionCancelingTasks(true);
    drainMainLoop(0.1);
}
