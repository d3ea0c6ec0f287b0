// WifiViewController: the Wi-Fi test. Four sub-items run one after another without the operator:
// the chipset (a 3-second pause), the Wi-Fi interface's IPv4 address ("en0"), the public address
// (an HTTPS page that names the caller's address between `class="ip ipv4">` and "</a></p>", within
// 15 seconds) and a last 2-second pause. All four done passes; otherwise the item that failed is
// marked 2 (a missing interface address is the Wi-Fi item's failure, a page request that fails or
// does not come within the time is the internet item's) and the test fails. A page that came but
// names no address between the markers (or is not UTF-8 text) gives an empty public address, and
// the step is done. Leaving the screen stops the chain.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>

class WifiViewController : public DXBaseViewController {
    NS_OBJECT(WifiViewController, DXBaseViewController)
public:
    WifiViewController() = default;
    NS_WEAK_PROPERTY(UILabel, chipsetTest, setChipsetTest)
    NS_WEAK_PROPERTY(UILabel, internalAddress, setInternalAddress)
    NS_WEAK_PROPERTY(UILabel, internetAddress, setInternetAddress)
    NS_WEAK_PROPERTY(UILabel, networkpacketCheck, setNetworkpacketCheck)
    NS_WEAK_PROPERTY(UIImageView, step1, setStep1)
    NS_WEAK_PROPERTY(UIImageView, step2, setStep2)
    NS_WEAK_PROPERTY(UIImageView, step3, setStep3)
    NS_WEAK_PROPERTY(UIImageView, step4, setStep4)
    NS_WEAK_PROPERTY(UIActivityIndicatorView, activityIndicator1, setActivityIndicator1)
    NS_WEAK_PROPERTY(UIActivityIndicatorView, activityIndicator2, setActivityIndicator2)
    NS_WEAK_PROPERTY(UIActivityIndicatorView, activityIndicator3, setActivityIndicator3)
    NS_WEAK_PROPERTY(UIActivityIndicatorView, activityIndicator4, setActivityIndicator4)
    NS_WEAK_PROPERTY(UILabel, ssid, setSsid)
    NS_WEAK_PROPERTY(UILabel, bssid, setBssid)

    void viewDidLoad() override;
    // The dotted IPv4 address of "en0", or "error".
    static Ref<NSString> getIPAddress();
    Ref<NSDictionary> fetchSSIDInfo();
    void onDone(const id& sender);
    // "WIFI_CONTROLLER_WARRING" when the local Wi-Fi network cannot be reached, else nil.
    static id extraMessage();

    // The public-address page (the deployment's; the simulator points it at its loopback service).
    static Ref<NSString> addressPageURL();
    static void setAddressPageURL(const Ref<NSString>& url);
    // The address in a reply body: the text between the markers, or the empty text when the body is
    // not UTF-8, lacks a marker or has nothing between them.
    static Ref<NSString> addressInPage(const Ref<NSData>& body);

private:
    void fail(NSUInteger item);
};
