// The road of a request through the operation manager: the thread of every callback and their
// order, cancellation at any point of the way, replies processed beside the network thread or on
// it, many requests at once and many in a row.
#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Networking/HCHTTPRequestOperationManager.h>
#include <Networking/HCJSONRequestSerializer.h>
#include <Networking/HCJSONResponseSerializer.h>

#include <Foundation/NSNumber.h>
#include <Foundation/NSThread.h>
#include <Runtime/ClassBuilder.h>

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Events of one request, in the order they happened, with the facts checked on the spot.
struct Trace {
    std::mutex mutex;
    std::vector<std::string> events;
    void add(std::string event) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
    }
    std::vector<std::string> get() {
        std::lock_guard lock(mutex);
        return events;
    }
};

// Records the operation's state announcements, with whether each came on the network thread.
class StateRecorder : public NSObject {
    NS_OBJECT(StateRecorder, NSObject)
public:
    explicit StateRecorder(Trace& trace) : trace_(trace) {}
    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                     const Ref<NSDictionary>&, void*) override {
        auto operation = cast<HCURLConnectionOperation>(object);
        bool value = keyPath->isEqualToString("isExecuting"_ns) ? operation->isExecuting() : operation->isFinished();
        bool onMain = NSThread::isMainThread();
        trace_.add(keyPath->str() + (value ? "=YES" : "=NO") + (onMain ? " main" : ""));
    }

private:
    Trace& trace_;
};

char kProcessingKey;

// A serializer of the app's own: it tells where it ran and may wait for something before it
// answers (here: for another request to finish).
class WaitingSerializer : public HCJSONResponseSerializer {
    NS_OBJECT(WaitingSerializer, HCJSONResponseSerializer)
public:
    id responseObjectForResponseDataError(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
                                          Ref<NSError>* error) override {
        ranOnNetworkThread = NSThread::currentThread() == HCURLConnectionOperation::networkRequestThread();
        ranOnProcessingQueue = dispatch_get_specific(&kProcessingKey) == &kProcessingKey;
        if (beforeAnswering) {
            beforeAnswering();
        }
        return HCJSONResponseSerializer::responseObjectForResponseDataError(response, data, error);
    }
    std::function<void()> beforeAnswering;
    std::atomic<bool> ranOnNetworkThread{false};
    std::atomic<bool> ranOnProcessingQueue{false};
};

Ref<HCHTTPRequestOperationManager> jsonManager() {
    auto manager = HCHTTPRequestOperationManager::manager();
    auto serializer = HCJSONRequestSerializer::serializer();
    serializer->setTimeoutInterval(15);
    manager->setRequestSerializer(serializer);
    manager->setResponseSerializer(HCJSONResponseSerializer::serializer());
    return manager;
}

class OperationRoad : public ::testing::Test {
protected:
    void SetUp() override {
        dispatch_queue_set_specific(HCHTTPRequestOperation::processingQueue(), &kProcessingKey, &kProcessingKey,
                                    nullptr);
        server.server().Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.body, "application/json");
        });
        // A reply too large to be processed on the network thread.
        server.server().Get("/large", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("{\"pad\":\"" + std::string(40000, 'x') + "\"}", "application/json");
        });
        server.start();
    }
    void TearDown() override {
        dispatch_queue_set_specific(HCHTTPRequestOperation::processingQueue(), &kProcessingKey, nullptr, nullptr);
    }
    Ref<NSString> url(const std::string& path) const { return NSString::from(server.url(path)); }

    LoopbackServer server;
};

} // namespace

NS_IMPLEMENT_CLASS(StateRecorder, NSObject) {}
NS_IMPLEMENT_CLASS(WaitingSerializer, HCJSONResponseSerializer) {}

TEST_F(OperationRoad, StatesThenProcessingThenTheBlockOnTheMainQueueInsideTheGroup) {
    auto manager = jsonManager();
    auto group = dispatch_group_create();
    manager->setCompletionGroup(group);
    for (const char* path : {"/echo", "/large"}) {
        SCOPED_TRACE(path);
        Trace trace;
        auto recorder = make<StateRecorder>(trace);
        bool post = std::string(path) == "/echo";
        auto operation = manager->HTTPRequestOperationWithHTTPMethodURLStringParametersSuccessFailure(
            post ? "POST"_ns : "GET"_ns, url(path),
            post ? id(NSDictionary::dictionaryWithEntries({{"n"_ns, box(1)}})) : id(),
            [&](HCHTTPRequestOperation* op, const id& object) {
                trace.add(std::string("success") + (NSThread::isMainThread() ? " main" : "") +
                          (op->isFinished() ? " finished" : "") + (object ? " object" : ""));
            },
            [&](HCHTTPRequestOperation*, const Ref<NSError>& error) {
                trace.add("failure " + NSDescription(error)->str());
            });
        ASSERT_TRUE(operation);
        operation->addObserverForKeyPathOptionsContext(recorder.get(), "isExecuting"_ns, 0, nullptr);
        operation->addObserverForKeyPathOptionsContext(recorder.get(), "isFinished"_ns, 0, nullptr);
        manager->operationQueue()->addOperation(operation);
        ASSERT_TRUE(runMainLoopUntil([&] { return trace.get().size() >= 4; }));
        // Nothing more arrives: exactly one block ran.
        drainMainLoop(0.05);
        EXPECT_EQ(trace.get(), (std::vector<std::string>{"isExecuting=YES", "isExecuting=NO", "isFinished=YES",
                                                         "success main finished object"}));
        EXPECT_EQ(dispatch_group_wait(group, dispatch_time(DISPATCH_TIME_NOW, 10 * NSEC_PER_SEC)), 0);
        operation->removeObserverForKeyPath(recorder.get(), "isExecuting"_ns);
        operation->removeObserverForKeyPath(recorder.get(), "isFinished"_ns);
    }
}

TEST_F(OperationRoad, AnAppsSerializerRunsOnTheProcessingQueueAndMayWaitForAnotherLoad) {
    // Were this serializer run on the network thread, the second load could never finish while it
    // waits: it must run on a worker of the processing queue.
    auto manager = jsonManager();
    auto waiting = make<WaitingSerializer>();
    auto other = jsonManager();
    std::mutex mutex;
    std::condition_variable changed;
    bool otherDone = false;
    std::atomic<bool> waitedInVain{false};
    waiting->beforeAnswering = [&] {
        other->POSTParametersSuccessFailure(
            url("/echo"), NSDictionary::dictionaryWithEntries({{"other"_ns, box(2)}}),
            [&](HCHTTPRequestOperation*, const id&) {
                std::lock_guard lock(mutex);
                otherDone = true;
                changed.notify_all();
            },
            nullptr);
        std::unique_lock lock(mutex);
        waitedInVain = !changed.wait_for(lock, std::chrono::seconds(10), [&] { return otherDone; });
    };
    manager->setResponseSerializer(waiting);
    int successes = 0;
    manager->POSTParametersSuccessFailure(
        url("/echo"), NSDictionary::dictionaryWithEntries({{"first"_ns, box(1)}}),
        [&](HCHTTPRequestOperation*, const id& object) { successes += object ? 1 : 0; }, nullptr);
    ASSERT_TRUE(runMainLoopUntil([&] { return successes == 1; }, 20));
    EXPECT_FALSE(waitedInVain.load());
    EXPECT_FALSE(waiting->ranOnNetworkThread.load());
    EXPECT_TRUE(waiting->ranOnProcessingQueue.load());
}

TEST_F(OperationRoad, CancellingAtAnyPointReportsOnceAndEmptiesTheGroup) {
    auto manager = jsonManager();
    auto group = dispatch_group_create();
    manager->setCompletionGroup(group);
    constexpr int kRequests = 120;
    std::vector<int> reports(kRequests, 0);
    int successes = 0, cancelled = 0, other = 0;
    std::vector<Ref<HCHTTPRequestOperation>> operations;
    for (int i = 0; i < kRequests; ++i) {
        auto operation = manager->POSTParametersSuccessFailure(
            url("/echo"), NSDictionary::dictionaryWithEntries({{"i"_ns, box(i)}}),
            [&, i](HCHTTPRequestOperation*, const id&) {
                ++reports[i];
                ++successes;
            },
            [&, i](HCHTTPRequestOperation*, const Ref<NSError>& error) {
                ++reports[i];
                (error->code() == NSURLErrorCancelled ? cancelled : other)++;
            });
        ASSERT_TRUE(operation);
        operations.push_back(operation);
        // Cancelled at once, from a worker while it starts, or later from the main thread.
        if (i % 3 == 0) {
            operation->cancel();
        } else if (i % 3 == 1) {
            dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                           [operation] { operation->cancel(); });
        }
        if (i % 10 == 9) {
            runMainLoopUntil([] { return false; }, 0.001);
            operations[i - 4]->cancel();
        }
    }
    ASSERT_TRUE(runMainLoopUntil([&] { return successes + cancelled + other == kRequests; }, 60));
    drainMainLoop(0.05);
    EXPECT_EQ(other, 0);
    EXPECT_GE(cancelled, kRequests / 3);
    for (int i = 0; i < kRequests; ++i) {
        EXPECT_EQ(reports[i], 1) << "request " << i;
        EXPECT_TRUE(operations[i]->isFinished()) << "request " << i;
    }
    EXPECT_EQ(dispatch_group_wait(group, dispatch_time(DISPATCH_TIME_NOW, 10 * NSEC_PER_SEC)), 0);
    EXPECT_EQ(manager->operationQueue()->operationCount(), 0u);
}

TEST_F(OperationRoad, ManyAtOnceThenManyInARowAllArriveIntact) {
    auto manager = jsonManager();
    int successes = 0, failures = 0;
    for (int i = 0; i < 60; ++i) {
        bool large = i % 4 == 0;
        auto check = [&, i, large](HCHTTPRequestOperation*, const id& object) {
            auto dictionary = cast<NSDictionary>(object);
            bool intact = dictionary && (large ? cast<NSString>(dictionary->objectForKey("pad"_ns))->length() == 40000
                                               : unbox<int>(dictionary->objectForKey("i"_ns)) == i);
            ++(intact ? successes : failures);
        };
        if (large) {
            manager->GETParametersSuccessFailure(url("/large"), nullptr, check,
                                                 [&](HCHTTPRequestOperation*, const Ref<NSError>&) { ++failures; });
        } else {
            manager->POSTParametersSuccessFailure(url("/echo"), NSDictionary::dictionaryWithEntries({{"i"_ns, box(i)}}),
                                                  check,
                                                  [&](HCHTTPRequestOperation*, const Ref<NSError>&) { ++failures; });
        }
    }
    ASSERT_TRUE(runMainLoopUntil([&] { return successes + failures == 60; }, 60));
    EXPECT_EQ(failures, 0);

    // One after the other, each sent once the previous one has been delivered: every hand-over
    // to a sleeping thread must wake it (a lost wake-up would stall each request for a second).
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 200; ++i) {
        bool done = false;
        int value = -1;
        manager->POSTParametersSuccessFailure(
            url("/echo"), NSDictionary::dictionaryWithEntries({{"i"_ns, box(i)}}),
            [&](HCHTTPRequestOperation*, const id& object) {
                value = unbox<int>(cast<NSDictionary>(object)->objectForKey("i"_ns));
                done = true;
            },
            [&](HCHTTPRequestOperation*, const Ref<NSError>&) { done = true; });
        ASSERT_TRUE(runMainLoopUntil([&] { return done; }, 10)) << "request " << i;
        ASSERT_EQ(value, i);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}
