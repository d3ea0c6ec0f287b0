// PhysicalKeyViewController: the physical keys checklist. Rows for volume up, volume down and (when
// the record says the device has one) the ring/silent switch; each is ticked when its key is seen,
// and the test passes once every row is ticked. The record's time limit (0: the long default) ends
// it with result 3. Per key it reports through the sub-item list ("VOLUME UP", "VOLUME DOWN",
// "MUTE SWITCH").
//
// Volume keys are seen from the system volume notification and from the audio session's
// output-volume listener. While shown, the screen keeps the volume off its limits (1.0 becomes 0.95,
// 0.0 becomes 0.05, restored when it goes) and sets it back after each press, so that a key always
// has room to move it. The listener starts 0.5 seconds after the screen shows, by a timer (nothing
// waits on the main thread), and compares the volumes it hears on the main thread only.
#pragma once

#include <Core/DXBaseViewController.h>
#include <Diagnostics/TouchKeys/KeyEventSources.h>
#include <Diagnostics/TouchKeys/MuteSwitchWatcher.h>
#include <MediaPlayer/MPVolumeView.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UITableView.h>
#include <UIKit/UITableViewCell.h>

#include <memory>

class PhsicalKeyModel : public NSObject {
    NS_OBJECT(PhsicalKeyModel, NSObject)
public:
    PhsicalKeyModel() = default;
    static Ref<PhsicalKeyModel> customClassWithProperties(const Ref<NSDictionary>& properties);
    NS_PROPERTY(Ref<NSString>, name, setName)
    NS_PROPERTY(bool, success, setSuccess)
};

class PhysicaKeyTableViewCell : public UITableViewCell {
    NS_OBJECT(PhysicaKeyTableViewCell, UITableViewCell)
public:
    PhysicaKeyTableViewCell();
    NS_PROPERTY(Ref<UILabel>, keyNameLabel, setKeyNameLabel)
    NS_PROPERTY(Ref<UIImageView>, resultImageView, setResultImageView)
};

class PhysicalKeyViewController : public DXBaseViewController {
    NS_OBJECT(PhysicalKeyViewController, DXBaseViewController)
public:
    PhysicalKeyViewController() = default;
    ~PhysicalKeyViewController() override;

    NS_PROPERTY(Ref<NSArray>, itemList, setItemList)
    NS_PROPERTY(float, launchVolume, setLaunchVolume)
    NS_PROPERTY(bool, hadToLowerVolume, setHadToLowerVolume)
    NS_PROPERTY(bool, hadToRaiseVolume, setHadToRaiseVolume)
    NS_PROPERTY(Ref<MPVolumeView>, volumeView, setVolumeView)
    NS_PROPERTY(bool, isStopMonitorVolumeKey, setIsStopMonitorVolumeKey)
    NS_PROPERTY(bool, skip, setSkip)
    NS_PROPERTY(bool, isGotoResult, setIsGotoResult)
    NS_PROPERTY(Ref<UITableView>, tableView, setTableView)

    void viewDidLoad() override;
    void startStealingVolumeButtonEvents();
    void stopStealingVolumeButtonEvents();
    void initializeVolumeButtonStealer();
    void monitorVolumeKeyEvent();
    void volumeUp();
    void volumeDown();
    void updateState();

    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger);
    CGFloat tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) { return 35.0; }
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& table,
                                                        const Ref<NSIndexPath>& indexPath);

    bool isListening() const { return sources_ && sources_->hasVolumeListener(); }

private:
    void seen(NSUInteger row, const char* what);
    KeyEventSources& sources();
    std::unique_ptr<KeyEventSources> sources_;
    std::unique_ptr<MuteSwitchWatcher> detector_;
    uint64_t startGeneration_ = 0;
};
