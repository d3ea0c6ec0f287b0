// Internal: one HTTP(S) load on libcurl's multi interface. Every transfer of the process runs on
// one network thread, which waits in curl_multi_poll and is woken for new work.
//
// A transfer reports to its client on the network thread; the client (a connection or a session
// task) moves the events to its delegate's run loop or queue. Where the load needs a decision (a
// redirect, credentials, trust in the server) the transfer asks the client and waits for the
// answer without holding the network thread: a server-trust question that is not answered inside
// the handshake parks the transfer (no connection) until the answer comes, and a body stream that
// may block is read by a thread of the transfer's own.
#pragma once

#include <Foundation/NSError.h>
#include <Network/NSHTTPURLResponse.h>
#include <Network/NSInputStream.h>
#include <Network/NSURLAuthenticationChallenge.h>
#include <Network/NSURLRequest.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class NSRunLoop;
class NSThread;
class SecTrust;

namespace ns_net {

class Transfer;

// What a transfer tells its client, on the network thread.
class TransferClient {
public:
    virtual ~TransferClient() = default;
    // The final response (not a redirect that is followed, not a challenge that is answered).
    virtual void transferReceivedResponse(Transfer& transfer, const Ref<NSHTTPURLResponse>& response) = 0;
    virtual void transferReceivedData(Transfer& transfer, const uint8_t* bytes, size_t length) = 0;
    // Upload progress: bytes of this step, total sent, total expected (-1 when unknown).
    virtual void transferSentBodyData(Transfer& transfer, int64_t bytes, int64_t total, int64_t expected) = 0;
    // The end: nil on success, else the error. Nothing follows.
    virtual void transferCompleted(Transfer& transfer, const Ref<NSError>& error) = 0;
    // Answer with Transfer::followRedirect.
    virtual void transferWillRedirect(Transfer& transfer, const Ref<NSURLRequest>& request,
                                      const Ref<NSHTTPURLResponse>& response) = 0;
    // Answer with Transfer::answerChallenge: a server asks for credentials, or (server trust) the
    // client must decide whether to trust the server.
    // `proposedCredential` is the stored default credential for the space (when storage is used).
    virtual void transferReceivedChallenge(Transfer& transfer, const Ref<NSURLProtectionSpace>& space,
                                           const Ref<NSURLCredential>& proposedCredential,
                                           NSInteger previousFailureCount,
                                           const Ref<NSURLResponse>& failureResponse) = 0;
    // A redirect or an authentication retry must send the body stream again. Answer with
    // Transfer::provideBodyStream (nil fails the load).
    virtual void transferNeedsNewBodyStream(Transfer& transfer) = 0;
    // YES for a client that answers a server-trust challenge before transferReceivedChallenge
    // returns (one that reports on the network thread itself): the handshake then goes on at once.
    // Any other client's answer is applied to a new handshake once it comes.
    virtual bool answersTrustInline() const { return false; }
};

enum class ChallengeAnswer { UseCredential, ContinueWithoutCredential, Cancel, PerformDefaultHandling, Reject };

struct TransferOptions {
    // The error code that a cancelled challenge ends the load with.
    NSInteger cancelledChallengeCode = NSURLErrorUserCancelledAuthentication;
    // Remember credentials that worked in the shared credential storage; offer stored ones.
    bool useCredentialStorage = true;
    // Headers added to every request that does not set them (a session's additional headers).
    std::vector<std::pair<std::string, std::string>> additionalHeaders;
    // A time-out that replaces the request's own, when above 0.
    double timeoutInterval = 0;
};

class Transfer : public std::enable_shared_from_this<Transfer> {
public:
    Transfer(Ref<NSURLRequest> request, std::shared_ptr<TransferClient> client, TransferOptions options = {});
    ~Transfer();

    // Thread-safe. Each returns at once; the work happens on the network thread.
    void start();
    // Stops for good: no client callback follows once the network thread has seen it.
    void cancel();
    void suspend();
    void resume();
    // nil: the redirect response itself becomes the final response.
    void followRedirect(const Ref<NSURLRequest>& request);
    void answerChallenge(ChallengeAnswer answer, const Ref<NSURLCredential>& credential);
    void provideBodyStream(const Ref<NSInputStream>& stream);

    Ref<NSURLRequest> originalRequest() const;
    Ref<NSURLRequest> currentRequest() const;
    bool isCancelled() const noexcept { return cancelled_.load(); }

    struct State;

private:
    friend class Engine;
    std::unique_ptr<State> state_;
    std::atomic<bool> cancelled_{false};
};

// Network work of the process that has not ended: transfers that have started and whose end has not
// yet been handed to their client (a cancelled one counts until the network thread has seen the
// cancel), and blocks posted to the network thread that have not run yet. A host that drives virtual
// time reads it to hold the clock while a reply is on its way over the real network.
size_t transfersInFlight();
// Blocks the calling thread (on the wall clock, whatever the platform clock) until no transfer is
// in flight or `seconds` have passed; answers whether none is. Not a platform wait: a host calls it
// between turns of its run loop, never from inside the app.
bool waitForTransfersToEnd(double seconds);

// The network thread. Every transfer runs on it; blocks posted with performOnNetworkThread run on it
// between rounds of transfer work, promptly.
Ref<NSThread> networkThread();
// The run loop object of the network thread (a connection scheduled in it reports inline).
Ref<NSRunLoop> networkRunLoop();
bool isNetworkThread();
// On the network thread: no transfer running or held and nothing posted or queued to run on it
// besides the caller. Elsewhere false.
bool networkThreadIsIdle();
void performOnNetworkThread(std::function<void()> block);
// On the network thread: runs the block after the current round of transfer work (never inside a
// curl callback). From another thread: as performOnNetworkThread.
void deliverOnNetworkThread(std::function<void()> block);

// The network thread's curl error, turned into the platform's URL error.
Ref<NSError> urlError(NSInteger code, const Ref<NSURL>& url, const Ref<NSDictionary>& extraUserInfo = nullptr);

} // namespace ns_net
