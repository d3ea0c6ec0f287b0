// SINetwork: the device's network addresses and links: the current IP address (Wi-Fi first, then
// cellular), the path to the internet, the Wi-Fi MAC address, the external IP address as an
// IP-echo page sees it, the cellular address, the Wi-Fi netmask and broadcast address, and the
// joined Wi-Fi network. Addresses are dotted IPv4 texts. The information operations are class
// operations; the one instance exists for those who want an object.
#pragma once

#include <Foundation/NSString.h>
#include <Foundation/NSURL.h>

class SINetwork : public NSObject {
    NS_OBJECT(SINetwork, NSObject)
public:
    // The one instance, made once; copying it gives itself.
    static Ref<SINetwork> sharedInstance();
    id copy() const override;

    // The IPv4 address of "en0", else of "pdp_ip0", else "0.0.0.0".
    static Ref<NSString> currentIPAddress();
    static bool connectedViaWiFi();
    static bool connectedVia3G();
    // "XX:XX:XX:XX:XX:XX" of "en0"; nil when it cannot be had (the reason is logged).
    static Ref<NSString> macAddress();
    // The address after the word "Address:" of the IP-echo page; nil without a Wi-Fi or cellular
    // path, on a failed or timed-out download, or when the page names none. The download has a
    // time-out; on the main thread the main run loop keeps turning while it waits.
    static Ref<NSString> externalIPAddress();
    static Ref<NSString> cellIPAddress();
    static Ref<NSString> WiFiNetmaskAddress();
    static Ref<NSString> WiFiBroadcastAddress();
    // The joined Wi-Fi network's BSSID and SSID, or nil.
    static Ref<NSString> BSSID();
    static Ref<NSString> SSID();

    // The IP-echo page (plain http; its path is "/cgi-bin/check_ip.cgi") and the time-out of its
    // download in seconds. Settable for tests and for sites with an echo server of their own.
    static Ref<NSURL> externalIPAddressURL();
    static void setExternalIPAddressURL(const Ref<NSURL>& url);
    static double externalIPAddressTimeout();
    static void setExternalIPAddressTimeout(double seconds);

    // The address that an IP-echo page names (the word after "Address:" once its tags are
    // blanked), or nil.
    static Ref<NSString> addressFromEchoPage(const std::string& page);
};
