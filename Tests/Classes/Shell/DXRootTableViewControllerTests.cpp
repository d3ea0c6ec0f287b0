// The session road of the root screen against the loopback transaction service: the typed path and
// the QR path (through the scanner seam) up to the pushed run, the refusals and failures that take
// the operator back to the session entry, the camera gate and the identifier wait.
#include "ShellTestCase.h"

#include <Categorys/DXLocalizedString.h>
#include <Categorys/DXUtility.h>
#include <Core/DXTestViewController.h>
#include <Shell/AppDelegate.h>
#include <Shell/DXRootTableViewController.h>
#include <Shell/EnterSessionIdViewController.h>
#include <Shell/StartViewController.h>

#include <Foundation/NSFileManager.h>

#include <filesystem>
#include <fstream>

namespace {

class SessionRoadTest : public ShellTestCase {
protected:
    void SetUp() override {
        ShellTestCase::SetUp();
        // The road talks to the loopback service: real time from the start, so that nothing the screens
        // time (the splash, the overlays, the requests' time-outs) moves when the clock changes.
        DispatchClock::useRealTime();
        DXRootTableViewController::setCameraAuthorization({});
        DXRootTableViewController::setQRScannerFactory(nullptr);
    }
    void TearDown() override {
        DXRootTableViewController::setCameraAuthorization({});
        DXRootTableViewController::setQRScannerFactory(nullptr);
        root_ = nullptr;
        ShellTestCase::TearDown();
    }

    LoopbackTransactionService& serve(std::vector<std::string> keys) {
        auto& service = startService();
        service.setCompanySettings(LoopbackTransactionService::companySettingsFor(keys));
        // The model list is asked of the same host: it has none, so the look-up gives nothing.
        DXUtility::setModelListServer(NSString::from(service.baseURL()));
        auto defaults = NSUserDefaults::standardUserDefaults();
        defaults->removeObjectForKey("webservice"_ns);
        defaults->removeObjectForKey("sessionid"_ns);
        return service;
    }

    void launchRoot() {
        root_ = make<DXRootTableViewController>();
        showInNavigation(root_);
        ASSERT_TRUE(runMainLoopUntil([&] { return presented<StartViewController>() != nullptr; }, 5));
        drainMainLoop(0.5); // the page's presentation animates
    }

    template <class T>
    Ref<T> presented() {
        return root_ ? cast<T>(navigation_->presentedViewController()) : nullptr;
    }

    bool runStarted() { return cast<DXTestViewController>(navigation_->topViewController()) != nullptr; }

    Ref<EnterSessionIdViewController> pressStartUntilForm() {
        EXPECT_TRUE(UITestDriver::tapButtonTitled("Start"));
        EXPECT_TRUE(runMainLoopUntil([&] { return presented<EnterSessionIdViewController>() != nullptr; }, 5));
        drainMainLoop(0.5);
        auto form = presented<EnterSessionIdViewController>();
        return form;
    }

    void typeAndSend(const Ref<EnterSessionIdViewController>& form, const std::string& server,
                     const std::string& session) {
        ASSERT_TRUE(form);
        form->serverTextField()->setText(nullptr);
        form->sessionidTextField()->setText(nullptr);
        ASSERT_TRUE(UITestDriver::typeIntoField(form->serverTextField(), server));
        ASSERT_TRUE(UITestDriver::typeIntoField(form->sessionidTextField(), session));
        drainMainLoop(0.05);
        ASSERT_TRUE(form->sendBtn()->isEnabled());
        ASSERT_TRUE(UITestDriver::tapView(form->sendBtn()));
    }

    static std::string stored(const char* key) {
        auto value = NSUserDefaults::standardUserDefaults()->stringForKey(NSString::from(key));
        return value ? value->str() : "<absent>";
    }

    Ref<DXRootTableViewController> root_;
};

} // namespace

TEST_F(SessionRoadTest, TypedPathJoinsWritesTheProfileAndStartsTheRun) {
    auto& service = serve({"DECORATION_TEST", "CRASH_SCREEN_TEST"});
    storeDeviceIdentifiers();
    launchRoot();
    auto form = pressStartUntilForm(); // no camera on this platform: straight to the form
    auto host = service.baseURL().substr(std::string("http://").size());
    typeAndSend(form, "  http://" + host + "  ", " S-77 ");
    ASSERT_TRUE(runMainLoopUntil([&] { return runStarted(); }, 15));

    EXPECT_EQ(stored("webservice"), service.baseURL()); // trimmed, its own scheme kept
    EXPECT_EQ(stored("sessionid"), "S-77");
    ASSERT_EQ(service.recordCount(), 1u);
    auto record = service.records()[0];
    EXPECT_EQ(record["uuid"], "S-77");
    EXPECT_EQ(record["result"], 2);
    EXPECT_EQ(record["evaluate"], "0");
    EXPECT_EQ(record["esnNumber"], "356789012345678");

    auto profile = json(readText(documentsFile("quorvane_config.txt")));
    auto entries = cast<NSArray>(cast<NSDictionary>(profile)->objectForKey("profile"_ns));
    ASSERT_EQ(entries->count(), 3u);
    EXPECT_EQ(cast<NSString>(cast<NSDictionary>(entries->objectAtIndex(0))->objectForKey("profile_key"_ns))->str(),
              "DECORATION_TEST");
    EXPECT_EQ(cast<NSString>(cast<NSDictionary>(entries->objectAtIndex(2))->objectForKey("profile_key"_ns))->str(), "");
    auto container = cast<DXTestViewController>(navigation_->topViewController());
    EXPECT_EQ(container->runType(), 1);
    EXPECT_EQ(container->testModels()->count(), 2u);
    EXPECT_TRUE(root_->autoSection() && root_->manualSection());
}

TEST_F(SessionRoadTest, UnusableTypedEntriesAreRefusedOnTheForm) {
    auto& service = serve({"DECORATION_TEST"});
    storeDeviceIdentifiers();
    launchRoot();
    auto form = pressStartUntilForm();
    typeAndSend(form, "bad host name", "S-1");
    EXPECT_TRUE(runMainLoopUntil(
        [&] { return UITestDriver::isTextVisible(DXLocalizedString(kDXSessionServerRefusal)->str()); }, 2));
    typeAndSend(form, std::string(2000, 'h'), "S-1");
    typeAndSend(form, "ftp://" + std::string("x.example"), "S-1");
    drainMainLoop(0.2);
    EXPECT_EQ(service.recordCount(), 0u);
    EXPECT_EQ(presented<EnterSessionIdViewController>(), form); // still there to correct
    EXPECT_EQ(stored("webservice"), "<absent>");
}

TEST_F(SessionRoadTest, ARefusalIsShownAndTheOperatorGetsTheFormBack) {
    auto& service = serve({"DECORATION_TEST"});
    service.refuse(409, "closed");
    storeDeviceIdentifiers();
    launchRoot();
    auto form = pressStartUntilForm();
    typeAndSend(form, service.baseURL(), "S-1");
    auto message = DXLocalizedString("MT_LOGIN_HAS_USELESS_ID_ERROR")->str();
    ASSERT_TRUE(runMainLoopUntil([&] { return UITestDriver::isTextVisible(message); }, 10));
    ASSERT_TRUE(runMainLoopUntil(
        [&] {
            auto again = presented<EnterSessionIdViewController>();
            return again && again != form;
        },
        10));
    EXPECT_FALSE(runStarted());
}

TEST_F(SessionRoadTest, SettingsWithNothingSwitchedOnSayWhyAndLeadBack) {
    auto& service = serve({});
    service.setCompanySettings({{"WIFI_TEST", {{"value", "off"}}}});
    storeDeviceIdentifiers();
    launchRoot();
    auto form = pressStartUntilForm();
    typeAndSend(form, service.baseURL(), "S-1");
    auto message = DXLocalizedString("ROOT_SESSION_NO_TESTS")->str();
    ASSERT_TRUE(runMainLoopUntil([&] { return UITestDriver::isTextVisible(message); }, 10));
    ASSERT_TRUE(runMainLoopUntil(
        [&] {
            auto again = presented<EnterSessionIdViewController>();
            return again && again != form;
        },
        10));
    EXPECT_FALSE(runStarted());
}

TEST_F(SessionRoadTest, AReplyOfTheWrongShapeIsAMessageNotACrash) {
    auto& service = serve({});
    service.answerRaw(200, "application/json", R"({"company_settings": ["A", 1]})");
    storeDeviceIdentifiers();
    launchRoot();
    auto form = pressStartUntilForm();
    typeAndSend(form, service.baseURL(), "S-1");
    auto message = DXLocalizedString("ROOT_SESSION_BAD_REPLY")->str();
    ASSERT_TRUE(runMainLoopUntil([&] { return UITestDriver::isTextVisible(message); }, 10));
}

TEST_F(SessionRoadTest, AProfileThatCannotBeWrittenStopsTheRoad) {
    auto& service = serve({"DECORATION_TEST"});
    storeDeviceIdentifiers();
    // The profile's path is taken by a folder: the write fails, and no older profile may run.
    auto path = documentsFile("quorvane_config.txt")->str();
    std::filesystem::create_directories(path);
    std::ofstream(path + "/keep") << "x";
    launchRoot();
    auto form = pressStartUntilForm();
    typeAndSend(form, service.baseURL(), "S-1");
    auto message = DXLocalizedString("ROOT_SESSION_PROFILE_WRITE_FAILED")->str();
    ASSERT_TRUE(runMainLoopUntil([&] { return UITestDriver::isTextVisible(message); }, 10));
    drainMainLoop(2.5);
    EXPECT_FALSE(runStarted());
}

TEST_F(SessionRoadTest, ScannedPathTakesOneLinkOnceAndLooksTheModelUpFirst) {
    auto& service = serve({"DECORATION_TEST"});
    storeDeviceIdentifiers();
    std::function<void(const Ref<NSString>&)> scanned;
    int scanners = 0;
    DXRootTableViewController::setCameraAuthorization({[] { return NSInteger(DXCameraAuthorizationAuthorized); }, {}});
    DXRootTableViewController::setQRScannerFactory(
        [&](std::function<void(const Ref<NSString>&)> onText, std::function<void()>) -> Ref<UIViewController> {
            ++scanners;
            scanned = onText;
            return make<UIViewController>();
        });
    launchRoot();
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Start"));
    ASSERT_TRUE(runMainLoopUntil([&] { return scanners == 1 && presented<UIViewController>(); }, 5));
    auto link = service.baseURL() + "/download_app/?sessionid=QR-9";
    scanned(NSString::from("not a link"));
    scanned(NSString::from(link + "\n" + service.baseURL() + "/download_app/?sessionid=QR-10"));
    EXPECT_EQ(stored("webservice"), "<absent>"); // nothing taken yet
    // A link in capitals before the link is only a label: the link is taken, for its own host.
    scanned(NSString::from("HTTP://evil.example/download_app/?sessionid=x " + link));
    scanned(NSString::from(link)); // the same code seen again
    ASSERT_TRUE(runMainLoopUntil([&] { return runStarted(); }, 15));
    EXPECT_EQ(service.recordCount(), 1u);
    EXPECT_EQ(service.records()[0]["uuid"], "QR-9");
    EXPECT_EQ(stored("webservice"), service.baseURL());
}

TEST_F(SessionRoadTest, RestrictedCameraOffersTheTypedPathAndDeniedGoesBackToStart) {
    storeDeviceIdentifiers();
    DXRootTableViewController::setCameraAuthorization({[] { return NSInteger(DXCameraAuthorizationRestricted); }, {}});
    launchRoot();
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Start"));
    EXPECT_TRUE(runMainLoopUntil([&] { return presented<EnterSessionIdViewController>() != nullptr; }, 5));

    drainMainLoop(0.5);
    navigation_->dismissViewControllerAnimatedCompletion(false, nullptr);
    DXRootTableViewController::setCameraAuthorization({[] { return NSInteger(DXCameraAuthorizationDenied); }, {}});
    root_->presentStartViewController();
    ASSERT_TRUE(runMainLoopUntil([&] { return presented<StartViewController>() != nullptr; }, 5));
    drainMainLoop(0.5);
    auto first = presented<StartViewController>();
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Start"));
    ASSERT_TRUE(runMainLoopUntil([&] { return UITestDriver::topAlert() != nullptr; }, 5));
    ASSERT_TRUE(UITestDriver::tapAlertButtonTitled("YES"));
    EXPECT_TRUE(runMainLoopUntil(
        [&] {
            auto start = presented<StartViewController>();
            return start && start != first;
        },
        5));
}

TEST_F(SessionRoadTest, WithoutADeviceIdStartWaitsForTheLinkAndObservesItOnce) {
    launchRoot();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(UITestDriver::tapButtonTitled("Start"));
    }
    drainMainLoop(1.2); // the lookup page opens after a second
    EXPECT_TRUE(presented<StartViewController>());
    // An entry without a device id keeps the start page up.
    make<AppDelegate>()->parseParamAndNotify("enoxm://product=iPhone"_ns);
    drainMainLoop(0.1);
    EXPECT_TRUE(presented<StartViewController>());
    int forms = 0;
    auto observer = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        UIKeyboardWillShowNotification(), nullptr, nullptr, [&](const Ref<NSNotification>&) { ++forms; });
    make<AppDelegate>()->parseParamAndNotify("enoxm://imei=356789012345678"_ns);
    ASSERT_TRUE(runMainLoopUntil([&] { return presented<EnterSessionIdViewController>() != nullptr; }, 5));
    drainMainLoop(0.5);
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
    EXPECT_EQ(forms, 1); // one form, brought up once
}

TEST_F(SessionRoadTest, ProfileTextAndFile) {
    auto settings = json(R"({"A": {"value": "on"}, "B": {"value": "off"}, "C": {"value": "on"}, "D": "on",
                             "E": {"value": "on"}})");
    EXPECT_EQ(DXRootTableViewController::profileTextFromCompanySettings(settings)->str(), "A,C,E,");
    EXPECT_FALSE(DXRootTableViewController::profileTextFromCompanySettings(json("[1]")));
    auto root = make<DXRootTableViewController>();
    ASSERT_TRUE(root->generateProfileWithString("A, C,\nE,"_ns));
    auto entries = cast<NSArray>(
        cast<NSDictionary>(json(readText(documentsFile("quorvane_config.txt"))))->objectForKey("profile"_ns));
    ASSERT_EQ(entries->count(), 4u);
    EXPECT_EQ(cast<NSString>(cast<NSDictionary>(entries->objectAtIndex(1))->objectForKey("profile_key"_ns))->str(),
              "C");
}

TEST_F(ShellTestCase, LaunchOpensTheRootScreenUnderASplashForOneSecond) {
    useScreen(375, 812);
    auto application = UIApplicationLaunch(nullptr, "AppDelegate"_ns);
    auto delegate = cast<AppDelegate>(application->delegate());
    ASSERT_TRUE(delegate);
    EXPECT_TRUE(application->isIdleTimerDisabled());
    auto navigation = cast<UINavigationController>(delegate->window()->rootViewController());
    ASSERT_TRUE(navigation);
    EXPECT_TRUE(cast<DXRootTableViewController>(navigation->viewControllers()->firstObject()));
    Ref<UIImageView> splash;
    auto subviews = navigation->view()->subviews();
    for (const id& view : *subviews) {
        if (auto image = cast<UIImageView>(view)) {
            splash = image;
        }
    }
    ASSERT_TRUE(splash);
    auto label = cast<UILabel>(splash->subviews()->firstObject());
    ASSERT_TRUE(label);
    EXPECT_EQ(label->frame().origin.x, 137);
    EXPECT_EQ(label->frame().origin.y, 732);
    EXPECT_EQ(label->frame().size.width, 100);
    advance(1.0);
    EXPECT_FALSE(splash->superview());
}
