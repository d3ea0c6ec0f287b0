#include <UIKit/UIStatusBar.h>

#include <CoreGraphics/CGPath.h>
#include <Device/SimDevice.h>
#include <Device/SimRadios.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSDateFormatter.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UIKitText.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIWindow.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

// The bolt of the battery mark: a view of its own, so that whether it shows is plain to see.
class UIStatusBarBoltView : public UIStatusBarItemView {
    NS_OBJECT(UIStatusBarBoltView, UIStatusBarItemView)
public:
    UIStatusBarBoltView() = default;
    void drawItem(const CGContextRef& context, const CGColorRef& content) override;
};

namespace {

bool tallBar(CGRect bounds) {
    return bounds.size.height >= 40;
}

// Where the items' middle line runs: the taller bar's items sit in its lower part, beside the
// sensor housing.
CGFloat middleOf(CGRect bounds) {
    return bounds.origin.y + bounds.size.height * (tallBar(bounds) ? 0.56 : 0.5);
}

void fillRounded(const CGContextRef& c, CGRect r, CGFloat radius) {
    if (r.size.width <= 0 || r.size.height <= 0) {
        return;
    }
    auto path = CGPathCreateMutable();
    radius = std::min({radius, r.size.width / 2, r.size.height / 2});
    CGPathAddRoundedRect(path, nullptr, r, radius, radius);
    CGContextBeginPath(c);
    CGContextAddPath(c, path);
    CGContextFillPath(c);
}

void strokeRounded(const CGContextRef& c, CGRect r, CGFloat radius) {
    auto path = CGPathCreateMutable();
    CGPathAddRoundedRect(path, nullptr, r, radius, radius);
    CGContextBeginPath(c);
    CGContextAddPath(c, path);
    CGContextStrokePath(c);
}

} // namespace

NS_IMPLEMENT_CLASS(UIStatusBarItemView, UIView) {
    // Drawn live at every rendering, as the platform's controls are, so that it shows the time and
    // style of the moment.
    b.methodBlock("drawLayer:inContext:", [](UIStatusBarItemView* self, const id&, const id& context) {
        auto c = cast<CGContext>(context);
        if (!c) {
            return;
        }
        bool light = UIStatusBar::currentStyle() == UIStatusBarStyleLightContent;
        self->drawItem(c, light ? CGColorCreateGenericRGB(1, 1, 1, 1) : CGColorCreateGenericRGB(0, 0, 0, 1));
    });
}

NS_IMPLEMENT_CLASS(UIStatusBarTimeItemView, UIStatusBarItemView) {}

NS_IMPLEMENT_CLASS(UIStatusBarSignalStrengthItemView, UIStatusBarItemView) {
    using S = UIStatusBarSignalStrengthItemView;
    b.readonlyProperty("signalStrengthBars", &S::signalStrengthBars);
    b.readonlyProperty("signalStrengthRaw", &S::signalStrengthRaw);
}

NS_IMPLEMENT_CLASS(UIStatusBarBatteryItemView, UIStatusBarItemView) {}

NS_IMPLEMENT_CLASS(UIStatusBarBoltView, UIStatusBarItemView) {}

NS_IMPLEMENT_CLASS(UIStatusBar, UIView) {
    b.readonlyProperty("foregroundView", &UIStatusBar::foregroundView);
}

// MARK: - Items

void UIStatusBarItemView::drawItem(const CGContextRef&, const CGColorRef&) {}

Ref<NSString> UIStatusBarTimeItemView::timeText() {
    auto formatter = make<NSDateFormatter>();
    formatter->setDateFormat("H:mm"_ns);
    return formatter->stringFromDate(NSDate::date());
}

void UIStatusBarTimeItemView::drawItem(const CGContextRef& c, const CGColorRef& content) {
    CGRect b = bounds();
    auto font = UIFont::boldSystemFontOfSize(tallBar(b) ? 15 : 12);
    uikit_text::Paragraph p;
    p.alignment = NSTextAlignmentCenter;
    p.lineBreakMode = NSLineBreakByClipping;
    p.maximumLines = 1;
    p.width = b.size.width;
    auto text = timeText();
    CGSize size = uikit_text::measure(text, font, p).size;
    uikit_text::draw(c, text, font, content, CGRectMake(0, middleOf(b) - size.height / 2, b.size.width, size.height),
                     p);
}

NSInteger UIStatusBarSignalStrengthItemView::signalStrengthBars() const {
    return SimRadios::current().signalBars();
}

NSInteger UIStatusBarSignalStrengthItemView::signalStrengthRaw() const {
    return SimRadios::current().signalStrengthDBm();
}

void UIStatusBarSignalStrengthItemView::drawItem(const CGContextRef& c, const CGColorRef& content) {
    CGRect b = bounds();
    bool tall = tallBar(b);
    CGFloat width = tall ? 3 : 2.5;
    CGFloat gap = tall ? 1.5 : 1;
    CGFloat lowest = tall ? 4 : 3.5;
    CGFloat step = tall ? 2.2 : 2;
    CGFloat bottom = middleOf(b) + (lowest + 3 * step) / 2;
    auto bars = std::clamp<NSInteger>(signalStrengthBars(), 0, 4);
    auto empty = CGColorCreateCopyWithAlpha(content, 0.3);
    for (NSInteger i = 0; i < 4; ++i) {
        CGFloat height = lowest + step * static_cast<CGFloat>(i);
        CGContextSetFillColorWithColor(c, i < bars ? content : empty);
        fillRounded(c, CGRectMake(static_cast<CGFloat>(i) * (width + gap), bottom - height, width, height), 0.7);
    }
}

UIStatusBarBatteryItemView::UIStatusBarBatteryItemView() : bolt_(make<UIStatusBarBoltView>()) {
    bolt_->setHidden(true);
    addSubview(bolt_);
    setIsAccessibilityElement(true);
}

void UIStatusBarBatteryItemView::showBattery(float level, bool charging) {
    if (level == level_ && charging == charging_) {
        return;
    }
    level_ = level;
    charging_ = charging;
    bolt_->setHidden(!charging);
    std::string label = level < 0 ? "Battery" : "Battery " + std::to_string(std::lround(level * 100)) + "%";
    setAccessibilityLabel(NSString::from(charging ? label + ", charging" : label));
}

CGRect UIStatusBarBatteryItemView::bodyRect(CGRect b) {
    CGFloat height = tallBar(b) ? 11.5 : 10;
    CGFloat width = std::round(height * 2.2);
    return CGRectMake(b.origin.x, middleOf(b) - height / 2, width, height);
}

void UIStatusBarBatteryItemView::layoutSubviews() {
    UIStatusBarItemView::layoutSubviews();
    bolt_->setFrame(bodyRect(bounds()));
}

void UIStatusBarBatteryItemView::drawItem(const CGContextRef& c, const CGColorRef& content) {
    CGRect body = bodyRect(bounds());
    CGContextSetStrokeColorWithColor(c, CGColorCreateCopyWithAlpha(content, 0.5));
    CGContextSetLineWidth(c, 1);
    strokeRounded(c, CGRectInset(body, 0.5, 0.5), 2.5);
    // The cap on the right end.
    CGContextSetFillColorWithColor(c, CGColorCreateCopyWithAlpha(content, 0.5));
    CGFloat cap = body.size.height * 0.36;
    fillRounded(c, CGRectMake(CGRectGetMaxX(body) + 1, CGRectGetMidY(body) - cap / 2, 1.5, cap), 0.7);
    if (level_ <= 0) {
        return;
    }
    // The charge: green while charging, red when low, else in the bar's colour.
    CGRect inside = CGRectInset(body, 2, 2);
    inside.size.width = std::max<CGFloat>(1, inside.size.width * std::min(1.0f, level_));
    CGContextSetFillColorWithColor(c, charging_        ? CGColorCreateGenericRGB(0.30, 0.85, 0.39, 1)
                                      : level_ <= 0.2f ? CGColorCreateGenericRGB(1.0, 0.23, 0.19, 1)
                                                       : content);
    fillRounded(c, inside, 1.2);
}

void UIStatusBarBoltView::drawItem(const CGContextRef& c, const CGColorRef& content) {
    // A lightning bolt across the battery, in the bar's colour with an edge that keeps it apart from
    // the charge beneath.
    CGRect b = bounds();
    static const CGPoint kBolt[] = {{0.60, -0.12}, {0.30, 0.58}, {0.49, 0.58},
                                    {0.42, 1.12},  {0.72, 0.40}, {0.53, 0.40}};
    CGContextBeginPath(c);
    for (size_t i = 0; i < std::size(kBolt); ++i) {
        CGFloat x = b.origin.x + kBolt[i].x * b.size.width;
        CGFloat y = b.origin.y + kBolt[i].y * b.size.height;
        if (i == 0) {
            CGContextMoveToPoint(c, x, y);
        } else {
            CGContextAddLineToPoint(c, x, y);
        }
    }
    CGContextClosePath(c);
    bool lightBolt = content->components()[0] > 0.5;
    CGContextSetStrokeColorWithColor(c, lightBolt ? CGColorCreateGenericRGB(0, 0, 0, 0.6)
                                                  : CGColorCreateGenericRGB(1, 1, 1, 0.8));
    CGContextSetLineWidth(c, 1);
    CGContextSetFillColorWithColor(c, content);
    CGContextDrawPath(c, kCGPathFillStroke);
}

// MARK: - The bar

UIStatusBar::UIStatusBar()
    : foreground_(make<UIView>()), time_(make<UIStatusBarTimeItemView>()),
      battery_(make<UIStatusBarBatteryItemView>()) {
    setUserInteractionEnabled(false);
    foreground_->setUserInteractionEnabled(false);
    addSubview(foreground_);
    foreground_->addSubview(time_);
    foreground_->addSubview(battery_);
}

Ref<UIView> UIStatusBar::foregroundView() const {
    const_cast<UIStatusBar*>(this)->refresh();
    return foreground_;
}

void UIStatusBar::refresh() {
    auto& device = SimDevice::current();
    bool sim = device.carrier().has_value();
    if (sim && !signal_) {
        signal_ = make<UIStatusBarSignalStrengthItemView>();
        foreground_->insertSubviewAtIndex(signal_, 1);
        setNeedsLayout();
    } else if (!sim && signal_) {
        signal_->removeFromSuperview();
        signal_ = nullptr;
    }
    auto state = device.batteryState();
    battery_->showBattery(device.hasBattery() ? device.batteryLevel() : -1.0f,
                          state == SimDevice::BatteryState::Charging || state == SimDevice::BatteryState::Full);
    auto time = UIStatusBarTimeItemView::timeText();
    if (!time->isEqual(time_->accessibilityLabel())) {
        time_->setAccessibilityLabel(time);
    }
}

UIStatusBarStyle UIStatusBar::currentStyle() {
    auto chain = uikit_detail::screensInFront();
    if (chain.empty()) {
        return UIStatusBarStyleDefault;
    }
    auto style = uikit_detail::send(chain.back(), "preferredStatusBarStyle");
    return static_cast<UIStatusBarStyle>(style ? unbox<long>(style) : 0);
}

bool UIStatusBar::hiddenByScreenInFront() {
    for (const auto& screen : uikit_detail::screensInFront()) {
        auto hidden = uikit_detail::send(screen, "prefersStatusBarHidden");
        if (hidden && unbox<bool>(hidden)) {
            return true;
        }
    }
    return false;
}

CGFloat UIStatusBar::heightForScreen(CGRect bounds) {
    return (bounds.size.height == 812 || bounds.size.height == 896) ? 44 : 20;
}

void UIStatusBar::layoutSubviews() {
    UIView::layoutSubviews();
    CGRect b = bounds();
    foreground_->setFrame(b);
    CGFloat w = b.size.width;
    CGFloat h = b.size.height;
    bool tall = tallBar(b);
    CGFloat margin = tall ? 14 : 6;
    CGFloat batteryWidth = std::round((tall ? 11.5 : 10) * 2.2) + 3;
    CGFloat signalWidth = tall ? 17 : 14;
    battery_->setFrame(CGRectMake(w - margin - batteryWidth, 0, batteryWidth, h));
    if (tall) {
        // The time in the left ear, the signal beside the battery in the right one.
        time_->setFrame(CGRectMake(margin, 0, std::max<CGFloat>(0, w * 0.28 - margin), h));
        if (signal_) {
            signal_->setFrame(CGRectMake(w - margin - batteryWidth - 6 - signalWidth, 0, signalWidth, h));
        }
    } else {
        time_->setFrame(CGRectMake(w / 2 - 40, 0, 80, h));
        if (signal_) {
            signal_->setFrame(CGRectMake(margin, 0, signalWidth, h));
        }
    }
}

Ref<UIStatusBar> UIStatusBar::shared() {
    static Ref<UIStatusBar>* bar = new Ref<UIStatusBar>(make<UIStatusBar>());
    return *bar;
}

namespace uikit_detail {

bool installStatusBarKey() {
    ObjCProperty p;
    p.name = "statusBar";
    p.type = "@";
    p.className = "UIStatusBar";
    p.readonly = true;
    p.getter = [](NSObject*) -> id { return UIStatusBar::shared(); };
    UIApplication::class_()->addProperty(std::move(p));
    return true;
}

} // namespace uikit_detail
