// PrecisionViewController: the force touch (3D Touch) test. The screen registers itself for
// previewing on its view; a firm press peeks at a small result screen (DetailViewController) and a
// harder one pops it (shown for a second); the return from the popped screen passes. NO fails; the
// record's time limit (0: the long default) ends with result 3 unless the pop came first. A device
// without force touch never registers.
//
// Only a return from the popped screen passes: the screen coming back for any other reason (the
// operator stepped back to it, another screen was shown over it) does not.
//
// PrecisionTouchView lists the force of successive touches (a view of its own; the screen's flow
// does not use it). Each touch adds its force to the list, which scrolls to show the newest.
#pragma once

#include <Core/DXBaseViewController.h>
#include <Core/DetailViewController.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UITextView.h>
#include <UIKit/UIViewControllerPreviewing.h>

class PrecisionTouchView : public UIView {
    NS_OBJECT(PrecisionTouchView, UIView)
public:
    using Block = std::function<void(const Ref<PrecisionTouchView>&, bool successed)>;
    PrecisionTouchView() : PrecisionTouchView(CGRectZero) {}
    explicit PrecisionTouchView(CGRect frame);
    // `touchView:onCompleted:`.
    static Ref<PrecisionTouchView> touchViewOnCompleted(CGRect frame, Block block);

    NS_PROPERTY(CGPoint, currentPoint, setCurrentPoint)
    NS_PROPERTY(double, currentForce, setCurrentForce)
    NS_PROPERTY(Ref<UITextView>, valueList, setValueList)
    NS_PROPERTY(NSUInteger, count, setCount)
    NS_PROPERTY(bool, successed, setSuccessed)
    Block onCompleted;

    void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void drawRect(CGRect rect) override;
};

class PrecisionViewController : public DXBaseViewController {
    NS_OBJECT(PrecisionViewController, DXBaseViewController)
public:
    PrecisionViewController() = default;
    NS_PROPERTY(bool, hasRegisterPreview, setHasRegisterPreview)
    NS_PROPERTY(Ref<DetailViewController>, detailViewController, setDetailViewController)
    NS_PROPERTY(Ref<RXSubject>, subject, setSubject)
    NS_PROPERTY(Ref<UIImageView>, imageView, setImageView)
    NS_PROPERTY(Ref<UILabel>, tipLabel, setTipLabel)
    NS_PROPERTY(Ref<UIButton>, onButton, setOnButton)
    NS_PROPERTY(Ref<PrecisionTouchView>, touchView, setTouchView)

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void no(const id& sender);
    void done(const id& sender);
    // UIViewControllerPreviewingDelegate.
    id previewingContextViewControllerForLocation(const id& context, const id& location);
    void previewingContextCommitViewController(const id& context, const id& controller);

    // Whether a pop has committed the preview.
    bool popped() const noexcept { return popped_; }

private:
    bool popped_ = false;
    Ref<RXDisposable> limit_;
};
