#include <Network/URLTransfer.h>

#include <Dispatch/Clock.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSThread.h>
#include <Network/NSURLCredentialStorage.h>
#include <Network/SpinBeforeSleep.h>
#include <Security/SecTrust.h>

#include <curl/curl.h>
#include <openssl/crypto.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <pthread.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <thread>
#include <typeinfo>
#include <unistd.h>
#include <unordered_map>

namespace ns_net {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaximumRedirects = 16;
constexpr size_t kPooledHandles = 32;
constexpr long kConnectionsPerHost = 6;
// Server-trust questions one load may ask before it gives up (each answer is applied to the next
// handshake that shows the same chain).
constexpr int kMaximumTrustQuestions = 3;

std::string derOf(X509* certificate) {
    unsigned char* out = nullptr;
    int length = i2d_X509(certificate, &out);
    std::string der = length > 0 ? std::string(reinterpret_cast<char*>(out), static_cast<size_t>(length)) : "";
    OPENSSL_free(out);
    return der;
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::string trim(std::string_view s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r' || s[a] == '\n')) {
        ++a;
    }
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r' || s[b - 1] == '\n')) {
        --b;
    }
    return std::string(s.substr(a, b - a));
}

bool isHTTPScheme(const Ref<NSURL>& url) {
    if (!url || !url->scheme()) {
        return false;
    }
    auto scheme = url->scheme()->lowercaseString();
    return (scheme->isEqualToString("http"_ns) || scheme->isEqualToString("https"_ns)) && url->host() &&
           url->host()->length() > 0;
}

bool isSecure(const Ref<NSURL>& url) {
    return url && url->scheme() && url->scheme()->lowercaseString()->isEqualToString("https"_ns);
}

// Header fields that carry credentials: never sent to an origin other than the load's first one,
// whatever put them on the request.
bool isCredentialField(const std::string& name) {
    return strcasecmp(name.c_str(), "Authorization") == 0 || strcasecmp(name.c_str(), "Proxy-Authorization") == 0 ||
           strcasecmp(name.c_str(), "Cookie") == 0;
}

NSInteger effectivePort(const Ref<NSURL>& url) {
    if (auto port = url->port()) {
        return port->integerValue();
    }
    return url->scheme()->lowercaseString()->isEqualToString("https"_ns) ? 443 : 80;
}

bool sameOrigin(const Ref<NSURL>& a, const Ref<NSURL>& b) {
    return a->scheme()->lowercaseString()->isEqualToString(b->scheme()->lowercaseString()) &&
           a->host()->caseInsensitiveCompare(b->host()) == NSOrderedSame && effectivePort(a) == effectivePort(b);
}

const char* descriptionForCode(NSInteger code) {
    switch (code) {
    case NSURLErrorCancelled:
        return "cancelled";
    case NSURLErrorBadURL:
        return "bad URL";
    case NSURLErrorTimedOut:
        return "The request timed out.";
    case NSURLErrorUnsupportedURL:
        return "unsupported URL";
    case NSURLErrorCannotFindHost:
        return "A server with the specified hostname could not be found.";
    case NSURLErrorCannotConnectToHost:
        return "Could not connect to the server.";
    case NSURLErrorNetworkConnectionLost:
        return "The network connection was lost.";
    case NSURLErrorHTTPTooManyRedirects:
        return "too many HTTP redirects";
    case NSURLErrorBadServerResponse:
        return "bad server response";
    case NSURLErrorUserCancelledAuthentication:
        return "cancelled authentication";
    case NSURLErrorCannotDecodeRawData:
        return "cannot decode raw data";
    case NSURLErrorCannotParseResponse:
        return "cannot parse response";
    case NSURLErrorRequestBodyStreamExhausted:
        return "The request's body stream does not have its declared length.";
    case NSURLErrorAppTransportSecurityRequiresSecureConnection:
        return "The resource could not be loaded because a redirect leaves a secure connection for an insecure one.";
    case NSURLErrorDataLengthExceedsMaximum:
        return "The server's reply is larger than allowed.";
    case NSURLErrorUserAuthenticationRequired:
        return "Authentication is required.";
    case NSURLErrorClientCertificateRequired:
        return "The server requires a client certificate.";
    case NSURLErrorSecureConnectionFailed:
        return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case NSURLErrorServerCertificateHasBadDate:
        return "The certificate for this server has expired.";
    case NSURLErrorServerCertificateUntrusted:
        return "The certificate for this server is invalid.";
    case NSURLErrorServerCertificateHasUnknownRoot:
        return "The certificate for this server was signed by an unknown certifying authority.";
    case NSURLErrorServerCertificateNotYetValid:
        return "The certificate for this server is not yet valid.";
    default:
        return "unknown error";
    }
}

NSInteger codeForTrustFailure(SecTrustFailure failure) {
    switch (failure) {
    case SecTrustFailure::Expired:
        return NSURLErrorServerCertificateHasBadDate;
    case SecTrustFailure::NotYetValid:
        return NSURLErrorServerCertificateNotYetValid;
    case SecTrustFailure::UnknownRoot:
        return NSURLErrorServerCertificateHasUnknownRoot;
    default:
        return NSURLErrorServerCertificateUntrusted;
    }
}

NSInteger codeForCurl(CURLcode code) {
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return NSURLErrorTimedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
        return NSURLErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT:
        return NSURLErrorCannotConnectToHost;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return NSURLErrorUnsupportedURL;
    case CURLE_URL_MALFORMAT:
        return NSURLErrorBadURL;
    case CURLE_TOO_MANY_REDIRECTS:
        return NSURLErrorHTTPTooManyRedirects;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return NSURLErrorServerCertificateUntrusted;
    case CURLE_COULDNT_RESOLVE_PROXY:
        return NSURLErrorCannotFindHost;
    case CURLE_PROXY:
        return NSURLErrorCannotConnectToHost;
    case CURLE_FILESIZE_EXCEEDED:
    case CURLE_OUT_OF_MEMORY: // what this curl reports for a header line beyond its limit
        return NSURLErrorDataLengthExceedsMaximum;
    case CURLE_LOGIN_DENIED:
        return NSURLErrorUserAuthenticationRequired;
    case CURLE_SSL_CLIENTCERT:
        return NSURLErrorClientCertificateRequired;
    case CURLE_ABORTED_BY_CALLBACK:
        return NSURLErrorCancelled;
    case CURLE_READ_ERROR:
        return NSURLErrorRequestBodyStreamExhausted;
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return NSURLErrorNetworkConnectionLost;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        return NSURLErrorSecureConnectionFailed;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return NSURLErrorNetworkConnectionLost;
    case CURLE_WEIRD_SERVER_REPLY:
        return NSURLErrorCannotParseResponse;
    case CURLE_BAD_CONTENT_ENCODING:
        return NSURLErrorCannotDecodeRawData;
    default:
        return NSURLErrorUnknown;
    }
}

// A body stream that yields more or fewer bytes than the request's Content-Length.
Ref<NSError> bodyLengthError(const Ref<NSURL>& url, int64_t declared, bool longer) {
    std::string text = std::string("The request's body stream ") +
                       (longer ? "yields more bytes than" : "ended before") +
                       " its declared length (Content-Length: " + std::to_string(declared) + ").";
    return urlError(NSURLErrorRequestBodyStreamExhausted, url,
                    NSDictionary::dictionaryWithEntries({{NSLocalizedDescriptionKey(), NSString::from(text)}}));
}

struct Challenge {
    Ref<NSString> method;
    Ref<NSString> realm;
    long curlAuth = 0;
};

// The first scheme of "WWW-Authenticate" that can be answered with a user name and password.
bool parseChallenge(const Ref<NSString>& header, Challenge& out) {
    if (!header) {
        return false;
    }
    std::string text = header->str();
    std::string lowered = text;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    size_t at = std::string::npos;
    if ((at = lowered.find("digest")) != std::string::npos) {
        out.method = NSURLAuthenticationMethodHTTPDigest();
        out.curlAuth = CURLAUTH_DIGEST;
    } else if ((at = lowered.find("basic")) != std::string::npos) {
        out.method = NSURLAuthenticationMethodHTTPBasic();
        out.curlAuth = CURLAUTH_BASIC;
    } else {
        return false;
    }
    size_t realm = lowered.find("realm=", at);
    if (realm != std::string::npos) {
        std::string value = text.substr(realm + 6);
        if (!value.empty() && value.front() == '"') {
            value =
                value.substr(1, value.find('"', 1) == std::string::npos ? std::string::npos : value.find('"', 1) - 1);
        } else {
            value = value.substr(0, value.find(','));
        }
        out.realm = NSString::from(trim(value));
    }
    return true;
}

} // namespace

Ref<NSError> urlError(NSInteger code, const Ref<NSURL>& url, const Ref<NSDictionary>& extraUserInfo) {
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKey(NSString::from(descriptionForCode(code)), NSLocalizedDescriptionKey());
    if (url) {
        info->setObjectForKey(url, NSURLErrorFailingURLErrorKey());
        info->setObjectForKey(url->absoluteString(), NSURLErrorFailingURLStringErrorKey());
    }
    if (extraUserInfo) {
        info->addEntriesFromDictionary(extraUserInfo);
    }
    return make<NSError>(NSURLErrorDomain(), code, info);
}

// Reads a body stream that may block (any stream that is not one of the platform's own memory,
// file or bound streams) on a thread of its own into a bounded buffer, so that the network thread
// never waits for it: the upload pauses while the buffer is empty and goes on when bytes come.
struct BodyPump : std::enable_shared_from_this<BodyPump> {
    static constexpr size_t kCapacity = 64 * 1024;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<uint8_t> bytes;
    bool ended = false;
    bool stopped = false;
    Ref<NSError> error;
    std::function<void()> onBytes; // called on the pump's thread after bytes, the end or an error
    Ref<NSInputStream> stream;

    void start() {
        auto self = shared_from_this();
        std::thread([self] { self->run(); }).detach();
    }

    void run() {
        if (stream->streamStatus() == NSStreamStatusNotOpen) {
            stream->open();
        }
        std::vector<uint8_t> chunk(16 * 1024);
        for (;;) {
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stopped || bytes.size() < kCapacity; });
                if (stopped) {
                    break;
                }
            }
            NSStreamStatus status = stream->streamStatus();
            NSInteger n = -1;
            if (status != NSStreamStatusError && status != NSStreamStatusAtEnd && status != NSStreamStatusClosed) {
                n = stream->readMaxLength(chunk.data(), chunk.size());
                status = stream->streamStatus();
            }
            bool done = false;
            std::function<void()> notify;
            {
                std::lock_guard lock(mutex);
                if (n > 0) {
                    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
                }
                if (status == NSStreamStatusError ||
                    (n < 0 && status != NSStreamStatusAtEnd && status != NSStreamStatusClosed)) {
                    error = stream->streamError();
                    if (!error) {
                        error = make<NSError>(NSPOSIXErrorDomain(), EIO);
                    }
                    done = true;
                } else if (n <= 0) {
                    ended = true;
                    done = true;
                }
                notify = onBytes;
            }
            if (notify) {
                notify();
            }
            if (done) {
                break;
            }
        }
        stream->close();
    }

    void stop() {
        std::lock_guard lock(mutex);
        stopped = true;
        onBytes = nullptr;
        changed.notify_all();
    }
};

// Transfers started and not yet ended, plus commands posted to the network thread and not yet run
// (see transfersInFlight), and who waits for them all to end. Never destroyed: the network thread
// is never joined, so it may end a load while the exiting process runs its static destructors.
struct NetworkWork {
    std::atomic<size_t> inFlight{0};
    std::mutex mutex;
    std::condition_variable ended;
};

static NetworkWork& networkWork() {
    static NetworkWork* work = new NetworkWork;
    return *work;
}

// A command for the network thread also holds the platform clock until it has run (see
// Engine::updateHold for the transfers themselves).
static void countNetworkWork(bool command) {
    if (command) {
        DispatchClock::beginOutsideWork();
    }
    auto& work = networkWork();
    std::lock_guard lock(work.mutex);
    work.inFlight.fetch_add(1);
}

static void networkWorkDone(bool command) {
    {
        auto& work = networkWork();
        std::lock_guard lock(work.mutex);
        if (work.inFlight.fetch_sub(1) == 1) {
            work.ended.notify_all();
        }
    }
    if (command) {
        DispatchClock::endOutsideWork();
    }
}

struct Transfer::State {
    mutable std::mutex mutex; // guards the requests, read from other threads
    // Counted in networkWork(): from start() until the end reached its client (or a cancel).
    std::atomic<bool> inFlight{false};
    void ended() {
        if (inFlight.exchange(false)) {
            networkWorkDone(false);
        }
    }
    Ref<NSURLRequest> original;
    Ref<NSURLRequest> current;
    std::shared_ptr<TransferClient> client;
    TransferOptions options;

    // Network thread only.
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    Ref<NSData> body;
    Ref<NSInputStream> bodyStream;
    bool streamCanWait = false;
    bool streamPaused = false;
    Ref<NSError> streamError;
    int64_t expectedToSend = -1;
    int64_t sent = 0;
    long status = 0;
    std::string version;
    std::vector<std::pair<std::string, std::string>> received;
    enum class Mode { Deliver, Redirect, Challenge } mode = Mode::Deliver;
    Ref<NSHTTPURLResponse> response;
    std::vector<uint8_t> held;
    Ref<NSURLRequest> redirectRequest;
    Ref<NSURLProtectionSpace> challengeSpace;
    long challengeAuth = 0;
    int redirects = 0;
    NSInteger failures = 0;
    Ref<NSURLCredential> credential;
    Ref<NSURLProtectionSpace> credentialSpace;
    long credentialAuth = 0;
    Clock::time_point deadline;
    bool timedOut = false;
    bool suspended = false;
    bool started = false;
    bool completed = false;
    bool awaiting = false; // waits for the client's answer (redirect, challenge, body stream)
    enum class Next { None, Redirect, Credential } afterBodyStream = Next::None;

    // The body as the network thread hands it to curl: bytes read from the stream and not yet
    // sent, how many were sent, and whether the stream has shown its end.
    std::shared_ptr<BodyPump> pump; // reads a stream that may block, off the network thread
    std::vector<uint8_t> staged;
    int64_t bodySent = 0;
    bool streamEnded = false;
    Ref<NSError> bodyFailure; // the body broke its declared length: the load's error

    // The server-trust question. A client that answers on another thread is asked while the
    // transfer has no connection: the handshake fails, the transfer is parked, and the answer is
    // applied to the next handshake that presents the same chain.
    std::mutex trustMutex;
    bool trustPending = false;  // a question is out (trustMutex)
    bool trustAnswered = false; // its answer came (trustMutex)
    ChallengeAnswer trustAnswer = ChallengeAnswer::PerformDefaultHandling;
    std::vector<std::string> trustChain; // DER of the chain the question was about
    bool trustParked = false;            // network thread: waits for the answer, no connection
    Ref<SecTrust> questionTrust;         // network thread: the trust the question showed
    int trustQuestions = 0;              // questions asked for this load
    NSInteger handshakeFailure = 0;
    Ref<SecTrust> failedTrust;

    double timeout() const {
        double t = options.timeoutInterval > 0 ? options.timeoutInterval : current->timeoutInterval();
        return t > 0 ? t : NSURLRequestDefaultTimeoutInterval;
    }
    void touch() {
        deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout()));
    }
};

// The network thread is never joined: it may be inside a TLS handshake while the process exits.
// OpenSSL would free its global state from an exit handler under it, so it is told not to; this
// runs while the program starts, before anything else can initialise OpenSSL with the handler.
[[maybe_unused]] const bool gOpenSSLOutlivesExit = OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 1;

// The network thread and its curl multi handle.
class Engine {
public:
    static Engine& shared() {
        static Engine* engine = new Engine();
        return *engine;
    }

    void post(std::function<void()> command) {
        // Counted until it has run: a load about to start is already on its way.
        countNetworkWork(true);
        {
            std::lock_guard lock(mutex_);
            commands_.push_back(std::move(command));
        }
        // The network thread looks at its commands again before it next waits.
        if (!onThread()) {
            wake();
        }
    }

    // Deliveries queued on the network thread run after the current round of work.
    void deliver(std::function<void()> block) {
        if (std::this_thread::get_id() == threadID_) {
            countNetworkWork(true); // until it has run: the end of a load is handed on through it
            deliveries_.push_back(std::move(block));
        } else {
            post(std::move(block));
        }
    }
    bool onThread() const { return std::this_thread::get_id() == threadID_; }
    bool idle() {
        if (!onThread() || laterInBatch_ != 0 || !running_.empty() || !parked_.empty() || !deliveries_.empty()) {
            return false;
        }
        std::lock_guard lock(mutex_);
        return commands_.empty();
    }
    const Ref<NSThread>& thread() const { return thread_; }
    const Ref<NSRunLoop>& runLoop() const { return runLoop_; }

    void begin(const std::shared_ptr<Transfer>& transfer);
    void cancel(const std::shared_ptr<Transfer>& transfer);
    void suspend(const std::shared_ptr<Transfer>& transfer, bool suspend);
    void followRedirect(const std::shared_ptr<Transfer>& transfer, const Ref<NSURLRequest>& request);
    void answerChallenge(const std::shared_ptr<Transfer>& transfer, ChallengeAnswer answer,
                         const Ref<NSURLCredential>& credential);
    void provideBodyStream(const std::shared_ptr<Transfer>& transfer, const Ref<NSInputStream>& stream);
    void resumeAfterTrust(const std::shared_ptr<Transfer>& transfer);

private:
    Engine() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        multi_ = curl_multi_init();
        wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        // At most six connections to one host at a time, as the platform does; further loads wait
        // for one of them (a burst of requests never floods a server's listen queue).
        curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, kConnectionsPerHost);
        std::promise<void> ready;
        auto started = ready.get_future();
        std::thread([this, &ready] {
            threadID_ = std::this_thread::get_id();
            thread_ = NSThread::currentThread();
            thread_->setName("com.celvix.network"_ns);
            runLoop_ = NSRunLoop::currentRunLoop();
            ready.set_value();
            run();
        }).detach();
        started.wait();
    }
    void runDeliveries();
    // Holds the platform clock while a transfer can go on without its client (it waits for the
    // server, not for an answer, a body or a resume): on virtual time the app then meets the reply
    // at the instant it asked, however long it took in real time, as it meets a queue's block.
    // Called after every change of the running transfers, before the command or delivery that made
    // it lets go of the clock.
    void updateHold();

    void run();
    bool launch(const std::shared_ptr<Transfer>& transfer);
    void finished(CURL* easy, CURLcode code);
    // Lets go of the connection; `keepBody` keeps the body's reader for the next connection.
    void release(Transfer::State& s, bool keepBody = false);
    void complete(Transfer& transfer, const Ref<NSError>& error);
    void deliverHeld(Transfer& transfer);
    void restart(const std::shared_ptr<Transfer>& transfer);
    void enforceDeadlines();

    static size_t onHeader(char* data, size_t size, size_t count, void* user);
    static size_t onData(char* data, size_t size, size_t count, void* user);
    static size_t onRead(char* data, size_t size, size_t count, void* user);
    static bool fillBody(Transfer::State& s, size_t want);
    static int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded);
    static CURLcode onSSLContext(CURL*, void* context, void* user);
    static int onVerify(X509_STORE_CTX* ctx, void* user);
    static void headersComplete(Transfer& transfer);

    // An eventfd rather than curl's own wake-up: a hand-over to the network thread is a single
    // counter write, not a message through a socket pair.
    void wake() {
        uint64_t one = 1;
        if (wakeFd_ < 0 || write(wakeFd_, &one, sizeof one) < 0) {
            curl_multi_wakeup(multi_); // no eventfd to be had: curl's own socket pair still works
        }
    }

    CURLM* multi_;
    int wakeFd_ = -1;
    SpinBeforeSleep spin_;
    std::thread::id threadID_;
    Ref<NSThread> thread_;
    Ref<NSRunLoop> runLoop_;
    std::vector<std::function<void()>> deliveries_;
    size_t laterInBatch_ = 0;   // commands taken with the one running, still to run
    bool holdingClock_ = false; // see updateHold
    std::mutex mutex_;
    std::vector<std::function<void()>> commands_;
    std::unordered_map<CURL*, std::shared_ptr<Transfer>> running_;
    // Transfers without a connection that wait for a server-trust answer (until their deadline).
    std::unordered_map<Transfer*, std::shared_ptr<Transfer>> parked_;
    std::vector<CURL*> pool_;
};

void Engine::updateHold() {
    bool busy = std::any_of(running_.begin(), running_.end(), [](const auto& entry) {
        const auto& s = *entry.second->state_;
        return !s.suspended && !s.streamPaused;
    });
    if (busy != holdingClock_) {
        holdingClock_ = busy;
        if (busy) {
            DispatchClock::beginOutsideWork();
        } else {
            DispatchClock::endOutsideWork();
        }
    }
}

void Engine::runDeliveries() {
    while (!deliveries_.empty()) {
        std::vector<std::function<void()>> now;
        now.swap(deliveries_);
        for (auto& delivery : now) {
            delivery();
            updateHold();
            networkWorkDone(true);
        }
    }
}

void Engine::run() {
    std::vector<std::function<void()>> batch;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            batch.swap(commands_);
        }
        for (size_t i = 0; i < batch.size(); ++i) {
            laterInBatch_ = batch.size() - i - 1;
            batch[i]();
            runDeliveries();
            updateHold();
            networkWorkDone(true);
        }
        laterInBatch_ = 0;
        batch.clear();
        int stillRunning = 0;
        curl_multi_perform(multi_, &stillRunning);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg == CURLMSG_DONE) {
                finished(message->easy_handle, message->data.result);
            }
        }
        enforceDeadlines();
        runDeliveries();
        updateHold();
        {
            std::lock_guard lock(mutex_);
            if (!commands_.empty()) {
                continue; // work posted during this round goes on without waiting
            }
        }
        long waitMs = -1;
        curl_multi_timeout(multi_, &waitMs);
        if (waitMs < 0 || waitMs > 1000) {
            waitMs = 1000;
        }
        auto now = Clock::now();
        for (const auto& [easy, transfer] : running_) {
            const auto& s = *transfer->state_;
            if (!s.suspended) {
                auto until = std::chrono::duration_cast<std::chrono::milliseconds>(s.deadline - now).count() + 1;
                waitMs = std::min<long>(waitMs, std::max<long>(until, 0));
            }
        }
        for (const auto& [key, transfer] : parked_) {
            auto until =
                std::chrono::duration_cast<std::chrono::milliseconds>(transfer->state_->deadline - now).count() + 1;
            waitMs = std::min<long>(waitMs, std::max<long>(until, 0));
        }
        curl_waitfd wakeFd{wakeFd_, CURL_WAIT_POLLIN, 0};
        // A look before sleeping needs the eventfd: curl's own wake-up is not counted among the
        // ready descriptors, and a look would swallow it.
        bool ready = wakeFd_ >= 0 && waitMs > 0 && spin_.lookBeforeSleeping([&] {
            int found = 0;
            curl_multi_poll(multi_, &wakeFd, 1, 0, &found);
            return found > 0;
        });
        if (!ready) {
            curl_multi_poll(multi_, wakeFd_ >= 0 ? &wakeFd : nullptr, wakeFd_ >= 0 ? 1 : 0, static_cast<int>(waitMs),
                            nullptr);
            spin_.woke();
        }
        if (wakeFd_ >= 0 && wakeFd.revents) {
            uint64_t count = 0;
            [[maybe_unused]] ssize_t n = read(wakeFd_, &count, sizeof count);
        }
    }
}

void Engine::enforceDeadlines() {
    auto now = Clock::now();
    std::vector<CURL*> expired;
    for (const auto& [easy, transfer] : running_) {
        const auto& s = *transfer->state_;
        if (!s.suspended && now >= s.deadline) {
            expired.push_back(easy);
        }
    }
    for (CURL* easy : expired) {
        running_.at(easy)->state_->timedOut = true;
        finished(easy, CURLE_OPERATION_TIMEDOUT);
    }
    std::vector<std::shared_ptr<Transfer>> unanswered;
    for (const auto& [key, transfer] : parked_) {
        if (now >= transfer->state_->deadline) {
            unanswered.push_back(transfer);
        }
    }
    for (const auto& transfer : unanswered) {
        parked_.erase(transfer.get());
        auto& s = *transfer->state_;
        s.trustParked = false;
        release(s);
        complete(*transfer, urlError(NSURLErrorTimedOut, transfer->currentRequest()->URL()));
    }
}

void Engine::begin(const std::shared_ptr<Transfer>& transfer) {
    auto& s = *transfer->state_;
    if (transfer->isCancelled() || s.started) {
        return;
    }
    s.started = true;
    Ref<NSURL> url = s.current->URL();
    if (!isHTTPScheme(url)) {
        complete(*transfer, urlError(NSURLErrorUnsupportedURL, url));
        return;
    }
    s.body = s.current->HTTPBody();
    s.bodyStream = s.current->HTTPBodyStream();
    if (!launch(transfer)) {
        complete(*transfer, urlError(NSURLErrorUnknown, url));
    }
}

bool Engine::launch(const std::shared_ptr<Transfer>& transfer) {
    auto& s = *transfer->state_;
    Ref<NSURLRequest> request;
    {
        std::lock_guard lock(s.mutex);
        request = s.current;
    }
    CURL* easy = nullptr;
    if (!pool_.empty()) {
        easy = pool_.back();
        pool_.pop_back();
    } else {
        easy = curl_easy_init();
    }
    if (!easy) {
        return false;
    }
    s.easy = easy;
    s.status = 0;
    s.version.clear();
    s.received.clear();
    s.mode = Transfer::State::Mode::Deliver;
    s.response = nullptr;
    s.held.clear();
    s.sent = 0;
    s.streamPaused = false;
    s.streamError = nullptr;
    s.staged.clear();
    s.bodySent = 0;
    s.streamEnded = false;
    s.bodyFailure = nullptr;
    s.handshakeFailure = 0;
    s.failedTrust = nullptr;
    s.trustParked = false;
    s.timedOut = false;

    Ref<NSURL> url = request->URL();
    std::string urlText = url->absoluteString()->str();
    bool secure = url->scheme()->lowercaseString()->isEqualToString("https"_ns);
    std::string method = upper(request->HTTPMethod() ? request->HTTPMethod()->str() : "GET");

    curl_easy_setopt(easy, CURLOPT_URL, urlText.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_PROXY, ""); // no proxy, whatever the environment says
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Engine::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Engine::onData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Engine::onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(s.timeout() * 1000.0) + 1);

    // Header fields: the request's own, then the additional ones it does not set. Content-Length
    // is curl's to write, from the body's size.
    curl_slist* headers = nullptr;
    std::string contentLength;
    bool hasContentType = false;
    auto addHeader = [&](const std::string& name, const std::string& value) {
        if (name.find_first_of("\r\n:") != std::string::npos || value.find_first_of("\r\n") != std::string::npos ||
            name.empty()) {
            return; // never let a field break the request's framing
        }
        if (strcasecmp(name.c_str(), "Content-Length") == 0) {
            contentLength = value;
            return;
        }
        if (s.credential && strcasecmp(name.c_str(), "Authorization") == 0) {
            return;
        }
        if (strcasecmp(name.c_str(), "Content-Type") == 0) {
            hasContentType = true;
        }
        std::string line = value.empty() ? name + ";" : name + ": " + value;
        headers = curl_slist_append(headers, line.c_str());
    };
    for (const auto& [name, value] : request->headerFields()) {
        addHeader(name, value);
    }
    bool foreignOrigin =
        s.original && s.original->URL() && isHTTPScheme(s.original->URL()) && !sameOrigin(s.original->URL(), url);
    for (const auto& [name, value] : s.options.additionalHeaders) {
        if (foreignOrigin && isCredentialField(name)) {
            continue; // the session's credentials belong to the origin the load began at
        }
        if (!request->valueForHTTPHeaderField(NSString::from(name))) {
            addHeader(name, value);
        }
    }

    bool hasBody = (s.body && s.body->length() > 0) || s.bodyStream;
    s.expectedToSend = -1;
    if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (method == "GET" && !hasBody) {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (hasBody || method == "POST") {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        if (s.bodyStream) {
            curl_off_t length = -1;
            if (!contentLength.empty() && std::all_of(contentLength.begin(), contentLength.end(),
                                                      [](unsigned char c) { return std::isdigit(c); })) {
                length = std::stoll(contentLength);
            }
            s.expectedToSend = length;
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, length);
            curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Engine::onRead);
            curl_easy_setopt(easy, CURLOPT_READDATA, transfer.get());
            std::weak_ptr<Transfer> weak = transfer;
            auto resumeUpload = [this, weak] {
                if (auto t = weak.lock()) {
                    post([t] {
                        auto& st = *t->state_;
                        if (st.streamPaused && st.easy && !st.suspended) {
                            st.streamPaused = false;
                            curl_easy_pause(st.easy, CURLPAUSE_CONT);
                        }
                    });
                }
            };
            if (const NSInputStream& body = *s.bodyStream; typeid(body) == typeid(NSInputStream)) {
                // The platform's own streams never block: memory and files always have their
                // bytes, and a bound pair's reader says when its writer has written.
                s.streamCanWait = s.bodyStream->setAvailabilityHandler(resumeUpload);
            } else if (s.pump && s.pump->stream == s.bodyStream) {
                s.streamCanWait = true; // kept while the transfer was parked: nothing was sent yet
                std::lock_guard lock(s.pump->mutex);
                s.pump->onBytes = resumeUpload;
            } else {
                s.streamCanWait = true;
                s.pump = std::make_shared<BodyPump>();
                s.pump->stream = s.bodyStream;
                s.pump->onBytes = resumeUpload;
                s.pump->start();
            }
        } else {
            auto length = static_cast<curl_off_t>(s.body ? s.body->length() : 0);
            s.expectedToSend = length;
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, length);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, s.body ? reinterpret_cast<const char*>(s.body->bytes()) : "");
        }
        if (method != "POST") {
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
        }
        if (!hasContentType) {
            headers = curl_slist_append(headers, "Content-Type:");
        }
    } else {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    headers = curl_slist_append(headers, "Expect:");
    s.headers = headers;
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);

    if (s.credential && s.credential->user()) {
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH,
                         s.credentialAuth ? s.credentialAuth : static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(easy, CURLOPT_USERNAME, s.credential->user()->UTF8String());
        curl_easy_setopt(easy, CURLOPT_PASSWORD,
                         s.credential->password() ? s.credential->password()->UTF8String() : "");
    }
    if (secure) {
        // Trust is decided by the client for every connection, so a TLS connection is never
        // shared with a later load, nor its session resumed without a fresh decision.
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &Engine::onSSLContext);
        curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, transfer.get());
        curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    }
    s.touch();
    if (curl_multi_add_handle(multi_, easy) != CURLM_OK) {
        release(s);
        return false;
    }
    running_[easy] = transfer;
    if (s.suspended) {
        curl_easy_pause(easy, CURLPAUSE_ALL);
    }
    return true;
}

void Engine::release(Transfer::State& s, bool keepBody) {
    if (s.easy) {
        curl_multi_remove_handle(multi_, s.easy);
        running_.erase(s.easy);
        curl_easy_reset(s.easy);
        if (pool_.size() < kPooledHandles) {
            pool_.push_back(s.easy);
        } else {
            curl_easy_cleanup(s.easy);
        }
        s.easy = nullptr;
    }
    if (s.headers) {
        curl_slist_free_all(s.headers);
        s.headers = nullptr;
    }
    if (keepBody) {
        return;
    }
    if (s.pump) {
        s.pump->stop();
        s.pump.reset();
    } else if (s.bodyStream) {
        s.bodyStream->setAvailabilityHandler(nullptr);
    }
}

void Engine::complete(Transfer& transfer, const Ref<NSError>& error) {
    auto& s = *transfer.state_;
    if (s.completed) {
        return;
    }
    s.completed = true;
    s.awaiting = false;
    auto client = std::move(s.client);
    if (client && !transfer.isCancelled()) {
        client->transferCompleted(transfer, error);
    }
    s.ended(); // after the client has handed the end on
}

void Engine::deliverHeld(Transfer& transfer) {
    auto& s = *transfer.state_;
    auto client = s.client;
    if (!client || transfer.isCancelled()) {
        return;
    }
    client->transferReceivedResponse(transfer, s.response);
    if (!s.held.empty()) {
        client->transferReceivedData(transfer, s.held.data(), s.held.size());
    }
    s.held.clear();
    complete(transfer, nullptr);
}

void Engine::finished(CURL* easy, CURLcode code) {
    auto found = running_.find(easy);
    if (found == running_.end()) {
        return;
    }
    std::shared_ptr<Transfer> transfer = found->second;
    auto& s = *transfer->state_;
    // curl calls the progress function at its own pace and need not call it again after the last
    // bytes went out: report what is left, so that the upload progress is whole before the end.
    curl_off_t uploaded = 0;
    if (code == CURLE_OK && !s.timedOut && !transfer->isCancelled() &&
        curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &uploaded) == CURLE_OK && uploaded > s.sent) {
        int64_t step = uploaded - s.sent;
        s.sent = uploaded;
        if (auto client = s.client) {
            client->transferSentBodyData(*transfer, step, uploaded, s.expectedToSend);
        }
    }
    if (s.trustParked && !transfer->isCancelled()) {
        release(s, true);
        bool answered;
        {
            std::lock_guard lock(s.trustMutex);
            answered = s.trustAnswered;
        }
        if (answered) {
            s.trustParked = false;
            restart(transfer);
        } else {
            s.touch(); // the answer is awaited for as long as the load may stay idle
            parked_[transfer.get()] = transfer;
        }
        return;
    }
    release(s);
    if (transfer->isCancelled()) {
        s.completed = true;
        s.client.reset();
        return;
    }
    Ref<NSURL> url = transfer->currentRequest()->URL();
    if (s.timedOut) {
        complete(*transfer, urlError(NSURLErrorTimedOut, url));
        return;
    }
    if (s.handshakeFailure != 0) {
        Ref<NSDictionary> extra;
        if (s.failedTrust) {
            extra = NSDictionary::dictionaryWithEntries({{NSURLErrorFailingURLPeerTrustErrorKey(), s.failedTrust}});
        }
        complete(*transfer, urlError(s.handshakeFailure, url, extra));
        return;
    }
    if (code != CURLE_OK) {
        if (s.bodyFailure) {
            complete(*transfer, s.bodyFailure);
        } else if (s.streamError) {
            complete(*transfer, s.streamError); // the body's own failure, such as a file that is gone
        } else {
            complete(*transfer, urlError(codeForCurl(code), url));
        }
        return;
    }
    if (s.credential && s.credentialSpace && s.mode != Transfer::State::Mode::Challenge) {
        if (s.options.useCredentialStorage && s.credential->persistence() != NSURLCredentialPersistenceNone) {
            NSURLCredentialStorage::sharedCredentialStorage()->setDefaultCredentialForProtectionSpace(
                s.credential, s.credentialSpace);
        }
    }
    switch (s.mode) {
    case Transfer::State::Mode::Deliver:
        complete(*transfer, nullptr);
        return;
    case Transfer::State::Mode::Redirect:
        if (++s.redirects > kMaximumRedirects) {
            complete(*transfer, urlError(NSURLErrorHTTPTooManyRedirects, url));
            return;
        }
        s.awaiting = true;
        if (auto client = s.client) {
            client->transferWillRedirect(*transfer, s.redirectRequest, s.response);
        }
        return;
    case Transfer::State::Mode::Challenge: {
        s.awaiting = true;
        Ref<NSURLCredential> proposed;
        if (s.options.useCredentialStorage) {
            proposed = NSURLCredentialStorage::sharedCredentialStorage()->defaultCredentialForProtectionSpace(
                s.challengeSpace);
        }
        if (auto client = s.client) {
            client->transferReceivedChallenge(*transfer, s.challengeSpace, proposed, s.failures, s.response);
        }
        return;
    }
    }
}

void Engine::restart(const std::shared_ptr<Transfer>& transfer) {
    auto& s = *transfer->state_;
    s.awaiting = false;
    if (!launch(transfer)) {
        complete(*transfer, urlError(NSURLErrorUnknown, transfer->currentRequest()->URL()));
    }
}

void Engine::resumeAfterTrust(const std::shared_ptr<Transfer>& transfer) {
    auto& s = *transfer->state_;
    if (!parked_.erase(transfer.get()) || s.completed || transfer->isCancelled()) {
        return;
    }
    s.trustParked = false;
    restart(transfer);
}

void Engine::cancel(const std::shared_ptr<Transfer>& transfer) {
    auto& s = *transfer->state_;
    parked_.erase(transfer.get());
    release(s);
    s.completed = true;
    s.awaiting = false;
    s.client.reset();
    s.ended();
}

void Engine::suspend(const std::shared_ptr<Transfer>& transfer, bool suspend) {
    auto& s = *transfer->state_;
    if (s.suspended == suspend) {
        return;
    }
    s.suspended = suspend;
    if (s.easy) {
        if (suspend) {
            curl_easy_pause(s.easy, CURLPAUSE_ALL);
        } else {
            s.touch();
            s.streamPaused = false;
            curl_easy_pause(s.easy, CURLPAUSE_CONT);
        }
    }
}

void Engine::followRedirect(const std::shared_ptr<Transfer>& transfer, const Ref<NSURLRequest>& request) {
    auto& s = *transfer->state_;
    if (!s.awaiting || s.completed || s.mode != Transfer::State::Mode::Redirect) {
        return;
    }
    if (!request) {
        s.awaiting = false;
        deliverHeld(*transfer);
        return;
    }
    if (!isHTTPScheme(request->URL())) {
        complete(*transfer, urlError(NSURLErrorUnsupportedURL, request->URL()));
        return;
    }
    if (request == s.redirectRequest && isSecure(transfer->currentRequest()->URL()) && !isSecure(request->URL())) {
        // https to http, only because the server said so: the body and headers would go in clear.
        complete(*transfer, urlError(NSURLErrorAppTransportSecurityRequiresSecureConnection, request->URL()));
        return;
    }
    {
        std::lock_guard lock(s.mutex);
        s.current = cast<NSURLRequest>(request->copy());
    }
    // Credentials belong to the host that asked for them.
    s.credential = nullptr;
    s.credentialSpace = nullptr;
    s.failures = 0;
    s.body = s.current->HTTPBody();
    bool needsStream = static_cast<bool>(s.current->HTTPBodyStream());
    s.bodyStream = nullptr;
    if (needsStream) {
        s.afterBodyStream = Transfer::State::Next::Redirect;
        if (auto client = s.client) {
            client->transferNeedsNewBodyStream(*transfer);
        }
        return;
    }
    restart(transfer);
}

void Engine::answerChallenge(const std::shared_ptr<Transfer>& transfer, ChallengeAnswer answer,
                             const Ref<NSURLCredential>& credential) {
    auto& s = *transfer->state_;
    if (!s.awaiting || s.completed || s.mode != Transfer::State::Mode::Challenge) {
        return;
    }
    Ref<NSURLCredential> use = credential;
    if (answer == ChallengeAnswer::PerformDefaultHandling) {
        use = nullptr;
        if (s.options.useCredentialStorage && s.failures == 0) {
            use = NSURLCredentialStorage::sharedCredentialStorage()->defaultCredentialForProtectionSpace(
                s.challengeSpace);
        }
        answer = use ? ChallengeAnswer::UseCredential : ChallengeAnswer::ContinueWithoutCredential;
    }
    if (answer == ChallengeAnswer::UseCredential && (!use || !use->user())) {
        answer = ChallengeAnswer::ContinueWithoutCredential;
    }
    switch (answer) {
    case ChallengeAnswer::Cancel:
        complete(*transfer, urlError(s.options.cancelledChallengeCode, transfer->currentRequest()->URL()));
        return;
    case ChallengeAnswer::UseCredential:
        break;
    default:
        s.awaiting = false;
        deliverHeld(*transfer);
        return;
    }
    s.failures += 1;
    s.credential = use;
    s.credentialSpace = s.challengeSpace;
    s.credentialAuth = s.challengeAuth;
    if (s.bodyStream) {
        s.bodyStream = nullptr;
        s.afterBodyStream = Transfer::State::Next::Credential;
        if (auto client = s.client) {
            client->transferNeedsNewBodyStream(*transfer);
        }
        return;
    }
    restart(transfer);
}

void Engine::provideBodyStream(const std::shared_ptr<Transfer>& transfer, const Ref<NSInputStream>& stream) {
    auto& s = *transfer->state_;
    if (s.completed || s.afterBodyStream == Transfer::State::Next::None) {
        return;
    }
    s.afterBodyStream = Transfer::State::Next::None;
    if (!stream) {
        complete(*transfer, urlError(NSURLErrorUnknown, transfer->currentRequest()->URL()));
        return;
    }
    s.bodyStream = stream;
    restart(transfer);
}

size_t Engine::onHeader(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    auto& s = *transfer.state_;
    size_t length = size * count;
    if (transfer.isCancelled()) {
        return 0;
    }
    s.touch();
    std::string_view line(data, length);
    if (line.starts_with("HTTP/")) {
        size_t space = line.find(' ');
        s.version = std::string(line.substr(0, space));
        s.status = space == std::string_view::npos
                       ? 0
                       : std::strtol(std::string(line.substr(space + 1, 3)).c_str(), nullptr, 10);
        s.received.clear();
        return length;
    }
    std::string trimmed = trim(line);
    if (trimmed.empty()) {
        if (s.status >= 100 && s.status < 200) {
            return length; // an interim reply; the final one follows
        }
        headersComplete(transfer);
        return length;
    }
    if ((line.front() == ' ' || line.front() == '\t') && !s.received.empty()) {
        s.received.back().second += " " + trimmed;
        return length;
    }
    size_t colon = trimmed.find(':');
    if (colon != std::string::npos) {
        s.received.emplace_back(trim(trimmed.substr(0, colon)), trim(trimmed.substr(colon + 1)));
    }
    return length;
}

void Engine::headersComplete(Transfer& transfer) {
    auto& s = *transfer.state_;
    Ref<NSURLRequest> request = transfer.currentRequest();
    Ref<NSURL> url = request->URL();
    s.response = make<NSHTTPURLResponse>(url, s.status, NSString::from(s.version), s.received);
    std::string method = upper(request->HTTPMethod()->str());

    auto location = s.response->valueForHTTPHeaderField("Location"_ns);
    bool redirect = (s.status == 301 || s.status == 302 || s.status == 303 || s.status == 307 || s.status == 308) &&
                    location && location->length() > 0;
    if (redirect) {
        Ref<NSURL> target = NSURL::URLWithStringRelativeToURL(location, url);
        target = target ? target->absoluteURL() : nullptr;
        if (target) {
            auto next = cast<NSMutableURLRequest>(request->mutableCopy());
            next->setURL(target);
            if ((s.status == 303 && method != "HEAD") || ((s.status == 301 || s.status == 302) && method == "POST")) {
                next->setHTTPMethod("GET"_ns);
                next->setHTTPBody(nullptr);
                next->setValueForHTTPHeaderField(nullptr, "Content-Type"_ns);
                next->setValueForHTTPHeaderField(nullptr, "Content-Length"_ns);
            }
            if (!isHTTPScheme(target) || !sameOrigin(url, target)) {
                // Credentials meant for one origin never travel to another.
                next->setValueForHTTPHeaderField(nullptr, "Authorization"_ns);
                next->setValueForHTTPHeaderField(nullptr, "Proxy-Authorization"_ns);
                next->setValueForHTTPHeaderField(nullptr, "Cookie"_ns);
            }
            s.redirectRequest = next;
            s.mode = Transfer::State::Mode::Redirect;
            return;
        }
    }
    Challenge challenge;
    if (s.status == 401 && parseChallenge(s.response->valueForHTTPHeaderField("WWW-Authenticate"_ns), challenge)) {
        bool secure = url->scheme()->lowercaseString()->isEqualToString("https"_ns);
        s.challengeSpace = make<NSURLProtectionSpace>(url->host(), effectivePort(url),
                                                      secure ? NSURLProtectionSpaceHTTPS() : NSURLProtectionSpaceHTTP(),
                                                      challenge.realm, challenge.method);
        s.challengeAuth = challenge.curlAuth;
        s.mode = Transfer::State::Mode::Challenge;
        return;
    }
    s.mode = Transfer::State::Mode::Deliver;
    if (auto client = s.client) {
        client->transferReceivedResponse(transfer, s.response);
    }
}

size_t Engine::onData(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    auto& s = *transfer.state_;
    size_t length = size * count;
    if (transfer.isCancelled()) {
        return 0;
    }
    s.touch();
    if (s.mode == Transfer::State::Mode::Deliver) {
        if (auto client = s.client) {
            client->transferReceivedData(transfer, reinterpret_cast<const uint8_t*>(data), length);
        }
    } else {
        s.held.insert(s.held.end(), data, data + length);
    }
    return length;
}

// Moves bytes from the body's stream (or its pump) into `staged` until it holds `want` bytes, the
// stream ends, fails or has nothing now. Answers false on a failure (stored in streamError).
bool Engine::fillBody(Transfer::State& s, size_t want) {
    if (s.pump) {
        auto& pump = *s.pump;
        std::lock_guard lock(pump.mutex);
        size_t take = std::min(want > s.staged.size() ? want - s.staged.size() : 0, pump.bytes.size());
        if (take > 0) {
            s.staged.insert(s.staged.end(), pump.bytes.begin(), pump.bytes.begin() + static_cast<ptrdiff_t>(take));
            pump.bytes.erase(pump.bytes.begin(), pump.bytes.begin() + static_cast<ptrdiff_t>(take));
            pump.changed.notify_all();
        }
        if (pump.bytes.empty() && pump.error) {
            s.streamError = pump.error;
            return false;
        }
        if (pump.bytes.empty() && pump.ended) {
            s.streamEnded = true;
        }
        return true;
    }
    auto stream = s.bodyStream;
    if (!stream) {
        s.streamEnded = true;
        return true;
    }
    uint8_t buffer[16 * 1024];
    while (s.staged.size() < want && !s.streamEnded) {
        if (stream->streamStatus() == NSStreamStatusNotOpen) {
            stream->open();
        }
        switch (stream->streamStatus()) {
        case NSStreamStatusError:
            s.streamError = stream->streamError();
            return false;
        case NSStreamStatusAtEnd:
        case NSStreamStatusClosed:
            s.streamEnded = true;
            continue;
        default:
            break;
        }
        if (!stream->hasBytesAvailable()) {
            if (!s.streamCanWait) {
                s.streamEnded = true; // a stream that never waits has nothing more
            }
            return true;
        }
        NSInteger n = stream->readMaxLength(buffer, std::min(sizeof buffer, want - s.staged.size()));
        if (n < 0 || stream->streamStatus() == NSStreamStatusError) {
            s.streamError = stream->streamError();
            if (!s.streamError) {
                s.streamError = make<NSError>(NSPOSIXErrorDomain(), EIO);
            }
            return false;
        }
        if (n == 0) {
            if (!s.streamCanWait || stream->streamStatus() == NSStreamStatusAtEnd ||
                stream->streamStatus() == NSStreamStatusClosed) {
                s.streamEnded = true;
            }
            return true;
        }
        s.staged.insert(s.staged.end(), buffer, buffer + n);
    }
    return true;
}

// Hands curl the body. With a declared length, never more than that: the last byte waits until the
// stream has shown its end, and a stream that ends early or has more fails the load.
size_t Engine::onRead(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    auto& s = *transfer.state_;
    if (transfer.isCancelled()) {
        return CURL_READFUNC_ABORT;
    }
    size_t room = size * count;
    int64_t remaining = s.expectedToSend >= 0 ? s.expectedToSend - s.bodySent : -1;
    size_t want =
        remaining < 0 ? room : static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(room), remaining + 1));
    if (!fillBody(s, want)) {
        return CURL_READFUNC_ABORT;
    }
    size_t give = std::min(room, s.staged.size());
    if (remaining >= 0) {
        Ref<NSURL> url = transfer.currentRequest()->URL();
        if (static_cast<int64_t>(s.staged.size()) > remaining) {
            s.bodyFailure = bodyLengthError(url, s.expectedToSend, true);
            return CURL_READFUNC_ABORT;
        }
        if (s.streamEnded && static_cast<int64_t>(s.staged.size()) < remaining) {
            s.bodyFailure = bodyLengthError(url, s.expectedToSend, false);
            return CURL_READFUNC_ABORT;
        }
        if (!s.streamEnded && static_cast<int64_t>(give) >= remaining) {
            give = static_cast<size_t>(remaining - 1); // the last byte goes once the end is known
        }
    }
    if (give == 0) {
        if (s.streamEnded) {
            return 0;
        }
        s.streamPaused = true;
        return CURL_READFUNC_PAUSE;
    }
    std::memcpy(data, s.staged.data(), give);
    s.staged.erase(s.staged.begin(), s.staged.begin() + static_cast<ptrdiff_t>(give));
    s.bodySent += static_cast<int64_t>(give);
    s.touch();
    return give;
}

int Engine::onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto& transfer = *static_cast<Transfer*>(user);
    auto& s = *transfer.state_;
    if (transfer.isCancelled()) {
        return 1;
    }
    if (uploaded > s.sent) {
        s.touch();
        int64_t step = uploaded - s.sent;
        s.sent = uploaded;
        if (auto client = s.client) {
            client->transferSentBodyData(transfer, step, uploaded, s.expectedToSend);
        }
    }
    return 0;
}

CURLcode Engine::onSSLContext(CURL*, void* context, void* user) {
    auto* ctx = static_cast<SSL_CTX*>(context);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(ctx, &Engine::onVerify, user);
    return CURLE_OK;
}

int Engine::onVerify(X509_STORE_CTX* ctx, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    auto& s = *transfer.state_;
    if (transfer.isCancelled()) {
        return 0;
    }
    std::vector<Ref<SecCertificate>> certificates;
    if (X509* leaf = X509_STORE_CTX_get0_cert(ctx)) {
        certificates.push_back(make<SecCertificate>(leaf));
    }
    if (STACK_OF(X509)* others = X509_STORE_CTX_get0_untrusted(ctx)) {
        for (int i = 0; i < sk_X509_num(others); ++i) {
            X509* certificate = sk_X509_value(others, i);
            if (!certificates.empty() && X509_cmp(certificate, certificates.front()->x509()) == 0) {
                continue;
            }
            certificates.push_back(make<SecCertificate>(certificate));
        }
    }
    if (certificates.empty()) {
        s.handshakeFailure = NSURLErrorSecureConnectionFailed;
        return 0;
    }
    std::vector<std::string> chain;
    for (const auto& certificate : certificates) {
        chain.push_back(derOf(certificate->x509()));
    }
    Ref<NSURL> url = transfer.currentRequest()->URL();
    auto trust =
        make<SecTrust>(std::move(certificates), std::vector<Ref<SecPolicy>>{SecPolicyCreateSSL(true, url->host())});
    auto client = s.client;
    bool inlineAnswer = client && client->answersTrustInline();
    ChallengeAnswer answer = ChallengeAnswer::PerformDefaultHandling;
    bool known = false;
    {
        std::lock_guard lock(s.trustMutex);
        if (s.trustAnswered && s.trustChain == chain) {
            // The answer to the question this load was parked for: this handshake goes on with it.
            answer = s.trustAnswer;
            known = true;
            if (s.questionTrust) {
                trust = s.questionTrust; // the same chain: judged as the client saw it
            }
            s.trustPending = false;
            s.trustAnswered = false;
            s.trustChain.clear();
        } else {
            s.trustPending = true;
            s.trustAnswered = false;
            s.trustChain = chain;
        }
    }
    if (!known) {
        auto space = make<NSURLProtectionSpace>(url->host(), effectivePort(url), NSURLProtectionSpaceHTTPS(), nullptr,
                                                NSURLAuthenticationMethodServerTrust(), trust);
        if (!inlineAnswer && ++s.trustQuestions > kMaximumTrustQuestions) {
            // The server shows another chain on every connection: give up rather than ask for ever.
            std::lock_guard lock(s.trustMutex);
            s.trustPending = false;
            s.handshakeFailure = NSURLErrorSecureConnectionFailed;
            return 0;
        }
        if (client) {
            client->transferReceivedChallenge(transfer, space, nullptr, 0, nullptr);
        }
        if (!inlineAnswer) {
            // The answer comes from another thread: this connection cannot wait for it, so the
            // handshake stops here and the transfer is parked until the answer comes.
            s.trustParked = true;
            s.questionTrust = trust;
            return 0;
        }
        std::lock_guard lock(s.trustMutex);
        // A client on this very thread that gave no answer gets the default handling.
        answer = s.trustAnswered ? s.trustAnswer : ChallengeAnswer::PerformDefaultHandling;
        s.trustPending = false;
        s.trustAnswered = false;
        s.trustChain.clear();
    }
    if (transfer.isCancelled()) {
        return 0;
    }
    s.touch();
    switch (answer) {
    case ChallengeAnswer::UseCredential:
        return 1;
    case ChallengeAnswer::Cancel:
        s.handshakeFailure = s.options.cancelledChallengeCode;
        return 0;
    default: {
        SecTrustResultType result = kSecTrustResultInvalid;
        if (trust->evaluate(&result) == errSecSuccess &&
            (result == kSecTrustResultUnspecified || result == kSecTrustResultProceed)) {
            return 1;
        }
        s.handshakeFailure = codeForTrustFailure(trust->lastFailure());
        s.failedTrust = trust;
        return 0;
    }
    }
}

Transfer::Transfer(Ref<NSURLRequest> request, std::shared_ptr<TransferClient> client, TransferOptions options)
    : state_(std::make_unique<State>()) {
    state_->original = request;
    state_->current = request ? cast<NSURLRequest>(request->copy()) : make<NSURLRequest>();
    state_->client = std::move(client);
    state_->options = std::move(options);
}

Transfer::~Transfer() {
    state_->ended();
}

void Transfer::start() {
    if (!state_->inFlight.exchange(true)) {
        countNetworkWork(false);
    }
    auto self = shared_from_this();
    Engine::shared().post([self] { Engine::shared().begin(self); });
}

void Transfer::cancel() {
    if (cancelled_.exchange(true)) {
        return;
    }
    auto self = shared_from_this();
    Engine::shared().post([self] { Engine::shared().cancel(self); });
}

void Transfer::suspend() {
    auto self = shared_from_this();
    Engine::shared().post([self] { Engine::shared().suspend(self, true); });
}

void Transfer::resume() {
    auto self = shared_from_this();
    Engine::shared().post([self] { Engine::shared().suspend(self, false); });
}

void Transfer::followRedirect(const Ref<NSURLRequest>& request) {
    auto self = shared_from_this();
    Engine::shared().post([self, request] { Engine::shared().followRedirect(self, request); });
}

void Transfer::answerChallenge(ChallengeAnswer answer, const Ref<NSURLCredential>& credential) {
    auto self = shared_from_this();
    {
        std::lock_guard lock(state_->trustMutex);
        if (state_->trustPending) {
            if (!state_->trustAnswered) {
                state_->trustAnswered = true;
                state_->trustAnswer = answer;
                // A transfer parked for this answer connects again (nothing when it was answered
                // inside the handshake, on the network thread).
                Engine::shared().post([self] { Engine::shared().resumeAfterTrust(self); });
            }
            return;
        }
    }
    Engine::shared().post([self, answer, credential] { Engine::shared().answerChallenge(self, answer, credential); });
}

void Transfer::provideBodyStream(const Ref<NSInputStream>& stream) {
    auto self = shared_from_this();
    Engine::shared().post([self, stream] { Engine::shared().provideBodyStream(self, stream); });
}

Ref<NSURLRequest> Transfer::originalRequest() const {
    std::lock_guard lock(state_->mutex);
    return state_->original;
}

Ref<NSURLRequest> Transfer::currentRequest() const {
    std::lock_guard lock(state_->mutex);
    return state_->current;
}

size_t transfersInFlight() {
    return networkWork().inFlight.load();
}

bool waitForTransfersToEnd(double seconds) {
    auto& work = networkWork();
    std::unique_lock lock(work.mutex);
    return work.ended.wait_for(lock, std::chrono::duration<double>(seconds),
                               [&work] { return work.inFlight.load() == 0; });
}

Ref<NSThread> networkThread() {
    return Engine::shared().thread();
}

Ref<NSRunLoop> networkRunLoop() {
    return Engine::shared().runLoop();
}

bool isNetworkThread() {
    return Engine::shared().onThread();
}

bool networkThreadIsIdle() {
    return Engine::shared().idle();
}

void performOnNetworkThread(std::function<void()> block) {
    Engine::shared().post(std::move(block));
}

void deliverOnNetworkThread(std::function<void()> block) {
    Engine::shared().deliver(std::move(block));
}

} // namespace ns_net
