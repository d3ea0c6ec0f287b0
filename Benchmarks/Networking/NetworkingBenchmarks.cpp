// Sequential JSON POSTs over loopback: through the HTTP operation manager (request and response
// serializers, the operation queue, the network-request thread, delivery on the main queue) and,
// in the same run against the same server, through plain libcurl easy calls on one handle, the
// physical limit of this machine. Also 100 concurrent requests, which must all complete.
#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Networking/HCHTTPRequestOperationManager.h>
#include <Networking/HCJSONRequestSerializer.h>
#include <Networking/HCJSONResponseSerializer.h>

#include <Dispatch/Dispatch.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSURL.h>
#include <Network/URLTransfer.h>

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

const int kRequests = std::getenv("DX_BENCH_REQUESTS") ? std::atoi(std::getenv("DX_BENCH_REQUESTS")) : 10000;
const char* kBody = "{\"session\":\"S-1\",\"step\":7,\"result\":\"pass\"}";

LoopbackServer& echoServer() {
    static LoopbackServer* server = [] {
        auto* s = new LoopbackServer();
        s->server().Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.body, "application/json");
        });
        s->start();
        return s;
    }();
    return *server;
}

size_t discard(char*, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(size * count, ' ');
    return size * count;
}

double plainCurlRate(const std::string& url) {
    CURL* easy = curl_easy_init();
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
    headers = curl_slist_append(headers, "Expect:");
    std::string reply;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, kBody);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discard);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    auto start = std::chrono::steady_clock::now();
    int ok = 0;
    for (int i = 0; i < kRequests; ++i) {
        reply.clear();
        if (curl_easy_perform(easy) == CURLE_OK) {
            ++ok;
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    curl_slist_free_all(headers);
    curl_easy_cleanup(easy);
    return ok == kRequests ? kRequests / seconds : 0;
}

double managerRate(const std::string& url) {
    auto manager = HCHTTPRequestOperationManager::manager();
    auto serializer = HCJSONRequestSerializer::serializer();
    serializer->setTimeoutInterval(15);
    manager->setRequestSerializer(serializer);
    manager->setResponseSerializer(HCJSONResponseSerializer::serializer());
    auto parameters =
        NSDictionary::dictionaryWithEntries({{"session"_ns, "S-1"_ns}, {"step"_ns, box(7)}, {"result"_ns, "pass"_ns}});
    auto target = NSString::from(url);
    int ok = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRequests; ++i) {
        bool done = false;
        manager->POSTParametersSuccessFailure(
            target, parameters,
            [&](HCHTTPRequestOperation*, const id& object) {
                ok += object ? 1 : 0;
                done = true;
            },
            [&](HCHTTPRequestOperation*, const Ref<NSError>&) { done = true; });
        runMainLoopUntil([&] { return done; }, 30);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ok == kRequests ? kRequests / seconds : 0;
}

void SequentialJSONPosts(benchmark::State& state) {
    auto url = echoServer().url("/echo");
    for (auto _ : state) {
        double curlRate = std::getenv("DX_BENCH_SKIP_CURL") ? 0 : plainCurlRate(url);
        double libraryRate = std::getenv("DX_BENCH_SKIP_MANAGER") ? 0 : managerRate(url);
        state.counters["plain_libcurl_req_per_s"] = curlRate;
        state.counters["manager_req_per_s"] = libraryRate;
        state.counters["manager_over_libcurl"] = curlRate > 0 ? libraryRate / curlRate : 0;
    }
}
BENCHMARK(SequentialJSONPosts)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The cost of the thread hand-overs the request road is made of: one round trip main queue ->
// global queue -> main queue (two hand-overs), for comparison with the per-request overhead.
void MainGlobalMainRoundTrip(benchmark::State& state) {
    for (auto _ : state) {
        bool done = false;
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                       [&done] { dispatch_async(dispatch_get_main_queue(), [&done] { done = true; }); });
        runMainLoopUntil([&] { return done; }, 10);
    }
}
BENCHMARK(MainGlobalMainRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The floor under the manager's rate on this machine: the same POST through the network thread's
// transfer engine alone, with no serializer, operation or queue, its end handed to the main queue.
// Two thread hand-overs (main -> network thread -> main) and nothing else.
struct BareClient : ns_net::TransferClient {
    explicit BareClient(bool* done) : done_(done) {}
    void transferReceivedResponse(ns_net::Transfer&, const Ref<NSHTTPURLResponse>&) override {}
    void transferReceivedData(ns_net::Transfer&, const uint8_t*, size_t) override {}
    void transferSentBodyData(ns_net::Transfer&, int64_t, int64_t, int64_t) override {}
    void transferCompleted(ns_net::Transfer&, const Ref<NSError>&) override {
        bool* done = done_;
        dispatch_async(dispatch_get_main_queue(), [done] { *done = true; });
    }
    void transferWillRedirect(ns_net::Transfer&, const Ref<NSURLRequest>&, const Ref<NSHTTPURLResponse>&) override {}
    void transferReceivedChallenge(ns_net::Transfer&, const Ref<NSURLProtectionSpace>&, const Ref<NSURLCredential>&,
                                   NSInteger, const Ref<NSURLResponse>&) override {}
    void transferNeedsNewBodyStream(ns_net::Transfer&) override {}

private:
    bool* done_;
};

void BareTransferPost(benchmark::State& state) {
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(NSString::from(echoServer().url("/echo"))));
    request->setHTTPMethod("POST"_ns);
    request->setHTTPBody(NSData::dataWithBytesLength(kBody, std::strlen(kBody)));
    request->setValueForHTTPHeaderField("application/json"_ns, "Content-Type"_ns);
    for (auto _ : state) {
        bool done = false;
        auto transfer = std::make_shared<ns_net::Transfer>(request, std::make_shared<BareClient>(&done));
        transfer->start();
        runMainLoopUntil([&] { return done; }, 10);
    }
}
BENCHMARK(BareTransferPost)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One round trip main queue -> network thread -> main queue. The network thread sleeps on its own
// processor, so both hand-overs wake an idle processor, unlike the worker pool's.
void MainNetworkMainRoundTrip(benchmark::State& state) {
    for (auto _ : state) {
        bool done = false;
        ns_net::performOnNetworkThread(
            [&done] { dispatch_async(dispatch_get_main_queue(), [&done] { done = true; }); });
        runMainLoopUntil([&] { return done; }, 10);
    }
}
BENCHMARK(MainNetworkMainRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

void HundredConcurrentPosts(benchmark::State& state) {
    auto target = NSString::from(echoServer().url("/echo"));
    auto manager = HCHTTPRequestOperationManager::manager();
    manager->setRequestSerializer(HCJSONRequestSerializer::serializer());
    auto parameters = NSDictionary::dictionaryWithEntries({{"session"_ns, "S-1"_ns}});
    int completed = 0;
    for (auto _ : state) {
        int succeeded = 0, finished = 0;
        for (int i = 0; i < 100; ++i) {
            manager->POSTParametersSuccessFailure(
                target, parameters,
                [&](HCHTTPRequestOperation*, const id&) {
                    ++succeeded;
                    ++finished;
                },
                [&](HCHTTPRequestOperation*, const Ref<NSError>&) { ++finished; });
        }
        runMainLoopUntil([&] { return finished == 100; }, 60);
        completed += succeeded;
        if (succeeded != 100) {
            state.SkipWithError("not every concurrent request succeeded");
        }
    }
    state.counters["completed"] = completed;
}
BENCHMARK(HundredConcurrentPosts)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
