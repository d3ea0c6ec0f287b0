// DXRootTableViewController: the first screen. Its live role is the session road: make sure the
// device identifiers are known, get camera access, take the session link from a QR code or from
// the typed form, send the start transaction, turn the company settings into the profile file,
// build the test list and push the run container. It also carries the manual-selection list (the
// sectioned test list, its header buttons and menu), hidden while the road runs.
//
// Every step that can fail ends in a message to the operator and a way back to the session entry;
// nothing on the road leaves a blank screen behind.
#pragma once

#include <Core/DXProfileManager.h>
#include <Core/DXSectionModel.h>
#include <Core/DXTestModelManager.h>
#include <Core/DXViewController.h>
#include <Foundation/NSNotificationCenter.h>
#include <Shell/DXSessionLink.h>
#include <Shell/EnterSessionIdViewController.h>
#include <Shell/MenuPopover.h>
#include <Shell/StartViewController.h>
#include <UIKit/UITableView.h>

#include <functional>

// The camera's authorisation, as the capture framework reports it.
enum DXCameraAuthorizationStatus : NSInteger {
    DXCameraAuthorizationNotDetermined = 0,
    DXCameraAuthorizationRestricted = 1,
    DXCameraAuthorizationDenied = 2,
    DXCameraAuthorizationAuthorized = 3,
};

// Where the road asks about the camera. `status` answers the current authorisation (any other value
// counts as unknown); `requestAccess`, when given, asks the operator and answers on any thread.
struct DXCameraAuthorization {
    std::function<NSInteger()> status;
    std::function<void(std::function<void(bool granted)>)> requestAccess;
};

// Where the road gets its QR scanner: a full-screen screen that calls `onText` with each code it
// reads and `onCancel` when the operator gives up scanning. Without one, the road takes the typed
// path straight away.
using DXQRScannerFactory = std::function<Ref<UIViewController>(std::function<void(const Ref<NSString>& text)> onText,
                                                               std::function<void()> onCancel)>;

class DXRootTableViewController : public DXViewController {
    NS_OBJECT(DXRootTableViewController, DXViewController)
public:
    DXRootTableViewController() = default;

    // The device-id lookup page, opened in the browser when no device id is stored.
    static Ref<NSString> deviceIdLookupPage();
    // The camera and scanner the road uses; nothing set means no camera (the typed path).
    static void setCameraAuthorization(DXCameraAuthorization authorization);
    static void setQRScannerFactory(DXQRScannerFactory factory);

    NS_PROPERTY(Ref<UITableView>, tableView, setTableView)
    NS_PROPERTY(Ref<NSArray>, testList, setTestList)
    NS_PROPERTY(Ref<DXSectionModel>, autoSection, setAutoSection)
    NS_PROPERTY(Ref<DXSectionModel>, manualSection, setManualSection)
    NS_PROPERTY(Ref<MenuPopover>, menuPopover, setMenuPopover)
    NS_PROPERTY(Ref<NSArray>, menuItems, setMenuItems)
    NS_PROPERTY(Ref<DXProfileManager>, profileManager, setProfileManager)
    NS_PROPERTY(Ref<DXTestModelManager>, testModelManager, setTestModelManager)
    NS_PROPERTY(Ref<StartViewController>, startViewController, setStartViewController)
    NS_PROPERTY(Ref<UIViewController>, reader, setReader)
    NS_PROPERTY(Ref<EnterSessionIdViewController>, enterSessionViewController, setEnterSessionViewController)

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    // ---- The session road ----
    void presentStartViewController();
    void openSafari();
    void onReceiveImei(const Ref<NSNotification>& notification);
    void requestAccessForMediaAccessAndCaptureVideo(std::function<void(bool granted)> completion);
    void presentQRCodeScanViewController();
    void presentEnterSessionViewController();
    // A text the scanner read. Only a session link is taken, and only the first one: the scanner's
    // later reports are ignored until the road comes back to scanning.
    void handleScannedText(const Ref<NSString>& text);
    void readerDidCancel(const id& reader);
    // Writes the profile file of the switched-on test keys ("A,B,"). Answers whether it was written.
    bool generateProfileWithString(const Ref<NSString>& profile);
    void generateProfileAndRunWithProfile(const Ref<NSString>& profile);
    // The switched-on keys of a start reply's company settings, each followed by ","; nil when the
    // settings are not a dictionary.
    static Ref<NSString> profileTextFromCompanySettings(const id& settings);

    // ---- The manual-selection list ----
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section);
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView,
                                                        const Ref<NSIndexPath>& indexPath);
    double tableViewHeightForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath);
    void tableViewDidSelectRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath);
    void clickTestSelectButton(const Ref<UIButton>& button);
    void clickSectionSelectButton(const Ref<UIButton>& button);
    void selectAllWithSectionSelected(const Ref<DXSectionModel>& section, bool selected);
    void checkRunButton();
    void navigationHeaderViewDidClickButtonType(const Ref<DXNavigationHeaderView>& headerView,
                                                const Ref<UIButton>& button, NSUInteger type) override;
    void menuPopoverDidSelectMenuItemAtIndex(const Ref<MenuPopover>& popover, NSInteger index);
    void runTasksWithRunType(const Ref<NSArray>& tasks, NSInteger runType);
    void runTasksWithProfile();

private:
    enum class Path { Scan, Typed };
    void onStartPressed();
    void runCameraGate();
    void startSession(Path path, const DXSessionLink& link, const Ref<UIView>& overlayHost);
    void sendStartTransaction(Path path, const Ref<NSString>& base, const Ref<NSString>& sessionid,
                              const Ref<UIView>& overlayHost);
    void handleStartReply(Path path, const id& reply, const Ref<UIView>& overlayHost);
    // Shows `message` for 3 seconds over `host`, then takes the operator back to the session entry.
    void failBackToSessionEntry(Path path, const Ref<NSString>& message, const Ref<UIView>& host);
    void returnToSessionEntry();
    void resetSectionTexts(const Ref<DXSectionModel>& section);
    Ref<NSArray> selectedTests() const;
    void setupList();

    bool startPagePending_ = false;
    bool observingImei_ = false;
    bool scanHandled_ = false;
    id imeiObserver_;
};
