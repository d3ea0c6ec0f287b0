// DXResultHeaderView: the result list's header: a title and the pass and failure counts. Made from
// the layout resource "DXResultHeaderView" (registered in code).
#pragma once

#include <UIKit/UILabel.h>
#include <UIKit/UIView.h>

class DXResultHeaderView : public UIView {
    NS_OBJECT(DXResultHeaderView, UIView)
public:
    DXResultHeaderView() = default;
    explicit DXResultHeaderView(CGRect frame) : UIView(frame) {}

    // `init`: the last top-level object of the layout resource, with no autoresizing.
    static Ref<DXResultHeaderView> header();

    NSInteger passCount() const { return passCount_; }
    // Stores the count and shows "RESULT_CONTROLLER_PASS" filled with it.
    void setPassCount(NSInteger count);
    NSInteger failureCount() const { return failureCount_; }
    // Stores the count and shows "RESULT_CONTROLLER_FAIL" filled with it.
    void setFailureCount(NSInteger count);

    NS_WEAK_PROPERTY(UILabel, titleLabel, setTitleLabel)
    NS_WEAK_PROPERTY(UILabel, passLabel, setPassLabel)
    NS_WEAK_PROPERTY(UILabel, failureLabel, setFailureLabel)

    // Shows the title and both counts at 0.
    void awakeFromNib();

private:
    NSInteger passCount_ = 0;
    NSInteger failureCount_ = 0;
};
