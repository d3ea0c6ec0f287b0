// The motion sampling base, the meter widgets and the magnetometer and compass screen.
#include "SensorScreenTestCase.h"

#include <Diagnostics/Sensors/Arrow.h>
#include <Diagnostics/Sensors/CLMManager.h>
#include <Diagnostics/Sensors/MagnetometerViewController.h>
#include <Diagnostics/Sensors/MeterCells.h>
#include <Foundation/NSUserDefaults.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UINib.h>

#include <cmath>

namespace {

std::string text(const id& value) {
    return value ? NSDescription(value)->str() : "";
}

// The rows of the table as "name value" texts, headings as they are.
std::vector<std::string> rows(const Ref<MagnetometerViewController>& screen) {
    std::vector<std::string> out;
    auto items = screen->itemList();
    for (const id& item : *items) {
        if (auto model = cast<MeterModel>(item)) {
            out.push_back(model->coordinate()->str() + " " + model->meterValue()->str());
        } else {
            out.push_back(text(item));
        }
    }
    return out;
}

} // namespace

class CompassScreenTests : public SensorScreenTestCase {
protected:
    Ref<MagnetometerViewController> start() {
        return cast<MagnetometerViewController>(run("MagnetometerViewController", 0));
    }
};

TEST_F(CompassScreenTests, SharedManagersAndDefaults) {
    EXPECT_EQ(CLMManager::sharedManager(), CLMManager::sharedManager());
    EXPECT_EQ(CLMManager::sharedManager()->motionManager(), CLMManager::sharedManager()->motionManager());
    auto defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_FALSE(defaults->objectForKey("pushTracking"_ns));
    auto screen = start();
    ASSERT_TRUE(screen);
    // First run: pull sampling, written down; the period read once is kept after an appearance.
    EXPECT_FALSE(screen->pushTracking());
    EXPECT_TRUE(defaults->objectForKey("pushTracking"_ns));
    EXPECT_NEAR(screen->samplingFrequency(), 1.0 / 60, 1e-9);
    EXPECT_NEAR(defaults->floatForKey("samplingFrequency"_ns), 1.0 / 60, 1e-6);
    EXPECT_DOUBLE_EQ(MotionViewController::degreesToRadians(180), M_PI);
    EXPECT_DOUBLE_EQ(MotionViewController::radiansToDegrees(M_PI / 2), 90);
}

TEST_F(CompassScreenTests, TheTableFollowsTheDevice) {
    auto screen = start();
    sensors.turnToHeading(90, 0.5);
    advance(1.5);
    auto r = rows(screen);
    ASSERT_EQ(r.size(), 22u);
    EXPECT_EQ(r[0], "CLHeading magneticHeading");
    double meter = std::stod(r[1].substr(2));
    EXPECT_NEAR(meter, -90, 3);
    EXPECT_EQ(r[2], "CMMagneticField");
    EXPECT_EQ(r[7], "CMCalibratedMagneticField");
    EXPECT_EQ(r[17], "CLH CMC diff");
    // The calibrated field and the heading's field agree: the difference meter stays near zero.
    for (int i = 18; i < 21; ++i) {
        EXPECT_LT(std::abs(std::stod(r[i].substr(2))), 2) << r[i];
    }
    // The heading arrow turns against the heading.
    CGAffineTransform t = screen->arrow()->layer()->affineTransform();
    EXPECT_NEAR(std::atan2(t.b, t.a) * 180 / M_PI, -90, 3);
    auto cell =
        screen->tableViewCellForRowAtIndexPath(screen->tableView(), NSIndexPath::indexPathForRowInSection(1, 0));
    EXPECT_TRUE(cast<MeterTableViewCell>(cell));
}

TEST_F(CompassScreenTests, BrokenPartsReadAsZeroAndTheOperatorDecides) {
    sensors.setState(Part::Magnetometer, State::Dead);
    auto screen = start();
    advance(1);
    auto r = rows(screen);
    ASSERT_EQ(r.size(), 22u);
    EXPECT_EQ(r[1], "x 0.0"); // no heading without a magnetometer: the arrow points up
    EXPECT_EQ(r[3], "x 0.0");
    EXPECT_EQ(r[6], "s 0.0");
    answer(false);
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(CompassScreenTests, OneRedrawTimerPerAppearanceAndNoneAfterwards) {
    auto screen = start();
    auto first = screen->updateViewsTimer();
    ASSERT_TRUE(first);
    screen->performSelectorWithObject("viewWillAppear:", NSNumber::numberWithBool(false));
    EXPECT_FALSE(first->isValid());
    EXPECT_TRUE(screen->updateViewsTimer()->isValid());
    screen->performSelectorWithObject("viewWillDisappear:", NSNumber::numberWithBool(false));
    EXPECT_FALSE(screen->updateViewsTimer());
    EXPECT_FALSE(CLMManager::sharedManager()->motionManager()->isMagnetometerActive());
    screen->performSelectorWithObject("viewWillAppear:", NSNumber::numberWithBool(false));
    answer(true);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(CompassScreenTests, TheRedrawTimerDoesNotKeepTheScreenAlive) {
    Weak<MagnetometerViewController> weak;
    {
        auto screen = make<MagnetometerViewController>();
        screen->view();
        screen->performSelectorWithObject("viewWillAppear:", NSNumber::numberWithBool(false));
        ASSERT_TRUE(screen->updateViewsTimer());
        weak = screen;
    }
    advance(0.1);
    EXPECT_FALSE(weak.lock());
}

TEST(MeterWidgetTests, HeadingsAndRowsAndBars) {
    EXPECT_DOUBLE_EQ(MagnetometerViewController::rawHeadingFromXY(1, 1), -45);
    EXPECT_DOUBLE_EQ(MagnetometerViewController::rawHeadingFromXY(1, -1), 225);
    EXPECT_DOUBLE_EQ(MagnetometerViewController::rawHeadingFromXY(-1, 0), 90);
    EXPECT_DOUBLE_EQ(MagnetometerViewController::rawHeadingFromXY(0, 0), -90);

    auto screen = make<MagnetometerViewController>();
    screen->setItemList(NSMutableArray::array());
    screen->updateProgress2XdataYDataZDataDelta("CMMagneticField"_ns, 128, 0, 0, 180);
    ASSERT_EQ(screen->itemList()->count(), 4u);
    auto x = cast<MeterModel>(screen->itemList()->objectAtIndex(0));
    EXPECT_EQ(x->foreProgressValue()->str(), "0.7");
    EXPECT_EQ(x->inverseProgressValue()->str(), "1.7");

    auto properties = NSMutableDictionary::dictionary();
    properties->setObjectForKey("-128"_ns, "coordinate"_ns);
    properties->setObjectForKey("-1.0"_ns, "foreProgressValue"_ns);
    properties->setObjectForKey("0.0"_ns, "inverseProgressValue"_ns);
    auto model = MeterModel::customClassWithProperties(properties);
    auto cell = cast<MeterTableViewCell>(UINib::nibWithNibNameBundle("MeterTableViewCell"_ns, nullptr)
                                             ->instantiateWithOwnerOptions(nullptr, nullptr)
                                             ->objectAtIndex(0));
    ASSERT_TRUE(cell);
    cell->configureCell(model);
    EXPECT_TRUE(cell->inverseProgress()->isKindOfClass(InverseProgressView::class_()));
    EXPECT_FLOAT_EQ(cell->inverseProgress()->progress(), 0.0f); // v = -d: the fore colour fills the inverse bar
    EXPECT_FLOAT_EQ(cell->forwardProgress()->progress(), 0.0f);
    EXPECT_EQ(cell->fieldName()->text()->str(), "-128");

    auto arrow = make<Arrow>(CGRectMake(0, 0, 120, 120));
    EXPECT_EQ(arrow->sizeThatFits(CGSizeMake(10, 10)), CGSizeMake(240, 240));
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(120, 120), false, 1);
    arrow->drawRect(arrow->bounds());
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_TRUE(image);
}
