// NSURLConnection: loads one request and tells its delegate, in the run loop it is scheduled in,
// about the response, the body as it arrives, upload progress, redirects, authentication
// challenges (credentials and server trust) and the end. The connection keeps itself and its
// delegate alive while it loads; after `cancel` the delegate hears nothing more.
#pragma once

#include <Foundation/NSRunLoop.h>
#include <Network/NSCachedURLResponse.h>
#include <Network/NSHTTPURLResponse.h>
#include <Network/NSInputStream.h>
#include <Network/NSURLAuthenticationChallenge.h>
#include <Network/NSURLRequest.h>

#include <functional>
#include <memory>

class NSThread;
class NSURLConnection;

// The connection delegate protocols. Every method has the behaviour the platform applies when the
// delegate does not implement it, so a delegate overrides only what it needs.
class NSURLConnectionDelegate {
public:
    virtual ~NSURLConnectionDelegate() = default;
    virtual void connectionDidFailWithError(NSURLConnection* connection, const Ref<NSError>& error) {}
    virtual bool connectionShouldUseCredentialStorage(NSURLConnection* connection) { return true; }
    // Must answer the challenge through its sender (the default: default handling).
    virtual void
    connectionWillSendRequestForAuthenticationChallenge(NSURLConnection* connection,
                                                        const Ref<NSURLAuthenticationChallenge>& challenge);
};

class NSURLConnectionDataDelegate : public NSURLConnectionDelegate {
public:
    // The request to follow a redirect with, or nil to take the redirect response as the reply.
    virtual Ref<NSURLRequest> connectionWillSendRequestRedirectResponse(NSURLConnection* connection,
                                                                        const Ref<NSURLRequest>& request,
                                                                        const Ref<NSURLResponse>& redirectResponse) {
        return request;
    }
    virtual void connectionDidReceiveResponse(NSURLConnection* connection, const Ref<NSURLResponse>& response) {}
    virtual void connectionDidReceiveData(NSURLConnection* connection, const Ref<NSData>& data) {}
    // A fresh body stream when the body must be sent again (the default: a copy of the request's
    // stream when it can be copied, else nil, which fails the load).
    virtual Ref<NSInputStream> connectionNeedNewBodyStream(NSURLConnection* connection,
                                                           const Ref<NSURLRequest>& request);
    virtual void connectionDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(NSURLConnection* connection,
                                                                                     NSInteger bytesWritten,
                                                                                     NSInteger totalBytesWritten,
                                                                                     NSInteger totalBytesExpected) {}
    virtual Ref<NSCachedURLResponse> connectionWillCacheResponse(NSURLConnection* connection,
                                                                 const Ref<NSCachedURLResponse>& cachedResponse) {
        return cachedResponse;
    }
    virtual void connectionDidFinishLoading(NSURLConnection* connection) {}
};

class NSURLConnection : public NSObject {
    NS_OBJECT(NSURLConnection, NSObject)
public:
    // `initWithRequest:delegate:startImmediately:`. `delegate` is an object that implements
    // NSURLConnectionDataDelegate (or NSURLConnectionDelegate); it is held until the load ends.
    // Starting at once schedules the connection in the current run loop's default mode.
    NSURLConnection(const Ref<NSURLRequest>& request, NSObject* delegate, bool startImmediately = true);
    ~NSURLConnection() override;

    static Ref<NSURLConnection> connectionWithRequestDelegate(const Ref<NSURLRequest>& request, NSObject* delegate);
    // Whether the request's URL is one this connection can load (http and https).
    static bool canHandleRequest(const Ref<NSURLRequest>& request);

    // Before `start`: where the delegate's messages arrive (one run loop; several modes).
    void scheduleInRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode);
    void unscheduleFromRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode);
    void start();
    void cancel();

    Ref<NSURLRequest> originalRequest() const;
    Ref<NSURLRequest> currentRequest() const;

    // This platform loads every request on one network thread. A connection scheduled in that
    // thread's run loop tells its delegate directly on it, between rounds of transfer work, with no
    // hand-over to another thread; such a delegate answers server-trust challenges before it
    // returns (otherwise they get the default handling). Blocks given to performOnNetworkThread run
    // on that thread, in order.
    static Ref<NSThread> networkThread();
    static void performOnNetworkThread(std::function<void()> block);
    // Answers, on the network thread, whether it has nothing else waiting: no other load running or
    // held, no block posted to it. A short piece of work done there now delays nobody. Elsewhere NO.
    static bool networkThreadIsIdle();

    struct Core;

private:
    std::shared_ptr<Core> core_;
};
