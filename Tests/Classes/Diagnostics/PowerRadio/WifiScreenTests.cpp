// The Wi-Fi screen against the simulated interfaces and a real public-address page on the loopback
// service: pass, no Wi-Fi (off, dead, absent), an unreadable interface table, a request that fails
// (an error status, nothing listening) or times out, and pages that came without an address (no
// markers, nothing between them, binary). The pauses run on virtual time; the page comes in real time.
#include "PowerRadioTestCase.h"

#include <Device/SimRadios.h>
#include <Diagnostics/PowerRadio/WifiViewController.h>
#include <LoopbackTransactionService.h>

#include <chrono>
#include <thread>

class WifiScreenTests : public PowerRadioTestCase {
protected:
    void SetUp() override {
        PowerRadioTestCase::SetUp();
        service_.start();
        WifiViewController::setAddressPageURL(NSString::from(service_.addressPageURL()));
    }
    void TearDown() override {
        service_.stop();
        PowerRadioTestCase::TearDown();
    }
    Ref<WifiViewController> wifi() {
        auto screen = cast<WifiViewController>(run("WifiViewController"));
        EXPECT_TRUE(screen);
        return screen;
    }
    // "result" of sub-item `i` (0 when it has none).
    NSInteger item(NSUInteger i) {
        auto list = testScreen() ? testScreen()->subItemlist() : nullptr;
        auto entry = list ? cast<NSDictionary>(list->objectAtIndex(i)) : nullptr;
        auto value = entry ? cast<NSNumber>(entry->objectForKey("result"_ns)) : nullptr;
        return value ? value->integerValue() : 0;
    }
    // Waits in real time (the clock stands still) until the page's answer has been taken in.
    bool waitForPage(double seconds = 10) {
        auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < limit) {
            runUntilIdle();
            if (item(2) != 0 || ended()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    void page(const std::string& body, int status = 200, double delay = 0, const char* type = "text/html") {
        LoopbackTransactionService::AddressPage p;
        p.body = body;
        p.status = status;
        p.delay = delay;
        p.contentType = type;
        service_.setAddressPage(p);
    }
    LoopbackTransactionService service_;
};

TEST_F(WifiScreenTests, PassesAfterThePausesWithBothAddresses) {
    auto screen = wifi();
    EXPECT_TRUE(screen->answerView()->isHidden());
    advance(2.4); // the run settled for half a second already
    EXPECT_EQ(item(0), 0);
    advance(0.2);
    EXPECT_EQ(item(0), 1);
    advance(0.8);
    EXPECT_EQ(item(1), 0);
    advance(0.3);
    EXPECT_EQ(item(1), 1);
    EXPECT_EQ(labelText(screen->internalAddress()), "Local address 10.0.0.5");
    ASSERT_TRUE(waitForPage());
    EXPECT_EQ(item(2), 1);
    EXPECT_EQ(labelText(screen->internetAddress()), "Internet address 127.0.0.1");
    EXPECT_FALSE(ended());
    EXPECT_TRUE(runUntil([&] { return ended(); }, 2.1));
    EXPECT_EQ(item(3), 1);
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_TRUE(ended());
}

TEST_F(WifiScreenTests, NoWiFiAddressFailsTheWiFiItemAfterThreeSeconds) {
    for (int c = 0; c < 4; ++c) {
        auto& radios = SimRadios::current();
        if (c == 0) {
            radios.setState(SimRadios::Part::WiFi, SimRadios::State::Off);
        } else if (c == 1) {
            radios.setState(SimRadios::Part::WiFi, SimRadios::State::Absent);
        } else if (c == 2) {
            radios.setState(SimRadios::Part::WiFi, SimRadios::State::Dead); // there, but without a link
        } else {
            radios.setInterfaceTableReadable(false);
        }
        wifi();
        advance(2.4); // the run settled for half a second already
        EXPECT_FALSE(ended());
        advance(0.2);
        EXPECT_TRUE(ended()) << c;
        EXPECT_EQ(result(), DXTestResultFail);
        EXPECT_EQ(item(0), 1);
        EXPECT_EQ(item(1), 2); // the Wi-Fi item, not the internet one
        EXPECT_EQ(item(2), 0);
        EXPECT_EQ(item(3), 0);
        radios.setInterfaceTableReadable(true);
        TearDown();
        SetUp();
    }
}

TEST_F(WifiScreenTests, APageWithoutAnAddressStillPassesWithAnEmptyAddress) {
    std::string huge(10 << 20, 'x');
    huge += R"(<p><a class="ip ipv4">1.2.3.4</a></p>)";
    struct Page {
        std::string body;
        int status;
        std::string shown; // the internet caption at the end
    };
    const Page pages[] = {
        {"<html>no address here</html>", 200, "Internet address "},
        {R"(<p class="ip ipv4"></a></p>)", 200, "Internet address "},    // nothing between the markers
        {R"(<p class="ip ipv4">9.9.9.9</p>)", 200, "Internet address "}, // no end marker
        {std::string("\xff\xfe\x00\x01 binary", 10), 200, "Internet address "},
        {huge, 200, "Internet address 1.2.3.4"},
    };
    for (const auto& p : pages) {
        page(p.body, p.status);
        auto screen = wifi();
        advance(4.0);
        ASSERT_TRUE(waitForPage(20));
        EXPECT_EQ(item(2), 1) << p.body.substr(0, 40);
        EXPECT_EQ(labelText(screen->internetAddress()), p.shown);
        EXPECT_TRUE(runUntil([&] { return ended(); }, 2.1));
        EXPECT_EQ(item(3), 1);
        EXPECT_EQ(result(), DXTestResultPass) << p.body.substr(0, 40);
        TearDown();
        SetUp();
    }
}

TEST_F(WifiScreenTests, ARequestThatFailsFailsTheInternetItem) {
    // The server answers with an error status: the request failed.
    page("oops", 500);
    wifi();
    advance(4.0);
    ASSERT_TRUE(waitForPage());
    EXPECT_EQ(item(2), 2);
    EXPECT_EQ(result(), DXTestResultFail);
    TearDown();
    SetUp();
    auto url = service_.addressPageURL();
    service_.stop(); // nothing answers there any more
    WifiViewController::setAddressPageURL(NSString::from(url));
    wifi();
    advance(4.0);
    ASSERT_TRUE(waitForPage());
    EXPECT_EQ(item(1), 1);
    EXPECT_EQ(item(2), 2);
    EXPECT_EQ(item(3), 0);
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_TRUE(ended());
}

TEST_F(WifiScreenTests, APageThatDoesNotComeTimesOutAfterFifteenSeconds) {
    page("", 200, 60); // held far longer than the app waits
    wifi();
    advance(3.6); // the page is asked for four seconds after the screen came
    advance(14.8);
    EXPECT_FALSE(ended());
    advance(0.2);
    EXPECT_TRUE(ended());
    EXPECT_EQ(item(2), 2);
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(WifiScreenTests, LeavingStopsTheChain) {
    auto screen = wifi();
    advance(1);
    screen->performSelectorWithObject("viewWillDisappear:", NSNumber::numberWithBool(false));
    advance(30);
    EXPECT_EQ(result(), DXTestResultNotRun);
    EXPECT_EQ(item(0), 0);
}

TEST_F(WifiScreenTests, TheAddressIsBetweenTheMarkersAndTheWarningFollowsTheLocalLink) {
    auto data = [](const char* s) { return NSData::dataWithString(s); };
    EXPECT_EQ(WifiViewController::addressInPage(data(R"(<a class="ip ipv4">8.8.4.4</A></P> tail)"))->str(), "8.8.4.4");
    EXPECT_EQ(WifiViewController::addressInPage(data(R"(class="ip ipv4">8.8.4.4)"))->str(), "");
    EXPECT_EQ(WifiViewController::addressInPage(nullptr)->str(), "");
    EXPECT_EQ(WifiViewController::getIPAddress()->str(), "10.0.0.5");
    SimRadios::current().setState(SimRadios::Part::WiFi, SimRadios::State::Off);
    EXPECT_EQ(WifiViewController::getIPAddress()->str(), "error");
}
