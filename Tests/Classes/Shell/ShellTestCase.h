// Fixture of the shell tests: the screen fixture (sandbox, user defaults, device, window) plus a
// loopback transaction service whose address is stored as the session's web service. The service
// runs in real time, so tests that talk to it turn the main loop in real time; tests that wait for
// the client's time-out shorten it (`shortenClientTimeout`) instead of waiting 15 seconds, and the
// fixture puts it back when the test ends.
#pragma once

#include "MainLoop.h"
#include "ScreenTestCase.h"

#include <LoopbackTransactionService.h>
#include <Shell/BrindleHttpClient.h>

#include <memory>

class ShellTestCase : public ScreenTestCase {
protected:
    void TearDown() override {
        if (service_) {
            service_->stop();
        }
        if (clientTimeoutShortened_) {
            // The client is one per process: the next test sends with the time-out the app has.
            client()->requestManager()->requestSerializer()->setTimeoutInterval(BrindleTransactionTimeout);
            clientTimeoutShortened_ = false;
        }
        ScreenTestCase::TearDown();
    }

    // Shortens the shared client's time-out for this test, for cases that wait for one to run out.
    void shortenClientTimeout(double seconds) {
        client()->requestManager()->requestSerializer()->setTimeoutInterval(seconds);
        clientTimeoutShortened_ = true;
    }

    // Starts the service and stores the session the way the session join does.
    LoopbackTransactionService& startService(bool secure = false) {
        service_ = std::make_unique<LoopbackTransactionService>(secure);
        service_->start();
        auto defaults = NSUserDefaults::standardUserDefaults();
        defaults->setObjectForKey(NSString::from(service_->baseURL()), "webservice"_ns);
        defaults->setObjectForKey("S-1234"_ns, "sessionid"_ns);
        return *service_;
    }

    // The identifiers the URL-scheme entry and the session join store.
    static void storeDeviceIdentifiers() {
        auto defaults = NSUserDefaults::standardUserDefaults();
        defaults->setObjectForKey("356789012345678"_ns, "uniqueid"_ns);
        defaults->setObjectForKey("F2LXK0ABCDEF"_ns, "serial"_ns);
        defaults->setObjectForKey("A1865\\A1901"_ns, "devicenumber"_ns);
    }

    static Ref<BrindleHttpClient> client() {
        auto c = BrindleHttpClient::sharedHttpClientWithBaseUrl(
            NSUserDefaults::standardUserDefaults()->stringForKey("webservice"_ns));
        return c;
    }

    static Ref<DXTestModel> record(const char* key, NSInteger result) {
        auto r = make<DXTestModel>(NSString::from(std::string(key) + "_TITLE"));
        r->setProfilekey(NSString::from(key));
        r->setResult(result);
        return r;
    }

    std::unique_ptr<LoopbackTransactionService> service_;
    bool clientTimeoutShortened_ = false;
};
