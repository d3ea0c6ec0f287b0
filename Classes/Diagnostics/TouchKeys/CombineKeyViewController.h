// CombineKeyViewController: the combined keys test. One table row per key: volume up, volume down,
// the ring/silent switch (when the record says the device has one) and the screenshot chord (Home +
// power, or volume up + power on the screens without a Home button). A row is ticked when its key is
// detected; the operator can mark a row FAILED (and UNDO it); the test passes when every row is
// detected, and NEXT ends it: 1 when every row passed, else 2. Rows the station file removes are
// left out and their sub-results read "REMOVED". No time limit.
//
// Each time the screen shows it sets the volume to 0.5, so that both keys can move it; the volume is
// left as the keys leave it when the screen goes. The operator's FAILED/UNDO stops and resumes
// counting the row's own key (found by its sub-result key, not its position); a row marked FAILED
// reads "FAIL" in the sub-results (UNDO returns it to "NOT_TEST"). A table whose rows the station
// file all removed is empty: every row is detected, so the first key event passes the test, and so
// does NEXT.
#pragma once

#include <Core/DXBaseViewController.h>
#include <Diagnostics/TouchKeys/KeyEventSources.h>
#include <Diagnostics/TouchKeys/MuteSwitchWatcher.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UITableView.h>
#include <UIKit/UITableViewCell.h>

#include <memory>

class CombineKeyModel : public NSObject {
    NS_OBJECT(CombineKeyModel, NSObject)
public:
    CombineKeyModel() = default;
    // `customClassWithProperties:`: every entry set by key-value coding.
    static Ref<CombineKeyModel> customClassWithProperties(const Ref<NSDictionary>& properties);
    NS_PROPERTY(Ref<NSString>, name, setName)
    NS_PROPERTY(bool, success, setSuccess)
    NS_PROPERTY(bool, show_result_img, setShow_result_img)
    NS_PROPERTY(NSInteger, passstate, setPassstate) // 1 pending, 0 passed, 2 marked failed
    NS_PROPERTY(Ref<NSString>, subtestkey, setSubtestkey)
};

class CombineKeyTableViewCell : public UITableViewCell {
    NS_OBJECT(CombineKeyTableViewCell, UITableViewCell)
public:
    CombineKeyTableViewCell();
    static CGFloat cellHeight() { return 52.0; }
    NS_PROPERTY(Ref<UILabel>, keyNameLabel, setKeyNameLabel)
    NS_PROPERTY(Ref<UIImageView>, resultImageView, setResultImageView)
    NS_PROPERTY(Ref<UIButton>, passbtn, setPassbtn)
};

class CombineKeyViewController : public DXBaseViewController {
    NS_OBJECT(CombineKeyViewController, DXBaseViewController)
public:
    CombineKeyViewController() = default;
    ~CombineKeyViewController() override;

    NS_PROPERTY(Ref<NSArray>, itemList, setItemList)
    NS_PROPERTY(float, launchVolume, setLaunchVolume)
    NS_PROPERTY(bool, skip, setSkip)
    NS_PROPERTY(bool, isStopVolumeUp, setIsStopVolumeUp)
    NS_PROPERTY(bool, isStopVolumeDown, setIsStopVolumeDown)
    NS_PROPERTY(bool, isStopScreenshot, setIsStopScreenshot)
    NS_PROPERTY(Ref<UITableView>, tableView, setTableView)
    NS_PROPERTY(Ref<UILabel>, hintLabel, setHintLabel)
    NS_PROPERTY(Ref<UIButton>, nextBtn, setNextBtn)

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    void monitorVolumeKeyEvent();
    void volumeUp();
    void volumeDown();
    void detectMuteSwitch();
    void detectScreenShot();
    void updateSubStateWithKey(const Ref<NSString>& key);
    void checkResults();
    void passAction(const id& sender);
    void next(const id& sender);

    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger);
    CGFloat tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) { return 32.0; }
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& table,
                                                        const Ref<NSIndexPath>& indexPath);

    // The row of a sub-result key, nil when there is none.
    Ref<CombineKeyModel> rowWithKey(const char* key) const;
    bool hasDetector() const noexcept { return detector_ != nullptr; }

private:
    void buildViews();
    KeyEventSources& sources();
    std::unique_ptr<KeyEventSources> sources_;
    std::unique_ptr<MuteSwitchWatcher> detector_;
};
