// CombineKeyViewController: volume keys, the switch and the screenshot chord, row by row.
#include <Diagnostics/TouchKeys/CombineKeyViewController.h>
#include <Diagnostics/TouchKeys/TouchKeysSupport.h>

#include <Categorys/DXLocalizedString.h>
#include <Core/AdditionalTestManager.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSLog.h>
#include <MediaPlayer/MPMusicPlayerController.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIKitProtocols.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(CombineKeyModel, NSObject) {
    using M = CombineKeyModel;
    b.property("name", &M::name, &M::setName);
    b.property("success", &M::success, &M::setSuccess);
    b.property("show_result_img", &M::show_result_img, &M::setShow_result_img);
    b.property("passstate", &M::passstate, &M::setPassstate);
    b.property("subtestkey", &M::subtestkey, &M::setSubtestkey);
}

NS_IMPLEMENT_CLASS(CombineKeyTableViewCell, UITableViewCell) {}

NS_IMPLEMENT_CLASS(CombineKeyViewController, DXBaseViewController) {
    using C = CombineKeyViewController;
    b.conformsTo(UITableViewDataSourceProtocol());
    b.conformsTo(UITableViewDelegateProtocol());
    b.method("tableView:numberOfRowsInSection:", &C::tableViewNumberOfRowsInSection);
    b.method("tableView:heightForRowAtIndexPath:", &C::tableViewHeightForRowAtIndexPath);
    b.method("tableView:cellForRowAtIndexPath:", &C::tableViewCellForRowAtIndexPath);
    b.method("passAction:", &C::passAction);
    b.method("next:", &C::next);
    b.method("volumeUp", &C::volumeUp);
    b.method("volumeDown", &C::volumeDown);
}

namespace {

const char* const kVolumeUpKey = "PHYSICAL_KEYS_TEST2_VOLUMEUP";
const char* const kVolumeDownKey = "PHYSICAL_KEYS_TEST2_VOLUMEDOWN";
const char* const kMuteKey = "PHYSICAL_KEYS_TEST2_MUTE";
const char* const kChordKey = "PHYSICAL_KEYS_TEST2_HOMEANDPOWER";

Ref<CombineKeyModel> makeRow(const char* label, const char* key) {
    auto properties = NSMutableDictionary::dictionary();
    properties->setObjectForKey(DXLocalizedString(label), "name"_ns);
    properties->setObjectForKey(NSNumber::numberWithBool(false), "success"_ns);
    properties->setObjectForKey(NSNumber::numberWithBool(false), "show_result_img"_ns);
    properties->setObjectForKey(NSNumber::numberWithInteger(1), "passstate"_ns);
    properties->setObjectForKey(NSString::from(key), "subtestkey"_ns);
    return CombineKeyModel::customClassWithProperties(properties);
}

void onMainQueue(std::function<void()> work) {
    dispatch_async(dispatch_get_main_queue(), std::move(work));
}

} // namespace

Ref<CombineKeyModel> CombineKeyModel::customClassWithProperties(const Ref<NSDictionary>& properties) {
    auto model = make<CombineKeyModel>();
    if (properties) {
        auto keys = properties->allKeys();
        for (const id& key : *keys) {
            if (auto name = cast<NSString>(key)) {
                model->setValueForKey(properties->objectForKey(name), name);
            }
        }
    }
    return model;
}

CombineKeyTableViewCell::CombineKeyTableViewCell()
    : UITableViewCell(UITableViewCellStyleDefault, NSString::from("CombineKeyTableViewCell")) {
    setSelectionStyle(UITableViewCellSelectionStyleNone);
    CGFloat width = UIScreen::mainScreen()->bounds().size.width;
    setKeyNameLabel(make<UILabel>(CGRectMake(16, 4, width - 180, 24)));
    setResultImageView(make<UIImageView>(CGRectMake(width - 150, 4, 24, 24)));
    setPassbtn(UIButton::buttonWithType(UIButtonTypeCustom));
    passbtn()->setFrame(CGRectMake(width - 110, 2, 94, 28));
    passbtn()->titleLabel()->setFont(UIFont::boldSystemFontOfSize(14));
    passbtn()->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
    passbtn()->layer()->setBorderWidth(1.0);
    contentView()->addSubview(keyNameLabel());
    contentView()->addSubview(resultImageView());
    contentView()->addSubview(passbtn());
}

CombineKeyViewController::~CombineKeyViewController() = default;

KeyEventSources& CombineKeyViewController::sources() {
    if (!sources_) {
        sources_ = std::make_unique<KeyEventSources>(disappear());
    }
    return *sources_;
}

void CombineKeyViewController::buildViews() {
    CGSize s = UIScreen::mainScreen()->bounds().size;
    setHintLabel(make<UILabel>(CGRectMake(16, 90, s.width - 32, 60)));
    hintLabel()->setNumberOfLines(0);
    view()->addSubview(hintLabel());
    setTableView(make<UITableView>(CGRectMake(0, 160, s.width, 4 * 52.0), UITableViewStylePlain));
    view()->addSubview(tableView());
    setNextBtn(UIButton::buttonWithType(UIButtonTypeSystem));
    nextBtn()->setFrame(CGRectMake(s.width / 2 - 60, s.height - 140, 120, 44));
    view()->addSubview(nextBtn());
}

void CombineKeyViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    buildViews();
    auto table = tableView();
    table->registerClassForCellReuseIdentifier(CombineKeyTableViewCell::class_(), "CombineKeyTableViewCell"_ns);
    table->setScrollEnabled(false);
    table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    table->setEstimatedRowHeight(CombineKeyTableViewCell::cellHeight());
    table->setDataSource(Ref<NSObject>(this));
    table->setDelegate(Ref<NSObject>(this));

    bool tall = dx_touchkeys::isTallScreen();
    hintLabel()->setText(DXLocalizedString(tall ? "COMBINE_KEY_TESTS_HINT_2" : "COMBINE_KEY_TESTS_HINT"));
    nextBtn()->setTitleForState(DXLocalizedString("COMBINE_KEY_TESTS_BUTTON_NEXT"), UIControlStateNormal);

    bool hasMute = info() && info()->hasMute();
    std::vector<const char*> titles = {"VOLUME UP", "VOLUME DOWN"};
    if (hasMute) {
        titles.push_back("MUTE SWITCH");
    }
    titles.push_back("HOME");
    titles.push_back("POWER");
    setSubItemlist(dx_touchkeys::subItems(titles));

    std::vector<Ref<CombineKeyModel>> rows = {makeRow("PHYSICALKEY_CONTROLLER_VOLUME_UP", kVolumeUpKey),
                                              makeRow("PHYSICALKEY_CONTROLLER_VOLUME_DOWN", kVolumeDownKey)};
    if (hasMute) {
        rows.push_back(makeRow("PHYSICALKEY_CONTROLLER_MUTE_SWICH", kMuteKey));
    } else if (info() && info()->subTestItemsResult()) {
        info()->subTestItemsResult()->removeObjectForKey(NSString::from(kMuteKey));
    }
    rows.push_back(makeRow(tall ? "COMBINE_KEY_TESTS_VOLUMEUP_POWER" : "COMBINE_KEY_TESTS_HOME_POWER", kChordKey));

    // Station removal.
    auto removed = AdditionalTestManager::sharedInstance()->removeKeys();
    auto isRemoved = [&](const Ref<NSString>& key) {
        if (!removed) {
            return false;
        }
        for (const id& r : *removed) {
            if (NSObjectsEqual(r, key)) {
                return true;
            }
        }
        return false;
    };
    std::erase_if(rows, [&](const Ref<CombineKeyModel>& row) { return isRemoved(row->subtestkey()); });
    if (removed && info() && info()->subTestItemsResult()) {
        for (const id& r : *removed) {
            auto key = cast<NSString>(r);
            if (key && key->str().rfind("PHYSICAL_KEYS_TEST2_", 0) == 0) {
                info()->subTestItemsResult()->setObjectForKey("REMOVED"_ns, key);
            }
        }
    }
    setItemList(NSArray::arrayWithRefs(rows));
    hidenButtons(true);

    Weak<CombineKeyViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        auto player = MPMusicPlayerController::applicationMusicPlayer();
        if (unbox<bool>(value)) {
            NSLog("viewWillAppear");
            player->setVolume(0.5f);
            self->setLaunchVolume(0.5f);
            self->hidenButtons(true);
            KeyEventSources::setVolumeHidden(true);
            self->monitorVolumeKeyEvent();
        } else {
            KeyEventSources::setVolumeHidden(false);
        }
    });
    if (hasMute) {
        detectMuteSwitch();
    }
    detectScreenShot();
    nextBtn()->addTargetActionForControlEvents(Ref<NSObject>(this), "next:", UIControlEventTouchUpInside);
    table->reloadData();
}

void CombineKeyViewController::viewWillDisappear(bool animated) {
    if (detector_) {
        detector_->stop();
        detector_ = nullptr;
    }
    DXBaseViewController::viewWillDisappear(animated);
}

void CombineKeyViewController::monitorVolumeKeyEvent() {
    Weak<CombineKeyViewController> weak(this);
    sources().volumeKeyChanges()->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        float volume = unbox<float>(value);
        NSLog("monitorVolumeKeyEvent ==> current volume = %f launchVolume = %f", static_cast<double>(volume),
              static_cast<double>(self->launchVolume()));
        float before = self->launchVolume();
        if (volume == before) {
            return;
        }
        self->setLaunchVolume(volume);
        if (volume > before) {
            self->volumeUp();
        } else {
            self->volumeDown();
        }
    });
}

void CombineKeyViewController::volumeUp() {
    NSLog("volumeUp");
    NSLog("volumeUp setVolume %f", static_cast<double>(launchVolume()));
    Weak<CombineKeyViewController> weak(this);
    onMainQueue([weak] {
        auto self = weak.lock();
        if (self && !self->isStopVolumeUp()) {
            self->setIsStopVolumeUp(true);
            self->updateSubStateWithKey(NSString::from(kVolumeUpKey));
        }
    });
}

void CombineKeyViewController::volumeDown() {
    NSLog("volumeDown");
    NSLog("volumeDown setVolume %f", static_cast<double>(launchVolume()));
    Weak<CombineKeyViewController> weak(this);
    onMainQueue([weak] {
        auto self = weak.lock();
        if (self && !self->isStopVolumeDown()) {
            self->setIsStopVolumeDown(true);
            self->updateSubStateWithKey(NSString::from(kVolumeDownKey));
        }
    });
}

void CombineKeyViewController::detectMuteSwitch() {
    Weak<CombineKeyViewController> weak(this);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(NSEC_PER_SEC)), dispatch_get_main_queue(),
                   [weak] {
                       auto self = weak.lock();
                       if (!self || self->isCompleted()) {
                           return;
                       }
                       self->detector_ = std::make_unique<MuteSwitchWatcher>([weak](bool) {
                           auto again = weak.lock();
                           if (!again) {
                               return;
                           }
                           if (!again->skip()) {
                               again->setSkip(true); // the first report is the switch's position
                               return;
                           }
                           again->updateSubStateWithKey(NSString::from(kMuteKey));
                       });
                   });
}

void CombineKeyViewController::detectScreenShot() {
    Weak<CombineKeyViewController> weak(this);
    sources().screenshot()->subscribeNext([weak](const id&) {
        auto self = weak.lock();
        if (self && !self->isStopScreenshot()) {
            self->updateSubStateWithKey(NSString::from(kChordKey));
        }
    });
}

Ref<CombineKeyModel> CombineKeyViewController::rowWithKey(const char* key) const {
    if (!itemList()) {
        return nullptr;
    }
    auto list = itemList();
    for (const id& item : *list) {
        auto row = cast<CombineKeyModel>(item);
        if (row && row->subtestkey() && row->subtestkey()->str() == key) {
            return row;
        }
    }
    return nullptr;
}

void CombineKeyViewController::updateSubStateWithKey(const Ref<NSString>& key) {
    if (isCompleted() || !key) {
        return;
    }
    auto rows = itemList();
    for (const id& item : *rows) {
        auto row = cast<CombineKeyModel>(item);
        if (row && NSObjectsEqual(row->subtestkey(), key)) {
            row->setPassstate(0);
            row->setSuccess(true);
            if (info() && info()->subTestItemsResult()) {
                info()->subTestItemsResult()->setObjectForKey("SUCCESS"_ns, key);
            }
        }
    }
    Weak<CombineKeyViewController> weak(this);
    onMainQueue([weak] {
        if (auto self = weak.lock()) {
            self->tableView()->reloadData();
            self->checkResults();
        }
    });
}

void CombineKeyViewController::checkResults() {
    if (isCompleted() || !info() || !itemList()) {
        return;
    }
    auto rows = itemList();
    for (const id& item : *rows) {
        if (!cast<CombineKeyModel>(item)->success()) {
            return;
        }
    }
    info()->setResult(DXTestResultPass);
    gotoResultView();
}

void CombineKeyViewController::passAction(const id& sender) {
    auto button = cast<UIButton>(sender);
    if (!button || isCompleted()) {
        return;
    }
    CGRect b = button->bounds();
    CGPoint at = button->convertPointToView(CGPointMake(CGRectGetMidX(b), CGRectGetMidY(b)), tableView());
    auto path = tableView()->indexPathForRowAtPoint(at);
    if (!path || path->row() < 0 || static_cast<NSUInteger>(path->row()) >= itemList()->count()) {
        return;
    }
    auto row = cast<CombineKeyModel>(itemList()->objectAtIndex(static_cast<NSUInteger>(path->row())));
    row->setPassstate(row->passstate() == 1 ? 2 : 1);
    bool failed = row->passstate() == 2;
    auto key = row->subtestkey();
    if (info() && info()->subTestItemsResult() && key) {
        info()->subTestItemsResult()->setObjectForKey(failed ? "FAIL"_ns : "NOT_TEST"_ns, key);
    }
    const std::string k = key ? key->str() : "";
    if (k == kVolumeUpKey) {
        setIsStopVolumeUp(!isStopVolumeUp());
    } else if (k == kVolumeDownKey) {
        setIsStopVolumeDown(!isStopVolumeDown());
    } else if (k == kChordKey) {
        setIsStopScreenshot(!isStopScreenshot());
        if (!isStopScreenshot()) {
            detectScreenShot();
        }
    }
    checkResults();
    tableView()->reloadData();
}

void CombineKeyViewController::next(const id&) {
    if (isCompleted() || !info()) {
        return;
    }
    bool all = true;
    auto rows = itemList();
    for (const id& item : *rows) {
        all = all && cast<CombineKeyModel>(item)->passstate() == 0;
    }
    info()->setResult(all ? DXTestResultPass : DXTestResultFail);
    gotoResultView();
}

NSInteger CombineKeyViewController::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) {
    return itemList() ? static_cast<NSInteger>(itemList()->count()) : 0;
}

Ref<UITableViewCell> CombineKeyViewController::tableViewCellForRowAtIndexPath(const Ref<UITableView>& table,
                                                                              const Ref<NSIndexPath>& indexPath) {
    auto cell = cast<CombineKeyTableViewCell>(
        table->dequeueReusableCellWithIdentifierForIndexPath("CombineKeyTableViewCell"_ns, indexPath));
    auto row = cast<CombineKeyModel>(itemList()->objectAtIndex(static_cast<NSUInteger>(indexPath->row())));
    cell->keyNameLabel()->setText(row->name());
    cell->resultImageView()->setHidden(!row->success());
    auto button = cell->passbtn();
    button->removeTargetActionForControlEvents(nullptr, nullptr, UIControlEventAllEvents);
    button->addTargetActionForControlEvents(Ref<NSObject>(this), "passAction:", UIControlEventTouchUpInside);
    switch (row->passstate()) {
    case 1:
        button->setHidden(false);
        button->setTitleForState(DXLocalizedString("COMBINE_KEY_TESTS_BUTTON_FAILED"), UIControlStateNormal);
        button->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.96, 0.0, 0.0, 1.0));
        button->layer()->setBorderColor(UIColor::colorWithRedGreenBlueAlpha(0.6, 0.0, 0.0, 1.0)->CGColor());
        cell->resultImageView()->setHidden(true);
        break;
    case 2:
        button->setHidden(false);
        button->setTitleForState(DXLocalizedString("COMBINE_KEY_TESTS_BUTTON_UNDO"), UIControlStateNormal);
        button->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.42, 0.22, 0.17, 1.0));
        button->layer()->setBorderColor(UIColor::colorWithRedGreenBlueAlpha(0.65, 0.64, 0.64, 1.0)->CGColor());
        cell->resultImageView()->setImage(UIImage::imageNamed("icon_failed_x"_ns));
        cell->resultImageView()->setHidden(false);
        break;
    default:
        button->setHidden(true);
        cell->resultImageView()->setImage(UIImage::imageNamed("icon_right_n"_ns));
        cell->resultImageView()->setHidden(false);
        break;
    }
    return cell;
}
