#include <QuartzCore/CABasicAnimation.h>
#include <QuartzCore/CAShapeLayer.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>

#include <array>

namespace {

using RGBA = std::array<uint8_t, 4>;

Ref<UIImage> render(const Ref<CALayer>& layer, CGSize size, CGFloat scale = 1) {
    UIGraphicsBeginImageContextWithOptions(size, false, scale);
    layer->renderInContext(UIGraphicsGetCurrentContext());
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

RGBA at(const Ref<UIImage>& image, size_t x, size_t y) {
    RGBA p{};
    EXPECT_TRUE(CGImageGetPixel(image->CGImage(), x, y, p.data()));
    return p;
}

Ref<CALayer> box(CGRect frame, CGColorRef colour) {
    auto l = CALayer::layer();
    l->setFrame(frame);
    l->setBackgroundColor(colour);
    return l;
}

const RGBA red{255, 0, 0, 255}, blue{0, 0, 255, 255}, green{0, 255, 0, 255}, clear{0, 0, 0, 0};
CGColorRef rgb(double r, double g, double b, double a = 1) {
    return CGColorCreateGenericRGB(r, g, b, a);
}

} // namespace

class LayerRenderingTests : public PlatformTestCase {};

TEST_F(LayerRenderingTests, SublayersDrawInOrderAtTheirPositions) {
    auto root = box(CGRectMake(0, 0, 40, 40), rgb(1, 1, 1));
    root->addSublayer(box(CGRectMake(0, 0, 20, 20), rgb(1, 0, 0)));
    root->addSublayer(box(CGRectMake(10, 10, 20, 20), rgb(0, 0, 1)));
    auto image = render(root, CGSizeMake(40, 40));
    EXPECT_EQ(at(image, 5, 5), red);
    EXPECT_EQ(at(image, 15, 15), blue) << "the later sublayer is on top";
    EXPECT_EQ(at(image, 35, 35), (RGBA{255, 255, 255, 255}));

    root->sublayerList()[0]->setZPosition(1);
    image = render(root, CGSizeMake(40, 40));
    EXPECT_EQ(at(image, 15, 15), red) << "a higher zPosition draws above";

    root->sublayerList()[1]->setHidden(true);
    image = render(root, CGSizeMake(40, 40));
    EXPECT_EQ(at(image, 25, 25), (RGBA{255, 255, 255, 255})) << "hidden layers draw nothing";
}

TEST_F(LayerRenderingTests, TransformsTurnAboutTheAnchorPoint) {
    auto root = CALayer::layer();
    root->setFrame(CGRectMake(0, 0, 60, 60));
    auto bar = box(CGRectMake(10, 25, 40, 10), rgb(0, 1, 0));
    root->addSublayer(bar);
    EXPECT_EQ(at(render(root, CGSizeMake(60, 60)), 45, 30), green);
    bar->setAffineTransform(CGAffineTransformMakeRotation(M_PI / 2));
    auto image = render(root, CGSizeMake(60, 60));
    EXPECT_EQ(at(image, 45, 30), clear) << "turned upright about its centre";
    EXPECT_EQ(at(image, 30, 45), green);
    EXPECT_EQ(at(image, 30, 14), green);
}

TEST_F(LayerRenderingTests, CornerRadiusMasksAndBorders) {
    auto root = box(CGRectMake(0, 0, 40, 40), rgb(1, 0, 0));
    root->setCornerRadius(20);
    auto image = render(root, CGSizeMake(40, 40));
    EXPECT_EQ(at(image, 1, 1), clear);
    EXPECT_EQ(at(image, 20, 20), red);

    auto child = box(CGRectMake(0, 0, 40, 40), rgb(0, 0, 1));
    root->addSublayer(child);
    EXPECT_EQ(at(render(root, CGSizeMake(40, 40)), 1, 1), blue) << "sublayers overflow without masking";
    root->setMasksToBounds(true);
    EXPECT_EQ(at(render(root, CGSizeMake(40, 40)), 1, 1), clear);
    EXPECT_EQ(at(render(root, CGSizeMake(40, 40)), 20, 20), blue);

    auto framed = box(CGRectMake(0, 0, 40, 40), rgb(1, 1, 1));
    framed->setBorderWidth(4);
    framed->setBorderColor(rgb(0, 0, 0));
    framed->addSublayer(box(CGRectMake(0, 0, 40, 40), rgb(1, 0, 0)));
    image = render(framed, CGSizeMake(40, 40));
    EXPECT_EQ(at(image, 1, 20), (RGBA{0, 0, 0, 255})) << "the border is drawn above the sublayers";
    EXPECT_EQ(at(image, 20, 20), red);
}

TEST_F(LayerRenderingTests, OpacityCompositesTheLayerOnce) {
    auto root = box(CGRectMake(0, 0, 20, 20), rgb(0, 0, 1));
    root->addSublayer(box(CGRectMake(0, 0, 20, 20), rgb(0, 0, 1)));
    root->setOpacity(0.5);
    RGBA p = at(render(root, CGSizeMake(20, 20)), 10, 10);
    EXPECT_EQ(p[2], 255);
    EXPECT_NEAR(p[3], 128, 2) << "overlapping parts do not add up";
}

TEST_F(LayerRenderingTests, ContentsFollowTheGravityAtDeviceScale) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(10, 10), false, 1);
    CGContextSetRGBFillColor(UIGraphicsGetCurrentContext(), 1, 0, 0, 1);
    CGContextFillRect(UIGraphicsGetCurrentContext(), CGRectMake(0, 0, 10, 5)); // top half red
    auto picture = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    auto layer = CALayer::layer();
    layer->setFrame(CGRectMake(0, 0, 40, 20));
    layer->setContents(picture->CGImage());
    auto image = render(layer, CGSizeMake(40, 20), 2);
    EXPECT_EQ(image->size(), CGSizeMake(40, 20));
    EXPECT_EQ(CGImageGetWidth(image->CGImage()), 80u);
    EXPECT_EQ(at(image, 70, 5), red) << "resized over the whole layer";
    EXPECT_EQ(at(image, 70, 35), clear);
    layer->setContentsGravity(kCAGravityCenter());
    image = render(layer, CGSizeMake(40, 20), 2);
    EXPECT_EQ(at(image, 40, 14), red);
    EXPECT_EQ(at(image, 5, 14), clear) << "centred at its own size";
}

TEST_F(LayerRenderingTests, ShapeLayersFillStrokeDashAndTrim) {
    auto shape = CAShapeLayer::layer();
    shape->setFrame(CGRectMake(0, 0, 100, 20));
    auto line = CGPathCreateMutable();
    CGPathMoveToPoint(line, nullptr, 0, 10);
    CGPathAddLineToPoint(line, nullptr, 100, 10);
    shape->setPath(line);
    shape->setFillColor(nullptr);
    shape->setStrokeColor(rgb(0, 0, 1));
    shape->setLineWidth(4);
    auto image = render(shape, CGSizeMake(100, 20));
    EXPECT_EQ(at(image, 50, 10), blue);
    EXPECT_EQ(at(image, 50, 2), clear);

    shape->setStrokeEnd(0.5);
    image = render(shape, CGSizeMake(100, 20));
    EXPECT_EQ(at(image, 25, 10), blue);
    EXPECT_EQ(at(image, 75, 10), clear) << "only the first half is stroked";
    shape->setStrokeStart(0.25);
    EXPECT_EQ(at(render(shape, CGSizeMake(100, 20)), 10, 10), clear);

    shape->setStrokeStart(0);
    shape->setStrokeEnd(1);
    shape->setLineDashPattern(NSArray::arrayWithObjects({box(10), box(10)}));
    image = render(shape, CGSizeMake(100, 20));
    EXPECT_EQ(at(image, 5, 10), blue);
    EXPECT_EQ(at(image, 15, 10), clear);

    auto disc = CAShapeLayer::layer();
    disc->setFrame(CGRectMake(0, 0, 20, 20));
    disc->setPath(CGPathCreateWithEllipseInRect(CGRectMake(0, 0, 20, 20), nullptr));
    image = render(disc, CGSizeMake(20, 20));
    EXPECT_EQ(at(image, 10, 10), (RGBA{0, 0, 0, 255})) << "filled black by default";
    EXPECT_EQ(at(image, 0, 0), clear);
}

TEST_F(LayerRenderingTests, RunningAnimationsRenderTheirPresentedValues) {
    auto root = box(CGRectMake(0, 0, 100, 40), rgb(1, 1, 1));
    auto shape = CAShapeLayer::layer();
    shape->setFrame(CGRectMake(0, 0, 100, 20));
    auto line = CGPathCreateMutable();
    CGPathMoveToPoint(line, nullptr, 0, 10);
    CGPathAddLineToPoint(line, nullptr, 100, 10);
    shape->setPath(line);
    shape->setFillColor(nullptr);
    shape->setStrokeColor(rgb(0, 0, 1));
    shape->setLineWidth(4);
    root->addSublayer(shape);
    auto slide = box(CGRectMake(0, 20, 20, 20), rgb(1, 0, 0));
    root->addSublayer(slide);

    auto grow = CABasicAnimation::animationWithKeyPath("strokeEnd"_ns);
    grow->setFromValue(::box(0.0));
    grow->setToValue(::box(1.0));
    grow->setDuration(1);
    grow->setTimingFunction(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear()));
    shape->addAnimationForKey(grow, "grow"_ns);
    auto move = CABasicAnimation::animationWithKeyPath("position.x"_ns);
    move->setFromValue(::box(10.0));
    move->setToValue(::box(90.0));
    move->setDuration(1);
    move->setTimingFunction(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear()));
    slide->addAnimationForKey(move, "move"_ns);

    advance(0.5);
    auto image = render(root, CGSizeMake(100, 40));
    EXPECT_EQ(at(image, 25, 10), blue) << "the first half of the line is drawn half-way through";
    EXPECT_EQ(at(image, 75, 10), (RGBA{255, 255, 255, 255})) << "the model's strokeEnd of 1 is not what shows";
    EXPECT_EQ(at(image, 50, 30), red) << "the square is half-way across";
    EXPECT_EQ(at(image, 5, 30), (RGBA{255, 255, 255, 255}));

    advance(1);
    image = render(root, CGSizeMake(100, 40));
    EXPECT_EQ(at(image, 75, 10), blue) << "after the animation the model shows";
    EXPECT_EQ(at(image, 5, 30), red);
}

TEST_F(LayerRenderingTests, AMaskKeepsWhatItsAlphaCovers) {
    auto root = box(CGRectMake(0, 0, 40, 40), rgb(1, 1, 1));
    auto masked = box(CGRectMake(0, 0, 40, 40), rgb(1, 0, 0));
    masked->addSublayer(box(CGRectMake(20, 0, 20, 40), rgb(0, 0, 1)));
    // The mask covers the top half, opaque on the left and half transparent on the right.
    auto mask = CALayer::layer();
    mask->setFrame(CGRectMake(0, 0, 40, 20));
    mask->addSublayer(box(CGRectMake(0, 0, 20, 20), rgb(0, 0, 0)));
    mask->addSublayer(box(CGRectMake(20, 0, 20, 20), rgb(0, 0, 0, 0.5)));
    masked->setMask(mask);
    root->addSublayer(masked);
    auto image = render(root, CGSizeMake(40, 40));
    EXPECT_EQ(at(image, 5, 5), red) << "under the opaque part";
    RGBA half = at(image, 30, 5);
    EXPECT_NEAR(half[0], 128, 3) << "the sublayer under the half transparent part shows half";
    EXPECT_NEAR(half[2], 255, 1);
    EXPECT_EQ(at(image, 5, 30), (RGBA{255, 255, 255, 255})) << "outside the mask nothing shows";
    EXPECT_EQ(at(image, 30, 30), (RGBA{255, 255, 255, 255}));

    mask->setPosition(CGPointMake(20, 30)); // the mask moves in the layer's space
    image = render(root, CGSizeMake(40, 40));
    EXPECT_EQ(at(image, 5, 5), (RGBA{255, 255, 255, 255}));
    EXPECT_EQ(at(image, 5, 30), red);
}
