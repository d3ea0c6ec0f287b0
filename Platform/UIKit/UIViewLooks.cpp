#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UIKitText.h>
#include <UIKit/UINavigationBar.h>
#include <UIKit/UIProgressView.h>
#include <UIKit/UISegmentedControl.h>
#include <UIKit/UISlider.h>
#include <UIKit/UIStepper.h>
#include <UIKit/UISwitch.h>
#include <UIKit/UITextField.h>
#include <UIKit/UITextView.h>
#include <UIKit/UIToolbar.h>
#include <UIKit/UIViewLooks.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

CGColorRef grey(double white, double alpha = 1) {
    return CGColorCreateGenericRGB(white, white, white, alpha);
}

CGColorRef tintOf(UIView* view) {
    auto tint = view->tintColor();
    return (tint ? tint : UIColor::systemBlueColor())->CGColor();
}

// The opacity of a disabled control: the platform dims the whole control.
constexpr double kDisabledAlpha = 0.4;

// What shows behind `view`: the background colours of it and its ancestors, composited from the first
// opaque one (white when none is) up to the view.
CGColorRef backdropOf(UIView* view) {
    std::vector<std::array<CGFloat, 4>> layers;
    for (UIView* v = view; v; v = v->superview().get()) {
        CGFloat r = 0, g = 0, b = 0, a = 0;
        auto colour = v->backgroundColor();
        if (!colour || !colour->getRedGreenBlueAlpha(&r, &g, &b, &a) || a <= 0) {
            continue;
        }
        layers.push_back({r, g, b, std::min<CGFloat>(1, a * v->alpha())});
        if (layers.back()[3] >= 1) {
            break;
        }
    }
    std::array<CGFloat, 3> shown{1, 1, 1};
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        for (int i = 0; i < 3; ++i) {
            shown[i] = (*it)[i] * (*it)[3] + shown[i] * (1 - (*it)[3]);
        }
    }
    return CGColorCreateGenericRGB(shown[0], shown[1], shown[2], 1);
}

// Draws `look` at the dimmed opacity when the control is disabled, as it is otherwise.
template <typename Draw>
void dimmedUnless(bool enabled, const CGContextRef& c, Draw&& look) {
    if (enabled) {
        look();
        return;
    }
    CGContextSaveGState(c);
    CGContextSetAlpha(c, kDisabledAlpha);
    CGContextBeginTransparencyLayer(c, nullptr);
    look();
    CGContextEndTransparencyLayer(c);
    CGContextRestoreGState(c);
}

void roundedRect(const CGContextRef& c, CGRect r, double radius) {
    auto path = CGPathCreateMutable();
    radius = std::max(0.0, std::min({radius, r.size.width / 2, r.size.height / 2}));
    if (r.size.width <= 0 || r.size.height <= 0) {
        return;
    }
    CGPathAddRoundedRect(path, nullptr, r, radius, radius);
    CGContextBeginPath(c);
    CGContextAddPath(c, path);
}

void text(const CGContextRef& c, const Ref<NSString>& s, const Ref<UIFont>& font, const CGColorRef& colour, CGRect box,
          NSTextAlignment alignment) {
    if (!s || s->length() == 0) {
        return;
    }
    uikit_text::Paragraph p;
    p.alignment = alignment;
    p.lineBreakMode = NSLineBreakByTruncatingTail;
    p.maximumLines = 1;
    p.width = box.size.width;
    CGSize size = uikit_text::measure(s, font, p).size;
    uikit_text::draw(
        c, s, font, colour,
        CGRectMake(box.origin.x, box.origin.y + (box.size.height - size.height) / 2, box.size.width, size.height), p);
}

void drawSwitch(UISwitch* s, const CGContextRef& c, CGRect b) {
    CGRect track =
        CGRectMake(b.origin.x + 1, b.origin.y + 1, std::min(49.0, b.size.width - 2), std::min(29.0, b.size.height - 2));
    roundedRect(c, track, track.size.height / 2);
    auto onTint = s->onTintColor();
    if (s->isOn()) {
        CGContextSetFillColorWithColor(c, onTint ? onTint->CGColor() : CGColorCreateGenericRGB(0.3, 0.85, 0.39, 1));
        CGContextFillPath(c);
    } else {
        CGContextSetStrokeColorWithColor(c, grey(0.9));
        CGContextSetLineWidth(c, 1.5);
        CGContextStrokePath(c);
    }
    double d = track.size.height - 4;
    double x = s->isOn() ? CGRectGetMaxX(track) - d - 2 : track.origin.x + 2;
    CGContextSaveGState(c);
    CGContextSetShadowWithColor(c, CGSizeMake(0, -1), 2, grey(0, 0.3));
    CGContextSetFillColorWithColor(c, grey(1));
    CGContextFillEllipseInRect(c, CGRectMake(x, track.origin.y + 2, d, d));
    CGContextRestoreGState(c);
}

void drawSlider(UISlider* s, const CGContextRef& c, CGRect b) {
    double range = s->maximumValue() - s->minimumValue();
    double f = range > 0 ? std::clamp((s->value() - s->minimumValue()) / range, 0.0, 1.0) : 0;
    double knob = 28, y = CGRectGetMidY(b);
    double left = b.origin.x + knob / 2, width = std::max(0.0, b.size.width - knob);
    double x = left + width * f;
    auto minimum = s->minimumTrackTintColor();
    auto maximum = s->maximumTrackTintColor();
    CGContextSetFillColorWithColor(c, minimum ? minimum->CGColor() : tintOf(s));
    CGContextFillRect(c, CGRectMake(left, y - 1, x - left, 2));
    CGContextSetFillColorWithColor(c, maximum ? maximum->CGColor() : grey(0.72));
    CGContextFillRect(c, CGRectMake(x, y - 1, left + width - x, 2));
    CGContextSaveGState(c);
    CGContextSetShadowWithColor(c, CGSizeMake(0, -1), 3, grey(0, 0.3));
    CGContextSetFillColorWithColor(c, grey(1));
    CGContextFillEllipseInRect(c, CGRectMake(x - knob / 2, y - knob / 2, knob, knob));
    CGContextRestoreGState(c);
    CGContextSetStrokeColorWithColor(c, grey(0.85));
    CGContextSetLineWidth(c, 0.5);
    CGContextStrokeEllipseInRect(c, CGRectMake(x - knob / 2, y - knob / 2, knob, knob));
}

void drawStepper(UIStepper* s, const CGContextRef& c, CGRect b) {
    CGColorRef tint = tintOf(s);
    CGRect box = CGRectInset(b, 0.5, 0.5);
    roundedRect(c, box, 4);
    CGContextSetStrokeColorWithColor(c, tint);
    CGContextSetLineWidth(c, 1);
    CGContextStrokePath(c);
    double mid = CGRectGetMidX(b), y = CGRectGetMidY(b);
    CGPoint lines[] = {{mid, b.origin.y},
                       {mid, CGRectGetMaxY(b)},
                       {b.origin.x + b.size.width / 4 - 6, y},
                       {b.origin.x + b.size.width / 4 + 6, y},
                       {b.origin.x + b.size.width * 3 / 4 - 6, y},
                       {b.origin.x + b.size.width * 3 / 4 + 6, y},
                       {b.origin.x + b.size.width * 3 / 4, y - 6},
                       {b.origin.x + b.size.width * 3 / 4, y + 6}};
    CGContextStrokeLineSegments(c, lines, 8);
}

void drawSegments(UISegmentedControl* s, const CGContextRef& c, CGRect b) {
    CGColorRef tint = tintOf(s);
    NSUInteger n = s->numberOfSegments();
    CGRect box = CGRectInset(b, 0.5, 0.5);
    roundedRect(c, box, 4);
    CGContextSetStrokeColorWithColor(c, tint);
    CGContextSetLineWidth(c, 1);
    CGContextStrokePath(c);
    if (n == 0) {
        return;
    }
    double w = b.size.width / static_cast<double>(n);
    auto font = UIFont::systemFontOfSize(13);
    for (NSUInteger i = 0; i < n; ++i) {
        CGRect seg = CGRectMake(b.origin.x + w * static_cast<double>(i), b.origin.y, w, b.size.height);
        bool selected = static_cast<NSInteger>(i) == s->selectedSegmentIndex();
        if (selected) {
            CGContextSaveGState(c);
            roundedRect(c, box, 4);
            CGContextClip(c);
            CGContextSetFillColorWithColor(c, tint);
            CGContextFillRect(c, seg);
            CGContextRestoreGState(c);
        }
        if (i > 0) {
            CGContextSetStrokeColorWithColor(c, tint);
            CGPoint line[] = {{seg.origin.x, b.origin.y}, {seg.origin.x, CGRectGetMaxY(b)}};
            CGContextStrokeLineSegments(c, line, 2);
        }
        // The selected title is cut out of the tint: what lies behind the control shows through it.
        CGColorRef colour = selected ? backdropOf(s) : tint;
        if (!s->isEnabledForSegmentAtIndex(i)) {
            colour = CGColorCreateCopyWithAlpha(colour, kDisabledAlpha);
        }
        text(c, s->titleForSegmentAtIndex(i), font, colour, CGRectInset(seg, 4, 0), NSTextAlignmentCenter);
    }
}

void drawProgress(UIProgressView* p, const CGContextRef& c, CGRect b) {
    auto track = p->trackTintColor();
    auto tint = p->progressTintColor();
    double h = std::min(2.0, b.size.height);
    CGContextSetFillColorWithColor(c, track ? track->CGColor() : grey(0.72));
    CGContextFillRect(c, CGRectMake(b.origin.x, b.origin.y, b.size.width, h));
    CGContextSetFillColorWithColor(c, tint ? tint->CGColor() : tintOf(p));
    CGContextFillRect(c, CGRectMake(b.origin.x, b.origin.y,
                                    b.size.width * std::clamp(static_cast<double>(p->progress()), 0.0, 1.0), h));
}

void drawSpinner(UIActivityIndicatorView* a, const CGContextRef& c, CGRect b) {
    if (!a->isAnimating() && a->hidesWhenStopped()) {
        return;
    }
    auto colour = a->color();
    CGColorRef base = colour ? colour->CGColor() : grey(0.5);
    double r = std::min(b.size.width, b.size.height) / 2;
    CGPoint centre = CGPointMake(CGRectGetMidX(b), CGRectGetMidY(b));
    CGContextSetLineWidth(c, std::max(1.5, r / 5));
    CGContextSetLineCap(c, kCGLineCapRound);
    for (int i = 0; i < 12; ++i) {
        double angle = i * M_PI / 6;
        CGContextSetStrokeColorWithColor(c, CGColorCreateCopyWithAlpha(base, 0.25 + 0.75 * i / 11.0));
        CGPoint seg[] = {{centre.x + std::cos(angle) * r * 0.5, centre.y + std::sin(angle) * r * 0.5},
                         {centre.x + std::cos(angle) * r * 0.9, centre.y + std::sin(angle) * r * 0.9}};
        CGContextStrokeLineSegments(c, seg, 2);
    }
}

void drawImageView(UIImageView* v, const CGContextRef& c, CGRect b) {
    auto image = v->image();
    if (!image || image->size().width <= 0 || image->size().height <= 0) {
        return;
    }
    CGSize s = image->size();
    CGRect r = b;
    switch (v->contentMode()) {
    case UIViewContentModeScaleAspectFit:
    case UIViewContentModeScaleAspectFill: {
        double fx = b.size.width / s.width, fy = b.size.height / s.height;
        double f = v->contentMode() == UIViewContentModeScaleAspectFit ? std::min(fx, fy) : std::max(fx, fy);
        r = CGRectMake(CGRectGetMidX(b) - s.width * f / 2, CGRectGetMidY(b) - s.height * f / 2, s.width * f,
                       s.height * f);
        break;
    }
    case UIViewContentModeScaleToFill:
    case UIViewContentModeRedraw:
        break;
    default:
        r = CGRectMake(CGRectGetMidX(b) - s.width / 2, CGRectGetMidY(b) - s.height / 2, s.width, s.height);
        break;
    }
    if (image->renderingMode() == UIImageRenderingModeAlwaysTemplate) {
        // Template images show their shape in the tint colour.
        CGContextBeginTransparencyLayer(c, nullptr);
        image->drawInRect(r);
        CGContextSetBlendMode(c, kCGBlendModeSourceIn);
        CGContextSetFillColorWithColor(c, tintOf(v));
        CGContextFillRect(c, r);
        CGContextEndTransparencyLayer(c);
    } else {
        image->drawInRect(r);
    }
}

void drawTextField(UITextField* f, const CGContextRef& c, CGRect b) {
    switch (f->borderStyle()) {
    case UITextBorderStyleRoundedRect:
        roundedRect(c, CGRectInset(b, 0.5, 0.5), 5);
        CGContextSetFillColorWithColor(c, grey(1));
        CGContextFillPath(c);
        roundedRect(c, CGRectInset(b, 0.5, 0.5), 5);
        CGContextSetStrokeColorWithColor(c, grey(0.8));
        CGContextStrokePath(c);
        break;
    case UITextBorderStyleLine:
    case UITextBorderStyleBezel:
        CGContextSetStrokeColorWithColor(c, grey(0));
        CGContextStrokeRect(c, CGRectInset(b, 0.5, 0.5));
        break;
    default:
        break;
    }
    auto value = f->text();
    CGColorRef colour = f->textColor() ? f->textColor()->CGColor() : grey(0);
    if (value && value->length() && f->isSecureTextEntry()) {
        std::string dots;
        for (NSUInteger i = 0; i < f->text()->length(); ++i) {
            dots += "\xE2\x80\xA2";
        }
        value = NSString::from(dots);
    }
    if (!value || value->length() == 0) {
        value = f->placeholder();
        colour = grey(0.7);
    }
    text(c, value, f->font() ? f->font() : UIFont::systemFontOfSize(17), colour, CGRectInset(b, 7, 0),
         f->textAlignment());
}

// A text view's text, wrapped in its layout rectangle from the top of its content (the view's
// bounds origin is the scroll offset, so the text scrolls with it).
void drawTextView(UITextView* t, const CGContextRef& c) {
    auto value = t->text();
    if (!value || value->length() == 0) {
        return;
    }
    auto font = t->font() ? t->font() : UIFont::systemFontOfSize(12);
    CGRect box = t->textLayoutRect();
    uikit_text::Paragraph p;
    p.alignment = t->textAlignment();
    p.width = box.size.width;
    CGSize size = uikit_text::measure(value, font, p).size;
    uikit_text::draw(c, value, font, t->textColor() ? t->textColor()->CGColor() : grey(0),
                     CGRectMake(box.origin.x, box.origin.y, box.size.width, size.height), p);
}

void drawBar(UIView* bar, const Ref<UIColor>& tint, const CGContextRef& c, CGRect b, bool lineAtBottom) {
    CGContextSetFillColorWithColor(c, tint ? tint->CGColor() : grey(0.97));
    CGContextFillRect(c, b);
    CGContextSetFillColorWithColor(c, grey(0, 0.3));
    CGContextFillRect(c, CGRectMake(b.origin.x, lineAtBottom ? CGRectGetMaxY(b) - 0.5 : b.origin.y, b.size.width, 0.5));
}

} // namespace

void uikit_detail::drawLook(UIView* view, const CGContextRef& c) {
    if (!c) {
        return;
    }
    CGRect b = view->bounds();
    UIGraphicsPushContext(c);
    if (auto s = dynamic_cast<UISwitch*>(view)) {
        dimmedUnless(s->isEnabled(), c, [&] { drawSwitch(s, c, b); });
    } else if (auto s = dynamic_cast<UISlider*>(view)) {
        dimmedUnless(s->isEnabled(), c, [&] { drawSlider(s, c, b); });
    } else if (auto s = dynamic_cast<UIStepper*>(view)) {
        dimmedUnless(s->isEnabled(), c, [&] { drawStepper(s, c, b); });
    } else if (auto s = dynamic_cast<UISegmentedControl*>(view)) {
        dimmedUnless(s->isEnabled(), c, [&] { drawSegments(s, c, b); });
    } else if (auto p = dynamic_cast<UIProgressView*>(view)) {
        drawProgress(p, c, b);
    } else if (auto a = dynamic_cast<UIActivityIndicatorView*>(view)) {
        drawSpinner(a, c, b);
    } else if (auto i = dynamic_cast<UIImageView*>(view)) {
        drawImageView(i, c, b);
    } else if (auto f = dynamic_cast<UITextField*>(view)) {
        drawTextField(f, c, b);
    } else if (auto t = dynamic_cast<UITextView*>(view)) {
        drawTextView(t, c);
    } else if (auto n = dynamic_cast<UINavigationBar*>(view)) {
        drawBar(n, n->barTintColor(), c, b, true);
        text(c, n->title(), UIFont::boldSystemFontOfSize(17), grey(0), CGRectInset(b, 80, 0), NSTextAlignmentCenter);
    } else if (auto t = dynamic_cast<UIToolbar*>(view)) {
        drawBar(t, t->barTintColor(), c, b, false);
    }
    UIGraphicsPopContext();
}
