#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Network/NSURLSession.h>

#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

class SessionRecorder : public NSObject, public NSURLSessionDownloadDelegate {
public:
    std::mutex mutex;
    std::vector<std::string> events;
    std::string body;
    std::string downloaded;
    Ref<NSError> error;
    std::atomic<bool> done{false};
    std::atomic<bool> invalid{false};
    std::atomic<int64_t> sent{0};
    NSURLSessionResponseDisposition disposition = NSURLSessionResponseAllow;
    Ref<NSURLSessionDownloadTask> becameDownload;

    void note(const std::string& e) {
        std::lock_guard lock(mutex);
        if (events.empty() || events.back() != e) {
            events.push_back(e);
        }
    }
    void URLSessionDataTaskDidReceiveResponseCompletionHandler(
        NSURLSession*, NSURLSessionDataTask*, const Ref<NSURLResponse>&,
        const std::function<void(NSURLSessionResponseDisposition)>& handler) override {
        note("response");
        handler(disposition);
    }
    void URLSessionDataTaskDidReceiveData(NSURLSession*, NSURLSessionDataTask*, const Ref<NSData>& data) override {
        note("data");
        std::lock_guard lock(mutex);
        body += data->stringValue();
    }
    void URLSessionDataTaskDidBecomeDownloadTask(NSURLSession*, NSURLSessionDataTask*,
                                                 NSURLSessionDownloadTask* download) override {
        note("became download");
        becameDownload = Ref<NSURLSessionDownloadTask>(download);
    }
    void URLSessionTaskDidSendBodyDataTotalBytesSentTotalBytesExpectedToSend(NSURLSession*, NSURLSessionTask*, int64_t,
                                                                             int64_t total, int64_t) override {
        sent = total;
    }
    void URLSessionDownloadTaskDidWriteDataTotalBytesWrittenTotalBytesExpectedToWrite(NSURLSession*,
                                                                                      NSURLSessionDownloadTask*,
                                                                                      int64_t, int64_t,
                                                                                      int64_t) override {
        note("write");
    }
    void URLSessionDownloadTaskDidFinishDownloadingToURL(NSURLSession*, NSURLSessionDownloadTask*,
                                                         const Ref<NSURL>& location) override {
        note("downloaded");
        std::ifstream file(location->path()->str(), std::ios::binary);
        std::lock_guard lock(mutex);
        downloaded.assign(std::istreambuf_iterator<char>(file), {});
    }
    void URLSessionTaskDidCompleteWithError(NSURLSession*, NSURLSessionTask*, const Ref<NSError>& e) override {
        note("complete");
        {
            std::lock_guard lock(mutex);
            error = e;
        }
        done = true;
    }
    void URLSessionDidBecomeInvalidWithError(NSURLSession*, const Ref<NSError>&) override { invalid = true; }
};

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        auto& s = server.server();
        s.Get("/hello", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("hello", "text/plain");
        });
        s.Get("/file", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(100000, 'd'), "application/octet-stream");
        });
        s.Post("/count", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(std::to_string(request.body.size()), "text/plain");
        });
        s.Get("/headers", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.get_header_value("X-Session"), "text/plain");
        });
        server.stall("/stall");
        server.start();
        recorder = make<SessionRecorder>();
        session = NSURLSession::sessionWithConfigurationDelegateDelegateQueue(
            NSURLSessionConfiguration::defaultSessionConfiguration(), recorder.get(), nullptr);
    }
    void TearDown() override {
        session->invalidateAndCancel();
        runMainLoopUntil([&] { return recorder->invalid.load(); });
    }

    Ref<NSURLRequest> request(const std::string& path) {
        return make<NSURLRequest>(NSURL::URLWithString(NSString::from(server.url(path))));
    }

    LoopbackServer server;
    Ref<SessionRecorder> recorder;
    Ref<NSURLSession> session;
};

} // namespace

TEST_F(Session, DataTaskTellsTheDelegateInOrder) {
    auto task = session->dataTaskWithRequest(request("/hello"));
    EXPECT_EQ(task->state(), NSURLSessionTaskStateSuspended);
    task->resume();
    EXPECT_EQ(task->state(), NSURLSessionTaskStateRunning);
    ASSERT_TRUE(runMainLoopUntil([&] { return recorder->done.load(); }));
    std::lock_guard lock(recorder->mutex);
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"response", "data", "complete"}));
    EXPECT_EQ(recorder->body, "hello");
    EXPECT_FALSE(recorder->error);
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
    EXPECT_EQ(task->countOfBytesReceived(), 5);
}

TEST_F(Session, CompletionHandlerTasksAndAdditionalHeaders) {
    auto configuration = NSURLSessionConfiguration::ephemeralSessionConfiguration();
    configuration->setHTTPAdditionalHeaders(NSDictionary::dictionaryWithEntries({{"X-Session"_ns, "on"_ns}}));
    auto plain = NSURLSession::sessionWithConfiguration(configuration);
    std::atomic<bool> finished{false};
    std::string text;
    int status = 0;
    auto task = plain->dataTaskWithRequestCompletionHandler(
        request("/headers"),
        [&](const Ref<NSData>& data, const Ref<NSURLResponse>& response, const Ref<NSError>& error) {
            EXPECT_FALSE(error);
            text = data->stringValue();
            status = static_cast<int>(cast<NSHTTPURLResponse>(response)->statusCode());
            finished = true;
        });
    task->resume();
    ASSERT_TRUE(runMainLoopUntil([&] { return finished.load(); }));
    EXPECT_EQ(text, "on");
    EXPECT_EQ(status, 200);
    plain->finishTasksAndInvalidate();
}

TEST_F(Session, CancelReportsCancelled) {
    auto task = session->dataTaskWithRequest(request("/stall"));
    task->resume();
    ASSERT_TRUE(server.waitForStalled(1, 10));
    task->cancel();
    ASSERT_TRUE(runMainLoopUntil([&] { return recorder->done.load(); }));
    server.release();
    std::lock_guard lock(recorder->mutex);
    ASSERT_TRUE(recorder->error);
    EXPECT_EQ(recorder->error->code(), NSURLErrorCancelled);
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
}

TEST_F(Session, ResponseDispositionCancelEndsTheTask) {
    recorder->disposition = NSURLSessionResponseCancel;
    session->dataTaskWithRequest(request("/file"))->resume();
    ASSERT_TRUE(runMainLoopUntil([&] { return recorder->done.load(); }));
    std::lock_guard lock(recorder->mutex);
    EXPECT_TRUE(recorder->body.empty());
    ASSERT_TRUE(recorder->error);
    EXPECT_EQ(recorder->error->code(), NSURLErrorCancelled);
}

TEST_F(Session, UploadFromDataReportsProgress) {
    auto post = cast<NSMutableURLRequest>(request("/count")->mutableCopy());
    post->setHTTPMethod("POST"_ns);
    auto task = session->uploadTaskWithRequestFromData(post, NSData::dataWithString(std::string(200000, 'u')));
    EXPECT_EQ(task->countOfBytesExpectedToSend(), 200000);
    task->resume();
    ASSERT_TRUE(runMainLoopUntil([&] { return recorder->done.load(); }));
    EXPECT_EQ(recorder->sent.load(), 200000);
    std::lock_guard lock(recorder->mutex);
    EXPECT_EQ(recorder->body, "200000");
}

TEST_F(Session, DownloadTaskHandsOverAFileAndRemovesItAfterwards) {
    auto task = session->downloadTaskWithRequest(request("/file"));
    task->resume();
    ASSERT_TRUE(runMainLoopUntil([&] { return recorder->done.load(); }));
    std::lock_guard lock(recorder->mutex);
    EXPECT_EQ(recorder->downloaded, std::string(100000, 'd'));
    EXPECT_EQ(recorder->events.back(), "complete");
    EXPECT_NE(std::find(recorder->events.begin(), recorder->events.end(), "downloaded"), recorder->events.end());
}

TEST_F(Session, ADataTaskCanBecomeADownload) {
    recorder->disposition = NSURLSessionResponseBecomeDownload;
    auto task = session->dataTaskWithRequest(request("/file"));
    task->resume();
    ASSERT_TRUE(runMainLoopUntil([&] { return recorder->done.load(); }));
    std::lock_guard lock(recorder->mutex);
    ASSERT_TRUE(recorder->becameDownload);
    EXPECT_EQ(recorder->downloaded.size(), 100000u);
    EXPECT_TRUE(recorder->body.empty());
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
}

TEST_F(Session, TasksAreListedByKindUntilTheyComplete) {
    auto data = session->dataTaskWithRequest(request("/stall"));
    auto upload = session->uploadTaskWithRequestFromData(request("/count"), NSData::dataWithString("x"));
    auto download = session->downloadTaskWithRequest(request("/stall"));
    std::atomic<bool> listed{false};
    NSUInteger counts[3] = {};
    session->getTasksWithCompletionHandler([&](const Ref<NSArray>& d, const Ref<NSArray>& u, const Ref<NSArray>& w) {
        counts[0] = d->count();
        counts[1] = u->count();
        counts[2] = w->count();
        listed = true;
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return listed.load(); }));
    EXPECT_EQ(counts[0], 1u);
    EXPECT_EQ(counts[1], 1u);
    EXPECT_EQ(counts[2], 1u);
    EXPECT_NE(data->taskIdentifier(), upload->taskIdentifier());
}

TEST_F(Session, InvalidationCancelsAndReleasesTheDelegate) {
    auto task = session->dataTaskWithRequest(request("/stall"));
    task->resume();
    ASSERT_TRUE(server.waitForStalled(1, 10));
    session->invalidateAndCancel();
    ASSERT_TRUE(runMainLoopUntil([&] { return recorder->invalid.load(); }));
    EXPECT_TRUE(recorder->done.load());
    EXPECT_FALSE(session->dataTaskWithRequest(request("/hello")));
    EXPECT_EQ(session->delegate(), nullptr);
    server.release();
}

TEST_F(Session, ResumeAndSuspendCanBeInterposed) {
    std::vector<std::string> calls;
    NSURLSessionTask::setResumeInterposer([&](NSURLSessionTask* task, const std::function<void()>& original) {
        calls.push_back(task->state() == NSURLSessionTaskStateRunning ? "resume running" : "resume");
        original();
    });
    NSURLSessionTask::setSuspendInterposer([&](NSURLSessionTask*, const std::function<void()>& original) {
        calls.push_back("suspend");
        original();
    });
    auto task = session->dataTaskWithRequest(request("/stall"));
    task->resume();
    task->resume();
    task->suspend();
    EXPECT_EQ(task->state(), NSURLSessionTaskStateSuspended);
    NSURLSessionTask::setResumeInterposer(nullptr);
    NSURLSessionTask::setSuspendInterposer(nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"resume", "resume running", "suspend"}));
    task->cancel();
}

// On virtual time that waits for the network (the simulator's runs), the app meets a reply at the
// instant it asked, before anything timed after that instant, however long it took in real time.
TEST_F(Session, OnVirtualTimeAReplyLandsAtTheInstantOfItsRequest) {
    DispatchClock::useVirtualTime();
    DispatchClock::setWaitForOutsideWork(true);
    // Written on the main thread only; kept by the blocks, which may outlive a failed test.
    auto log = std::make_shared<std::vector<std::string>>();
    auto task = session->dataTaskWithRequestCompletionHandler(
        request("/stall"), [log](const Ref<NSData>&, const Ref<NSURLResponse>&, const Ref<NSError>&) {
            dispatch_async(dispatch_get_main_queue(), [log] { log->push_back("reply"); });
        });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC / 2), dispatch_get_main_queue(),
                   [log] { log->push_back("timer"); });
    task->resume();
    // The server answers once the request has reached it, while the clock is asked to move a second.
    std::thread answer([this] {
        if (server.waitForStalled(1, 10)) {
            server.release();
        }
    });
    DispatchClock::advance(1);
    answer.join();
    EXPECT_EQ(*log, (std::vector<std::string>{"reply", "timer"}));
}
