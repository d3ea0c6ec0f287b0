#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UIKitText.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UISegmentedControl.h>
#include <UIKit/UISlider.h>
#include <UIKit/UISwitch.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UITextView.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIWindow.h>

#include <CoreGraphics/CGImageCoding.h>
#include <QuartzCore/CABasicAnimation.h>

#include <array>
#include <chrono>
#include <filesystem>

namespace {

using RGBA = std::array<uint8_t, 4>;

RGBA at(const Ref<UIImage>& image, size_t x, size_t y) {
    RGBA p{};
    EXPECT_TRUE(CGImageGetPixel(image->CGImage(), x, y, p.data()));
    return p;
}

const RGBA red{255, 0, 0, 255}, clear{0, 0, 0, 0};

int darkPixels(const Ref<UIImage>& image, CGRect box, uint8_t below = 100) {
    int n = 0;
    for (auto y = static_cast<size_t>(box.origin.y); y < static_cast<size_t>(CGRectGetMaxY(box)); ++y) {
        for (auto x = static_cast<size_t>(box.origin.x); x < static_cast<size_t>(CGRectGetMaxX(box)); ++x) {
            RGBA p = at(image, x, y);
            n += p[3] > 128 && p[0] < below;
        }
    }
    return n;
}

// A view that draws through UIKit: a red square and a line of text.
class PaintedView : public UIView {
    NS_OBJECT(PaintedView, UIView)
public:
    using UIView::UIView;
    void drawRect(CGRect rect) override {
        ++draws;
        hadContext = UIGraphicsGetCurrentContext() != nullptr;
        UIColor::redColor()->setFill();
        UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 10, 10))->fill();
    }
    int draws = 0;
    bool hadContext = false;
};

} // namespace

NS_IMPLEMENT_CLASS(PaintedView, UIView) {}

class DrawingTests : public PlatformTestCase {};

TEST_F(DrawingTests, ImageContextsAreFlippedScaledAndRefuseBadSizes) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(20, 10), false, 3);
    auto c = UIGraphicsGetCurrentContext();
    ASSERT_TRUE(c);
    UIRectFill(CGRectMake(0, 0, 20, 2)); // black along the top
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_FALSE(UIGraphicsGetCurrentContext());
    EXPECT_EQ(image->size(), CGSizeMake(20, 10));
    EXPECT_EQ(image->scale(), 3);
    EXPECT_EQ(CGImageGetWidth(image->CGImage()), 60u);
    EXPECT_EQ(at(image, 30, 2), (RGBA{0, 0, 0, 255}));
    EXPECT_EQ(at(image, 30, 20), clear);

    for (CGSize bad : {CGSizeMake(0, 10), CGSizeMake(-5, 10), CGSizeMake(20000, 10), CGSizeMake(NAN, 1)}) {
        UIGraphicsBeginImageContextWithOptions(bad, false, 1);
        EXPECT_FALSE(UIGraphicsGetCurrentContext());
        UIRectFill(CGRectMake(0, 0, 10, 10)); // harmless
        EXPECT_FALSE(UIGraphicsGetImageFromCurrentImageContext());
        UIGraphicsEndImageContext();
    }
    EXPECT_FALSE(UIGraphicsGetCurrentContext()) << "the refused contexts were balanced";
}

TEST_F(DrawingTests, BezierPathsAndColoursDrawIntoTheCurrentContext) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(40, 40), false, 1);
    UIColor::redColor()->set();
    auto ring = UIBezierPath::bezierPathWithOvalInRect(CGRectMake(0, 0, 40, 40));
    ring->appendPath(UIBezierPath::bezierPathWithOvalInRect(CGRectMake(10, 10, 20, 20)));
    ring->setUsesEvenOddFillRule(true);
    ring->fill();
    UIColor::blueColor()->setStroke();
    auto line = UIBezierPath::bezierPath();
    line->moveToPoint(CGPointMake(0, 39));
    line->addLineToPoint(CGPointMake(40, 39));
    line->setLineWidth(2);
    line->stroke();
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(at(image, 20, 5), red);
    EXPECT_EQ(at(image, 20, 20), clear) << "even-odd leaves the hole";
    EXPECT_EQ(at(image, 20, 39)[2], 255);

    UIGraphicsBeginImageContextWithOptions(CGSizeMake(20, 20), false, 1);
    UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 10, 20))->addClip();
    UIColor::redColor()->setFill();
    UIRectFill(CGRectMake(0, 0, 20, 20));
    image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(at(image, 5, 5), red);
    EXPECT_EQ(at(image, 15, 5), clear);
}

TEST_F(DrawingTests, ImagesDrawUprightWithOrientationAndRoundTripThroughPNGAndJPEG) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(4, 2), false, 1);
    UIColor::redColor()->setFill();
    UIRectFill(CGRectMake(0, 0, 2, 2)); // left half red
    auto source = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();

    UIGraphicsBeginImageContextWithOptions(CGSizeMake(40, 20), false, 1);
    CGContextSetInterpolationQuality(UIGraphicsGetCurrentContext(), kCGInterpolationNone);
    source->drawInRect(CGRectMake(0, 0, 40, 20));
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(at(drawn, 5, 10), red);
    EXPECT_EQ(at(drawn, 35, 10), clear);

    auto turned = UIImage::imageWithCGImageScaleOrientation(source->CGImage(), 1, UIImageOrientationRight);
    EXPECT_EQ(turned->size(), CGSizeMake(2, 4));
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(20, 40), false, 1);
    CGContextSetInterpolationQuality(UIGraphicsGetCurrentContext(), kCGInterpolationNone);
    turned->drawAtPoint(CGPointZero);
    turned->drawInRect(CGRectMake(0, 0, 20, 40));
    drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(at(drawn, 10, 5), red) << "turned right: the bitmap's left is at the top";
    EXPECT_EQ(at(drawn, 10, 35), clear);

    auto png = UIImagePNGRepresentation(turned);
    auto back = UIImage::imageWithData(png);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->imageOrientation(), UIImageOrientationRight);
    EXPECT_EQ(back->size(), CGSizeMake(2, 4));
    auto jpeg = UIImageJPEGRepresentation(turned, 0.9);
    auto fromJpeg = UIImage::imageWithData(jpeg);
    ASSERT_TRUE(fromJpeg);
    EXPECT_EQ(fromJpeg->imageOrientation(), UIImageOrientationRight);
    EXPECT_FALSE(UIImage::imageWithData(NSData::dataWithBytesLength(png->bytes(), png->length() / 2)))
        << "a truncated PNG gives nil";
    EXPECT_FALSE(UIImagePNGRepresentation(make<UIImage>(CGSizeMake(3, 3), 1)));
}

TEST_F(DrawingTests, ResizableImagesKeepTheirCaps) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(9, 9), false, 1);
    UIColor::redColor()->setFill();
    UIRectFill(CGRectMake(0, 0, 9, 9));
    UIColor::blueColor()->setFill();
    UIRectFill(CGRectMake(3, 3, 3, 3));
    auto tile = UIGraphicsGetImageFromCurrentImageContext()->resizableImageWithCapInsets(UIEdgeInsets{3, 3, 3, 3});
    UIGraphicsEndImageContext();
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(60, 30), false, 1);
    CGContextSetInterpolationQuality(UIGraphicsGetCurrentContext(), kCGInterpolationNone);
    tile->drawInRect(CGRectMake(0, 0, 60, 30));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(at(image, 1, 15), red) << "the left cap stays 3 points wide";
    EXPECT_EQ(at(image, 5, 15)[2], 255) << "the middle stretches";
    EXPECT_EQ(at(image, 55, 15)[2], 255);
    EXPECT_EQ(at(image, 58, 15), red);
}

TEST_F(DrawingTests, TextMetricsGrowWithTheTextAndAddUpOverLines) {
    auto font = UIFont::systemFontOfSize(17);
    auto attributes = NSDictionary::dictionaryWithEntries({{NSFontAttributeName(), font}});
    CGSize shortText = sizeWithAttributes("Battery"_ns, attributes);
    CGSize longText = sizeWithAttributes("Battery health and charging"_ns, attributes);
    EXPECT_GT(longText.width, shortText.width);
    EXPECT_EQ(shortText.height, longText.height);
    EXPECT_GT(font->lineHeight(), 17);
    EXPECT_NEAR(font->ascender() - font->descender(), font->lineHeight(), 0.01);
    EXPECT_GT(UIFont::boldSystemFontOfSize(17)->isBold()
                  ? sizeWithFont("Battery"_ns, UIFont::boldSystemFontOfSize(17)).width
                  : 0,
              shortText.width)
        << "bold is wider";

    auto paragraph = "The quick brown fox jumps over the lazy dog near the river bank"_ns;
    CGRect one = boundingRectWithSizeOptionsAttributesContext(
        paragraph, CGSizeMake(1000, 1000), NSStringDrawingUsesLineFragmentOrigin, attributes, nullptr);
    CGRect wrapped = boundingRectWithSizeOptionsAttributesContext(
        paragraph, CGSizeMake(120, 1000), NSStringDrawingUsesLineFragmentOrigin, attributes, nullptr);
    EXPECT_LE(wrapped.size.width, 120);
    EXPECT_GE(wrapped.size.height, 3 * one.size.height);
    double lines = wrapped.size.height / font->lineHeight();
    EXPECT_NEAR(lines, std::round(lines), 0.05) << "whole lines of the font's line height";
    CGSize three = sizeWithAttributes("a\nb\nc"_ns, attributes);
    EXPECT_EQ(three.height, std::ceil(3 * font->lineHeight()));

    auto fallback = UIFont::fontWithNameSize("NoSuchFont-Bold"_ns, 17);
    ASSERT_TRUE(fallback);
    EXPECT_EQ(uikit_text::familyOf(*fallback), "DejaVu Sans");
    EXPECT_EQ(uikit_text::familyOf(*UIFont::fontWithNameSize("Courier"_ns, 12)), "DejaVu Sans Mono");
    EXPECT_GT(sizeWithFont("Battery"_ns, fallback).width, 0);
}

TEST_F(DrawingTests, RepeatedMeasurementsComeFromTheCache) {
    auto font = UIFont::systemFontOfSize(15);
    size_t before = uikit_text::cacheHits();
    for (int i = 0; i < 100; ++i) {
        sizeWithFont("Cached text"_ns, font);
    }
    EXPECT_GE(uikit_text::cacheHits() - before, 99u);
}

TEST_F(DrawingTests, LabelsWrapAtTheWidthAutoLayoutGivesThem) {
    auto label = make<UILabel>();
    label->setText("A long instruction that needs more than one line on a narrow screen"_ns);
    CGSize single = label->intrinsicContentSize();
    label->setNumberOfLines(0);
    label->setPreferredMaxLayoutWidth(150);
    CGSize wrapped = label->intrinsicContentSize();
    EXPECT_LE(wrapped.width, 150);
    EXPECT_GT(wrapped.height, 2 * single.height);
    label->setNumberOfLines(2);
    EXPECT_EQ(label->intrinsicContentSize().height, std::ceil(2 * label->font()->lineHeight()));

    auto screen = make<UIViewController>();
    UITestDriver::showRootViewController(screen);
    auto wrapping = make<UILabel>();
    wrapping->setNumberOfLines(0);
    wrapping->setText(label->text());
    wrapping->setTranslatesAutoresizingMaskIntoConstraints(false);
    screen->view()->addSubview(wrapping);
    auto views = NSDictionary::dictionaryWithEntries({{"l"_ns, wrapping}});
    screen->view()->addConstraints(
        NSLayoutConstraint::constraintsWithVisualFormatOptionsMetricsViews("H:|-20-[l(==120)]"_ns, 0, nullptr, views));
    screen->view()->addConstraints(
        NSLayoutConstraint::constraintsWithVisualFormatOptionsMetricsViews("V:|-40-[l]"_ns, 0, nullptr, views));
    screen->view()->layoutIfNeeded();
    runUntilIdle();
    screen->view()->layoutIfNeeded();
    EXPECT_EQ(wrapping->frame().size.width, 120);
    EXPECT_GT(wrapping->frame().size.height, 3 * single.height) << "measured again at the width it was given";
}

TEST_F(DrawingTests, DrawRectGetsTheBackingStoreAsItsContext) {
    auto view = make<PaintedView>(CGRectMake(0, 0, 20, 20));
    view->setBackgroundColor(UIColor::whiteColor());
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(20, 20), false, 2);
    EXPECT_TRUE(view->drawViewHierarchyInRectAfterScreenUpdates(CGRectMake(0, 0, 20, 20), true));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_TRUE(view->hadContext);
    EXPECT_EQ(view->draws, 1);
    EXPECT_EQ(at(image, 5, 5), red);
    EXPECT_EQ(at(image, 30, 30), (RGBA{255, 255, 255, 255}));
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(20, 20), false, 2);
    view->layer()->renderInContext(UIGraphicsGetCurrentContext());
    UIGraphicsEndImageContext();
    EXPECT_EQ(view->draws, 1) << "drawn again only after setNeedsDisplay";
    EXPECT_FALSE(UIGraphicsGetCurrentContext());
}

TEST_F(DrawingTests, AWholeScreenRendersAtTheDeviceScale) {
    auto screen = make<UIViewController>();
    UITestDriver::showRootViewController(screen);
    screen->view()->setBackgroundColor(UIColor::whiteColor());
    auto title = make<UILabel>(CGRectMake(20, 100, 300, 40));
    title->setText("Diagnostics"_ns);
    title->setFont(UIFont::boldSystemFontOfSize(30));
    screen->view()->addSubview(title);
    auto toggle = make<UISwitch>(CGRectMake(20, 200, 51, 31));
    toggle->setOn(true);
    screen->view()->addSubview(toggle);
    auto bar = make<UIView>(CGRectMake(0, 300, 100, 10));
    bar->setBackgroundColor(UIColor::redColor());
    screen->view()->addSubview(bar);

    auto image = UIScreenshotImage();
    ASSERT_TRUE(image);
    CGRect bounds = UIScreen::mainScreen()->bounds();
    CGFloat scale = UIScreen::mainScreen()->scale();
    EXPECT_EQ(image->size(), bounds.size);
    EXPECT_EQ(CGImageGetWidth(image->CGImage()), static_cast<size_t>(bounds.size.width * scale));
    auto px = [&](double x, double y) {
        return at(image, static_cast<size_t>(x * scale), static_cast<size_t>(y * scale));
    };
    EXPECT_EQ(px(50, 305), red);
    EXPECT_EQ(px(200, 305), (RGBA{255, 255, 255, 255}));
    EXPECT_GT(darkPixels(image, CGRectMake(20 * scale, 100 * scale, 200 * scale, 40 * scale)), 100)
        << "the title's text";
    RGBA knob = px(20 + 51 - 15, 215), track = px(26, 215);
    EXPECT_EQ(knob, (RGBA{255, 255, 255, 255}));
    EXPECT_GT(track[1], 150) << "the switch is on: a green track";
    EXPECT_LT(track[0], 150);

    auto png = UIImagePNGRepresentation(image);
    auto back = UIImage::imageWithDataScale(png, scale);
    EXPECT_EQ(back->size(), bounds.size);
}

TEST_F(DrawingTests, APartOfTheScreenRendersAsTheWholeScreenShowsIt) {
    auto screen = make<UIViewController>();
    UITestDriver::showRootViewController(screen);
    screen->view()->setBackgroundColor(UIColor::whiteColor());
    auto title = make<UILabel>(CGRectMake(20, 100, 300, 40));
    title->setText("Diagnostics"_ns);
    screen->view()->addSubview(title);
    auto bar = make<UIView>(CGRectMake(10, 130, 100, 30));
    bar->setBackgroundColor(UIColor::redColor());
    bar->setAlpha(0.5);
    screen->view()->addSubview(bar);

    auto whole = UIScreenshotImage();
    CGFloat scale = UIScreen::mainScreen()->scale();
    CGRect part = CGRectMake(15.4, 95, 120, 70.2); // made integral: 15, 95, 121 x 71
    auto image = UIScreenshotImageInRect(part);
    ASSERT_TRUE(image);
    ASSERT_EQ(CGImageGetWidth(image->CGImage()), static_cast<size_t>(121 * scale));
    ASSERT_EQ(CGImageGetHeight(image->CGImage()), static_cast<size_t>(71 * scale));
    for (size_t y = 0; y < CGImageGetHeight(image->CGImage()); ++y) {
        for (size_t x = 0; x < CGImageGetWidth(image->CGImage()); ++x) {
            ASSERT_EQ(at(image, x, y),
                      at(whole, x + static_cast<size_t>(15 * scale), y + static_cast<size_t>(95 * scale)))
                << x << ", " << y;
        }
    }
    CGRect bounds = UIScreen::mainScreen()->bounds();
    auto corner = UIScreenshotImageInRect(CGRectMake(bounds.size.width - 10, -20, 50, 30));
    ASSERT_TRUE(corner) << "cut to the screen";
    EXPECT_EQ(corner->size(), CGSizeMake(10, 10));
    EXPECT_FALSE(UIScreenshotImageInRect(CGRectMake(-50, -50, 20, 20)));
    EXPECT_FALSE(UIScreenshotImageInRect(CGRectMake(10, 10, 0, 0)));
}

TEST_F(DrawingTests, TheRecorderWritesAShotPerScreen) {
    auto dir = std::filesystem::temp_directory_path() /
               ("celvix-shots-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    UIScreenshotRecordToDirectory(dir.string());
    // A screen with nothing on it gives no picture.
    UITestDriver::showRootViewController(make<UIViewController>());
    runUntilIdle();
    EXPECT_TRUE(UIScreenshotWrittenFiles().empty());

    auto screen = make<UIViewController>();
    auto label = make<UILabel>(CGRectMake(20, 100, 200, 40));
    label->setText("Hello"_ns);
    screen->view()->addSubview(label);
    UITestDriver::showRootViewController(screen);
    runUntilIdle();
    // A screen presented over it is pictured under its own name.
    auto covering = make<UIViewController>();
    covering->view()->addSubview(make<UILabel>(CGRectMake(20, 100, 200, 40)));
    screen->presentViewControllerAnimatedCompletion(covering, false, nullptr);
    runUntilIdle();
    UIScreenshotRecordToDirectory("");
    auto files = UIScreenshotWrittenFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(std::filesystem::path(files[1]).filename(), "002-UIViewController.png");
    EXPECT_EQ(std::filesystem::path(files[0]).filename(), "001-UIViewController.png");
    auto data = NSData::dataWithContentsOfFile(NSString::from(files[0]));
    ASSERT_TRUE(data);
    EXPECT_TRUE(UIImage::imageWithData(data));
    std::filesystem::remove_all(dir);
}

namespace {

// A screen with one outlet, for the recorder's reports.
class OutletScreen : public UIViewController {
    NS_OBJECT(OutletScreen, UIViewController)
public:
    NS_WEAK_PROPERTY(UIImageView, badge, setBadge)
};

} // namespace

NS_IMPLEMENT_CLASS(OutletScreen, UIViewController) {
    b.property("badge", &OutletScreen::badge, &OutletScreen::setBadge, "weak");
}

TEST_F(DrawingTests, BlackTextDrawsBlackInLabelsAndTextViews) {
    auto screen = make<UIViewController>();
    screen->view()->setBackgroundColor(UIColor::whiteColor());
    auto label = make<UILabel>(CGRectMake(20, 100, 200, 30));
    auto box = make<UITextView>(CGRectMake(20, 200, 200, 60));
    label->setFont(UIFont::systemFontOfSize(16));
    label->setText("Grade"_ns);
    box->setFont(UIFont::systemFontOfSize(16));
    box->setText("Scratched back"_ns);
    screen->view()->addSubview(label);
    screen->view()->addSubview(box);
    UITestDriver::showRootViewController(screen);
    auto image = UIScreenshotImage();
    for (CGRect frame : {label->frame(), box->frame()}) {
        CGRect pixels = CGRectApplyAffineTransform(frame, CGAffineTransformMakeScale(image->scale(), image->scale()));
        EXPECT_GT(darkPixels(image, pixels, 10), 20) << "black, not grey: " << NSStringFromCGRect(frame)->str();
    }
}

TEST_F(DrawingTests, DisabledControlsDrawDimmed) {
    auto screen = make<UIViewController>();
    screen->view()->setBackgroundColor(UIColor::whiteColor());
    auto slider = make<UISlider>(CGRectMake(20, 100, 200, 30));
    slider->setValue(1); // the whole track is the tinted part
    screen->view()->addSubview(slider);
    UITestDriver::showRootViewController(screen);
    CGFloat scale = UIScreen::mainScreen()->scale();
    auto track = [&] {
        return at(UIScreenshotImage(), static_cast<size_t>(100 * scale), static_cast<size_t>(115 * scale));
    };
    RGBA live = track();
    EXPECT_LT(live[0], 40) << "the platform's blue";
    slider->setEnabled(false);
    RGBA dimmed = track();
    EXPECT_GT(dimmed[0], 120) << "the blue fades towards the white behind it";
    EXPECT_EQ(dimmed[2], 255);
}

TEST_F(DrawingTests, TheSelectedSegmentsTitleShowsWhatLiesBehindTheControl) {
    auto screen = make<UIViewController>();
    auto panel = make<UIView>(CGRectMake(0, 80, 320, 60));
    panel->setBackgroundColor(UIColor::blackColor());
    screen->view()->addSubview(panel);
    auto control = make<UISegmentedControl>(NSArray::arrayWithObjects({"Auto"_ns, "Locked"_ns}));
    control->setFrame(CGRectMake(60, 15, 200, 30));
    control->setTintColor(UIColor::yellowColor());
    control->setSelectedSegmentIndex(1);
    panel->addSubview(control);
    UITestDriver::showRootViewController(screen);
    CGFloat scale = UIScreen::mainScreen()->scale();
    auto image = UIScreenshotImage();
    auto count = [&](CGRect box, auto&& wanted) {
        int n = 0;
        for (double y = box.origin.y + 4; y < CGRectGetMaxY(box) - 4; y += 1.0 / scale) {
            for (double x = box.origin.x + 6; x < CGRectGetMaxX(box) - 6; x += 1.0 / scale) {
                n += wanted(at(image, static_cast<size_t>(x * scale), static_cast<size_t>(y * scale)));
            }
        }
        return n;
    };
    auto dark = [](RGBA p) { return p[0] < 80 && p[1] < 80; };
    auto yellow = [](RGBA p) { return p[0] > 200 && p[1] > 200 && p[2] < 80; };
    CGRect autoSegment = CGRectMake(60, 95, 100, 30), lockedSegment = CGRectMake(160, 95, 100, 30);
    EXPECT_GT(count(lockedSegment, yellow), 100) << "the selected segment is filled";
    EXPECT_GT(count(lockedSegment, dark), 20) << "\"Locked\" is written in the panel's black on the fill";
    EXPECT_GT(count(autoSegment, yellow), 20) << "\"Auto\" is written in yellow on the panel";
}

TEST_F(DrawingTests, TheSettledPictureShowsTheScreenAsItsAnimationsEnd) {
    auto screen = make<UIViewController>();
    screen->view()->setBackgroundColor(UIColor::whiteColor());
    auto overlay = make<UIView>(CGRectMake(0, 0, 100, 100));
    overlay->setBackgroundColor(UIColor::redColor());
    screen->view()->addSubview(overlay);
    auto kept = make<UIView>(CGRectMake(0, 200, 100, 100));
    kept->setBackgroundColor(UIColor::redColor());
    screen->view()->addSubview(kept);
    UITestDriver::showRootViewController(screen);
    runUntilIdle();
    // A fade that takes the overlay away, and one that stays at its end value though the model
    // keeps its own.
    UIView::animateWithDurationAnimations(1.0, [&] { overlay->setAlpha(0); });
    auto fade = CABasicAnimation::animationWithKeyPath("opacity"_ns);
    fade->setFromValue(NSNumber::numberWithDouble(1));
    fade->setToValue(NSNumber::numberWithDouble(0));
    fade->setDuration(1.0);
    fade->setRemovedOnCompletion(false);
    fade->setFillMode(kCAFillModeForwards());
    kept->layer()->addAnimationForKey(fade, "fade"_ns);
    runUntilIdle();
    CGFloat scale = UIScreen::mainScreen()->scale();
    auto px = [&](const Ref<UIImage>& image, double x, double y) {
        return at(image, static_cast<size_t>(x * scale), static_cast<size_t>(y * scale));
    };
    const RGBA white{255, 255, 255, 255};
    auto now = UIScreenshotImage();
    EXPECT_NE(px(now, 50, 50), white) << "the overlay still shows, fading";
    EXPECT_NE(px(now, 50, 250), white);
    auto settled = UIScreenshotSettledImage();
    EXPECT_EQ(px(settled, 50, 50), white);
    EXPECT_EQ(px(settled, 50, 250), white);
    advance(1.5);
    EXPECT_EQ(px(UIScreenshotImage(), 50, 50), white) << "the same as the screen shows in the end";
    EXPECT_EQ(px(UIScreenshotImage(), 50, 250), white);
}

TEST_F(DrawingTests, TheRecorderPicturesPlainFillsAndNamesEmptyImageViews) {
    auto dir = std::filesystem::temp_directory_path() /
               ("celvix-fills-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    UIScreenshotRecordToDirectory(dir.string());
    // A screen that is only a colour is pictured.
    auto fill = make<UIViewController>();
    fill->view()->setBackgroundColor(UIColor::blueColor());
    UITestDriver::showRootViewController(fill);
    runUntilIdle();
    // An image view with nothing in it is reported by its outlet, one that shows an image is not.
    auto screen = make<OutletScreen>();
    auto badge = make<UIImageView>(CGRectMake(20, 100, 40, 40));
    screen->view()->addSubview(badge);
    screen->setBadge(badge);
    auto hidden = make<UIImageView>(CGRectMake(20, 200, 40, 40));
    hidden->setHidden(true);
    screen->view()->addSubview(hidden);
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(4, 4), false, 1);
    auto picture = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    screen->view()->addSubview(make<UIImageView>(picture));
    auto plain = UIButton::buttonWithType(UIButtonTypeCustom);
    plain->setFrame(CGRectMake(100, 300, 32, 32));
    screen->view()->addSubview(plain);
    // A one-line label too narrow for its text is reported; a label that wraps it in its height is not.
    auto narrow = make<UILabel>(CGRectMake(20, 360, 60, 20));
    narrow->setText("Volume up + power (screenshot)"_ns);
    screen->view()->addSubview(narrow);
    auto wrapped = make<UILabel>(CGRectMake(20, 400, 120, 100));
    wrapped->setNumberOfLines(0);
    wrapped->setText("Volume up + power (screenshot)"_ns);
    screen->view()->addSubview(wrapped);
    auto twoLines = make<UILabel>(CGRectMake(20, 520, 60, 100));
    twoLines->setNumberOfLines(2);
    twoLines->setText("Hold a finger on each circle at the same time."_ns);
    screen->view()->addSubview(twoLines);
    UITestDriver::showRootViewController(screen);
    runUntilIdle();
    UIScreenshotRecordToDirectory("");

    std::vector<UIScreenshotRecord> mine;
    for (const auto& record : UIScreenshotRecords()) {
        if (record.path.starts_with(dir.string())) {
            mine.push_back(record);
        }
    }
    ASSERT_EQ(mine.size(), 2u);
    EXPECT_EQ(mine[0].screen, "UIViewController");
    EXPECT_TRUE(mine[0].emptyImages.empty());
    auto shot = UIImage::imageWithData(NSData::dataWithContentsOfFile(NSString::from(mine[0].path)));
    ASSERT_TRUE(shot);
    EXPECT_EQ(at(shot, 10, 10), (RGBA{0, 0, 255, 255}));
    EXPECT_EQ(mine[1].screen, "OutletScreen");
    ASSERT_EQ(mine[1].emptyImages.size(), 2u);
    EXPECT_EQ(mine[1].emptyImages[0], "badge");
    EXPECT_EQ(mine[1].emptyImages[1], "UIButton at (100, 300; 32 x 32)") << "an image-only button without its image";
    ASSERT_EQ(mine[1].cutTexts.size(), 2u);
    EXPECT_EQ(mine[1].cutTexts[0], "UILabel at (20, 360; 60 x 20) \"Volume up + power (screenshot)\"");
    EXPECT_EQ(mine[1].cutTexts[1], "UILabel at (20, 520; 60 x 100) \"Hold a finger on each circle at the same time.\"")
        << "more lines than it may have";
    EXPECT_TRUE(mine[0].cutTexts.empty());
    std::filesystem::remove_all(dir);
}
