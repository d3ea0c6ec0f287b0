// BatteryViewController: the battery test. A one-section table shows what the system tells of the
// battery, by system version: from 12 the charge worked out from the design capacity of the bundle
// table "batteryinfo" and the battery level; on 10 and 11 charge and voltage from the battery's
// registry service (IOKitListener); below 10 charge, capacity, voltage, cycles, temperature and
// current from the power-source dictionary (PowerSourceListener). The operator judges the figures
// and answers YES or NO.
//
// Figures are read from the dictionaries as numbers (never through their text); the raw mAh
// figures are preferred where the registry gives its capacities as percentages. A reading whose
// figures are missing, not numbers or nonsense (a negative capacity, a charge above the full
// capacity, a level above 100%) fails the test at once.
#pragma once

#include <Core/DXBaseViewController.h>
#include <Diagnostics/PowerRadio/IOKitListener.h>
#include <Diagnostics/PowerRadio/PowerSourceListener.h>
#include <Foundation/NSNotificationCenter.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UILabel.h>
#include <UIKit/UITableView.h>

class BatteryViewController : public DXBaseViewController {
    NS_OBJECT(BatteryViewController, DXBaseViewController)
public:
    BatteryViewController() = default;
    NS_WEAK_PROPERTY(UITableView, tableView, setTableView)
    NS_WEAK_PROPERTY(UILabel, warninglabel, setWarninglabel)
    NS_PROPERTY(Ref<IOKitListener>, listener_iso10, setListener_iso10)
    NS_PROPERTY(Ref<PowerSourceListener>, listener, setListener)
    NS_PROPERTY(Ref<UILabel>, highTemperatureLabel, setHighTemperatureLabel)
    NS_PROPERTY(double, maxCapacity, setMaxCapacity)
    NS_PROPERTY(double, designCapacity, setDesignCapacity)
    NS_PROPERTY(double, currentCapacity, setCurrentCapacity)
    NS_PROPERTY(int64_t, cycleCount, setCycleCount)
    NS_PROPERTY(int64_t, voltage, setVoltage)
    NS_PROPERTY(int64_t, temperature, setTemperature)
    NS_PROPERTY(int64_t, discharge, setDischarge)

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    void ioKitDataUpdated(const Ref<NSNotification>& notification);
    void listenerDataUpdated(const Ref<NSNotification>& notification);

    NSInteger numberOfSectionsInTableView(const Ref<UITableView>& tableView);
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>& tableView, NSInteger section);
    Ref<NSString> tableViewTitleForHeaderInSection(const Ref<UITableView>& tableView, NSInteger section);
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView,
                                                        const Ref<NSIndexPath>& indexPath);
    CGFloat tableViewHeightForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath);
    Ref<UIView> tableViewViewForHeaderInSection(const Ref<UITableView>& tableView, NSInteger section);
    CGFloat tableViewHeightForHeaderInSection(const Ref<UITableView>& tableView, NSInteger section);

    // The texts of the rows as shown now (name, value).
    std::vector<std::pair<std::string, std::string>> rowTexts();
    // The layout's constraint of the table's top edge to the top of the screen's view.
    void setTableTop(const Ref<NSLayoutConstraint>& constraint) { tableTop_ = constraint; }

private:
    void refreshFromBatteryLevel();
    // Ends the test as failed: the system reported figures that cannot be a battery's.
    void failOnBadData(const char* why);
    float systemVersion_ = 0;
    id levelObserver_;
    bool ioKitObserved_ = false;
    bool powerSourceObserved_ = false;
    Ref<NSLayoutConstraint> tableTop_;
};
