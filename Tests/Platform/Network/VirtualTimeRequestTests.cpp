// A request on virtual time that waits for the network (as the simulator's runs do): the reply comes
// over a real socket in real time, and the app meets it at the instant it asked, before anything
// timed after that instant, however long it took to come.
#include "LoopbackServer.h"

#include <Network/NSURLSession.h>

#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Support/PlatformTestCase.h>

#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

class VirtualTimeRequest : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        DispatchClock::setWaitForOutsideWork(true);
        server.stall("/slow");
        server.start();
    }
    void TearDown() override {
        server.release();
        server.stop();
        PlatformTestCase::TearDown();
    }

    void note(const std::string& what) {
        std::lock_guard lock(mutex);
        log.push_back(what + "@" + std::to_string(std::lround(elapsed() * 1000)));
    }

    LoopbackServer server;
    std::mutex mutex;
    std::vector<std::string> log;
};

} // namespace

TEST_F(VirtualTimeRequest, TheReplyLandsAtTheInstantOfTheRequest) {
    auto request = make<NSURLRequest>(NSURL::URLWithString(NSString::from(server.url("/slow"))));
    auto task = NSURLSession::sharedSession()->dataTaskWithRequestCompletionHandler(
        request, [this](const Ref<NSData>&, const Ref<NSURLResponse>&, const Ref<NSError>& error) {
            EXPECT_FALSE(error);
            note("reply");
        });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC / 2), dispatch_get_main_queue(),
                   [this] { note("timer"); });
    task->resume();
    // The server answers once the request has reached it: the reply is on its way while the clock
    // is asked to move a second.
    std::thread answer([this] {
        if (server.waitForStalled(1, 10)) {
            server.release();
        }
    });
    advance(1);
    answer.join();
    std::lock_guard lock(mutex);
    EXPECT_EQ(log, (std::vector<std::string>{"reply@0", "timer@500"}));
}
