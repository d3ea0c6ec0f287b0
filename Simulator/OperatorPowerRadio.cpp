#include "OperatorPowerRadio.h"
#include "OperatorHands.h"

#include <Categorys/DXLocalizedString.h>
#include <Categorys/DXUtility.h>
#include <Diagnostics/PowerRadio/BatteryViewController.h>
#include <Diagnostics/PowerRadio/DeviceInfoViewController.h>
#include <Diagnostics/PowerRadio/RFTestViewController.h>
#include <Diagnostics/PowerRadio/SMSViewController.h>
#include <Diagnostics/PowerRadio/WifiViewController.h>
#include <Dispatch/Clock.h>
#include <MessageUI/MFMessageComposeViewController.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIButton.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UIStatusBar.h>
#include <UIKit/UITestDriver.h>

#include <cstdio>
#include <optional>
#include <set>

namespace operator_power_radio {

namespace {

using Source = hands::Feed;

std::string text(const Ref<NSString>& s) {
    return s ? s->str() : std::string();
}

bool visible(const Ref<UIView>& view) {
    return view && !view->isHidden() && view->window();
}

// The screen being worked on (by its record), when it came, and what the operator saw of it: the
// messages the receiving phone held before its Send (the inbox keeps those of earlier runs too),
// the composer's failure notice, and the biometric prompt's outcome.
struct Seen {
    const void* record = nullptr;
    double since = 0;
    int step = 0;
    size_t inboxBefore = 0;
    bool sentInComposer = false;
    bool failureNotice = false;
    bool presented = false;
    bool recognised = false;
    double promptSince = -1; // when the operator first saw the system prompt ask
    double askingSince = -1;
};

// How long a person reads a question before answering it: something may still come up over it.
constexpr double kReadingTime = 1.0;
// How long a person takes to read the system's biometric prompt before raising the phone to the face
// or a finger to the sensor.
constexpr double kPromptReadingTime = 0.5;
Seen lastSeen;

// The operator's notes on `screen`, fresh when it is another test's screen than before.
Seen& seenFor(const Ref<DXBaseViewController>& screen) {
    const void* record = screen->info().get();
    if (record != lastSeen.record) {
        lastSeen = Seen{};
        lastSeen.record = record;
        lastSeen.since = DispatchClock::uptime();
    }
    return lastSeen;
}

// The views of `view`'s tree that are on show, front-most last.
void visibleViews(const Ref<UIView>& view, std::vector<Ref<UIView>>& out) {
    if (view->isHidden() || view->alpha() < 0.01) {
        return;
    }
    out.push_back(view);
    for (const auto& sub : std::vector<Ref<UIView>>(view->subviewList())) {
        visibleViews(sub, out);
    }
}

// Whether a label on show in `view` reads `wanted`.
bool reads(const Ref<UIView>& view, const std::string& wanted) {
    std::vector<Ref<UIView>> views;
    visibleViews(view, views);
    return std::any_of(views.begin(), views.end(), [&](const Ref<UIView>& v) {
        auto label = cast<UILabel>(v);
        return label && !cast<UIButton>(v->superview()) && text(label->text()) == wanted;
    });
}

// Taps the enabled button titled `title` on show in `view`.
bool tapButtonIn(const Ref<UIView>& view, const std::string& title) {
    std::vector<Ref<UIView>> views;
    visibleViews(view, views);
    for (const auto& v : views) {
        auto button = cast<UIButton>(v);
        if (button && button->isEnabled() && text(button->currentTitle()) == title) {
            return UITestDriver::tapView(button);
        }
    }
    return false;
}

// The test screen in the app's own window, under whatever the system shows above it.
Ref<DXBaseViewController> testScreenUnder() {
    for (const auto& window : UIWindow::windowsFromBackToFront()) {
        auto navigation = cast<UINavigationController>(window->rootViewController());
        auto container = navigation ? cast<DXTestViewController>(navigation->topViewController()) : nullptr;
        if (!window->isHidden() && container) {
            return cast<DXBaseViewController>(container->oldViewController());
        }
    }
    return nullptr;
}

void only(std::optional<Source> source) {
    for (Source s : {Source::Charger, Source::ComputerUSB, Source::WirelessPad}) {
        if (source && *source == s) {
            hands::plug(s);
        } else {
            hands::unplug(s);
        }
    }
}

std::optional<Source> feedFor(const Ref<DXTestModel>& record) {
    auto controller = record ? text(record->controllerName()) : std::string();
    if (controller == "ACUsbPlugViewController") {
        return Source::Charger;
    }
    if (controller == "ComputerUSBPlugViewController") {
        return Source::ComputerUSB;
    }
    return std::nullopt;
}

bool tapAnswer(const std::map<std::string, bool>& script, const std::string& key, bool yes) {
    if (auto it = script.find(key); it != script.end()) {
        yes = it->second;
    }
    return UITestDriver::tapButtonTitled(yes ? "YES" : "NO");
}

// The figures of the battery screen: a charge row "<charge>/<full> mAh" and, where the system gives
// it, a voltage row "<volts> V". A sound battery holds at least 80 % of what it was made for (the
// rated capacity on the device's box), holds some charge, and gives a voltage a cell can have.
bool batteryLooksSound(const std::vector<std::pair<std::string, std::string>>& rows) {
    double design = hands::lookAtBox().batteryCapacity;
    std::optional<double> charge, full, volts;
    for (const auto& [name, value] : rows) {
        double a = 0, b = 0;
        if (std::sscanf(value.c_str(), "%lf/%lf mAh", &a, &b) == 2) {
            charge = a;
            full = b;
        } else if (std::sscanf(value.c_str(), "%lf V", &a) == 1 && value.find(" V") != std::string::npos) {
            volts = a;
        }
    }
    if (!charge || !full || *charge <= 0 || *full <= 0) {
        return false;
    }
    if (volts && *volts < 3.0) {
        return false;
    }
    return design <= 0 || *full >= 0.8 * design;
}

// Whether the battery mark of the status bar shows its bolt: the phone charges.
bool chargingShown() {
    auto battery = cast<UIStatusBarBatteryItemView>(UITestDriver::findView(UIStatusBarBatteryItemView::class_()));
    return battery && visible(battery->boltView());
}

// Whether the signal test's lines show service: a carrier named, and a signal reading that is not
// nothing ("Signal strength: 4 bars", "-85 dbm").
bool showsService(const Ref<RFTestViewController>& rf) {
    auto line = [](const Ref<UILabel>& label) {
        return visible(label) && label->text() ? label->text()->str() : std::string();
    };
    auto carrier = line(rf->carrier());
    auto signal = line(rf->signalStrength());
    auto colon = [](const std::string& text) {
        auto at = text.find(": ");
        return at == std::string::npos ? std::string() : text.substr(at + 2);
    };
    long reading = 0;
    bool read = std::sscanf(colon(signal).c_str(), "%ld", &reading) == 1;
    return !colon(carrier).empty() && read && reading != 0;
}

} // namespace

void useAddressPage(const std::string& url) {
    WifiViewController::setAddressPageURL(NSString::from(url));
}

bool isPowerRadioScreen(const std::string& screenClass) {
    static const std::set<std::string> screens = {
        "BatteryViewController",
        "ACUsbPlugViewController",
        "ComputerUSBPlugViewController",
        "WirelessChargingViewController",
        "WifiViewController",
        "BluetoothViewController",
        "RFTestViewController",
        "MakeCallViewController",
        "SMSViewController",
        "JailBreakViewController",
        "DeviceInfoViewController",
        "FaceIDViewController",
        "FPSViewController",
    };
    return screens.count(screenClass) != 0;
}

bool answerAlert() {
    auto alert = UITestDriver::topAlert();
    if (!alert || !alert->title()) {
        return false; // the usual case, asked after every step: no strings looked up
    }
    auto title = alert->title()->str();
    if (title != text(DXLocalizedString("ROOTLIST_TITLE_FACEID")) &&
        title != text(DXLocalizedString("ROOTLIST_TITLE_FINGERPRINT"))) {
        return false;
    }
    // Asked to enrol: goes to the settings (and enrols there).
    return UITestDriver::tapAlertButtonTitled(text(DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_SETTINGS")));
}

void prepareForUpcomingTest(const Ref<DXTestViewController>& container) {
    if (!container) {
        return;
    }
    NSUInteger index = container->indexOfHandle();
    auto current = container->modelAtIndex(index);
    auto next = container->modelAtIndex(index + 1);
    bool currentDecided = !current || current->result() != DXTestResultNotRun;
    // The test on screen keeps its feed until it has decided; otherwise the operator gets ready for
    // the next test as the test list says (a plug test decides the moment it shows).
    if (auto feed = feedFor(current); feed && !currentDecided) {
        only(feed);
    } else if (auto coming = feedFor(next)) {
        only(coming);
    } else if (currentDecided || text(current->controllerName()) != "WirelessChargingViewController") {
        only(std::nullopt); // the pad is laid down and taken away on its own screen
    }
}

bool actOnSystemScreen() {
    auto top = UITestDriver::topViewController();
    if (!top || !top->isViewLoaded() || top->isBeingPresented() || top->isBeingDismissed()) {
        return false;
    }
    auto screen = testScreenUnder();
    if (!screen || !screen->info()) {
        return false;
    }
    std::string screenClass = screen->getClass()->name();
    auto shown = top->view();
    if (cast<MFMessageComposeViewController>(top) && screenClass == "SMSViewController") {
        auto& seen = seenFor(screen);
        if (reads(shown, "Message Failed")) {
            // The composer says the message did not go: noted, and the notice closed.
            seen.failureNotice = true;
            return tapButtonIn(shown, "OK");
        }
        if (!seen.sentInComposer && tapButtonIn(shown, "Send")) {
            seen.sentInComposer = true;
            return true;
        }
        return false;
    }
    bool biometric = screenClass == "FaceIDViewController" || screenClass == "FPSViewController";
    if (top->getClass()->name() == "LAPromptViewController" && biometric) {
        auto& seen = seenFor(screen);
        if (reads(shown, "Face Recognized") || reads(shown, "Fingerprint Recognized")) {
            seen.recognised = true;
            return false;
        }
        bool asksForIt = reads(shown, "Face ID") || reads(shown, "Touch ID");
        if (!seen.presented && asksForIt) {
            // Reads the prompt, then looks at the phone or lays a finger on the sensor.
            double now = DispatchClock::uptime();
            if (seen.promptSince < 0) {
                seen.promptSince = now;
            }
            if (now - seen.promptSince < kPromptReadingTime) {
                return false;
            }
            seen.presented = true;
            hands::holdFaceOrFingerToSensor();
            return true;
        }
        return false;
    }
    return false;
}

bool act(const std::map<std::string, bool>& script, const std::string& key, const std::string& screenClass,
         const Ref<DXBaseViewController>& screen) {
    bool fresh = screen->info().get() != lastSeen.record;
    auto& seen = seenFor(screen);
    double onScreen = DispatchClock::uptime() - seen.since;
    bool asking = visible(screen->answerView()) &&
                  UIApplication::sharedApplication()->applicationState() != UIApplicationStateBackground;

    if (screenClass == "BatteryViewController") {
        // Reads the figures the screen draws and judges the battery in hand from them.
        auto battery = cast<BatteryViewController>(screen);
        if (!battery || onScreen < 1.5 || !asking) {
            return false;
        }
        return tapAnswer(script, key, batteryLooksSound(battery->rowTexts()));
    }
    if (screenClass == "WirelessChargingViewController") {
        // Lays the device on the pad and watches whether it charges.
        if (fresh) {
            only(Source::WirelessPad);
            return true;
        }
        if (onScreen < 2 || !asking) {
            return false;
        }
        // The battery mark in the status bar shows whether the phone charges.
        bool charging = chargingShown();
        only(std::nullopt);
        return tapAnswer(script, key, charging);
    }
    if (screenClass == "MakeCallViewController") {
        // Speaks on the call, comes back, and says whether it connected.
        if (!asking) {
            return false;
        }
        // The screen dials as it appears, a moment before the operator looks at it: the phone in the
        // other hand rang, and the operator heard the call on it, or it stayed silent.
        return tapAnswer(script, key, hands::listenForCallOnOtherPhone(seen.since - 1.0));
    }
    if (screenClass == "SMSViewController") {
        // Types the number of the phone in its other hand and sends; taps Send in the composer
        // (actOnSystemScreen); answers whether the message arrived on that phone.
        auto sms = cast<SMSViewController>(screen);
        if (seen.step == 0 && sms && sms->number() && sms->sendButton()) {
            seen.inboxBefore = hands::lookAtOtherPhoneMessages().size();
            UITestDriver::typeIntoField(sms->number(), hands::lookAtOtherPhoneNumber());
            seen.step = 1;
            return true;
        }
        if (seen.step == 1 && sms && sms->sendButton()->isEnabled()) {
            seen.step = 2;
            return UITestDriver::tapView(sms->sendButton());
        }
        if (seen.step < 2 || !asking) {
            return false;
        }
        // Only what arrived after this screen's Send counts.
        bool arrived = hands::lookAtOtherPhoneMessages().size() > seen.inboxBefore;
        return tapAnswer(script, key, arrived && !seen.failureNotice);
    }
    if (screenClass == "FaceIDViewController" || screenClass == "FPSViewController") {
        // Goes to the settings when asked to enrol (answerAlert); looks at the phone or touches the
        // sensor when the system prompt shows (actOnSystemScreen); answers whether the prompt said it
        // recognised the face or finger.
        if (!asking) {
            seen.askingSince = -1;
            return false;
        }
        // Back from the settings the question comes with the check: the prompt follows a moment later.
        double now = DispatchClock::uptime();
        if (seen.askingSince < 0) {
            seen.askingSince = now;
        }
        if (now - seen.askingSince < kReadingTime) {
            return false;
        }
        return tapAnswer(script, key, seen.recognised);
    }
    if (screenClass == "DeviceInfoViewController") {
        // Compares the model and the capacity shown with the device in hand, as its box and its
        // settings give them (the IMEI comes from the station, when there is one).
        auto info = cast<DeviceInfoViewController>(screen);
        if (!info || !asking || onScreen < 1) {
            return false;
        }
        auto shown = [](const Ref<UILabel>& label) {
            return label && label->text() ? label->text()->str() : std::string();
        };
        auto box = hands::lookAtBox();
        bool matches = !box.modelName.empty() && shown(info->modelValue()) == box.modelName &&
                       shown(info->capacitylValue()) == box.capacity;
        return tapAnswer(script, key, matches);
    }
    if (screenClass == "RFTestViewController") {
        // Reads the carrier and signal lines: the phone has service when a carrier is named and the
        // signal line shows a reading.
        auto rf = cast<RFTestViewController>(screen);
        if (!rf || !asking || onScreen < 1.5) {
            return false;
        }
        return tapAnswer(script, key, showsService(rf));
    }
    // The charging plugs, Wi-Fi, Bluetooth and jailbreak screens run by themselves.
    return false;
}

} // namespace operator_power_radio
