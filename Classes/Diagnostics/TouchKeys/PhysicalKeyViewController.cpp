// PhysicalKeyViewController: volume keys and the switch as a checklist under a time limit.
#include <Diagnostics/TouchKeys/PhysicalKeyViewController.h>
#include <Diagnostics/TouchKeys/TouchKeysSupport.h>

#include <AVFoundation/AVAudioSession.h>
#include <Categorys/DXLocalizedString.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSLog.h>
#include <MediaPlayer/MPMusicPlayerController.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXPropertySubscribing.h>
#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIKitProtocols.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIWindow.h>

NS_IMPLEMENT_CLASS(PhsicalKeyModel, NSObject) {
    b.property("name", &PhsicalKeyModel::name, &PhsicalKeyModel::setName);
    b.property("success", &PhsicalKeyModel::success, &PhsicalKeyModel::setSuccess);
}

NS_IMPLEMENT_CLASS(PhysicaKeyTableViewCell, UITableViewCell) {}

NS_IMPLEMENT_CLASS(PhysicalKeyViewController, DXBaseViewController) {
    using P = PhysicalKeyViewController;
    b.conformsTo(UITableViewDataSourceProtocol());
    b.conformsTo(UITableViewDelegateProtocol());
    b.property("itemList", &P::itemList, &P::setItemList);
    b.method("tableView:numberOfRowsInSection:", &P::tableViewNumberOfRowsInSection);
    b.method("tableView:heightForRowAtIndexPath:", &P::tableViewHeightForRowAtIndexPath);
    b.method("tableView:cellForRowAtIndexPath:", &P::tableViewCellForRowAtIndexPath);
}

Ref<PhsicalKeyModel> PhsicalKeyModel::customClassWithProperties(const Ref<NSDictionary>& properties) {
    auto model = make<PhsicalKeyModel>();
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

PhysicaKeyTableViewCell::PhysicaKeyTableViewCell()
    : UITableViewCell(UITableViewCellStyleDefault, NSString::from("PhysicaKeyTableViewCell")) {
    CGFloat width = UIScreen::mainScreen()->bounds().size.width;
    setKeyNameLabel(make<UILabel>(CGRectMake(16, 5, width - 80, 25)));
    setResultImageView(make<UIImageView>(CGRectMake(width - 50, 5, 25, 25)));
    resultImageView()->setImage(UIImage::imageNamed("icon_right_n"_ns));
    contentView()->addSubview(keyNameLabel());
    contentView()->addSubview(resultImageView());
}

PhysicalKeyViewController::~PhysicalKeyViewController() = default;

KeyEventSources& PhysicalKeyViewController::sources() {
    if (!sources_) {
        sources_ = std::make_unique<KeyEventSources>(disappear());
    }
    return *sources_;
}

void PhysicalKeyViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    setSubItemlist(dx_touchkeys::subItems({"VOLUME UP", "VOLUME DOWN", "MUTE SWITCH"}));
    CGSize s = UIScreen::mainScreen()->bounds().size;
    setTableView(make<UITableView>(CGRectMake(0, 120, s.width, 3 * 35.0), UITableViewStylePlain));
    view()->addSubview(tableView());
    auto table = tableView();
    table->setScrollEnabled(false);
    table->setShowsVerticalScrollIndicator(false);
    table->setTableFooterView(make<UIView>());
    table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    table->setEstimatedRowHeight(35.0);
    table->registerClassForCellReuseIdentifier(PhysicaKeyTableViewCell::class_(), "PhysicaKeyTableViewCell"_ns);
    table->setDataSource(Ref<NSObject>(this));
    table->setDelegate(Ref<NSObject>(this));

    Weak<PhysicalKeyViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (unbox<bool>(value)) {
            self->hidenButtons(true);
            KeyEventSources::setVolumeHidden(true);
            self->startStealingVolumeButtonEvents();
            self->monitorVolumeKeyEvent();
        } else {
            self->stopStealingVolumeButtonEvents();
            KeyEventSources::setVolumeHidden(false);
            if (self->detector_) {
                self->detector_->stop();
            }
        }
    });

    bool hasMute = info() && info()->hasMute();
    auto row = [](const char* label) {
        auto properties = NSMutableDictionary::dictionary();
        properties->setObjectForKey(DXLocalizedString(label), "name"_ns);
        properties->setObjectForKey(NSNumber::numberWithBool(false), "success"_ns);
        return PhsicalKeyModel::customClassWithProperties(properties);
    };
    std::vector<Ref<PhsicalKeyModel>> rows = {row("PHYSICALKEY_CONTROLLER_VOLUME_UP"),
                                              row("PHYSICALKEY_CONTROLLER_VOLUME_DOWN")};
    if (hasMute) {
        rows.push_back(row("PHYSICALKEY_CONTROLLER_MUTE_SWICH"));
    }
    setItemList(NSArray::arrayWithRefs(rows));

    if (hasMute) {
        detector_ = std::make_unique<MuteSwitchWatcher>([weak](bool) {
            auto self = weak.lock();
            if (!self) {
                return;
            }
            NSLog("self.skip ==> %d", static_cast<int>(self->skip()));
            if (!self->skip()) {
                self->setSkip(true); // the first report is the switch's position
                return;
            }
            self->seen(2, "self.detector.silentNotify");
        });
    }

    // The result: every row's success, ANDed, under the time limit, until the screen goes.
    id me = Ref<NSObject>(this);
    double limit = dx_touchkeys::timeLimit(info() ? info()->timeout() : 0);
    rx_valuesForKeyPathObserver(me, "itemList"_ns, me)
        ->map([](const id& value) -> id {
            std::vector<Ref<RXSignal>> each;
            if (auto list = cast<NSArray>(value)) {
                for (const id& item : *list) {
                    each.push_back(rx_valuesForKeyPathObserver(item, "success"_ns, item));
                }
            }
            return RXSignal::combineLatest(each)->and_();
        })
        ->switchToLatest()
        ->logAll()
        ->timeoutOnScheduler(limit, RXScheduler::mainThreadScheduler())
        ->takeUntil(disappear())
        ->subscribeNextErrorCompleted(
            [weak](const id& all) {
                auto self = weak.lock();
                NSLog("has push check.");
                if (self && unbox<bool>(all) && self->info() && !self->isCompleted()) {
                    self->info()->setResult(DXTestResultPass);
                    self->stopStealingVolumeButtonEvents();
                }
            },
            [weak](const Ref<NSError>&) {
                auto self = weak.lock();
                if (!self || self->isCompleted() || !self->info()) {
                    return;
                }
                self->info()->setResult(DXTestResultTimeout);
                self->stopStealingVolumeButtonEvents();
                NSLog("[self gotoResultView]1");
                self->gotoResultView();
            },
            [weak] {
                if (auto self = weak.lock()) {
                    self->stopStealingVolumeButtonEvents();
                }
            });
    table->reloadData();
}

void PhysicalKeyViewController::startStealingVolumeButtonEvents() {
    Ref<NSError> ignored;
    (void)AVAudioSession::sharedInstance()->setActiveError(true, &ignored);
    auto player = MPMusicPlayerController::applicationMusicPlayer();
    setLaunchVolume(player->volume());
    NSLog("startStealingVolumeButtonEvents launchVolume = %f", static_cast<double>(launchVolume()));
    setHadToLowerVolume(launchVolume() == 1.0f);
    setHadToRaiseVolume(launchVolume() == 0.0f);
    if (hadToLowerVolume()) {
        NSLog("startStealingVolumeButtonEvents setVolume = %f", 0.95);
        player->setVolume(0.95f);
        setLaunchVolume(0.95f);
    }
    if (hadToRaiseVolume()) {
        NSLog("startStealingVolumeButtonEvents setVolume = %f", 0.05);
        player->setVolume(0.05f);
        setLaunchVolume(0.05f);
    }
    if (volumeView()) {
        volumeView()->removeFromSuperview();
    }
    setVolumeView(make<MPVolumeView>(CGRectMake(0, -100, 10, 0)));
    volumeView()->sizeToFit();
    auto windows = UIApplication::sharedApplication()->windows();
    if (windows && windows->count() > 0) {
        if (auto window = cast<UIWindow>(windows->objectAtIndex(0))) {
            window->addSubview(volumeView());
        }
    }
    // The output-volume listener starts half a second later, by a timer.
    Weak<PhysicalKeyViewController> weak(this);
    uint64_t generation = ++startGeneration_;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(NSEC_PER_SEC / 2)), dispatch_get_main_queue(),
                   [weak, generation] {
                       auto self = weak.lock();
                       if (!self || generation != self->startGeneration_ || self->isCompleted()) {
                           return; // stopped (or started again) meanwhile
                       }
                       self->setIsStopMonitorVolumeKey(false);
                       self->initializeVolumeButtonStealer();
                   });
}

void PhysicalKeyViewController::initializeVolumeButtonStealer() {
    Weak<PhysicalKeyViewController> weak(this);
    sources().addVolumeListener([weak](float volume) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        NSLog("volumeListenerCallback ==> current volume = %f launchVolume = %f", static_cast<double>(volume),
              static_cast<double>(self->launchVolume()));
        if (volume > self->launchVolume()) {
            self->volumeUp();
        } else if (volume < self->launchVolume()) {
            self->volumeDown();
        }
    });
}

void PhysicalKeyViewController::stopStealingVolumeButtonEvents() {
    ++startGeneration_;
    sources().removeVolumeListener();
    auto player = MPMusicPlayerController::applicationMusicPlayer();
    if (hadToLowerVolume()) {
        NSLog("stopStealingVolumeButtonEvents setVolume 1.0");
        player->setVolume(1.0f);
        setHadToLowerVolume(false);
    }
    if (hadToRaiseVolume()) {
        NSLog("stopStealingVolumeButtonEvents setVolume 0.0");
        player->setVolume(0.0f);
        setHadToRaiseVolume(false);
    }
    if (volumeView()) {
        volumeView()->removeFromSuperview();
        setVolumeView(nullptr);
    }
    Ref<NSError> ignored;
    (void)AVAudioSession::sharedInstance()->setActiveError(false, &ignored);
    setIsStopMonitorVolumeKey(true);
}

void PhysicalKeyViewController::monitorVolumeKeyEvent() {
    Weak<PhysicalKeyViewController> weak(this);
    sources().volumeKeyChanges()->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        float volume = unbox<float>(value);
        NSLog("monitorVolumeKeyEvent ==> current volume = %f launchVolume = %f", static_cast<double>(volume),
              static_cast<double>(self->launchVolume()));
        if (self->isStopMonitorVolumeKey()) {
            NSLog("self.isStopMonitorVolumeKey = YES");
            return;
        }
        if (volume > self->launchVolume()) {
            NSLog("monitorVolumeKeyEvent volumeUp");
            self->volumeUp();
        } else if (volume < self->launchVolume()) {
            NSLog("monitorVolumeKeyEvent volumeDown");
            self->volumeDown();
        }
    });
}

void PhysicalKeyViewController::seen(NSUInteger index, const char* what) {
    if (isCompleted() || !itemList() || index >= itemList()->count()) {
        return;
    }
    cast<PhsicalKeyModel>(itemList()->objectAtIndex(index))->setSuccess(true);
    dx_touchkeys::markSubItem(subItemlist(), index, 1);
    tableView()->reloadData();
    NSLog("%s updateState", what);
    updateState();
}

void PhysicalKeyViewController::volumeUp() {
    NSLog("volumeUp");
    NSLog("volumeUp setVolume = %f", static_cast<double>(launchVolume()));
    MPMusicPlayerController::applicationMusicPlayer()->setVolume(launchVolume());
    Weak<PhysicalKeyViewController> weak(this);
    dispatch_async(dispatch_get_main_queue(), [weak] {
        if (auto self = weak.lock()) {
            self->seen(0, "volumeUp");
        }
    });
}

void PhysicalKeyViewController::volumeDown() {
    NSLog("volumeDown");
    NSLog("volumeDown setVolume = %f", static_cast<double>(launchVolume()));
    MPMusicPlayerController::applicationMusicPlayer()->setVolume(launchVolume());
    Weak<PhysicalKeyViewController> weak(this);
    dispatch_async(dispatch_get_main_queue(), [weak] {
        if (auto self = weak.lock()) {
            self->seen(1, "volumeDown");
        }
    });
}

void PhysicalKeyViewController::updateState() {
    if (!itemList()) {
        return;
    }
    auto list = itemList();
    for (const id& item : *list) {
        if (!cast<PhsicalKeyModel>(item)->success()) {
            return;
        }
    }
    NSLog("[self gotoResultView]2");
    if (!isGotoResult()) {
        setIsGotoResult(true);
        gotoResultView();
    }
}

NSInteger PhysicalKeyViewController::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) {
    return itemList() ? static_cast<NSInteger>(itemList()->count()) : 0;
}

Ref<UITableViewCell> PhysicalKeyViewController::tableViewCellForRowAtIndexPath(const Ref<UITableView>& table,
                                                                               const Ref<NSIndexPath>& indexPath) {
    auto cell = cast<PhysicaKeyTableViewCell>(
        table->dequeueReusableCellWithIdentifierForIndexPath("PhysicaKeyTableViewCell"_ns, indexPath));
    auto row = cast<PhsicalKeyModel>(itemList()->objectAtIndex(static_cast<NSUInteger>(indexPath->row())));
    cell->keyNameLabel()->setText(row->name());
    cell->resultImageView()->setHidden(!row->success());
    return cell;
}
