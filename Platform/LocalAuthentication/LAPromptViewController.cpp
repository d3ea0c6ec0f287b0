#include <LocalAuthentication/LAPromptViewController.h>

#include <Runtime/ClassBuilder.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>

#include <algorithm>
#include <cmath>

// The sensor's glyph on the card: a face in its frame for Face ID, the rings of a fingerprint for
// Touch ID; a check mark once recognised, the glyph in red once not.
class LAPromptGlyphView : public UIView {
    NS_OBJECT(LAPromptGlyphView, UIView)
public:
    enum class Look { Looking, Recognised, NotRecognised };
    LAPromptGlyphView() = default;
    LAPromptGlyphView(CGRect frame, LABiometryType type) : UIView(frame), type_(type) {
        setBackgroundColor(UIColor::clearColor());
        setUserInteractionEnabled(false);
    }
    void setLook(Look look) {
        look_ = look;
        setNeedsDisplay();
    }
    void drawRect(CGRect rect) override;

private:
    void drawFace(double size) const;
    void drawFingerprint(double size) const;
    LABiometryType type_ = LABiometryTypeFaceID;
    Look look_ = Look::Looking;
};

NS_IMPLEMENT_CLASS(LAPromptGlyphView, UIView) {}

NS_IMPLEMENT_CLASS(LAPromptViewController, UIViewController) {
    b.method("cancel", &LAPromptViewController::cancel);
}

namespace {

constexpr CGFloat kCardWidth = 270;
constexpr CGFloat kGlyphSize = 64;
constexpr CGFloat kButtonHeight = 44;

Ref<UIColor> red() {
    return UIColor::colorWithRedGreenBlueAlpha(1, 0.23, 0.19, 1);
}

Ref<UIColor> green() {
    return UIColor::colorWithRedGreenBlueAlpha(0.2, 0.74, 0.33, 1);
}

Ref<UIBezierPath> stroked(CGFloat width) {
    auto path = UIBezierPath::bezierPath();
    path->setLineWidth(width);
    path->setLineCapStyle(kCGLineCapRound);
    path->setLineJoinStyle(kCGLineJoinRound);
    return path;
}

} // namespace

void LAPromptGlyphView::drawRect(CGRect rect) {
    double size = std::min(rect.size.width, rect.size.height);
    if (look_ == Look::Recognised) {
        green()->setStroke();
        auto ring = UIBezierPath::bezierPathWithOvalInRect(CGRectMake(3, 3, size - 6, size - 6));
        ring->setLineWidth(3);
        ring->stroke();
        auto check = stroked(4);
        check->moveToPoint(CGPointMake(0.28 * size, 0.52 * size));
        check->addLineToPoint(CGPointMake(0.44 * size, 0.68 * size));
        check->addLineToPoint(CGPointMake(0.73 * size, 0.36 * size));
        check->stroke();
        return;
    }
    if (look_ == Look::NotRecognised) {
        red()->setStroke();
    } else if (type_ == LABiometryTypeTouchID) {
        UIColor::colorWithRedGreenBlueAlpha(1, 0.18, 0.33, 1)->setStroke();
    } else {
        UIColor::systemBlueColor()->setStroke();
    }
    if (type_ == LABiometryTypeTouchID) {
        drawFingerprint(size);
    } else {
        drawFace(size);
    }
}

void LAPromptGlyphView::drawFace(double s) const {
    // The four corners of the frame.
    double m = 3, arm = 0.26 * s, r = 0.12 * s;
    for (int corner = 0; corner < 4; ++corner) {
        bool right = corner % 2 == 1, bottom = corner >= 2;
        double x = right ? s - m : m, y = bottom ? s - m : m;
        double dx = right ? -1 : 1, dy = bottom ? -1 : 1;
        auto path = stroked(3);
        path->moveToPoint(CGPointMake(x, y + dy * arm));
        path->addLineToPoint(CGPointMake(x, y + dy * r));
        path->addQuadCurveToPointControlPoint(CGPointMake(x + dx * r, y), CGPointMake(x, y));
        path->addLineToPoint(CGPointMake(x + dx * arm, y));
        path->stroke();
    }
    // Eyes, nose and smile.
    auto face = stroked(3);
    face->moveToPoint(CGPointMake(0.35 * s, 0.34 * s));
    face->addLineToPoint(CGPointMake(0.35 * s, 0.42 * s));
    face->moveToPoint(CGPointMake(0.65 * s, 0.34 * s));
    face->addLineToPoint(CGPointMake(0.65 * s, 0.42 * s));
    face->moveToPoint(CGPointMake(0.5 * s, 0.34 * s));
    face->addLineToPoint(CGPointMake(0.5 * s, 0.55 * s));
    face->addLineToPoint(CGPointMake(0.45 * s, 0.55 * s));
    face->moveToPoint(CGPointMake(0.36 * s, 0.66 * s));
    face->addQuadCurveToPointControlPoint(CGPointMake(0.64 * s, 0.66 * s), CGPointMake(0.5 * s, 0.76 * s));
    face->stroke();
}

void LAPromptGlyphView::drawFingerprint(double s) const {
    // Rings open at the bottom, each a little shorter than the one around it.
    CGPoint centre = CGPointMake(0.5 * s, 0.55 * s);
    for (int ring = 0; ring < 5; ++ring) {
        double radius = 0.44 * s - ring * 0.085 * s;
        double gap = 0.35 + ring * 0.12;
        auto arc = UIBezierPath::bezierPathWithArcCenterRadiusStartAngleEndAngleClockwise(
            centre, radius, M_PI / 2 + gap, M_PI / 2 - gap + 2 * M_PI, true);
        arc->setLineWidth(2.5);
        arc->setLineCapStyle(kCGLineCapRound);
        arc->stroke();
    }
}

LAPromptViewController::LAPromptViewController(LABiometryType type, const Ref<NSString>& reason,
                                               std::function<void()> cancelled)
    : type_(type), reason_(reason), cancelled_(std::move(cancelled)) {}

Ref<NSString> LAPromptViewController::outcomeText(LABiometryType type, bool recognised) {
    const char* what = type == LABiometryTypeTouchID ? "Fingerprint" : "Face";
    return NSString::from(std::string(what) + (recognised ? " Recognized" : " Not Recognized"));
}

void LAPromptViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto root = view();
    // The application shows dimmed behind the prompt.
    root->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.25));
    CGRect b = root->bounds();
    Ref<LAPromptViewController> self(this);
    CGFloat inner = kCardWidth - 32;

    auto card = make<UIView>(CGRectZero);
    card->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.97, 1));
    card->layer()->setCornerRadius(14);
    card->layer()->setMasksToBounds(true);
    CGFloat y = 20;
    glyph_ = make<LAPromptGlyphView>(CGRectMake((kCardWidth - kGlyphSize) / 2, y, kGlyphSize, kGlyphSize), type_);
    card->addSubview(glyph_);
    y += kGlyphSize + 12;

    auto title = make<UILabel>(CGRectMake(16, y, inner, 22));
    title->setFont(UIFont::boldSystemFontOfSize(17));
    title->setTextAlignment(NSTextAlignmentCenter);
    title->setText(NSString::from(type_ == LABiometryTypeTouchID ? "Touch ID" : "Face ID"));
    card->addSubview(title);
    y += 22 + 4;

    auto reason = make<UILabel>(CGRectZero);
    reason->setFont(UIFont::systemFontOfSize(13));
    reason->setTextAlignment(NSTextAlignmentCenter);
    reason->setNumberOfLines(0);
    reason->setText(reason_);
    CGFloat reasonHeight = std::ceil(reason->sizeThatFits(CGSizeMake(inner, 1000)).height);
    reason->setFrame(CGRectMake(16, y, inner, reasonHeight));
    card->addSubview(reason);
    y += reasonHeight + 6;

    // Where the outcome shows once the sensor has read.
    outcome_ = make<UILabel>(CGRectMake(16, y, inner, 18));
    outcome_->setFont(UIFont::boldSystemFontOfSize(13));
    outcome_->setTextAlignment(NSTextAlignmentCenter);
    card->addSubview(outcome_);
    y += 18 + 12;

    auto line = make<UIView>(CGRectMake(0, y, kCardWidth, 0.5));
    line->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.78, 1));
    card->addSubview(line);
    cancelButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
    cancelButton_->setFrame(CGRectMake(0, y, kCardWidth, kButtonHeight));
    cancelButton_->setTitleForState("Cancel"_ns, UIControlStateNormal);
    cancelButton_->setTitleColorForState(UIColor::systemBlueColor(), UIControlStateNormal);
    cancelButton_->setTitleColorForState(UIColor::colorWithWhiteAlpha(0.7, 1), UIControlStateDisabled);
    cancelButton_->titleLabel()->setFont(UIFont::systemFontOfSize(17));
    cancelButton_->addTargetActionForControlEvents(self, "cancel", UIControlEventTouchUpInside);
    card->addSubview(cancelButton_);
    y += kButtonHeight;

    card->setFrame(
        CGRectMake(std::round((b.size.width - kCardWidth) / 2), std::round((b.size.height - y) / 2), kCardWidth, y));
    card->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
                              UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
    root->addSubview(card);
}

void LAPromptViewController::showOutcome(bool recognised) {
    answered_ = true;
    loadViewIfNeeded();
    glyph_->setLook(recognised ? LAPromptGlyphView::Look::Recognised : LAPromptGlyphView::Look::NotRecognised);
    outcome_->setText(outcomeText(type_, recognised));
    outcome_->setTextColor(recognised ? green() : red());
    cancelButton_->setEnabled(false);
}

void LAPromptViewController::cancel() {
    if (answered_) {
        return;
    }
    answered_ = true;
    cancelButton_->setEnabled(false);
    if (cancelled_) {
        cancelled_();
    }
}
