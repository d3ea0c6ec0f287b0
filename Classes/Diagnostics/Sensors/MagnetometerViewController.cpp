#include <Diagnostics/Sensors/MagnetometerViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Core/DXLayoutResource.h>
#include <Diagnostics/Sensors/MeterCells.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/UIKitProtocols.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>

#include <cmath>
#include <numbers>

NS_IMPLEMENT_CLASS(MagnetometerViewController, MotionViewController) {
    using M = MagnetometerViewController;
    b.conformsTo(UITableViewDataSourceProtocol());
    b.conformsTo(UITableViewDelegateProtocol());
    b.property("tableView", &M::tableView, &M::setTableView, "weak");
    b.property("qeustionLabel", &M::qeustionLabel, &M::setQeustionLabel, "weak");
    b.property("arrow", &M::arrow, &M::setArrow, "weak");
    b.property("arrow2", &M::arrow2, &M::setArrow2, "weak");
    b.property("arrow3", &M::arrow3, &M::setArrow3, "weak");
    b.property("arrow4", &M::arrow4, &M::setArrow4, "weak");
    b.method("numberOfSectionsInTableView:", &M::numberOfSectionsInTableView);
    b.method("tableView:numberOfRowsInSection:", &M::tableViewNumberOfRowsInSection);
    b.method("tableView:heightForRowAtIndexPath:", &M::tableViewHeightForRowAtIndexPath);
    b.method("tableView:cellForRowAtIndexPath:", &M::tableViewCellForRowAtIndexPath);
}

namespace {

using namespace dx_layout;

// The question, a row of four arrows, and the meter table below them.
const bool layoutRegistered = [] {
    UINib::registerNibNamed("MagnetometerViewController", [](const id& owner) -> Ref<NSArray> {
        CGRect screen = UIScreen::mainScreen()->bounds();
        auto root = make<UIView>(screen);
        root->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        auto question = make<UILabel>();
        question->setNumberOfLines(0);
        place(root, question);
        pin(root, question, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 8);
        pin(root, question, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 16);
        pin(root, question, NSLayoutAttributeRight, root, NSLayoutAttributeRight, -16);
        std::vector<Ref<Arrow>> arrows;
        CGFloat side = std::floor((screen.size.width - 50) / 4);
        for (int i = 0; i < 4; ++i) {
            auto a = make<Arrow>();
            place(root, a);
            size(root, a, NSLayoutAttributeWidth, side);
            size(root, a, NSLayoutAttributeHeight, side);
            pin(root, a, NSLayoutAttributeTop, question, NSLayoutAttributeBottom, 8);
            pin(root, a, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 10 + i * (side + 10));
            arrows.push_back(a);
        }
        auto table = make<UITableView>(CGRectZero, UITableViewStylePlain);
        place(root, table);
        pin(root, table, NSLayoutAttributeTop, arrows[0], NSLayoutAttributeBottom, 8);
        pin(root, table, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0);
        pin(root, table, NSLayoutAttributeRight, root, NSLayoutAttributeRight, 0);
        pin(root, table, NSLayoutAttributeBottom, root, NSLayoutAttributeBottom, 0);
        if (auto screenController = cast<MagnetometerViewController>(owner)) {
            screenController->setQeustionLabel(question);
            screenController->setArrow(arrows[0]);
            screenController->setArrow2(arrows[1]);
            screenController->setArrow3(arrows[2]);
            screenController->setArrow4(arrows[3]);
            screenController->setTableView(table);
            table->setDataSource(owner);
            table->setDelegate(owner);
        }
        return NSArray::arrayWithObjects({root});
    });
    return true;
}();

struct Meter {
    const char* heading;
    const char* prefix;
    double outletScale;
    double rowScale;
    double fore[3];
};

const Meter kMeters[] = {
    {"CLHeading magneticHeading", "clMagneticHeading", 180, 180, {0.95, 0.6, 0.6}},
    {"CMMagneticField", "cmMagneticField", 128, 180, {0.95, 0.95, 0.2}},
    {"CMCalibratedMagneticField", "cmCalibratedMagneticField", 128, 128, {0.2, 0.6, 0.95}},
    {"CL Heading", "clHeading", 128, 128, {0.2, 0.95, 0.6}},
    {"CLH CMC diff", "diff", 12, 12, {0.95, 0.6, 0.95}},
};

Ref<NSString> oneDecimal(double v) {
    return NSString::stringWithFormat("%.1f", v + 0.0); // no "-0.0"
}

void turn(const Ref<Arrow>& arrow, double degrees) {
    if (arrow && std::isfinite(degrees)) {
        arrow->layer()->setAffineTransform(CGAffineTransformMakeRotation(degrees * std::numbers::pi / 180));
    }
}

} // namespace

void MagnetometerViewController::viewDidLoad() {
    (void)layoutRegistered;
    MotionViewController::viewDidLoad();
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([](const id&) {});
    Weak<MagnetometerViewController> weak(this);
    choose()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self || !self->info() || self->isCompleted()) {
            return;
        }
        self->info()->setResult(unbox<bool>(value) ? DXTestResultPass : DXTestResultFail);
        self->gotoResultView();
    });
    if (auto label = qeustionLabel()) {
        label->setText(DXLocalizedString("MAGNETOMETER_TEST_ANSWER"));
    }
    setAutomaticallyAdjustsScrollViewInsets(false);
    if (auto table = tableView()) {
        view()->sendSubviewToBack(table);
        table->registerNibForCellReuseIdentifier(UINib::nibWithNibNameBundle("MeterNormalTableViewCell"_ns, nullptr),
                                                 "MeterNormalTableViewCell"_ns);
        table->registerNibForCellReuseIdentifier(UINib::nibWithNibNameBundle("MeterTableViewCell"_ns, nullptr),
                                                 "MeterTableViewCell"_ns);
        table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
        auto background = make<UIView>();
        background->setBackgroundColor(UIColor::clearColor());
        table->setBackgroundView(background);
        table->setBackgroundColor(UIColor::clearColor());
    }
    setItemList(NSMutableArray::array());
    updateMotionViews();
    const double fills[4][3] = {{0.8, 0.1, 0.1}, {0.1, 0.8, 0.1}, {0.1, 0.4, 0.8}, {0.8, 0.8, 0.1}};
    Ref<Arrow> arrows[] = {arrow(), arrow2(), arrow3(), arrow4()};
    for (int i = 0; i < 4; ++i) {
        if (arrows[i]) {
            arrows[i]->setFillColor(UIColor::colorWithRedGreenBlueAlpha(fills[i][0], fills[i][1], fills[i][2], 0.2));
        }
    }
}

double MagnetometerViewController::rawHeadingFromXY(double x, double y) {
    double h;
    if (y > 0) {
        h = 90 - std::atan(x / y) * 180 / std::numbers::pi;
    } else if (y < 0) {
        h = 270 - std::atan(x / y) * 180 / std::numbers::pi;
    } else {
        return x < 0 ? 90 : -90;
    }
    return h - 90;
}

Ref<NSArray> MagnetometerViewController::getColorByMeterName(const Ref<NSString>& name) const {
    auto back = UIColor::colorWithWhiteAlpha(1.0, 1.0);
    for (const Meter& m : kMeters) {
        if (name && name->str() == m.heading) {
            return NSArray::arrayWithObjects(
                {back, UIColor::colorWithRedGreenBlueAlpha(m.fore[0], m.fore[1], m.fore[2], 1.0)});
        }
    }
    return NSArray::arrayWithObjects({back, UIColor::colorWithWhiteAlpha(0.0, 1.0)});
}

void MagnetometerViewController::updateMotionViews() {
    auto raw = motionManager()->magnetometerData();
    auto motion = motionManager()->deviceMotion();
    auto heading = locationManager()->heading();
    CMMagneticField field = raw ? raw->magneticField() : CMMagneticField{};
    CMMagneticField calibrated = motion ? motion->magneticField().field : CMMagneticField{};
    double h = heading ? heading->magneticHeading() : 0;
    double hx = heading ? heading->x() : 0;
    double hy = heading ? heading->y() : 0;
    double hz = heading ? heading->z() : 0;

    turn(arrow(), -h);
    turn(arrow2(), -rawHeadingFromXY(degreesToRadians(hx), degreesToRadians(hy)));
    turn(arrow3(), -rawHeadingFromXY(calibrated.x, calibrated.y));
    turn(arrow4(), -rawHeadingFromXY(field.x, field.y));

    double values[5][3] = {{h < 180 ? -h : 360 - h, 0, 0},
                           {field.x, field.y, field.z},
                           {calibrated.x, calibrated.y, calibrated.z},
                           {hx, hy, hz},
                           {hx - calibrated.x, hy - calibrated.y, hz - calibrated.z}};
    if (!itemList_) {
        setItemList(NSMutableArray::array());
    }
    itemList_->removeAllObjects();
    for (int i = 0; i < 5; ++i) {
        auto name = NSString::from(kMeters[i].heading);
        itemList_->addObject(name);
        updateProgressXdataYDataZDataDelta(NSString::from(kMeters[i].prefix), values[i][0], values[i][1], values[i][2],
                                           kMeters[i].outletScale);
        updateProgress2XdataYDataZDataDelta(name, values[i][0], values[i][1], values[i][2], kMeters[i].rowScale);
    }
    if (auto table = tableView()) {
        table->reloadData();
    }
}

void MagnetometerViewController::updateProgressXdataYDataZDataDelta(const Ref<NSString>& prefix, double x, double y,
                                                                    double z, double d) {
    double s = std::sqrt(x * x + y * y + z * z);
    const std::pair<const char*, double> bars[] = {{"BarX", x / d},      {"BarY", y / d},      {"BarZ", z / d},
                                                   {"BarS", s / d},      {"Bar_X", x / d + 1}, {"Bar_Y", y / d + 1},
                                                   {"Bar_Z", z / d + 1}, {"Bar_S", 1 - s / d}};
    for (auto [suffix, progress] : bars) {
        auto key = NSString::from(prefix->str() + suffix);
        if (respondsToSelector(SEL(key->str()))) {
            if (auto bar = cast<UIProgressView>(valueForKey(key))) {
                bar->setProgress(static_cast<float>(progress));
            }
        }
    }
    const std::pair<const char*, double> labels[] = {{"LabelX", x}, {"LabelY", y}, {"LabelZ", z}, {"LabelS", s}};
    for (auto [suffix, value] : labels) {
        auto key = NSString::from(prefix->str() + suffix);
        if (respondsToSelector(SEL(key->str()))) {
            if (auto label = cast<UILabel>(valueForKey(key))) {
                label->setText(oneDecimal(value));
            }
        }
    }
}

void MagnetometerViewController::updateProgress2XdataYDataZDataDelta(const Ref<NSString>& name, double x, double y,
                                                                     double z, double d) {
    auto colors = getColorByMeterName(name);
    id back = colors->objectAtIndex(0);
    id fore = colors->objectAtIndex(1);
    auto row = [&](const char* coordinate, double value, double inverse, double forward) {
        auto properties = NSMutableDictionary::dictionary();
        properties->setObjectForKey(NSString::from(coordinate), "coordinate"_ns);
        properties->setObjectForKey(oneDecimal(value), "meterValue"_ns);
        properties->setObjectForKey(back, "backColor"_ns);
        properties->setObjectForKey(fore, "foreColor"_ns);
        properties->setObjectForKey(oneDecimal(inverse), "inverseProgressValue"_ns);
        properties->setObjectForKey(oneDecimal(forward), "foreProgressValue"_ns);
        itemList_->addObject(MeterModel::customClassWithProperties(properties));
    };
    row("x", x, x / d + 1, x / d);
    if (name && name->str() == "CLHeading magneticHeading") {
        return;
    }
    row("y", y, y / d + 1, y / d);
    row("z", z, z / d + 1, z / d);
    double s = std::sqrt(x * x + y * y + z * z);
    row("s", s, 1 - s / d, s / d);
}

Ref<UITableViewCell> MagnetometerViewController::tableViewCellForRowAtIndexPath(const Ref<UITableView>& table,
                                                                                const Ref<NSIndexPath>& indexPath) {
    id item = itemList_->objectAtIndex(static_cast<NSUInteger>(indexPath->row()));
    if (auto model = cast<MeterModel>(item)) {
        auto cell = cast<MeterTableViewCell>(
            table->dequeueReusableCellWithIdentifierForIndexPath("MeterTableViewCell"_ns, indexPath));
        cell->configureCell(model);
        return cell;
    }
    auto cell = cast<MeterNormalTableViewCell>(
        table->dequeueReusableCellWithIdentifierForIndexPath("MeterNormalTableViewCell"_ns, indexPath));
    if (auto label = cell->fieldName()) {
        label->setText(cast<NSString>(item));
    }
    if (auto label = cell->fieldValue()) {
        label->setText(""_ns);
    }
    return cell;
}

void MagnetometerViewController::setUpLocation() {
    auto location = locationManager();
    location->setDesiredAccuracy(kCLLocationAccuracyBest);
    location->setDistanceFilter(0.0001);
    location->setHeadingFilter(kCLHeadingFilterNone);
    if (CLLocationManager::headingAvailable()) {
        location->startUpdatingHeading();
    }
}

void MagnetometerViewController::pullMotionAdditions() {
    setUpLocation();
    auto motion = motionManager();
    if (motion->isMagnetometerAvailable()) {
        motion->startMagnetometerUpdates();
    }
    if (motion->isDeviceMotionAvailable()) {
        motion->startDeviceMotionUpdatesUsingReferenceFrame(CMAttitudeReferenceFrameXMagneticNorthZVertical);
    }
}

void MagnetometerViewController::pushMotionAdditions() {
    NSLog(" %@", "pushMotionAdditions"_ns);
    setUpLocation();
    auto motion = motionManager();
    motion->setDeviceMotionUpdateInterval(samplingFrequency());
    sampleQueue()->setMaxConcurrentOperationCount(1);
    // Push mode starts its updates without handlers: the latest samples are read at each redraw.
    if (motion->isMagnetometerAvailable()) {
        motion->startMagnetometerUpdatesToQueueWithHandler(sampleQueue(), nullptr);
    }
    if (motion->isDeviceMotionAvailable()) {
        NSLog("updateInterval %f", motion->deviceMotionUpdateInterval());
        motion->startDeviceMotionUpdatesUsingReferenceFrameToQueueWithHandler(
            CMAttitudeReferenceFrameXMagneticNorthZVertical, sampleQueue(), nullptr);
    }
}
