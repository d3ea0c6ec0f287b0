#include <Diagnostics/PowerRadio/BatteryViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Categorys/DXUtility.h>
#include <Core/DXLayoutResource.h>
#include <Core/NormalTableViewCell.h>
#include <Diagnostics/PowerRadio/BatteryCells.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSData.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSOperationQueue.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIKitProtocols.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>

#include <cmath>
#include <optional>

NS_IMPLEMENT_CLASS(BatteryViewController, DXBaseViewController) {
    using B = BatteryViewController;
    b.conformsTo(UITableViewDataSourceProtocol());
    b.conformsTo(UITableViewDelegateProtocol());
    b.property("tableView", &B::tableView, &B::setTableView, "weak");
    b.property("warninglabel", &B::warninglabel, &B::setWarninglabel, "weak");
    b.method("numberOfSectionsInTableView:", &B::numberOfSectionsInTableView);
    b.method("tableView:numberOfRowsInSection:", &B::tableViewNumberOfRowsInSection);
    b.method("tableView:titleForHeaderInSection:", &B::tableViewTitleForHeaderInSection);
    b.method("tableView:cellForRowAtIndexPath:", &B::tableViewCellForRowAtIndexPath);
    b.method("tableView:heightForRowAtIndexPath:", &B::tableViewHeightForRowAtIndexPath);
    b.method("tableView:viewForHeaderInSection:", &B::tableViewViewForHeaderInSection);
    b.method("tableView:heightForHeaderInSection:", &B::tableViewHeightForHeaderInSection);
    b.method("ioKitDataUpdated:", &B::ioKitDataUpdated);
    b.method("listenerDataUpdated:", &B::listenerDataUpdated);
}

namespace {

using namespace dx_layout;

const bool layoutRegistered = [] {
    UINib::registerNibNamed("BatteryViewController", [](const id& owner) -> Ref<NSArray> {
        CGRect screen = UIScreen::mainScreen()->bounds();
        auto root = make<UIView>(screen);
        root->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        // The table fills the screen under the header; the warning, on the systems that show it,
        // sits above the table, which then starts below it (see viewDidLoad).
        auto warning = make<UILabel>();
        warning->setNumberOfLines(0);
        warning->setPreferredMaxLayoutWidth(screen.size.width - 32);
        place(root, warning);
        pin(root, warning, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 8);
        pin(root, warning, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 16);
        pin(root, warning, NSLayoutAttributeRight, root, NSLayoutAttributeRight, -16);
        auto table = make<UITableView>(CGRectZero, UITableViewStylePlain);
        place(root, table);
        auto tableTop = pin(root, table, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 0);
        pin(root, table, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0);
        pin(root, table, NSLayoutAttributeRight, root, NSLayoutAttributeRight, 0);
        pin(root, table, NSLayoutAttributeBottom, root, NSLayoutAttributeBottom, 0);
        if (auto s = cast<BatteryViewController>(owner)) {
            s->setWarninglabel(warning);
            s->setTableView(table);
            s->setTableTop(tableTop);
            table->setDataSource(owner);
            table->setDelegate(owner);
        }
        return NSArray::arrayWithObjects({root});
    });
    return true;
}();

// A figure of a registry dictionary: a number with a finite value, or nothing.
std::optional<double> figure(const Ref<NSDictionary>& dictionary, const char* key) {
    auto number = dictionary ? cast<NSNumber>(dictionary->objectForKey(NSString::from(key))) : nullptr;
    if (!number) {
        return std::nullopt;
    }
    double value = number->doubleValue();
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// The raw mAh figure where the registry has one, else the plain key.
std::optional<double> capacity(const Ref<NSDictionary>& dictionary, const char* raw, const char* plain) {
    if (dictionary && dictionary->objectForKey(NSString::from(raw))) {
        return figure(dictionary, raw);
    }
    return figure(dictionary, plain);
}

bool sensibleCharge(double current, double max) {
    // A gauge may read a little over its full capacity while it settles; twice it is nonsense.
    return current >= 0 && max >= 0 && (max > 0 ? current <= max * 1.05 : current == 0);
}

Ref<NSString> mAh(double current, double max) {
    return NSString::stringWithFormat("%d/%d mAh", static_cast<int>(current), static_cast<int>(max));
}

} // namespace

void BatteryViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto table = tableView()) {
        for (const char* cell : {"BatteryChargeTableViewCell", "CapacityTableViewCell"}) {
            table->registerNibForCellReuseIdentifier(UINib::nibWithNibNameBundle(NSString::from(cell), nullptr),
                                                     NSString::from(cell));
        }
        table->registerNibForCellReuseIdentifier(NormalTableViewCell::nib(), "NormalTableViewCell"_ns);
        table->setTableHeaderView(make<UIView>());
        table->setTableFooterView(make<UIView>());
    }
    auto device = UIDevice::currentDevice();
    device->setBatteryMonitoringEnabled(false);

    Weak<BatteryViewController> weak(this);
    choose()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self || !self->info() || self->isCompleted()) {
            return;
        }
        self->info()->setResult(unbox<bool>(value) ? DXTestResultPass : DXTestResultFail);
        self->gotoResultView();
    });

    systemVersion_ = device->systemVersion() ? device->systemVersion()->floatValue() : 0;
    auto center = NSNotificationCenter::defaultCenter();
    if (systemVersion_ >= 12.0f) {
        device->setBatteryMonitoringEnabled(true);
        auto path = NSBundle::mainBundle()->pathForResourceOfType("batteryinfo"_ns, "plist"_ns);
        auto data = path ? NSData::dataWithContentsOfFile(path) : nullptr;
        auto table = data ? cast<NSDictionary>(NSPropertyListSerialization::propertyListWithDataOptionsFormatError(
                                data, NSPropertyListImmutable, nullptr, nullptr))
                          : nullptr;
        auto hardware = DXUtility::hardwareName();
        auto design = table && hardware ? cast<NSNumber>(table->objectForKey(hardware->lowercaseString())) : nullptr;
        if (design && design->doubleValue() > 0 && std::isfinite(design->doubleValue())) {
            setMaxCapacity(static_cast<double>(design->integerValue()));
        }
        refreshFromBatteryLevel();
        levelObserver_ = center->addObserverForNameObjectQueueUsingBlock(
            UIDeviceBatteryLevelDidChangeNotification(), nullptr, nullptr, [weak](const Ref<NSNotification>&) {
                if (auto self = weak.lock()) {
                    self->refreshFromBatteryLevel();
                }
            });
    } else if (systemVersion_ >= 10.0f) {
        setListener_iso10(IOKitListener::sharedIOKitListener());
        center->addObserverSelectorNameObject(Ref<BatteryViewController>(this),
                                              "ioKitDataUpdated:", IOKitListenerNewDataNotification(), nullptr);
        ioKitObserved_ = true;
        listener_iso10()->requestDataRefresh();
    } else {
        setListener(PowerSourceListener::sharedPowerSourceListener());
    }
    if (auto label = warninglabel()) {
        label->setText(DXLocalizedString("BATTERY_CONTROLLER_WARNING"));
        label->setHidden(systemVersion_ >= 10.0f);
        if (tableTop_) {
            // The table starts right under the header bar, or below the warning where it shows.
            CGFloat warning = label->isHidden() ? 0 : 8 + label->intrinsicContentSize().height + 8;
            tableTop_->setConstant(DXHeaderHeight() + warning);
        }
    }
}

void BatteryViewController::viewDidAppear(bool animated) {
    DXBaseViewController::viewDidAppear(animated);
    if (systemVersion_ < 10.0f) {
        if (!powerSourceObserved_) {
            NSNotificationCenter::defaultCenter()->addObserverSelectorNameObject(
                Ref<BatteryViewController>(this), "listenerDataUpdated:", PowerSourceListenerNewDataNotification(),
                nullptr);
            powerSourceObserved_ = true;
        }
        if (listener()) {
            listener()->startListener();
        }
    } else if (listener_iso10()) {
        listener_iso10()->startListener();
    }
}

void BatteryViewController::viewWillDisappear(bool animated) {
    DXBaseViewController::viewWillDisappear(animated);
    auto center = NSNotificationCenter::defaultCenter();
    if (systemVersion_ >= 12.0f) {
        if (levelObserver_) {
            center->removeObserver(levelObserver_);
            levelObserver_ = nullptr;
        }
        UIDevice::currentDevice()->setBatteryMonitoringEnabled(false);
    } else if (listener_iso10()) {
        listener_iso10()->stopListener();
    } else if (listener()) {
        listener()->stopListener();
    }
    if (ioKitObserved_ || powerSourceObserved_) {
        center->removeObserver(Ref<BatteryViewController>(this));
        ioKitObserved_ = powerSourceObserved_ = false;
    }
}

void BatteryViewController::refreshFromBatteryLevel() {
    float level = UIDevice::currentDevice()->batteryLevel();
    if (!std::isfinite(level) || level > 1.0f) {
        failOnBadData("battery level above 100%");
        return;
    }
    // -1: the level is unknown; the charge is then not known either.
    setCurrentCapacity(level < 0 ? 0 : maxCapacity() * level);
    if (auto table = tableView()) {
        table->reloadData();
    }
}

void BatteryViewController::ioKitDataUpdated(const Ref<NSNotification>&) {
    if (isCompleted()) {
        return;
    }
    auto dictionary = IOKitListener::sharedIOKitListener()->chargerDict();
    auto voltage = figure(dictionary, "Voltage");
    auto max = capacity(dictionary, "AppleRawMaxCapacity", "MaxCapacity");
    auto current = capacity(dictionary, "AppleRawCurrentCapacity", "CurrentCapacity");
    if (!voltage || !max || !current || *voltage < 0 || !sensibleCharge(*current, *max)) {
        failOnBadData("the battery service reported figures that are missing, not numbers or nonsense");
        return;
    }
    setVoltage(static_cast<int64_t>(*voltage));
    setMaxCapacity(*max);
    setCurrentCapacity(*current);
    if (auto table = tableView()) {
        table->reloadData();
    }
}

void BatteryViewController::listenerDataUpdated(const Ref<NSNotification>& notification) {
    if (isCompleted()) {
        return;
    }
    auto dictionary = notification ? notification->userInfo() : nullptr;
    auto max = figure(dictionary, "AppleRawMaxCapacity");
    auto current = figure(dictionary, "AppleRawCurrentCapacity");
    auto design = figure(dictionary, "DesignCapacity");
    auto cycles = figure(dictionary, "CycleCount");
    auto voltage = figure(dictionary, "Voltage");
    auto temperature = figure(dictionary, "Temperature");
    auto amperage = figure(dictionary, "InstantAmperage");
    if (!max || !current || !design || !cycles || !voltage || !temperature || !amperage || *design < 0 || *cycles < 0 ||
        *voltage < 0 || !sensibleCharge(*current, *max)) {
        failOnBadData("the power source reported figures that are missing, not numbers or nonsense");
        return;
    }
    setMaxCapacity(*max);
    setCurrentCapacity(*current);
    setDesignCapacity(*design);
    setCycleCount(static_cast<int64_t>(*cycles));
    setVoltage(static_cast<int64_t>(*voltage));
    setTemperature(static_cast<int64_t>(*temperature));
    setDischarge(static_cast<int64_t>(*amperage));
    NSLog("%f", currentCapacity());
    if (auto table = tableView()) {
        table->reloadData();
    }
}

void BatteryViewController::failOnBadData(const char* why) {
    if (isCompleted() || !info()) {
        return;
    }
    NSLog("Battery: %s", why);
    info()->setResult(DXTestResultFail);
    gotoResultView();
}

NSInteger BatteryViewController::numberOfSectionsInTableView(const Ref<UITableView>&) {
    return 1;
}

NSInteger BatteryViewController::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) {
    return systemVersion_ >= 12.0f ? 1 : systemVersion_ >= 10.0f ? 2 : 6;
}

Ref<NSString> BatteryViewController::tableViewTitleForHeaderInSection(const Ref<UITableView>&, NSInteger) {
    return DXLocalizedString("BATTERY_CONTROLLER_TABLE_HEADER");
}

Ref<UITableViewCell> BatteryViewController::tableViewCellForRowAtIndexPath(const Ref<UITableView>& table,
                                                                           const Ref<NSIndexPath>& indexPath) {
    NSInteger row = indexPath ? indexPath->row() : -1;
    bool section0 = indexPath && indexPath->section() == 0;
    auto normal = [&](const char* key, const Ref<NSString>& value) -> Ref<UITableViewCell> {
        auto cell = cast<NormalTableViewCell>(table->dequeueReusableCellWithIdentifier("NormalTableViewCell"_ns));
        if (cell) {
            cell->fieldName()->setText(DXLocalizedString(key));
            cell->fieldValue()->setText(value);
            cell->fieldValue()->setHidden(false);
        }
        return cell;
    };
    auto bar = [&](const char* identifier, const char* key, const Ref<NSString>& value,
                   double progress) -> Ref<UITableViewCell> {
        auto cell =
            cast<BatteryChargeTableViewCell>(table->dequeueReusableCellWithIdentifier(NSString::from(identifier)));
        if (cell) {
            cell->fieldName()->setText(DXLocalizedString(key));
            cell->fieldValue()->setText(value);
            cell->setProgress(progress);
        }
        return cell;
    };
    if (section0 && systemVersion_ >= 10.0f) {
        if (row == 0) {
            return bar("BatteryChargeTableViewCell", "BATTERY_CONTROLLER_BATTERY_CHARGE",
                       mAh(currentCapacity(), maxCapacity()), currentCapacity() / maxCapacity());
        }
        if (row == 1 && systemVersion_ < 12.0f) {
            return normal("BATTERY_CONTROLLER_VOLTAGE", NSString::stringWithFormat("%0.2f V", voltage() / 1000.0));
        }
    } else if (section0) {
        double full = maxCapacity() > designCapacity() ? designCapacity() : maxCapacity();
        double shown = currentCapacity() > full ? full : currentCapacity();
        switch (row) {
        case 0:
            return bar("BatteryChargeTableViewCell", "BATTERY_CONTROLLER_BATTERY_CHARGE", mAh(shown, full),
                       shown / full);
        case 1: {
            bool above = maxCapacity() > designCapacity();
            return bar("CapacityTableViewCell", "BATTERY_CONTROLLER_BATTERY_CAPACITY",
                       mAh(above ? designCapacity() : maxCapacity(), designCapacity()),
                       maxCapacity() / designCapacity());
        }
        case 2:
            return normal("BATTERY_CONTROLLER_VOLTAGE", NSString::stringWithFormat("%0.2f V", voltage() / 1000.0));
        case 3:
            return normal("BATTERY_CONTROLLER_CYCLES",
                          NSString::stringWithFormat("%d", static_cast<int>(cycleCount())));
        case 4: {
            auto text = NSString::stringWithFormat("%0.2f ℃", temperature() / 100.0);
            auto cell = cast<NormalTableViewCell>(normal("BATTERY_CONTROLLER_TEMPERATURE", text));
            if (!cell) {
                return cell;
            }
            if (!highTemperatureLabel()) {
                auto badge = make<UILabel>();
                badge->setNumberOfLines(0);
                badge->setFont(UIFont::systemFontOfSize(17));
                badge->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(217 / 255.0, 56 / 255.0, 41 / 255.0, 1));
                badge->setTextColor(UIColor::whiteColor());
                setHighTemperatureLabel(badge);
            }
            auto badge = highTemperatureLabel();
            cell->addSubview(badge);
            CGSize size = sizeWithFont(text, UIFont::systemFontOfSize(17));
            size.width = std::min<CGFloat>(size.width, 100);
            size.height = std::min<CGFloat>(size.height, 100);
            badge->setFrame(CGRectMake(cell->frame().size.width - size.width - 8, cell->fieldValue()->frame().origin.y,
                                       size.width, size.height));
            badge->setText(text);
            bool hot = temperature() / 100.0 > 40.0;
            badge->setHidden(!hot);
            cell->fieldValue()->setHidden(hot);
            return cell;
        }
        case 5:
            return normal("BATTERY_CONTROLLER_DISCHARGE_CURRENT",
                          NSString::stringWithFormat("%d mA", static_cast<int>(discharge())));
        default:
            break;
        }
    }
    return table->dequeueReusableCellWithIdentifier("BatteryChargeTableViewCell"_ns);
}

CGFloat BatteryViewController::tableViewHeightForRowAtIndexPath(const Ref<UITableView>&,
                                                                const Ref<NSIndexPath>& indexPath) {
    NSInteger row = indexPath ? indexPath->row() : 0;
    if (row == 0 || (row == 1 && systemVersion_ < 10.0f)) {
        return 71;
    }
    return 44;
}

Ref<UIView> BatteryViewController::tableViewViewForHeaderInSection(const Ref<UITableView>&, NSInteger section) {
    auto header = make<UIView>(CGRectMake(0, 0, UIScreen::mainScreen()->bounds().size.width, 50));
    header->setBackgroundColor(UIColor::groupTableViewBackgroundColor());
    auto label = make<UILabel>();
    label->setFont(UIFont::systemFontOfSize(10));
    label->setNumberOfLines(0);
    auto text = tableViewTitleForHeaderInSection(nullptr, section);
    CGSize size = sizeWithFontConstrainedToSize(text, UIFont::systemFontOfSize(12), CGSizeMake(240, 10000));
    size.width = std::min<CGFloat>(size.width, 240);
    label->setFrame(CGRectMake(8, 25 + 10 - size.height / 2, size.width, size.height));
    label->setText(text);
    header->addSubview(label);
    return header;
}

CGFloat BatteryViewController::tableViewHeightForHeaderInSection(const Ref<UITableView>&, NSInteger) {
    return 50;
}

std::vector<std::pair<std::string, std::string>> BatteryViewController::rowTexts() {
    std::vector<std::pair<std::string, std::string>> rows;
    auto table = tableView();
    if (!table) {
        return rows;
    }
    table->layoutIfNeeded();
    NSInteger count = tableViewNumberOfRowsInSection(table, 0);
    for (NSInteger i = 0; i < count; ++i) {
        auto cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(i, 0));
        auto name = cell ? cast<UILabel>(cell->valueForKey("fieldName"_ns)) : nullptr;
        auto value = cell ? cast<UILabel>(cell->valueForKey("fieldValue"_ns)) : nullptr;
        auto text = [](const Ref<UILabel>& l) { return l && l->text() ? l->text()->str() : std::string(); };
        rows.emplace_back(text(name), text(value));
    }
    return rows;
}
