// DetailViewController: the force-touch precision preview, one label with the precision result.
// Its view comes from the layout resource "DetailViewController".
#pragma once

#include <UIKit/UILabel.h>
#include <UIKit/UIViewController.h>

class DetailViewController : public UIViewController {
    NS_OBJECT(DetailViewController, UIViewController)
public:
    DetailViewController() = default;

    NS_WEAK_PROPERTY(UILabel, percentLabel, setPercentLabel)

    // Shows the precision text for 50 until the preview is committed.
    void viewDidLoad() override;

    // "PRECISION_CONTROLLER_RESULT_LABEL" filled with `percent`.
    static Ref<NSString> precisionText(NSInteger percent);
};
