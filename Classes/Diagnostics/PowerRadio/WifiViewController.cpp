#include <Diagnostics/PowerRadio/WifiViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Categorys/NSString+Split.h>
#include <CoreGraphics/CGGeometry.h>
#include <Darwin/Darwin.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Foundation/NSLog.h>
#include <Network/NSURLRequest.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/NSURLConnection+RXSupport.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXTuple.h>
#include <Runtime/ClassBuilder.h>
#include <SystemConfiguration/CaptiveNetwork.h>
#include <SystemInfo/Reachability.h>
#include <UIKit/UIImage.h>

#include <mutex>

NS_IMPLEMENT_CLASS(WifiViewController, DXBaseViewController) {
    using W = WifiViewController;
    b.property("chipsetTest", &W::chipsetTest, &W::setChipsetTest, "weak");
    b.property("internalAddress", &W::internalAddress, &W::setInternalAddress, "weak");
    b.property("internetAddress", &W::internetAddress, &W::setInternetAddress, "weak");
    b.property("networkpacketCheck", &W::networkpacketCheck, &W::setNetworkpacketCheck, "weak");
    b.property("step1", &W::step1, &W::setStep1, "weak");
    b.property("step2", &W::step2, &W::setStep2, "weak");
    b.property("step3", &W::step3, &W::setStep3, "weak");
    b.property("step4", &W::step4, &W::setStep4, "weak");
    b.property("activityIndicator1", &W::activityIndicator1, &W::setActivityIndicator1, "weak");
    b.property("activityIndicator2", &W::activityIndicator2, &W::setActivityIndicator2, "weak");
    b.property("activityIndicator3", &W::activityIndicator3, &W::setActivityIndicator3, "weak");
    b.property("activityIndicator4", &W::activityIndicator4, &W::setActivityIndicator4, "weak");
    b.property("ssid", &W::ssid, &W::setSsid, "weak");
    b.property("bssid", &W::bssid, &W::setBssid, "weak");
    b.method("onDone:", &W::onDone);
    b.classMethod("extraMessage", [] { return W::extraMessage(); });
}

namespace {

constexpr double kPageTimeout = 15.0;

std::mutex urlMutex;
Ref<NSString>& pageURL() {
    static Ref<NSString>* url = new Ref<NSString>(NSString::from("https://ip.celvix.com/"));
    return *url;
}

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("WifiViewController", {{"labelTitle", Kind::Label},
                                          {"chipsetTest", Kind::Label},
                                          {"activityIndicator1", Kind::Activity, true},
                                          {"step1", Kind::Image},
                                          {"internalAddress", Kind::Label},
                                          {"activityIndicator2", Kind::Activity, true},
                                          {"step2", Kind::Image},
                                          {"internetAddress", Kind::Label},
                                          {"activityIndicator3", Kind::Activity, true},
                                          {"step3", Kind::Image},
                                          {"networkpacketCheck", Kind::Label},
                                          {"activityIndicator4", Kind::Activity, true},
                                          {"step4", Kind::Image},
                                          {"ssid", Kind::Label},
                                          {"bssid", Kind::Label}});
    return true;
}();

void spin(const Ref<UIActivityIndicatorView>& spinner, bool on) {
    if (!spinner) {
        return;
    }
    spinner->setHidden(!on);
    if (on) {
        spinner->startAnimating();
    } else {
        spinner->stopAnimating();
    }
}

void done(const Ref<UIImageView>& step) {
    if (step) {
        step->setImage(UIImage::imageNamed("icon_success_shape"_ns));
    }
}

void append(const Ref<UILabel>& label, const Ref<NSString>& text) {
    if (label) {
        label->setText(NSString::stringWithFormat("%@ %@", label->text() ? label->text() : NSString::string(), text));
    }
}

Ref<NSError> functionError() {
    return NSError::errorWithDomainCodeUserInfo("Function"_ns, 1, nullptr);
}

} // namespace

Ref<NSString> WifiViewController::addressPageURL() {
    std::lock_guard lock(urlMutex);
    return pageURL();
}

void WifiViewController::setAddressPageURL(const Ref<NSString>& url) {
    std::lock_guard lock(urlMutex);
    pageURL() = url;
}

id WifiViewController::extraMessage() {
    auto reachability = Reachability::reachabilityForLocalWiFi();
    if (reachability && reachability->currentReachabilityStatus() == 1) {
        return nullptr;
    }
    return DXLocalizedString("WIFI_CONTROLLER_WARRING");
}

Ref<NSString> WifiViewController::getIPAddress() {
    Ref<NSString> address = "error"_ns;
    darwin::ifaddrs* interfaces = nullptr;
    if (darwin::getifaddrs(&interfaces) != 0) {
        return address;
    }
    for (auto* entry = interfaces; entry; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET && entry->ifa_name &&
            std::string(entry->ifa_name) == "en0") {
            address = NSString::from(darwin::inet_ntoa(reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr));
        }
    }
    darwin::freeifaddrs(interfaces);
    return address;
}

Ref<NSDictionary> WifiViewController::fetchSSIDInfo() {
    auto interfaces = CNCopySupportedInterfaces();
    NSLog("Supported interfaces: %@", interfaces);
    Ref<NSDictionary> info;
    if (!interfaces) {
        return info;
    }
    for (const id& name : *interfaces) {
        info = CNCopyCurrentNetworkInfo(cast<NSString>(name));
        NSLog("%@ => %@", name, info);
        if (info && info->count() > 0) {
            if (ssid()) {
                ssid()->setText(cast<NSString>(info->objectForKey(kCNNetworkInfoKeySSID())));
            }
            if (bssid()) {
                bssid()->setText(cast<NSString>(info->objectForKey(kCNNetworkInfoKeyBSSID())));
            }
            break;
        }
    }
    return info;
}

void WifiViewController::onDone(const id&) {
    NSLog("onDone");
}

Ref<NSString> WifiViewController::addressInPage(const Ref<NSData>& body) {
    auto text = body ? NSString::stringWithDataEncoding(body, NSUTF8StringEncoding) : nullptr;
    auto address = text ? stringSplitWithBeginEnd(text, "class=\"ip ipv4\">"_ns, "</a></p>"_ns) : nullptr;
    // A page without the address still came: the address is then empty, and the step done.
    return address ? address : NSString::string();
}

void WifiViewController::fail(NSUInteger item) {
    if (isCompleted()) {
        return;
    }
    dx_sensors::markSubItem(subItemlist(), item, DXTestResultFail);
    if (info()) {
        info()->setResult(DXTestResultFail);
    }
    gotoResultView();
}

void WifiViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    hidenButtons(true);
    setSubItemlist(
        dx_sensors::subItems({"Chipset Test", "Wi-Fi (internal) IP", "Internet IP", "Check network packet"}));
    Weak<WifiViewController> weak(this);
    present()
        ->takeUntil(rx_signalForSelector(Ref<NSObject>(this), "viewWillDisappear:"))
        ->subscribeNext([weak](const id&) {
            if (auto self = weak.lock()) {
                self->hidenButtons(true);
            }
        });
    auto set = [](const Ref<UILabel>& label, const char* key) {
        if (label) {
            label->setText(DXLocalizedString(key));
        }
    };
    set(labelTitle(), "WIFI_CONTROLLER_TITLE");
    set(chipsetTest(), "WIFI_CONTROLLER_CHIPSET_TEST");
    set(internalAddress(), "WIFI_CONTROLLER_INTERNAL_IP");
    set(internetAddress(), "WIFI_CONTROLLER_INERNET_IP");
    set(networkpacketCheck(), "WIFI_CONTROLLER_CHECK_NETWORK_PACKET");
    spin(activityIndicator1(), true);

    auto main = RXScheduler::mainThreadScheduler();
    // Which item the chain is on, so a failure marks the one that failed.
    auto failedItem = std::make_shared<NSUInteger>(1);
    auto gone =
        rx_signalForSelector(Ref<NSObject>(this), "viewWillDisappear:")->mapReplace(NSNumber::numberWithBool(true));
    RXSignal::intervalOnScheduler(3.0, main)
        ->take(1)
        ->flattenMap([weak, failedItem](const id&) -> Ref<RXSignal> {
            if (auto self = weak.lock()) {
                spin(self->activityIndicator1(), false);
                spin(self->activityIndicator2(), true);
                done(self->step1());
                dx_sensors::markSubItem(self->subItemlist(), 0, DXTestResultPass);
            }
            return RXSignal::defer([] {
                auto address = getIPAddress();
                if (!address || address->length() == 0 || address->str() == "error") {
                    return RXSignal::error(functionError());
                }
                return RXSignal::return_(address)->delay(1.0);
            });
        })
        ->flattenMap([weak, failedItem](const id& address) -> Ref<RXSignal> {
            if (auto self = weak.lock()) {
                spin(self->activityIndicator2(), false);
                spin(self->activityIndicator3(), true);
                done(self->step2());
                append(self->internalAddress(), cast<NSString>(address));
                dx_sensors::markSubItem(self->subItemlist(), 1, DXTestResultPass);
            }
            *failedItem = 2;
            auto url = NSURL::URLWithString(addressPageURL());
            if (!url) {
                return RXSignal::error(functionError());
            }
            auto request = NSURLRequest::requestWithURLCachePolicyTimeoutInterval(
                url, NSURLRequestUseProtocolCachePolicy, kPageTimeout);
            return rx_sendAsynchronousRequest(request)
                ->timeoutOnScheduler(kPageTimeout, RXScheduler::mainThreadScheduler())
                ->map([](const id& reply) -> id {
                    auto tuple = cast<RXTuple>(reply);
                    return addressInPage(tuple ? cast<NSData>(tuple->second()) : nullptr);
                })
                ->deliverOnMainThread();
        })
        ->flattenMap([weak, main](const id& address) -> Ref<RXSignal> {
            if (auto self = weak.lock()) {
                spin(self->activityIndicator3(), false);
                spin(self->activityIndicator4(), true);
                done(self->step3());
                append(self->internetAddress(), cast<NSString>(address));
                dx_sensors::markSubItem(self->subItemlist(), 2, DXTestResultPass);
            }
            return RXSignal::intervalOnScheduler(2.0, main)->take(1);
        })
        ->takeUntil(gone)
        ->subscribeNextError(
            [weak](const id&) {
                auto self = weak.lock();
                if (!self || self->isCompleted()) {
                    return;
                }
                spin(self->activityIndicator4(), false);
                done(self->step4());
                NSLog("all task has been done.");
                dx_sensors::markSubItem(self->subItemlist(), 3, DXTestResultPass);
                if (self->info()) {
                    self->info()->setResult(DXTestResultPass);
                }
                self->gotoResultView();
            },
            [weak, failedItem](const Ref<NSError>& error) {
                NSLog("Wi-Fi test failed: %@", error);
                if (auto self = weak.lock()) {
                    self->fail(*failedItem);
                }
            });
}
