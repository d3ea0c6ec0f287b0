#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Networking/HCHTTPSessionManager.h>
#include <Networking/HCJSONRequestSerializer.h>
#include <Networking/HCJSONResponseSerializer.h>
#include <Networking/_HCURLSessionTaskSwizzling.h>

#include <Foundation/NSNumber.h>
#include <Foundation/NSThread.h>

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace {

class SessionManager : public ::testing::Test {
protected:
    void SetUp() override {
        auto& s = server.server();
        s.Get("/api/items", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content("{\"path\":\"" + request.path + "\",\"q\":\"" + request.get_param_value("q") + "\"}",
                                 "application/json");
        });
        s.Get("/items", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content("{\"path\":\"" + request.path + "\"}", "application/json");
        });
        s.Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.body, "application/json");
        });
        s.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("{}", "application/json");
        });
        s.Get("/pieces", [](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("application/json", [](size_t offset, httplib::DataSink& sink) {
                if (offset == 0) {
                    sink.write("{\"a\":", 5);
                } else if (offset == 5) {
                    sink.write("[1,2]}", 6);
                } else {
                    sink.done();
                }
                return true;
            });
        });
        s.Post("/upload", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content("{\"size\":" + std::to_string(request.body.size()) + "}", "application/json");
        });
        server.stall("/slow");
        server.start();
    }

    void finish(const Ref<HCURLSessionManager>& manager) {
        std::atomic<bool> invalid{false};
        manager->setSessionDidBecomeInvalidBlock([&](NSURLSession*, const Ref<NSError>&) { invalid = true; });
        manager->invalidateSessionCancelingTasks(true);
        runMainLoopUntil([&] { return invalid.load(); });
        drainMainLoop(0.05);
    }

    Ref<NSString> url(const std::string& path) { return NSString::from(server.url(path)); }

    LoopbackServer server;
};

} // namespace

TEST_F(SessionManager, VerbsResolveAgainstTheBaseURLAndReportOnTheMainThread) {
    auto manager = make<HCHTTPSessionManager>(NSURL::URLWithString(url("/api")));
    EXPECT_EQ(manager->baseURL()->absoluteString()->str(), server.url("/api/"));
    id result;
    bool onMain = false;
    auto task = manager->GETParametersSuccessFailure(
        "items"_ns, NSDictionary::dictionaryWithEntries({{"q"_ns, "x"_ns}}),
        [&](NSURLSessionDataTask* t, const id& object) {
            result = object;
            onMain = NSThread::isMainThread();
            EXPECT_TRUE(t);
        },
        [&](NSURLSessionDataTask*, const Ref<NSError>& error) { ADD_FAILURE() << NSDescription(error)->str(); });
    ASSERT_TRUE(task);
    // The task comes back resumed. A reply on loopback may have completed it already (the session
    // reports on its own queue), so only a reply that cannot come yet shows it running.
    EXPECT_NE(task->state(), NSURLSessionTaskStateSuspended);
    auto held = manager->GETParametersSuccessFailure("/slow"_ns, nullptr, nullptr, nullptr);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->state(), NSURLSessionTaskStateRunning);
    ASSERT_TRUE(runMainLoopUntil([&] { return static_cast<bool>(result); }));
    EXPECT_TRUE(onMain);
    auto dictionary = cast<NSDictionary>(result);
    EXPECT_TRUE(dictionary->objectForKey("path"_ns)->isEqual("/api/items"_ns));
    EXPECT_TRUE(dictionary->objectForKey("q"_ns)->isEqual("x"_ns));

    id rooted;
    manager->GETParametersSuccessFailure(
        "/items"_ns, nullptr, [&](NSURLSessionDataTask*, const id& o) { rooted = o; }, nullptr);
    ASSERT_TRUE(runMainLoopUntil([&] { return static_cast<bool>(rooted); }));
    EXPECT_TRUE(cast<NSDictionary>(rooted)->objectForKey("path"_ns)->isEqual("/items"_ns));
    finish(manager);
}

TEST_F(SessionManager, FailuresHeadAndUnbuiltRequests) {
    auto manager = HCHTTPSessionManager::manager();
    manager->setRequestSerializer(HCJSONRequestSerializer::serializer());
    Ref<NSError> failure;
    NSURLSessionDataTask* failedTask = nullptr;
    manager->GETParametersSuccessFailure(url("/missing"), nullptr, nullptr,
                                         [&](NSURLSessionDataTask* t, const Ref<NSError>& e) {
                                             failure = e;
                                             failedTask = t;
                                         });
    ASSERT_TRUE(runMainLoopUntil([&] { return static_cast<bool>(failure); }));
    EXPECT_EQ(failure->code(), NSURLErrorBadServerResponse);
    EXPECT_TRUE(failedTask);

    bool head = false;
    manager->HEADParametersSuccessFailure(
        url("/items"), nullptr, [&](NSURLSessionDataTask* t) { head = t != nullptr; }, nullptr);
    ASSERT_TRUE(runMainLoopUntil([&] { return head; }));

    // Parameters the serializer refuses: no task, and the failure later with a nil task.
    int calls = 0;
    NSURLSessionDataTask* nilTask = reinterpret_cast<NSURLSessionDataTask*>(1);
    auto none = manager->POSTParametersSuccessFailure(
        url("/echo"), NSDictionary::dictionaryWithEntries({{"x"_ns, box(std::numeric_limits<double>::infinity())}}),
        nullptr, [&](NSURLSessionDataTask* t, const Ref<NSError>&) {
            ++calls;
            nilTask = t;
        });
    EXPECT_FALSE(none);
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(runMainLoopUntil([&] { return calls == 1; }));
    EXPECT_EQ(nilTask, nullptr);

    // The plain data-task builder does not resume.
    auto idle = manager->dataTaskWithHTTPMethodURLStringParametersSuccessFailure("GET"_ns, url("/items"), nullptr,
                                                                                 nullptr, nullptr);
    EXPECT_EQ(idle->state(), NSURLSessionTaskStateSuspended);
    finish(manager);
}

TEST_F(SessionManager, BodyInPiecesIsJoinedAndNotified) {
    auto manager = make<HCURLSessionManager>();
    Ref<NSDictionary> notified;
    Ref<NSURLSessionDataTask> task;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        HCNetworkingTaskDidCompleteNotification(), nullptr, nullptr, [&](const Ref<NSNotification>& note) {
            // Only this test's task: a task another test left behind may still end now.
            if (note->object().get() == task.get()) {
                notified = note->userInfo();
            }
        });
    id object;
    Ref<NSError> error = make<NSError>("unset"_ns, 1);
    task = manager->dataTaskWithRequestCompletionHandler(
        make<NSURLRequest>(NSURL::URLWithString(url("/pieces"))),
        [&](const Ref<NSURLResponse>&, const id& o, const Ref<NSError>& e) {
            object = o;
            error = e;
        });
    EXPECT_EQ(task->taskDescription()->str(), manager->taskDescriptionForSessionTasks()->str());
    task->resume();
    ASSERT_TRUE(runMainLoopUntil([&] { return static_cast<bool>(notified); }));
    EXPECT_FALSE(error);
    EXPECT_TRUE(cast<NSDictionary>(object));
    auto data = cast<NSData>(notified->objectForKey(HCNetworkingTaskDidCompleteResponseDataKey()));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->stringValue(), "{\"a\":[1,2]}");
    EXPECT_TRUE(notified->objectForKey(HCNetworkingTaskDidCompleteSerializedResponseKey()));
    EXPECT_TRUE(notified->objectForKey(HCNetworkingTaskDidCompleteResponseSerializerKey()));
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    finish(manager);
}

TEST_F(SessionManager, ResumeAndSuspendNotificationsOnlyForItsOwnTasks) {
    auto first = make<HCURLSessionManager>();
    auto second = make<HCURLSessionManager>();
    std::vector<std::string> seen;
    auto center = NSNotificationCenter::defaultCenter();
    auto onResume =
        center->addObserverForNameObjectQueueUsingBlock(HCNetworkingTaskDidResumeNotification(), nullptr, nullptr,
                                                        [&](const Ref<NSNotification>&) { seen.push_back("resume"); });
    auto onSuspend =
        center->addObserverForNameObjectQueueUsingBlock(HCNetworkingTaskDidSuspendNotification(), nullptr, nullptr,
                                                        [&](const Ref<NSNotification>&) { seen.push_back("suspend"); });
    auto task =
        first->dataTaskWithRequestCompletionHandler(make<NSURLRequest>(NSURL::URLWithString(url("/items"))), nullptr);
    task->suspend(); // not running: nothing
    task->resume();
    task->resume(); // already running: nothing
    task->suspend();
    task->suspend();
    drainMainLoop(0.2);
    EXPECT_EQ(seen, (std::vector<std::string>{"resume", "suspend"}));
    center->removeObserver(onResume);
    center->removeObserver(onSuspend);
    task->cancel();
    finish(first);
    finish(second);
}

TEST_F(SessionManager, UploadProgressUsesContentLengthWhenTheTotalIsUnknown) {
    auto manager = make<HCURLSessionManager>();
    auto request = make<NSMutableURLRequest>(NSURL::URLWithString(url("/upload")));
    request->setHTTPMethod("POST"_ns);
    request->setHTTPBodyStream(NSInputStream::inputStreamWithData(NSData::dataWithString(std::string(1000, 'z'))));
    request->setValueForHTTPHeaderField("1000"_ns, "Content-Length"_ns);
    Ref<NSProgress> progress;
    // Reports arrive on the session's delegate queue, the completion on the main queue after them.
    std::mutex mutex;
    std::vector<int64_t> sentTotals;
    int64_t reportedTotal = 0;
    bool completed = false;
    int lateReports = 0;
    Ref<NSURLSessionUploadTask> task;
    manager->setTaskDidSendBodyDataBlock(
        [&](NSURLSession*, NSURLSessionTask* reporting, int64_t, int64_t sent, int64_t expected) {
            if (reporting != task.get()) {
                return; // the second task's reports
            }
            std::lock_guard lock(mutex);
            sentTotals.push_back(sent);
            reportedTotal = expected;
            lateReports += completed ? 1 : 0;
        });
    id object;
    task = manager->uploadTaskWithStreamedRequestProgressCompletionHandler(
        request, &progress, [&](const Ref<NSURLResponse>&, const id& o, const Ref<NSError>&) {
            std::lock_guard lock(mutex);
            completed = true;
            object = o;
        });
    ASSERT_TRUE(progress);
    EXPECT_EQ(task->countOfBytesExpectedToSend(), NSURLSessionTransferSizeUnknown);
    EXPECT_EQ(progress->totalUnitCount(), 1000);
    task->resume();
    ASSERT_TRUE(runMainLoopUntil([&] {
        std::lock_guard lock(mutex);
        return static_cast<bool>(object);
    }));
    {
        // The whole upload was reported, in order, before the completion.
        std::lock_guard lock(mutex);
        EXPECT_EQ(reportedTotal, 1000);
        ASSERT_FALSE(sentTotals.empty());
        EXPECT_TRUE(std::is_sorted(sentTotals.begin(), sentTotals.end()));
        EXPECT_EQ(sentTotals.back(), 1000);
    }
    EXPECT_EQ(progress->completedUnitCount(), 1000);
    EXPECT_EQ(unbox<int>(cast<NSDictionary>(object)->objectForKey("size"_ns)), 1000);

    // Pausing the progress suspends the task; cancelling it cancels the task.
    auto slow = make<NSMutableURLRequest>(NSURL::URLWithString(url("/slow")));
    slow->setHTTPMethod("POST"_ns);
    auto other = manager->uploadTaskWithRequestFromDataProgressCompletionHandler(slow, NSData::dataWithString("x"),
                                                                                 &progress, nullptr);
    other->resume();
    progress->pause();
    EXPECT_EQ(other->state(), NSURLSessionTaskStateSuspended);
    progress->cancel();
    EXPECT_TRUE(other->state() == NSURLSessionTaskStateCanceling || other->state() == NSURLSessionTaskStateCompleted);
    ASSERT_TRUE(runMainLoopUntil([&] { return other->state() == NSURLSessionTaskStateCompleted; }));
    EXPECT_EQ(other->error()->code(), NSURLErrorCancelled);
    // Invalidation is told on the delegate queue after every report the session still had.
    finish(manager);
    std::lock_guard lock(mutex);
    EXPECT_EQ(lateReports, 0);
}

TEST_F(SessionManager, RespondsToOptionalCallbacksOnlyWithTheirBlocks) {
    auto manager = make<HCURLSessionManager>();
    SEL redirect("URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:");
    EXPECT_FALSE(manager->respondsToSelector(redirect));
    manager->setTaskWillPerformHTTPRedirectionBlock(
        [](NSURLSession*, NSURLSessionTask*, const Ref<NSURLResponse>&, const Ref<NSURLRequest>& r) { return r; });
    EXPECT_TRUE(manager->respondsToSelector(redirect));
    EXPECT_TRUE(manager->respondsToSelector("URLSession:task:didCompleteWithError:"));
    EXPECT_FALSE(manager->respondsToSelector("URLSession:dataTask:didReceiveResponse:completionHandler:"));
    finish(manager);
}

TEST_F(SessionManager, TrustChallengesFollowTheSecurityPolicy) {
    auto manager = make<HCURLSessionManager>();
    auto trust = [] {
        Ref<SecTrust> t;
        SecTrustCreateWithCertificates(SecCertificateCreateWithData(TestCertificates::shared().selfSigned.der()),
                                       SecPolicyCreateSSL(true, "127.0.0.1"_ns), &t);
        return t;
    };
    auto space = make<NSURLProtectionSpace>("127.0.0.1"_ns, 443, NSURLProtectionSpaceHTTPS(), nullptr,
                                            NSURLAuthenticationMethodServerTrust(), trust());
    auto challenge = make<NSURLAuthenticationChallenge>(space, nullptr, 0, nullptr, nullptr, nullptr);
    NSURLSessionAuthChallengeDisposition disposition = NSURLSessionAuthChallengeUseCredential;
    manager->URLSessionDidReceiveChallengeCompletionHandler(
        manager->session().get(), challenge,
        [&](NSURLSessionAuthChallengeDisposition d, const Ref<NSURLCredential>&) { disposition = d; });
    EXPECT_EQ(disposition, NSURLSessionAuthChallengeCancelAuthenticationChallenge);

    auto basic =
        make<NSURLAuthenticationChallenge>(make<NSURLProtectionSpace>("127.0.0.1"_ns, 80, NSURLProtectionSpaceHTTP(),
                                                                      "r"_ns, NSURLAuthenticationMethodHTTPBasic()),
                                           nullptr, 0, nullptr, nullptr, nullptr);
    manager->URLSessionDidReceiveChallengeCompletionHandler(
        manager->session().get(), basic,
        [&](NSURLSessionAuthChallengeDisposition d, const Ref<NSURLCredential>&) { disposition = d; });
    EXPECT_EQ(disposition, NSURLSessionAuthChallengePerformDefaultHandling);

    auto pinned = HCSecurityPolicy::policyWithPinningMode(HCSSLPinningModeCertificate);
    pinned->setPinnedCertificates(NSArray::arrayWithObjects({TestCertificates::shared().selfSigned.der()}));
    pinned->setAllowInvalidCertificates(true);
    manager->setSecurityPolicy(pinned);
    Ref<NSURLCredential> credential;
    manager->URLSessionDidReceiveChallengeCompletionHandler(
        manager->session().get(),
        make<NSURLAuthenticationChallenge>(make<NSURLProtectionSpace>("127.0.0.1"_ns, 443, NSURLProtectionSpaceHTTPS(),
                                                                      nullptr, NSURLAuthenticationMethodServerTrust(),
                                                                      trust()),
                                           nullptr, 0, nullptr, nullptr, nullptr),
        [&](NSURLSessionAuthChallengeDisposition d, const Ref<NSURLCredential>& c) {
            disposition = d;
            credential = c;
        });
    EXPECT_EQ(disposition, NSURLSessionAuthChallengeUseCredential);
    EXPECT_TRUE(credential && credential->serverTrust());
    finish(manager);
}

TEST_F(SessionManager, TasksListedInOrderAndArchiving) {
    auto manager = make<HCHTTPSessionManager>(NSURL::URLWithString("http://127.0.0.1/api"_ns));
    EXPECT_EQ(manager->sessionConfiguration()->timeoutIntervalForRequest(), 60);
    auto download = manager->downloadTaskWithRequestProgressDestinationCompletionHandler(
        make<NSURLRequest>(NSURL::URLWithString(url("/items"))), nullptr, nullptr, nullptr);
    auto data =
        manager->dataTaskWithRequestCompletionHandler(make<NSURLRequest>(NSURL::URLWithString(url("/items"))), nullptr);
    auto upload = manager->uploadTaskWithRequestFromDataProgressCompletionHandler(
        make<NSURLRequest>(NSURL::URLWithString(url("/upload"))), NSData::dataWithString("x"), nullptr, nullptr);
    auto all = manager->tasks();
    ASSERT_EQ(all->count(), 3u);
    EXPECT_EQ(all->objectAtIndex(0).get(), data.get());
    EXPECT_EQ(all->objectAtIndex(1).get(), upload.get());
    EXPECT_EQ(all->objectAtIndex(2).get(), download.get());
    EXPECT_EQ(manager->dataTasks()->count(), 1u);

    auto serializer = HCJSONRequestSerializer::serializer();
    manager->setRequestSerializer(serializer);
    auto archive = NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(manager, true, nullptr);
    auto restored = cast<HCHTTPSessionManager>(
        NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(HCHTTPSessionManager::class_(), archive, nullptr));
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->baseURL()->absoluteString()->str(), "http://127.0.0.1/api/");
    EXPECT_TRUE(cast<HCJSONRequestSerializer>(restored->requestSerializer()));
    EXPECT_TRUE(cast<HCJSONResponseSerializer>(restored->responseSerializerObject()));

    auto background = make<HCHTTPSessionManager>(
        Ref<NSURL>(), NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("bg.id"_ns));
    archive = NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(background, true, nullptr);
    auto restoredBackground = cast<HCHTTPSessionManager>(
        NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(HCHTTPSessionManager::class_(), archive, nullptr));
    ASSERT_TRUE(restoredBackground);
    EXPECT_EQ(restoredBackground->sessionConfiguration()->identifier()->str(), "bg.id");

    download->cancel();
    data->cancel();
    upload->cancel();
    finish(manager);
    finish(restored);
    finish(background);
    finish(restoredBackground);
}
