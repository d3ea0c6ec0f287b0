#include "SystemInfoTestCase.h"

#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Dispatch/Dispatch.h>
#include <Foundation/NSLog.h>
#include <Support/LogCapture.h>
#include <SystemInfo/SICarrier.h>
#include <SystemInfo/SINetwork.h>

#include <httplib.h>

#include <atomic>
#include <chrono>

class NetworkTests : public SystemInfoTestCase {
protected:
    static std::string text(const Ref<NSString>& s) { return s ? s->str() : "(nil)"; }
};

TEST_F(NetworkTests, Addresses) {
    // en0 lists its IPv6 address first: it is never read as an IPv4 one.
    EXPECT_EQ(text(SINetwork::currentIPAddress()), "192.168.1.23");
    EXPECT_EQ(text(SINetwork::cellIPAddress()), "100.64.1.2");
    EXPECT_EQ(text(SINetwork::WiFiNetmaskAddress()), "255.255.255.0");
    EXPECT_EQ(text(SINetwork::WiFiBroadcastAddress()), "192.168.1.255");
    EXPECT_EQ(text(SINetwork::macAddress()), "F0:18:98:0A:1B:2C");
    EXPECT_EQ(text(SINetwork::SSID()), "StoreNet");
    EXPECT_EQ(text(SINetwork::BSSID()), "a4:2b:b0:11:22:33");

    setInterfaces({{"en0", true, "02:00:00:00:00:01", {{"10.0.0.5", "255.255.0.0"}}, "10.0.0.1"},
                   {"pdp_ip0", true, "", {{"100.64.1.2", ""}, {"100.64.9.9", ""}}, ""}});
    EXPECT_EQ(text(SINetwork::currentIPAddress()), "10.0.0.5");
    EXPECT_EQ(text(SINetwork::cellIPAddress()), "100.64.9.9"); // the later one
    EXPECT_EQ(text(SINetwork::WiFiBroadcastAddress()), "10.0.255.255");

    // Without Wi-Fi the cellular address answers; an IPv6-only Wi-Fi interface gives no address.
    setInterfaces({{"en0", true, "", {{"fe80::1", "64"}}, ""}, {"pdp_ip0", true, "", {{"100.64.1.2", ""}}, ""}});
    EXPECT_EQ(text(SINetwork::currentIPAddress()), "100.64.1.2");
    EXPECT_EQ(text(SINetwork::WiFiNetmaskAddress()), "(nil)");
    EXPECT_EQ(text(SINetwork::WiFiBroadcastAddress()), "(nil)");
    setInterfaces({});
    EXPECT_EQ(text(SINetwork::currentIPAddress()), "0.0.0.0");
    EXPECT_EQ(text(SINetwork::cellIPAddress()), "(nil)");
    EXPECT_EQ(text(SINetwork::SSID()), "(nil)");
}

TEST_F(NetworkTests, MacAddressFailuresAreNilAndLogged) {
    LogCapture capture;
    setInterfaces({{"pdp_ip0", true, "", {{"100.64.1.2", ""}}, ""}});
    EXPECT_EQ(SINetwork::macAddress(), nullptr);
    setInterfaces({{"en0", true, "", {{"10.0.0.5", "255.255.255.0"}}, "10.0.0.1"}});
    EXPECT_EQ(SINetwork::macAddress(), nullptr); // no hardware address
    auto logged = capture.finish();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0], "Error: if_nametoindex failure");
    EXPECT_EQ(logged[1], "Error: sysctl msgBuffer failure");
}

TEST_F(NetworkTests, PathsToTheInternet) {
    EXPECT_TRUE(SINetwork::connectedViaWiFi());
    EXPECT_FALSE(SINetwork::connectedVia3G());
    device().setInterfaceUp("en0", false);
    EXPECT_FALSE(SINetwork::connectedViaWiFi());
    EXPECT_TRUE(SINetwork::connectedVia3G());
    EXPECT_EQ(text(SINetwork::SSID()), "(nil)"); // Wi-Fi off: no joined network
    device().setInterfaceUp("pdp_ip0", false);
    EXPECT_FALSE(SINetwork::connectedViaWiFi());
    EXPECT_FALSE(SINetwork::connectedVia3G());
}

TEST_F(NetworkTests, EchoPages) {
    EXPECT_EQ(
        text(SINetwork::addressFromEchoPage(
            "<html><head><title>Current IP Check</title></head><body>Current IP Address: 203.0.113.9</body></html>")),
        "203.0.113.9");
    EXPECT_EQ(text(SINetwork::addressFromEchoPage("<html><body>Nothing here</body></html>")), "(nil)");
    EXPECT_EQ(text(SINetwork::addressFromEchoPage("")), "(nil)");
    EXPECT_EQ(text(SINetwork::addressFromEchoPage("  \n ")), "(nil)");
    EXPECT_EQ(text(SINetwork::addressFromEchoPage("<b>Address:</b>")), "(nil)");
    EXPECT_EQ(text(SINetwork::addressFromEchoPage("Address: 198.51.100.7")), "198.51.100.7");
}

TEST_F(NetworkTests, SharedInstance) {
    auto shared = SINetwork::sharedInstance();
    EXPECT_EQ(shared.get(), SINetwork::sharedInstance().get());
    EXPECT_EQ(shared->copy().get(), shared.get());
}

TEST_F(NetworkTests, Carrier) {
    EXPECT_EQ(text(SICarrier::carrierName()), "Celvix Mobile");
    EXPECT_EQ(text(SICarrier::carrierISOCountryCode()), "us");
    EXPECT_EQ(text(SICarrier::carrierMobileCountryCode()), "310");
    EXPECT_EQ(text(SICarrier::carrierMobileNetworkCode()), "410");
    EXPECT_TRUE(SICarrier::carrierAllowsVOIP());
    load("iPad7,5"); // no cellular radio, no SIM
    EXPECT_EQ(text(SICarrier::carrierName()), "(nil)");
    EXPECT_EQ(text(SICarrier::carrierMobileNetworkCode()), "(nil)");
    EXPECT_FALSE(SICarrier::carrierAllowsVOIP());
    device().setCarrier(SimDevice::Carrier{"Other", "fr", "208", "01", false});
    EXPECT_EQ(text(SICarrier::carrierName()), "Other");
    EXPECT_FALSE(SICarrier::carrierAllowsVOIP());
}

// The external address, from an echo page on a loopback server (real time).
class ExternalAddressTests : public NetworkTests {
protected:
    void SetUp() override {
        NetworkTests::SetUp();
        DispatchClock::useRealTime();
        server_.server().Get("/cgi-bin/check_ip.cgi", [this](const httplib::Request&, httplib::Response& response) {
            ++requests_;
            response.set_content("<html><head><title>Current IP Check</title></head><body>Current IP Address: "
                                 "203.0.113.9</body></html>",
                                 "text/html");
        });
        server_.server().Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<html><body>Address: 192.0.2.1</body></html>", "text/html");
        });
        server_.stall("/slow");
        server_.start();
        SINetwork::setExternalIPAddressURL(NSURL::URLWithString(NSString::from(server_.url("/cgi-bin/check_ip.cgi"))));
    }
    void TearDown() override {
        server_.release();
        server_.stop();
        NetworkTests::TearDown();
    }

    LoopbackServer server_;
    std::atomic<int> requests_{0};
};

TEST_F(ExternalAddressTests, ReadsTheEchoPage) {
    EXPECT_EQ(text(SINetwork::externalIPAddress()), "203.0.113.9");
    EXPECT_EQ(requests_.load(), 1);

    // From another thread too.
    Ref<NSString> fromWorker;
    std::thread worker([&] { fromWorker = SINetwork::externalIPAddress(); });
    worker.join();
    EXPECT_EQ(text(fromWorker), "203.0.113.9");
}

TEST_F(ExternalAddressTests, NothingIsFetchedWithoutAPath) {
    device().setInterfaceUp("en0", false);
    device().setInterfaceUp("pdp_ip0", false);
    EXPECT_EQ(text(SINetwork::externalIPAddress()), "(nil)");
    EXPECT_EQ(requests_.load(), 0);
    device().setInterfaceUp("pdp_ip0", true); // over cellular it is fetched
    EXPECT_EQ(text(SINetwork::externalIPAddress()), "203.0.113.9");
}

TEST_F(ExternalAddressTests, AFailedDownloadGivesNil) {
    SINetwork::setExternalIPAddressURL(NSURL::URLWithString(NSString::from(server_.url("/missing"))));
    EXPECT_EQ(text(SINetwork::externalIPAddress()), "(nil)");
    SINetwork::setExternalIPAddressURL(NSURL::URLWithString("http://127.0.0.1:1/cgi-bin/check_ip.cgi"_ns));
    EXPECT_EQ(text(SINetwork::externalIPAddress()), "(nil)");
}

TEST_F(ExternalAddressTests, ASilentServerTimesOutWhileTheMainThreadGoesOn) {
    SINetwork::setExternalIPAddressURL(NSURL::URLWithString(NSString::from(server_.url("/slow"))));
    SINetwork::setExternalIPAddressTimeout(1.0);
    bool mainQueueRan = false;
    dispatch_async(dispatch_get_main_queue(), [&] { mainQueueRan = true; });
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(text(SINetwork::externalIPAddress()), "(nil)");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_GE(seconds, 0.9);
    EXPECT_LT(seconds, 5.0);
    EXPECT_TRUE(mainQueueRan); // the main queue was served during the wait
}
