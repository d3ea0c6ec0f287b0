// MagnetometerViewController: the compass and magnetometer test: five magnetic readings shown as
// four turning arrows and a table of meters, redrawn 60 times a second; the operator answers
// whether compass and magnetometer behave (YES passes, NO fails). There is no time limit.
#pragma once

#include <Diagnostics/Sensors/Arrow.h>
#include <Diagnostics/Sensors/MotionViewController.h>
#include <Foundation/NSArray.h>
#include <UIKit/UILabel.h>
#include <UIKit/UITableView.h>

class MagnetometerViewController : public MotionViewController {
    NS_OBJECT(MagnetometerViewController, MotionViewController)
public:
    MagnetometerViewController() = default;
    NS_WEAK_PROPERTY(UITableView, tableView, setTableView)
    NS_PROPERTY(Ref<NSMutableArray>, itemList, setItemList)
    NS_WEAK_PROPERTY(UILabel, qeustionLabel, setQeustionLabel)
    NS_WEAK_PROPERTY(Arrow, arrow, setArrow)
    NS_WEAK_PROPERTY(Arrow, arrow2, setArrow2)
    NS_WEAK_PROPERTY(Arrow, arrow3, setArrow3)
    NS_WEAK_PROPERTY(Arrow, arrow4, setArrow4)

    void viewDidLoad() override;
    void updateMotionViews() override;
    void pullMotionAdditions() override;
    void pushMotionAdditions() override;

    static double rawHeadingFromXY(double x, double y);
    Ref<NSArray> getColorByMeterName(const Ref<NSString>& name) const;
    void updateProgressXdataYDataZDataDelta(const Ref<NSString>& prefix, double x, double y, double z, double d);
    void updateProgress2XdataYDataZDataDelta(const Ref<NSString>& name, double x, double y, double z, double d);

    NSInteger numberOfSectionsInTableView(const Ref<UITableView>&) { return 1; }
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) {
        return itemList_ ? static_cast<NSInteger>(itemList_->count()) : 0;
    }
    CGFloat tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>&) { return 22.0; }
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView,
                                                        const Ref<NSIndexPath>& indexPath);

private:
    void setUpLocation();
};
