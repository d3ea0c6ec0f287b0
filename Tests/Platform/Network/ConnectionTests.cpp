#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Network/NSOutputStream.h>
#include <Network/NSURLConnection.h>
#include <Network/NSURLCredentialStorage.h>
#include <Security/SecTrust.h>

#include <Foundation/NSThread.h>

#include <httplib.h>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

class Recorder : public NSObject, public NSURLConnectionDataDelegate {
public:
    std::vector<std::string> events;
    Ref<NSHTTPURLResponse> response;
    std::string body;
    Ref<NSError> error;
    bool done = false;
    bool offMainThread = false;
    int64_t lastTotalSent = 0;
    int64_t lastExpected = 0;
    std::function<Ref<NSURLRequest>(const Ref<NSURLRequest>&, const Ref<NSURLResponse>&)> onRedirect;
    std::function<void(const Ref<NSURLAuthenticationChallenge>&)> onChallenge;
    std::function<void(NSURLConnection*)> onFinish;
    std::vector<Ref<NSURLAuthenticationChallenge>> challenges;

    void note(const std::string& event) {
        events.push_back(event);
        offMainThread = offMainThread || !NSThread::isMainThread();
    }
    void connectionDidReceiveResponse(NSURLConnection*, const Ref<NSURLResponse>& r) override {
        note("response");
        response = cast<NSHTTPURLResponse>(r);
    }
    void connectionDidReceiveData(NSURLConnection*, const Ref<NSData>& data) override {
        if (events.empty() || events.back() != "data") {
            note("data");
        }
        body += data->stringValue();
    }
    void connectionDidFinishLoading(NSURLConnection* c) override {
        note("finish");
        done = true;
        if (onFinish) {
            onFinish(c);
        }
    }
    void connectionDidFailWithError(NSURLConnection*, const Ref<NSError>& e) override {
        note("fail");
        error = e;
        done = true;
    }
    Ref<NSURLRequest> connectionWillSendRequestRedirectResponse(NSURLConnection*, const Ref<NSURLRequest>& request,
                                                                const Ref<NSURLResponse>& redirect) override {
        note("redirect");
        return onRedirect ? onRedirect(request, redirect) : request;
    }
    void
    connectionWillSendRequestForAuthenticationChallenge(NSURLConnection* c,
                                                        const Ref<NSURLAuthenticationChallenge>& challenge) override {
        note("challenge");
        challenges.push_back(challenge);
        if (onChallenge) {
            onChallenge(challenge);
        } else {
            NSURLConnectionDataDelegate::connectionWillSendRequestForAuthenticationChallenge(c, challenge);
        }
    }
    void connectionDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(NSURLConnection*, NSInteger,
                                                                             NSInteger total,
                                                                             NSInteger expected) override {
        lastTotalSent = total;
        lastExpected = expected;
    }
};

Ref<NSMutableURLRequest> requestFor(const std::string& url, double timeout = 10) {
    return make<NSMutableURLRequest>(NSURL::URLWithString(NSString::from(url)), NSURLRequestUseProtocolCachePolicy,
                                     timeout);
}

class Connection : public ::testing::Test {
protected:
    void SetUp() override {
        auto& s = server.server();
        s.Get("/hello", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("X-Test", "1");
            response.set_content("hello world", "text/plain; charset=utf-8");
        });
        s.Post("/count", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(std::to_string(request.body.size()), "text/plain");
        });
        s.Get("/redirect", [this](const httplib::Request&, httplib::Response& response) {
            response.set_redirect(url("/landing"), 302);
        });
        s.Get("/away", [this](const httplib::Request&, httplib::Response& response) {
            response.set_redirect(other.url("/landing").replace(7, 9, "localhost"), 302);
        });
        s.Get("/landing", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            landingHeaders = request.headers;
            response.set_content("landed", "text/plain");
        });
        s.Get("/auth", [](const httplib::Request& request, httplib::Response& response) {
            // "user:secret"
            if (request.get_header_value("Authorization") == "Basic dXNlcjpzZWNyZXQ=") {
                response.set_content("welcome", "text/plain");
            } else {
                response.status = 401;
                response.set_header("WWW-Authenticate", "Basic realm=\"tests\"");
                response.set_content("denied", "text/plain");
            }
        });
        server.stall("/stall");
        server.start();
        other.server().Get("/landing", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            landingHeaders = request.headers;
            response.set_content("elsewhere", "text/plain");
        });
        other.start();
    }

    std::string url(const std::string& path) const { return server.url(path); }

    Ref<Recorder> load(const Ref<NSURLRequest>& request, const std::function<void(Recorder&)>& setup = nullptr) {
        auto recorder = make<Recorder>();
        if (setup) {
            setup(*recorder);
        }
        connection = make<NSURLConnection>(request, recorder.get());
        EXPECT_TRUE(runMainLoopUntil([&] { return recorder->done; }));
        return recorder;
    }

    LoopbackServer server;
    LoopbackServer other;
    std::mutex mutex;
    httplib::Headers landingHeaders;
    Ref<NSURLConnection> connection;
};

} // namespace

TEST_F(Connection, DeliversResponseDataAndFinishInOrderOnItsRunLoop) {
    auto r = load(requestFor(url("/hello")));
    EXPECT_EQ(r->events, (std::vector<std::string>{"response", "data", "finish"}));
    EXPECT_FALSE(r->offMainThread);
    ASSERT_TRUE(r->response);
    EXPECT_EQ(r->response->statusCode(), 200);
    EXPECT_EQ(r->response->MIMEType()->str(), "text/plain");
    EXPECT_EQ(r->response->textEncodingName()->str(), "utf-8");
    EXPECT_EQ(r->response->expectedContentLength(), 11);
    EXPECT_EQ(r->response->valueForHTTPHeaderField("x-test"_ns)->str(), "1");
    EXPECT_EQ(r->body, "hello world");
}

TEST_F(Connection, PostBodyAndUploadProgress) {
    auto request = requestFor(url("/count"));
    request->setHTTPMethod("POST"_ns);
    request->setHTTPBody(NSData::dataWithString(std::string(300000, 'x')));
    auto r = load(request);
    EXPECT_EQ(r->body, "300000");
    EXPECT_EQ(r->lastTotalSent, 300000);
    EXPECT_EQ(r->lastExpected, 300000);
}

TEST_F(Connection, StreamedBodyFromABoundPair) {
    Ref<NSInputStream> input;
    Ref<NSOutputStream> output;
    NSStream::getBoundStreamsWithBufferSize(1024, &input, &output);
    auto request = requestFor(url("/count"));
    request->setHTTPMethod("POST"_ns);
    request->setHTTPBodyStream(input);
    output->open();
    std::thread writer([output] {
        std::string chunk(1000, 'y');
        for (int i = 0; i < 50; ++i) {
            size_t at = 0;
            while (at < chunk.size()) {
                NSInteger n =
                    output->writeMaxLength(reinterpret_cast<const uint8_t*>(chunk.data()) + at, chunk.size() - at);
                if (n <= 0) {
                    return;
                }
                at += static_cast<size_t>(n);
            }
        }
        output->close();
    });
    auto r = load(request);
    writer.join();
    EXPECT_EQ(r->body, "50000");
}

TEST_F(Connection, RefusedConnectionAndTimeOut) {
    LoopbackServer closed;
    closed.start();
    auto dead = closed.url("/x");
    closed.stop();
    auto refused = load(requestFor(dead));
    ASSERT_TRUE(refused->error);
    EXPECT_EQ(refused->error->code(), NSURLErrorCannotConnectToHost);
    EXPECT_TRUE(refused->error->domain()->isEqualToString(NSURLErrorDomain()));
    EXPECT_EQ(
        cast<NSURL>(refused->error->userInfo()->objectForKey(NSURLErrorFailingURLErrorKey()))->absoluteString()->str(),
        dead);

    auto stalled = load(requestFor(url("/stall"), 0.3));
    ASSERT_TRUE(stalled->error);
    EXPECT_EQ(stalled->error->code(), NSURLErrorTimedOut);

    auto unsupported = load(requestFor("ftp://127.0.0.1/x"));
    ASSERT_TRUE(unsupported->error);
    EXPECT_EQ(unsupported->error->code(), NSURLErrorUnsupportedURL);
}

// The network thread is never joined, so it may still be ending a load while the process exits and
// runs its static destructors: nothing it touches then may have been torn down (the thread
// sanitizer sees it, and the child's exit status carries its report).
TEST_F(Connection, ExitingAsALoadEndsIsClean) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EXIT(
            {
                // A cancel from the last callback still sends the network thread a command.
                load(requestFor(url("/hello")),
                     [](Recorder& r) { r.onFinish = [](NSURLConnection* c) { c->cancel(); }; });
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

TEST_F(Connection, CancelSilencesTheDelegate) {
    auto recorder = make<Recorder>();
    connection = make<NSURLConnection>(requestFor(url("/stall")), recorder.get());
    ASSERT_TRUE(server.waitForStalled(1, 10));
    connection->cancel();
    server.release();
    drainMainLoop(0.3);
    EXPECT_TRUE(recorder->events.empty());
    EXPECT_FALSE(recorder->done);
}

TEST_F(Connection, RedirectsAskTheDelegateForTheRequest) {
    auto followed = load(requestFor(url("/redirect")), [](Recorder& r) {
        r.onRedirect = [](const Ref<NSURLRequest>& request, const Ref<NSURLResponse>& redirect) {
            EXPECT_EQ(cast<NSHTTPURLResponse>(redirect)->statusCode(), 302);
            auto changed = cast<NSMutableURLRequest>(request->mutableCopy());
            changed->setValueForHTTPHeaderField("yes"_ns, "X-Redirected"_ns);
            return Ref<NSURLRequest>(changed);
        };
    });
    EXPECT_EQ(followed->body, "landed");
    EXPECT_EQ(followed->events.front(), "redirect");
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(landingHeaders.count("X-Redirected"), 1u);
    }

    auto refused = load(requestFor(url("/redirect")), [](Recorder& r) {
        r.onRedirect = [](const Ref<NSURLRequest>&, const Ref<NSURLResponse>&) { return Ref<NSURLRequest>(); };
    });
    ASSERT_TRUE(refused->response);
    EXPECT_EQ(refused->response->statusCode(), 302);
}

TEST_F(Connection, AuthorizationNeverTravelsToAnotherHost) {
    auto request = requestFor(url("/away"));
    request->setValueForHTTPHeaderField("Bearer secret"_ns, "Authorization"_ns);
    auto r = load(request);
    EXPECT_EQ(r->body, "elsewhere");
    std::lock_guard lock(mutex);
    EXPECT_EQ(landingHeaders.count("Authorization"), 0u);

    // On the same host it stays.
    landingHeaders.clear();
    auto same = requestFor(url("/redirect"));
    same->setValueForHTTPHeaderField("Bearer secret"_ns, "Authorization"_ns);
    mutex.unlock();
    auto r2 = load(same);
    mutex.lock();
    EXPECT_EQ(landingHeaders.count("Authorization"), 1u);
}

TEST_F(Connection, PasswordChallengesAndCredentialStorage) {
    // Without an answer the 401 reply is delivered as it is.
    auto plain = load(requestFor(url("/auth")), [](Recorder& r) {
        r.onChallenge = [](const Ref<NSURLAuthenticationChallenge>& c) {
            c->sender()->continueWithoutCredentialForAuthenticationChallenge(c);
        };
    });
    EXPECT_EQ(plain->response->statusCode(), 401);
    EXPECT_EQ(plain->body, "denied");
    ASSERT_EQ(plain->challenges.size(), 1u);
    auto space = plain->challenges[0]->protectionSpace();
    EXPECT_TRUE(space->authenticationMethod()->isEqualToString(NSURLAuthenticationMethodHTTPBasic()));
    EXPECT_EQ(space->realm()->str(), "tests");
    EXPECT_EQ(space->port(), server.port());

    // A wrong password, then the right one: the second challenge counts the failure.
    auto answered = load(requestFor(url("/auth")), [](Recorder& r) {
        r.onChallenge = [](const Ref<NSURLAuthenticationChallenge>& c) {
            auto password = c->previousFailureCount() == 0 ? "wrong"_ns : "secret"_ns;
            c->sender()->useCredentialForAuthenticationChallenge(
                NSURLCredential::credentialWithUserPasswordPersistence("user"_ns, password,
                                                                       NSURLCredentialPersistenceForSession),
                c);
        };
    });
    EXPECT_EQ(answered->body, "welcome");
    ASSERT_EQ(answered->challenges.size(), 2u);
    EXPECT_EQ(answered->challenges[1]->previousFailureCount(), 1);

    // The credential that worked is remembered, and default handling uses it.
    auto stored = NSURLCredentialStorage::sharedCredentialStorage()->defaultCredentialForProtectionSpace(space);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->password()->str(), "secret");
    auto remembered = load(requestFor(url("/auth")));
    EXPECT_EQ(remembered->body, "welcome");
    ASSERT_EQ(remembered->challenges.size(), 1u);
    EXPECT_TRUE(remembered->challenges[0]->proposedCredential());

    auto cancelled = load(requestFor(url("/auth")), [](Recorder& r) {
        r.onChallenge = [](const Ref<NSURLAuthenticationChallenge>& c) {
            c->sender()->cancelAuthenticationChallenge(c);
        };
    });
    ASSERT_TRUE(cancelled->error);
    EXPECT_EQ(cancelled->error->code(), NSURLErrorUserCancelledAuthentication);
}

namespace {

class SecureConnection : public ::testing::Test {
protected:
    static std::unique_ptr<LoopbackServer> serve(const TestIdentity& identity) {
        auto server = std::make_unique<LoopbackServer>(identity);
        server->server().Get("/secure", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("secret", "text/plain");
        });
        server->start();
        return server;
    }
    void SetUp() override { TestCertificates::shared().installRootAsSystemTrust(); }

    Ref<Recorder> load(const std::string& url, const std::function<void(Recorder&)>& setup = nullptr) {
        auto recorder = make<Recorder>();
        if (setup) {
            setup(*recorder);
        }
        connection = make<NSURLConnection>(requestFor(url), recorder.get());
        EXPECT_TRUE(runMainLoopUntil([&] { return recorder->done; }));
        return recorder;
    }
    Ref<NSURLConnection> connection;
};

} // namespace

TEST_F(SecureConnection, DefaultHandlingTrustsTheSystemRootsForTheRightHost) {
    auto good = serve(TestCertificates::shared().leaf);
    auto ok = load(good->url("/secure"));
    EXPECT_EQ(ok->body, "secret");
    ASSERT_EQ(ok->challenges.size(), 1u);
    auto space = ok->challenges[0]->protectionSpace();
    EXPECT_TRUE(space->authenticationMethod()->isEqualToString(NSURLAuthenticationMethodServerTrust()));
    EXPECT_EQ(space->host()->str(), "127.0.0.1");
    ASSERT_TRUE(space->serverTrust());
    // Default handling evaluated the trust: it now holds the chain it built, up to the root.
    ASSERT_EQ(SecTrustGetCertificateCount(space->serverTrust()), 2);
    EXPECT_EQ(SecCertificateCopySubjectSummary(SecTrustGetCertificateAtIndex(space->serverTrust(), 1))->str(),
              "Celvix Test Root");

    struct Case {
        const TestIdentity* identity;
        NSInteger code;
    } cases[] = {{&TestCertificates::shared().wrongHost, NSURLErrorServerCertificateUntrusted},
                 {&TestCertificates::shared().expired, NSURLErrorServerCertificateHasBadDate},
                 {&TestCertificates::shared().selfSigned, NSURLErrorServerCertificateUntrusted},
                 {&TestCertificates::shared().otherLeaf, NSURLErrorServerCertificateHasUnknownRoot}};
    for (const auto& c : cases) {
        auto bad = serve(*c.identity);
        auto failed = load(bad->url("/secure"));
        ASSERT_TRUE(failed->error);
        EXPECT_EQ(failed->error->code(), c.code);
        EXPECT_TRUE(failed->error->userInfo()->objectForKey(NSURLErrorFailingURLPeerTrustErrorKey()));
        EXPECT_TRUE(failed->body.empty());
    }
}

TEST_F(SecureConnection, TheDelegateDecidesTrust) {
    auto selfSigned = serve(TestCertificates::shared().selfSigned);
    auto trusted = load(selfSigned->url("/secure"), [](Recorder& r) {
        r.onChallenge = [](const Ref<NSURLAuthenticationChallenge>& c) {
            c->sender()->useCredentialForAuthenticationChallenge(
                NSURLCredential::credentialForTrust(c->protectionSpace()->serverTrust()), c);
        };
    });
    EXPECT_EQ(trusted->body, "secret");

    auto good = serve(TestCertificates::shared().leaf);
    auto refused = load(good->url("/secure"), [](Recorder& r) {
        r.onChallenge = [](const Ref<NSURLAuthenticationChallenge>& c) {
            c->sender()->cancelAuthenticationChallenge(c);
        };
    });
    ASSERT_TRUE(refused->error);
    EXPECT_EQ(refused->error->code(), NSURLErrorUserCancelledAuthentication);
}
