#include <Shell/DXRootTableViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Categorys/DXUtility.h>
#include <Categorys/PGProgressHUD+AutoHide.h>
#include <Categorys/UIAlertView+Blocks.h>
#include <Categorys/UIButton+Block.h>
#include <Core/DXTestViewController.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSCharacterSet.h>
#include <Foundation/NSData.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSOperationQueue.h>
#include <Foundation/NSUserDefaults.h>
#include <Runtime/ClassBuilder.h>
#include <Shell/BrindleHttpClient.h>
#include <Shell/DXRootTableViewCell.h>
#include <Shell/DXURLSchemeEntry.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIKitProtocols.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIWindow.h>
#include <UISupport/PGProgressHUD.h>
#include <UISupport/STProgressHUD.h>

#include <cmath>
#include <mutex>

NS_IMPLEMENT_CLASS(DXRootTableViewController, DXViewController) {
    b.conformsTo(UITableViewDataSourceProtocol());
    b.conformsTo(UITableViewDelegateProtocol());
    b.conformsTo(NS_PROTOCOL(MenuPopoverDelegate));
    b.method("tableView:numberOfRowsInSection:", &DXRootTableViewController::tableViewNumberOfRowsInSection);
    b.method("tableView:cellForRowAtIndexPath:", &DXRootTableViewController::tableViewCellForRowAtIndexPath);
    b.method("tableView:heightForRowAtIndexPath:", &DXRootTableViewController::tableViewHeightForRowAtIndexPath);
    b.method("tableView:didSelectRowAtIndexPath:", &DXRootTableViewController::tableViewDidSelectRowAtIndexPath);
    b.method("clickTestSelectButton:", &DXRootTableViewController::clickTestSelectButton);
    b.method("clickSectionSelectButton:", &DXRootTableViewController::clickSectionSelectButton);
    b.method("menuPopover:didSelectMenuItemAtIndex:", &DXRootTableViewController::menuPopoverDidSelectMenuItemAtIndex);
    b.method("onReceiveImei:", &DXRootTableViewController::onReceiveImei);
    b.method("readerDidCancel:", &DXRootTableViewController::readerDidCancel);
    b.property("tableView", &DXRootTableViewController::tableView, &DXRootTableViewController::setTableView);
    b.property("testList", &DXRootTableViewController::testList, &DXRootTableViewController::setTestList);
    b.property("autoSection", &DXRootTableViewController::autoSection, &DXRootTableViewController::setAutoSection);
    b.property("manualSection", &DXRootTableViewController::manualSection,
               &DXRootTableViewController::setManualSection);
    b.property("menuPopover", &DXRootTableViewController::menuPopover, &DXRootTableViewController::setMenuPopover);
    b.property("menuItems", &DXRootTableViewController::menuItems, &DXRootTableViewController::setMenuItems);
    b.property("startViewController", &DXRootTableViewController::startViewController,
               &DXRootTableViewController::setStartViewController);
    b.property("reader", &DXRootTableViewController::reader, &DXRootTableViewController::setReader);
    b.property("enterSessionViewController", &DXRootTableViewController::enterSessionViewController,
               &DXRootTableViewController::setEnterSessionViewController);
}

namespace {

constexpr double kMessageSeconds = 3.0;
constexpr double kLookupPageDelay = 1.0;
const char* const kProfileFileName = "quorvane_config.txt";

std::mutex& seamLock() {
    static std::mutex lock;
    return lock;
}
DXCameraAuthorization& cameraAuthorization() {
    static DXCameraAuthorization authorization;
    return authorization;
}
DXQRScannerFactory& scannerFactory() {
    static DXQRScannerFactory factory;
    return factory;
}

Ref<NSString> profilePath() {
    return NSSandbox::documentsPath()->stringByAppendingPathComponent(NSString::from(kProfileFileName));
}

void store(const Ref<NSString>& value, const char* key) {
    NSUserDefaults::standardUserDefaults()->setObjectForKey(value, NSString::from(key));
}

void afterSeconds(double seconds, std::function<void()> block) {
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds * NSEC_PER_SEC)),
                   dispatch_get_main_queue(), std::move(block));
}

} // namespace

// MARK: - Seams

Ref<NSString> DXRootTableViewController::deviceIdLookupPage() {
    return "https://udid.celvix.example/api/udid?prefix=oxm"_ns;
}

void DXRootTableViewController::setCameraAuthorization(DXCameraAuthorization authorization) {
    std::lock_guard guard(seamLock());
    cameraAuthorization() = std::move(authorization);
}

void DXRootTableViewController::setQRScannerFactory(DXQRScannerFactory factory) {
    std::lock_guard guard(seamLock());
    scannerFactory() = std::move(factory);
}

// MARK: - Screen

void DXRootTableViewController::viewDidLoad() {
    DXViewController::viewDidLoad();
    profileManager_ = DXProfileManager::sharedManager();
    testModelManager_ = DXTestModelManager::sharedInstrance();
    setupList();
    // The road keeps the list out of sight: the screen is a plain page under its modal screens.
    headerView()->setHidden(true);
    tableView()->setHidden(true);
    // The start page goes up as soon as this screen is in the window (a screen that is not yet on
    // screen cannot present).
    startPagePending_ = true;
}

void DXRootTableViewController::viewDidAppear(bool animated) {
    DXViewController::viewDidAppear(animated);
    if (startPagePending_) {
        startPagePending_ = false;
        presentStartViewController();
    }
}

void DXRootTableViewController::viewWillAppear(bool animated) {
    DXViewController::viewWillAppear(animated);
    if (tableView_) {
        tableView_->reloadData();
    }
}

void DXRootTableViewController::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    if (menuPopover_) {
        menuPopover_->dismissMenuPopover();
    }
}

// MARK: - Start and identifiers

void DXRootTableViewController::presentStartViewController() {
    // The confirmation beep of a scan needs an audio player, which this platform does not offer: the
    // road goes on without it, as it does when the sound cannot be loaded.
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    setStartViewController(
        StartViewController::showStartViewControllerOnStart(Ref<DXRootTableViewController>(this), [weakSelf] {
            if (auto self = weakSelf.lock()) {
                self->onStartPressed();
            }
        }));
}

void DXRootTableViewController::onStartPressed() {
    NSLog("onStart");
    if (DXHasDeviceIdentifier()) {
        auto start = startViewController();
        Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
        auto next = [weakSelf] {
            if (auto self = weakSelf.lock()) {
                self->runCameraGate();
            }
        };
        if (start && start->presentingViewController()) {
            start->dismissViewControllerAnimatedCompletion(false, next);
        } else {
            next();
        }
        return;
    }
    // No usable device id yet: the lookup page hands it over through the URL scheme. The observer
    // is installed once, however often Start is pressed.
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    afterSeconds(kLookupPageDelay, [weakSelf] {
        if (auto self = weakSelf.lock()) {
            self->openSafari();
        }
    });
    if (!observingImei_) {
        observingImei_ = true;
        imeiObserver_ = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
            kReceiveimeiNotification(), nullptr, NSOperationQueue::mainQueue(),
            [weakSelf](const Ref<NSNotification>& notification) {
                if (auto self = weakSelf.lock()) {
                    self->onReceiveImei(notification);
                }
            });
        addDeallocHook(
            [observer = imeiObserver_](NSObject*) { NSNotificationCenter::defaultCenter()->removeObserver(observer); });
    }
}

void DXRootTableViewController::openSafari() {
    UIApplication::sharedApplication()->openURL(NSURL::URLWithString(deviceIdLookupPage()));
}

void DXRootTableViewController::onReceiveImei(const Ref<NSNotification>&) {
    auto start = startViewController();
    // Only while the start page waits for the identifiers; a later entry changes nothing on screen.
    if (!start || !start->presentingViewController()) {
        return;
    }
    if (!DXHasDeviceIdentifier()) {
        NSLog("onReceiveImei: the link carried no device id; Start opens the lookup page again");
        return;
    }
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    start->dismissViewControllerAnimatedCompletion(false, [weakSelf] {
        if (auto self = weakSelf.lock()) {
            self->runCameraGate();
        }
    });
}

// MARK: - Camera gate

void DXRootTableViewController::runCameraGate() {
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    requestAccessForMediaAccessAndCaptureVideo([weakSelf](bool granted) {
        dispatch_async(dispatch_get_main_queue(), [weakSelf, granted] {
            auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            if (granted) {
                self->presentQRCodeScanViewController();
            } else {
                self->presentStartViewController();
            }
        });
    });
}

void DXRootTableViewController::requestAccessForMediaAccessAndCaptureVideo(
    std::function<void(bool granted)> completion) {
    DXCameraAuthorization camera;
    {
        std::lock_guard guard(seamLock());
        camera = cameraAuthorization();
    }
    NSInteger status = camera.status ? camera.status() : -1;
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    // Without the camera the session can still be typed in: restricted, unknown or no camera at all
    // take the operator to the form instead of stopping the road.
    auto typedPath = [weakSelf] {
        dispatch_async(dispatch_get_main_queue(), [weakSelf] {
            if (auto self = weakSelf.lock()) {
                self->presentEnterSessionViewController();
            }
        });
    };
    switch (status) {
    case DXCameraAuthorizationNotDetermined:
        if (camera.requestAccess) {
            camera.requestAccess([completion](bool granted) { completion(granted); });
        } else {
            completion(false);
        }
        break;
    case DXCameraAuthorizationRestricted:
        NSLog("Restricted");
        typedPath();
        break;
    case DXCameraAuthorizationDenied: {
        NSLog("Denied");
        auto message = DXLocalizedStringWithArguments("CAMERA_CONTROLLER_AUTHORIZATION_ALERT"_ns, {"Celvix"_ns});
        alertView_ = showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
            ""_ns, message, DXLocalizedString("BASETEST_CONTROLLER_YES"), nullptr,
            [completion](const Ref<UIAlertView>&, NSInteger) { completion(false); });
        break;
    }
    case DXCameraAuthorizationAuthorized:
        NSLog("Authorized");
        completion(true);
        break;
    default:
        NSLog("Unknown authorization status");
        typedPath();
        break;
    }
}

// MARK: - Scan and typed entry

void DXRootTableViewController::presentQRCodeScanViewController() {
    DXQRScannerFactory factory;
    {
        std::lock_guard guard(seamLock());
        factory = scannerFactory();
    }
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    auto scanner = factory ? factory(
                                 [weakSelf](const Ref<NSString>& text) {
                                     if (auto self = weakSelf.lock()) {
                                         self->handleScannedText(text);
                                     }
                                 },
                                 [weakSelf] {
                                     if (auto self = weakSelf.lock()) {
                                         self->readerDidCancel(self->reader());
                                     }
                                 })
                           : nullptr;
    if (!scanner) {
        presentEnterSessionViewController();
        return;
    }
    scanHandled_ = false;
    setReader(scanner);
    UIApplication::sharedApplication()->setStatusBarHidden(true);
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    bool tall = (screen.width == 375 && screen.height == 812) || (screen.width == 414 && screen.height == 896);
    bool tablet = UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad;
    auto title = make<UILabel>(CGRectMake(10, tall ? 24 : 0, screen.width - (tablet ? 300 : 80), 100));
    title->setNumberOfLines(0);
    title->setTextColor(UIColor::whiteColor());
    title->setFont(UIFont::boldSystemFontOfSize(20));
    title->setTextAlignment(NSTextAlignmentLeft);
    title->setText(DXLocalizedString("QRCODESCAN_TITLE"));
    scanner->view()->addSubview(title);
    scanner->setModalPresentationStyle(UIModalPresentationFullScreen);
    presentViewControllerAnimatedCompletion(scanner, false, nullptr);
}

void DXRootTableViewController::handleScannedText(const Ref<NSString>& text) {
    if (scanHandled_) {
        return; // one code, one session: later reports of the same or another code are dropped
    }
    auto link = DXSessionLinkFromScannedText(text);
    if (!link.isValid()) {
        return; // not a session link: scanning goes on
    }
    scanHandled_ = true;
    Ref<DXRootTableViewController> self(this);
    auto scanner = reader();
    auto proceed = [self, link] {
        UIApplication::sharedApplication()->setStatusBarHidden(false);
        self->setReader(nullptr);
        self->startSession(Path::Scan, link, self->view());
    };
    if (scanner && scanner->presentingViewController()) {
        scanner->dismissViewControllerAnimatedCompletion(false, proceed);
    } else {
        proceed();
    }
}

void DXRootTableViewController::readerDidCancel(const id&) {
    auto scanner = reader();
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    auto next = [weakSelf] {
        if (auto self = weakSelf.lock()) {
            UIApplication::sharedApplication()->setStatusBarHidden(false);
            self->setReader(nullptr);
            self->presentEnterSessionViewController();
        }
    };
    if (scanner && scanner->presentingViewController()) {
        scanner->dismissViewControllerAnimatedCompletion(false, next);
    } else {
        next();
    }
}

void DXRootTableViewController::presentEnterSessionViewController() {
    if (presentedViewController()) {
        return; // something is already in front; the road comes back here when it goes
    }
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    setEnterSessionViewController(EnterSessionIdViewController::showEnterSessionIdViewControllerOnEnter(
        Ref<DXRootTableViewController>(this), [weakSelf](const Ref<EnterSessionIdViewController>& form,
                                                         const Ref<NSString>& server, const Ref<NSString>& sessionid) {
            auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            auto link = DXSessionLinkFromTypedEntry(server, sessionid);
            if (!link.isValid()) {
                // The operator corrects the entry on the form; nothing is stored or sent.
                showAutoHideMessageWithTitleTimeParentViewCompletionBlock(DXLocalizedString(link.refusal),
                                                                          kMessageSeconds, form->view(), nullptr);
                return;
            }
            self->startSession(Path::Typed, link, form->view());
        }));
}

// MARK: - Start transaction

void DXRootTableViewController::startSession(Path path, const DXSessionLink& link, const Ref<UIView>& overlayHost) {
    store(link.webservice, "webservice");
    store(link.sessionid, "sessionid");
    if (!NSUserDefaults::standardUserDefaults()->synchronize()) {
        NSLog("session: the defaults could not be written; the session is kept in memory");
    }
    auto hud = PGProgressHUD::showHUDAddedToAnimated(overlayHost, true);
    hud->setMode(PGProgressHUDModeIndeterminate);
    hud->setLabelText(path == Path::Scan ? DXLocalizedString("ROOT_QRSCAN_PROCESS_LABEL") : ""_ns);
    // The record carries "devicenumber": the look-up ends before the record is built, on both paths.
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    auto base = link.webservice;
    auto sessionid = link.sessionid;
    DXUtility::deviceModelNumberWithInternalNameCompletion(
        DXUtility::hardwareName(), [weakSelf, path, base, sessionid, overlayHost](const Ref<NSString>& number) {
            NSLog("deviceNumber = %@", number);
            if (number) {
                store(number, "devicenumber");
                if (!NSUserDefaults::standardUserDefaults()->synchronize()) {
                    NSLog("session: the defaults could not be written; the device number is kept in memory");
                }
            }
            if (auto self = weakSelf.lock()) {
                self->sendStartTransaction(path, base, sessionid, overlayHost);
            }
        });
}

void DXRootTableViewController::sendStartTransaction(Path path, const Ref<NSString>& base,
                                                     const Ref<NSString>& sessionid, const Ref<UIView>& overlayHost) {
    auto client = BrindleHttpClient::sharedHttpClientWithBaseUrl(base);
    auto record =
        client->buildTempTransactionWithSessionIdResultValueResultEvaluate(sessionid, nullptr, "2"_ns, "0"_ns);
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    client->reportTempTransactionWithData(record)->subscribeNextError(
        [weakSelf, path, overlayHost](const id& reply) {
            PGProgressHUD::hideHUDForViewAnimated(overlayHost, true);
            if (auto self = weakSelf.lock()) {
                self->handleStartReply(path, reply, overlayHost);
            }
        },
        [weakSelf, path, overlayHost](const Ref<NSError>& error) {
            PGProgressHUD::hideHUDForViewAnimated(overlayHost, true);
            if (auto self = weakSelf.lock()) {
                self->failBackToSessionEntry(path, BrindleHttpClient::messageForError(error), overlayHost);
            }
        });
}

void DXRootTableViewController::handleStartReply(Path path, const id& reply, const Ref<UIView>& overlayHost) {
    if (auto refusal = BrindleHttpClient::messageForReply(reply)) {
        failBackToSessionEntry(path, refusal, overlayHost);
        return;
    }
    auto root = cast<NSDictionary>(reply);
    auto profile = profileTextFromCompanySettings(root ? root->objectForKey("company_settings"_ns) : nullptr);
    if (!profile) {
        failBackToSessionEntry(path, DXLocalizedString("ROOT_SESSION_BAD_REPLY"), overlayHost);
        return;
    }
    if (profile->length() == 0) {
        failBackToSessionEntry(path, DXLocalizedString("ROOT_SESSION_NO_TESTS"), overlayHost);
        return;
    }
    Ref<DXRootTableViewController> self(this);
    if (path == Path::Typed) {
        tableView_->reloadData();
        auto form = enterSessionViewController();
        if (form && form->presentingViewController()) {
            form->dismissViewControllerAnimatedCompletion(
                false, [self, profile] { self->generateProfileAndRunWithProfile(profile); });
            return;
        }
    }
    generateProfileAndRunWithProfile(profile);
}

void DXRootTableViewController::failBackToSessionEntry(Path path, const Ref<NSString>& message,
                                                       const Ref<UIView>& host) {
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    auto view = host && host->window() ? host : this->view();
    showAutoHideMessageWithTitleTimeParentViewCompletionBlock(message, kMessageSeconds, view, [weakSelf, path] {
        auto self = weakSelf.lock();
        if (!self) {
            return;
        }
        auto form = self->enterSessionViewController();
        if (path == Path::Typed && form && form->presentingViewController()) {
            form->dismissViewControllerAnimatedCompletion(false, [weakSelf] {
                if (auto again = weakSelf.lock()) {
                    again->returnToSessionEntry();
                }
            });
            return;
        }
        self->returnToSessionEntry();
    });
}

void DXRootTableViewController::returnToSessionEntry() {
    presentQRCodeScanViewController();
}

Ref<NSString> DXRootTableViewController::profileTextFromCompanySettings(const id& value) {
    auto settings = cast<NSDictionary>(value);
    if (!settings) {
        return nullptr;
    }
    std::string text;
    auto keys = settings->allKeys();
    for (const id& item : *keys) {
        auto key = cast<NSString>(item);
        auto entry = key ? cast<NSDictionary>(settings->objectForKey(key)) : nullptr;
        auto on = entry ? cast<NSString>(entry->objectForKey("value"_ns)) : nullptr;
        if (on && on->isEqualToString("on"_ns) && key->length() > 0) {
            text += key->str() + ",";
        }
    }
    return NSString::from(text);
}

// MARK: - Profile and run

bool DXRootTableViewController::generateProfileWithString(const Ref<NSString>& profile) {
    auto entries = NSMutableArray::array();
    auto pieces = (profile ? profile : ""_ns)->componentsSeparatedByString(","_ns);
    for (const id& piece : *pieces) {
        auto key =
            cast<NSString>(piece)->stringByTrimmingCharactersInSet(NSCharacterSet::whitespaceAndNewlineCharacterSet());
        entries->addObject(NSDictionary::dictionaryWithEntries({{"profile_key"_ns, key}}));
    }
    auto root = NSDictionary::dictionaryWithEntries({{"profile"_ns, entries}});
    auto data = NSJSONSerialization::dataWithJSONObjectOptionsError(root, NSJSONWritingPrettyPrinted, nullptr);
    if (!data) {
        NSLog("generate config failed.");
        return false;
    }
    if (!data->writeToFileAtomically(profilePath(), true)) {
        NSLog("generate config failed: the profile file could not be written.");
        return false;
    }
    return true;
}

void DXRootTableViewController::generateProfileAndRunWithProfile(const Ref<NSString>& profile) {
    // A run must follow this session's settings: if they cannot be written, the previous session's
    // profile must not run in their place.
    if (!generateProfileWithString(profile)) {
        failBackToSessionEntry(Path::Scan, DXLocalizedString("ROOT_SESSION_PROFILE_WRITE_FAILED"), view());
        return;
    }
    auto bundle = NSBundle::mainBundle();
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    testModelManager_->loadTestModelWithPlistSupportmodelCompletion(
        bundle->pathForResourceOfType("ItemList"_ns, "plist"_ns),
        bundle->pathForResourceOfType("models"_ns, "plist"_ns),
        [weakSelf](const Ref<NSArray>& list, const Ref<NSError>& error) {
            auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            std::vector<Ref<DXSectionModel>> sections;
            if (list) {
                for (const id& item : *list) {
                    if (auto section = cast<DXSectionModel>(item)) {
                        sections.push_back(section);
                    }
                }
            }
            if (error || sections.size() < 2) {
                NSLog("The test list could not be built: %@", error);
                self->failBackToSessionEntry(Path::Scan, DXLocalizedString("ROOT_SESSION_TEST_LIST_FAILED"),
                                             self->view());
                return;
            }
            self->setTestList(list);
            self->setAutoSection(sections[0]);
            self->setManualSection(sections[1]);
            if (!self->profileManager()->isProfileExist()) {
                self->failBackToSessionEntry(Path::Scan, DXLocalizedString("ROOT_SESSION_PROFILE_WRITE_FAILED"),
                                             self->view());
                return;
            }
            self->profileManager()->runTasksWithTestModelsAnimationBeginExcutionTaskBlock(
                list,
                [weakSelf] {
                    STProgressHUD::showWithStatus(DXLocalizedString("ROOT_POPUP_DEDECTED_CONFIG_FILE"));
                    if (auto begun = weakSelf.lock()) {
                        begun->tableView()->setUserInteractionEnabled(false);
                    }
                },
                [weakSelf](const Ref<NSArray>& run) {
                    STProgressHUD::dismiss();
                    auto done = weakSelf.lock();
                    if (!done) {
                        return;
                    }
                    done->tableView()->setUserInteractionEnabled(true);
                    if (!run || run->count() == 0) {
                        // Nothing of this session runs on this device: say so and let the operator
                        // join another session.
                        done->failBackToSessionEntry(Path::Scan, DXLocalizedString("ROOT_SESSION_NO_TESTS"),
                                                     done->view());
                        return;
                    }
                    auto container = make<DXTestViewController>();
                    container->setTestModels(run);
                    container->setRunType(1);
                    done->navigationController()->pushViewControllerAnimated(container, false);
                });
        });
}

// MARK: - The manual-selection list

void DXRootTableViewController::setupList() {
    auto header = headerView();
    header->setHideRunButton(true);
    header->setHideMenuButton(false);
    header->setDelegate(Ref<DXRootTableViewController>(this));
    CGRect screen = UIScreen::mainScreen()->bounds();
    CGFloat top = std::floor(DXHeaderHeight());
    auto table = make<UITableView>(
        CGRectMake(0, top, std::floor(screen.size.width), std::floor(screen.size.height - top)), UITableViewStylePlain);
    table->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    table->setShowsVerticalScrollIndicator(false);
    table->setTableFooterView(make<UIView>());
    table->setSeparatorInset(UIEdgeInsetsZero);
    table->registerClassForCellReuseIdentifier(DXRootTableViewCell::class_(), "DXRootTableViewCell"_ns);
    table->registerClassForCellReuseIdentifier(DXSectionTableViewCell::class_(), "DXSectionTableViewCell"_ns);
    table->setDataSource(Ref<DXRootTableViewController>(this));
    table->setDelegate(Ref<DXRootTableViewController>(this));
    view()->addSubview(table);
    setTableView(table);
    setMenuItems(
        NSArray::arrayWithObjects({DXLocalizedString("ROOT_MENU_SELECT_ALL"), DXLocalizedString("ROOT_MENU_REMOVE_ALL"),
                                   DXLocalizedString("ROOT_MENU_DELETE_CONFIG")}));
}

NSInteger DXRootTableViewController::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) {
    return testList_ ? static_cast<NSInteger>(testList_->count()) : 0;
}

Ref<UITableViewCell> DXRootTableViewController::tableViewCellForRowAtIndexPath(const Ref<UITableView>& table,
                                                                               const Ref<NSIndexPath>& indexPath) {
    NSInteger row = indexPath->row();
    id element =
        testList_ && row < static_cast<NSInteger>(testList_->count()) ? testList_->objectAtIndex(row) : nullptr;
    Ref<DXRootTableViewController> self(this);
    if (auto section = cast<DXSectionModel>(element)) {
        auto cell = cast<DXSectionTableViewCell>(table->dequeueReusableCellWithIdentifier("DXSectionTableViewCell"_ns));
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
        handleControlEventWithBlock(cell->selectedButton(), UIControlEventTouchUpInside,
                                    [weak = Weak<DXRootTableViewController>(self)](const Ref<UIButton>& button) {
                                        if (auto owner = weak.lock()) {
                                            owner->clickSectionSelectButton(button);
                                        }
                                    });
        cell->setupCell(section);
        return cell;
    }
    if (auto test = cast<DXTestModel>(element)) {
        auto cell = cast<DXRootTableViewCell>(table->dequeueReusableCellWithIdentifier("DXRootTableViewCell"_ns));
        handleControlEventWithBlock(cell->selectionButton(), UIControlEventTouchUpInside,
                                    [weak = Weak<DXRootTableViewController>(self)](const Ref<UIButton>& button) {
                                        if (auto owner = weak.lock()) {
                                            owner->clickTestSelectButton(button);
                                        }
                                    });
        cell->setupCell(test);
        return cell;
    }
    return make<UITableViewCell>(UITableViewCellStyleDefault, nullptr);
}

double DXRootTableViewController::tableViewHeightForRowAtIndexPath(const Ref<UITableView>&,
                                                                   const Ref<NSIndexPath>& indexPath) {
    NSInteger row = indexPath->row();
    id element =
        testList_ && row < static_cast<NSInteger>(testList_->count()) ? testList_->objectAtIndex(row) : nullptr;
    if (cast<DXSectionModel>(element)) {
        return DXSectionTableViewCell::heightOfCell();
    }
    if (cast<DXTestModel>(element)) {
        return DXRootTableViewCell::heightOfCell();
    }
    return 0;
}

void DXRootTableViewController::tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& table,
                                                                 const Ref<NSIndexPath>& indexPath) {
    NSInteger row = indexPath->row();
    id element =
        testList_ && row < static_cast<NSInteger>(testList_->count()) ? testList_->objectAtIndex(row) : nullptr;
    auto test = cast<DXTestModel>(element);
    if (!test) {
        return;
    }
    table->deselectRowAtIndexPathAnimated(indexPath, true);
    auto container = make<DXTestViewController>();
    container->setTestModels(NSArray::arrayWithObjects({test}));
    navigationController()->pushViewControllerAnimated(container, true);
}

void DXRootTableViewController::resetSectionTexts(const Ref<DXSectionModel>& section) {
    if (!section) {
        return;
    }
    NSInteger selected = 0;
    NSInteger total = 0;
    if (auto list = section->list()) {
        for (const id& item : *list) {
            if (auto test = cast<DXTestModel>(item)) {
                ++total;
                selected += test->selected() ? 1 : 0;
            }
        }
    }
    auto key = section->type() == 0 ? "ROOT_HEADER_AUTO_TESTING"_ns : "ROOT_HEADER_MANUAL_TESTING"_ns;
    section->setLabel(DXLocalizedStringWithArguments(key, {static_cast<int>(selected)}));
    section->setButtontitle(
        DXLocalizedString(total > 0 && selected == total ? "ROOT_MENU_REMOVE_ALL" : "ROOT_MENU_SELECT_ALL"));
}

void DXRootTableViewController::clickTestSelectButton(const Ref<UIButton>& button) {
    if (!button || !tableView_) {
        return;
    }
    CGPoint centre = button->superview()->convertPointToView(button->center(), tableView_);
    auto indexPath = tableView_->indexPathForRowAtPoint(centre);
    NSInteger row = indexPath ? indexPath->row() : -1;
    id element = row >= 0 && testList_ && row < static_cast<NSInteger>(testList_->count())
                     ? testList_->objectAtIndex(row)
                     : nullptr;
    if (auto test = cast<DXTestModel>(element)) {
        test->setSelected(!test->selected());
        resetSectionTexts(test->isAuto() ? autoSection_ : manualSection_);
    }
    checkRunButton();
    tableView_->reloadData();
}

void DXRootTableViewController::clickSectionSelectButton(const Ref<UIButton>& button) {
    if (!button || !tableView_) {
        return;
    }
    CGPoint centre = button->superview()->convertPointToView(button->center(), tableView_);
    auto indexPath = tableView_->indexPathForRowAtPoint(centre);
    NSInteger row = indexPath ? indexPath->row() : -1;
    id element = row >= 0 && testList_ && row < static_cast<NSInteger>(testList_->count())
                     ? testList_->objectAtIndex(row)
                     : nullptr;
    auto section = cast<DXSectionModel>(element);
    if (!section) {
        return;
    }
    auto title = button->titleForState(UIControlStateNormal);
    bool selectAll = title && title->isEqualToString(DXLocalizedString("ROOT_MENU_SELECT_ALL"));
    if (auto list = section->list()) {
        for (const id& item : *list) {
            if (auto test = cast<DXTestModel>(item)) {
                test->setSelected(selectAll);
            }
        }
    }
    resetSectionTexts(section);
    checkRunButton();
    tableView_->reloadData();
}

void DXRootTableViewController::selectAllWithSectionSelected(const Ref<DXSectionModel>& section, bool selected) {
    if (section && section->list()) {
        auto list = section->list();
        for (const id& item : *list) {
            if (auto test = cast<DXTestModel>(item)) {
                test->setSelected(selected);
            }
        }
    }
    checkRunButton();
    if (tableView_) {
        tableView_->reloadData();
    }
}

Ref<NSArray> DXRootTableViewController::selectedTests() const {
    auto selected = NSMutableArray::array();
    if (testList_) {
        for (const id& item : *testList_) {
            auto test = cast<DXTestModel>(item);
            if (test && test->selected()) {
                selected->addObject(test);
            }
        }
    }
    return selected;
}

void DXRootTableViewController::checkRunButton() {
    bool any = selectedTests()->count() > 0;
    headerView()->setHideRunButton(!any);
    headerView()->setHideSaveButton(!any);
}

void DXRootTableViewController::navigationHeaderViewDidClickButtonType(const Ref<DXNavigationHeaderView>&,
                                                                       const Ref<UIButton>&, NSUInteger type) {
    Weak<DXRootTableViewController> weakSelf(Ref<DXRootTableViewController>(this));
    switch (type) {
    case DXNavigationHeaderButtonRun:
        runTasksWithRunType(selectedTests(), 1);
        break;
    case DXNavigationHeaderButtonMenu: {
        if (menuPopover_) {
            menuPopover_->dismissMenuPopover();
        }
        CGFloat width = UIScreen::mainScreen()->bounds().size.width;
        auto menu = make<MenuPopover>(CGRectMake(width - 230, 64, 250, 128), menuItems_);
        menu->setMenuPopoverDelegate(Ref<DXRootTableViewController>(this));
        menu->showInView(view());
        setMenuPopover(menu);
        break;
    }
    case DXNavigationHeaderButtonSave:
        profileManager_->saveProfileWithTestModelsStartHandleFinishHandle(
            testList_,
            [weakSelf] {
                if (auto self = weakSelf.lock()) {
                    self->tableView()->setUserInteractionEnabled(false);
                }
                STProgressHUD::showWithStatus(DXLocalizedString("ROOT_POPUP_GENERATOR_CONFIG_FILE"));
            },
            [weakSelf](bool) {
                if (auto self = weakSelf.lock()) {
                    self->tableView()->setUserInteractionEnabled(true);
                }
                STProgressHUD::showSuccessWithStatus(DXLocalizedString("ROOT_POPUP_GENERATOR_CONFIG_FILE_SUCCESS"));
                afterSeconds(1.0, [] { STProgressHUD::dismiss(); });
            });
        break;
    default:
        break;
    }
}

void DXRootTableViewController::menuPopoverDidSelectMenuItemAtIndex(const Ref<MenuPopover>& popover, NSInteger index) {
    if (popover) {
        popover->dismissMenuPopover();
    }
    if (index == 0 || index == 1) {
        bool select = index == 0;
        for (const auto& section : {manualSection_, autoSection_}) {
            if (!section) {
                continue;
            }
            if (auto list = section->list()) {
                for (const id& item : *list) {
                    if (auto test = cast<DXTestModel>(item)) {
                        test->setSelected(select);
                    }
                }
            }
            resetSectionTexts(section);
        }
        if (tableView_) {
            tableView_->reloadData();
        }
    } else {
        profileManager_->removeTasks();
        auto path = profilePath();
        if (NSFileManager::defaultManager()->fileExistsAtPath(path)) {
            STProgressHUD::showWithStatus(DXLocalizedString("ROOT_POPUP_DELETE_CONFIG_FILE"));
            Ref<NSError> error;
            if (!NSFileManager::defaultManager()->removeItemAtPathError(path, &error)) {
                NSLog("menu: the profile could not be deleted: %@", error);
            }
            afterSeconds(1.0, [] {
                STProgressHUD::showSuccessWithStatus(DXLocalizedString("ROOT_POPUP_DELETE_CONFIG_FILE_SUCCESS"));
                afterSeconds(1.0, [] { STProgressHUD::dismiss(); });
            });
        }
    }
    setMenuPopover(nullptr);
}

void DXRootTableViewController::runTasksWithRunType(const Ref<NSArray>& tasks, NSInteger runType) {
    auto container = make<DXTestViewController>();
    container->setTestModels(tasks);
    container->setRunType(runType);
    navigationController()->pushViewControllerAnimated(container, true);
}

void DXRootTableViewController::runTasksWithProfile() {
    auto selected = selectedTests();
    if (selected->count() > 0) {
        runTasksWithRunType(selected, 1);
    }
}
