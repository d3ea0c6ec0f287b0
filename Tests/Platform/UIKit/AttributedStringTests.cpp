#include <Support/PlatformTestCase.h>
#include <UIKit/NSAttributedString+NSStringDrawing.h>
#include <UIKit/NSTextAttachment.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UILabel.h>

#include <CoreGraphics/CGImage.h>

#include <array>

namespace {

using RGBA = std::array<uint8_t, 4>;

class AttributedStringTests : public PlatformTestCase {};

Ref<NSDictionary> attrs(std::initializer_list<NSDictionary::Entry> entries) {
    return NSDictionary::dictionaryWithEntries(entries);
}

// Counts the pixels of the image within the box whose colour passes the test.
template <class Test>
int count(const Ref<UIImage>& image, CGRect box, Test test) {
    int n = 0;
    for (auto y = static_cast<size_t>(box.origin.y); y < static_cast<size_t>(CGRectGetMaxY(box)); ++y) {
        for (auto x = static_cast<size_t>(box.origin.x); x < static_cast<size_t>(CGRectGetMaxX(box)); ++x) {
            RGBA p{};
            if (CGImageGetPixel(image->CGImage(), x, y, p.data()) && test(p)) {
                ++n;
            }
        }
    }
    return n;
}

bool reddish(const RGBA& p) {
    return p[3] > 128 && p[0] > 150 && p[1] < 90 && p[2] < 90;
}
bool bluish(const RGBA& p) {
    return p[3] > 128 && p[2] > 150 && p[0] < 90 && p[1] < 90;
}

template <class Draw>
Ref<UIImage> render(CGSize size, Draw draw) {
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
    draw();
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

} // namespace

TEST_F(AttributedStringTests, AttributeRangesSplitAndMergeOnEdits) {
    auto s = NSMutableAttributedString::attributedStringWithString("hello world"_ns);
    EXPECT_EQ(s->length(), 11u);
    EXPECT_EQ(s->runs().size(), 1u);

    s->addAttributeValueRange("a"_ns, "1"_ns, NSMakeRange(2, 5));
    NSRange r{};
    EXPECT_EQ(s->attributesAtIndexEffectiveRange(0, &r)->count(), 0u);
    EXPECT_EQ(r.location, 0u);
    EXPECT_EQ(r.length, 2u);
    EXPECT_TRUE(s->attributesAtIndexEffectiveRange(4, &r)->objectForKey("a"_ns)->isEqual("1"_ns));
    EXPECT_EQ(r.location, 2u);
    EXPECT_EQ(r.length, 5u);
    EXPECT_EQ(s->runs().size(), 3u);

    // An overlapping attribute splits the run; the first attribute's own range stays whole.
    s->addAttributeValueRange("b"_ns, "2"_ns, NSMakeRange(5, 4));
    EXPECT_EQ(s->runs().size(), 5u);
    EXPECT_TRUE(s->attributeAtIndexEffectiveRange("a"_ns, 3, &r)->isEqual("1"_ns));
    EXPECT_EQ(r.location, 2u);
    EXPECT_EQ(r.length, 5u);

    // Giving the rest the same attributes merges everything back into one run.
    s->setAttributesRange(attrs({{"a"_ns, "1"_ns}}), NSMakeRange(0, 11));
    ASSERT_EQ(s->runs().size(), 1u);
    EXPECT_EQ(s->runs()[0].range.length, 11u);
    s->removeAttributeRange("a"_ns, NSMakeRange(0, 11));
    EXPECT_EQ(s->attributesAtIndexEffectiveRange(10, nullptr)->count(), 0u);

    // Inserted characters take the attributes of the character before them; replaced ones those of
    // the first character they replace.
    s->setAttributesRange(attrs({{"c"_ns, "x"_ns}}), NSMakeRange(0, 5));
    s->replaceCharactersInRangeWithString(NSMakeRange(5, 0), "!!"_ns);
    EXPECT_TRUE(s->string()->isEqualToString("hello!! world"_ns));
    s->attributesAtIndexEffectiveRange(0, &r);
    EXPECT_EQ(r.length, 7u);
    s->replaceCharactersInRangeWithString(NSMakeRange(8, 5), "there"_ns);
    EXPECT_EQ(s->attributesAtIndexEffectiveRange(8, &r)->count(), 0u);
    EXPECT_EQ(r.location, 7u);
    EXPECT_EQ(NSMaxRange(r), 13u);

    s->deleteCharactersInRange(NSMakeRange(0, 7));
    EXPECT_TRUE(s->string()->isEqualToString(" there"_ns));
    EXPECT_EQ(s->runs().size(), 1u);

    auto tail = NSAttributedString::attributedStringWithStringAttributes("?"_ns, attrs({{"d"_ns, "y"_ns}}));
    s->appendAttributedString(tail);
    s->appendAttributedString(s); // appending itself doubles it
    EXPECT_TRUE(s->string()->isEqualToString(" there? there?"_ns));
    EXPECT_EQ(s->runs().size(), 4u);

    EXPECT_THROW(s->addAttributeValueRange("a"_ns, "1"_ns, NSMakeRange(10, 5)), NSException);
    EXPECT_THROW(s->attributesAtIndexEffectiveRange(s->length(), nullptr), NSException);
}

TEST_F(AttributedStringTests, RangesCountUTF16UnitsOverEmoji) {
    auto s = NSMutableAttributedString::attributedStringWithString(NSString::from("a\U0001F600b"));
    EXPECT_EQ(s->length(), 4u);
    s->addAttributeValueRange("e"_ns, "1"_ns, NSMakeRange(1, 2));
    NSRange r{};
    EXPECT_TRUE(s->attributeAtIndexEffectiveRange("e"_ns, 2, &r));
    EXPECT_EQ(r.location, 1u);
    EXPECT_EQ(r.length, 2u);
    EXPECT_FALSE(s->attributeAtIndexEffectiveRange("e"_ns, 3, nullptr));
    auto emoji = s->attributedSubstringFromRange(NSMakeRange(1, 2));
    EXPECT_TRUE(emoji->string()->isEqualToString(NSString::from("\U0001F600")));
    ASSERT_EQ(emoji->runs().size(), 1u);
    EXPECT_EQ(emoji->runs()[0].range.length, 2u);
    EXPECT_TRUE(emoji->attributeAtIndexEffectiveRange("e"_ns, 0, nullptr));

    // A coloured emoji run draws without disturbing the text around it.
    s->addAttributeValueRange(NSFontAttributeName(), UIFont::systemFontOfSize(30), NSMakeRange(1, 2));
    CGSize big = size(s);
    CGSize plain = size(NSAttributedString::attributedStringWithString(NSString::from("a\U0001F600b")));
    EXPECT_GT(big.height, plain.height);
}

TEST_F(AttributedStringTests, EqualityAndCopies) {
    auto a = NSMutableAttributedString::attributedStringWithStringAttributes("abc"_ns, attrs({{"k"_ns, "v"_ns}}));
    auto b = NSMutableAttributedString::attributedStringWithString("abc"_ns);
    EXPECT_FALSE(a->isEqual(b));
    b->addAttributeValueRange("k"_ns, "v"_ns, NSMakeRange(0, 1));
    b->addAttributeValueRange("k"_ns, "v"_ns, NSMakeRange(1, 2));
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_EQ(a->hash(), b->hash());

    auto frozen = cast<NSAttributedString>(a->copy());
    ASSERT_TRUE(frozen);
    EXPECT_FALSE(cast<NSMutableAttributedString>(frozen));
    a->addAttributeValueRange("k"_ns, "w"_ns, NSMakeRange(0, 1));
    EXPECT_TRUE(frozen->isEqual(b));
    EXPECT_FALSE(frozen->isEqual(a));
    auto again = cast<NSMutableAttributedString>(frozen->mutableCopy());
    ASSERT_TRUE(again);
    again->appendAttributedString(frozen);
    EXPECT_EQ(frozen->length(), 3u);

    // The caller's dictionary is copied.
    auto dict = NSMutableDictionary::dictionary();
    dict->setObjectForKey("1"_ns, "x"_ns);
    auto c = NSAttributedString::attributedStringWithStringAttributes("z"_ns, dict);
    dict->setObjectForKey("2"_ns, "x"_ns);
    EXPECT_TRUE(c->attributeAtIndexEffectiveRange("x"_ns, 0, nullptr)->isEqual("1"_ns));
}

TEST_F(AttributedStringTests, ABiggerRunMakesTheTextTallerAndWider) {
    auto plain = NSAttributedString::attributedStringWithStringAttributes(
        "Battery health"_ns, attrs({{NSFontAttributeName(), UIFont::systemFontOfSize(14)}}));
    auto mixed = cast<NSMutableAttributedString>(plain->mutableCopy());
    mixed->addAttributeValueRange(NSFontAttributeName(), UIFont::boldSystemFontOfSize(28), NSMakeRange(8, 6));
    CGSize p = size(plain), m = size(mixed);
    EXPECT_GT(m.width, p.width);
    EXPECT_GT(m.height, p.height);
    EXPECT_EQ(size(nullptr).width, 0);

    // Kern widens the text.
    auto kerned = cast<NSMutableAttributedString>(plain->mutableCopy());
    kerned->addAttributeValueRange(NSKernAttributeName(), NSNumber::numberWithDouble(3), NSMakeRange(0, 14));
    EXPECT_GT(size(kerned).width, p.width + 30);

    // Wrapping at a width gives more lines.
    CGRect one =
        boundingRectWithSizeOptionsContext(mixed, CGSizeMake(1000, 0), NSStringDrawingUsesLineFragmentOrigin, nullptr);
    CGRect wrapped =
        boundingRectWithSizeOptionsContext(mixed, CGSizeMake(80, 0), NSStringDrawingUsesLineFragmentOrigin, nullptr);
    EXPECT_LE(wrapped.size.width, 80);
    EXPECT_GT(wrapped.size.height, one.size.height * 1.5);
    CGRect single = boundingRectWithSizeOptionsContext(mixed, CGSizeMake(80, 0), NSStringDrawingOptions{0}, nullptr);
    EXPECT_DOUBLE_EQ(single.size.height, one.size.height);
}

TEST_F(AttributedStringTests, ColouredRangesDrawInTheirColours) {
    auto font = UIFont::boldSystemFontOfSize(30);
    auto s = NSMutableAttributedString::attributedStringWithStringAttributes(
        "MMMMWWWW"_ns, attrs({{NSFontAttributeName(), font}, {NSForegroundColorAttributeName(), UIColor::redColor()}}));
    s->addAttributeValueRange(NSForegroundColorAttributeName(), UIColor::blueColor(), NSMakeRange(4, 4));
    CGFloat half = size(s->attributedSubstringFromRange(NSMakeRange(0, 4))).width;
    CGSize whole = size(s);
    auto image = render(CGSizeMake(whole.width + 20, whole.height + 20), [&] { drawAtPoint(s, CGPointMake(10, 10)); });
    CGRect left = CGRectMake(10, 10, half, whole.height),
           right = CGRectMake(10 + half, 10, whole.width - half, whole.height);
    EXPECT_GT(count(image, left, reddish), 50);
    EXPECT_EQ(count(image, left, bluish), 0);
    EXPECT_GT(count(image, right, bluish), 50);
    EXPECT_EQ(count(image, right, reddish), 0);

    // The context's alpha reaches coloured runs too.
    image = render(CGSizeMake(whole.width + 20, whole.height + 20), [&] {
        CGContextSetAlpha(UIGraphicsGetCurrentContext(), 0.5);
        drawAtPoint(s, CGPointMake(10, 10));
    });
    EXPECT_EQ(
        count(image, CGRectMake(0, 0, whole.width + 20, whole.height + 20), [](const RGBA& p) { return p[3] > 140; }),
        0);
    EXPECT_GT(count(image, right, [](const RGBA& p) { return p[3] > 100 && p[2] > 150; }), 50);

    // A background colour fills behind its run only.
    auto marked = NSMutableAttributedString::attributedStringWithStringAttributes(
        "ab cd"_ns, attrs({{NSFontAttributeName(), font}}));
    marked->addAttributeValueRange(NSBackgroundColorAttributeName(), UIColor::redColor(), NSMakeRange(3, 2));
    CGFloat start = size(marked->attributedSubstringFromRange(NSMakeRange(0, 3))).width;
    CGSize all = size(marked);
    image =
        render(CGSizeMake(all.width, all.height), [&] { drawInRect(marked, CGRectMake(0, 0, all.width, all.height)); });
    RGBA p{};
    ASSERT_TRUE(CGImageGetPixel(image->CGImage(), static_cast<size_t>(start + 1), 1, p.data()));
    EXPECT_TRUE(reddish(p));
    ASSERT_TRUE(CGImageGetPixel(image->CGImage(), 1, 1, p.data()));
    EXPECT_LT(p[3], 10);
}

TEST_F(AttributedStringTests, LabelsMeasureAndDrawAttributedText) {
    auto label = make<UILabel>(CGRectMake(0, 0, 300, 60));
    label->setText("Signal"_ns);
    CGSize plain = label->intrinsicContentSize();
    ASSERT_TRUE(label->attributedText());
    EXPECT_TRUE(label->attributedText()->string()->isEqualToString("Signal"_ns));

    auto s = NSMutableAttributedString::attributedStringWithString("Signal"_ns);
    s->addAttributeValueRange(NSFontAttributeName(), UIFont::systemFontOfSize(40), NSMakeRange(0, 3));
    s->addAttributeValueRange(NSForegroundColorAttributeName(), UIColor::blueColor(), NSMakeRange(0, 6));
    label->setAttributedText(s);
    EXPECT_TRUE(label->text()->isEqualToString("Signal"_ns));
    EXPECT_TRUE(label->attributedText()->isEqual(s));
    CGSize big = label->intrinsicContentSize();
    EXPECT_GT(big.width, plain.width);
    EXPECT_GT(big.height, plain.height);

    auto image = render(CGSizeMake(300, 60), [&] { label->drawRect(label->bounds()); });
    EXPECT_GT(count(image, CGRectMake(0, 0, 300, 60), bluish), 50);

    label->setText("Signal"_ns);
    EXPECT_DOUBLE_EQ(label->intrinsicContentSize().height, plain.height);
}

namespace {

// A picture of one colour, `side` points square at 2x.
Ref<UIImage> swatch(UIColor* colour, CGFloat side) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(side, side), true, 2);
    colour->setFill();
    UIRectFill(CGRectMake(0, 0, side, side));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

} // namespace

TEST_F(AttributedStringTests, AnAttachmentTakesItsBoxInTheLineAndShowsItsPicture) {
    auto font = UIFont::systemFontOfSize(20);
    auto text = NSMutableAttributedString::attributedStringWithStringAttributes("Axis"_ns,
                                                                                attrs({{NSFontAttributeName(), font}}));
    CGSize plain = size(text);
    auto mark = make<NSTextAttachment>();
    mark->setImage(swatch(UIColor::redColor().get(), 12));
    EXPECT_EQ(mark->layoutBounds(), CGRectMake(0, 0, 12, 12)); // the image's size on the baseline
    text->appendAttributedString(NSAttributedStringWithAttachment(mark));
    EXPECT_TRUE(text->string()->isEqualToString("Axis\uFFFC"_ns));
    CGSize with = size(text);
    EXPECT_NEAR(with.width, plain.width + 12, 0.5);
    EXPECT_DOUBLE_EQ(with.height, plain.height);

    // Drawn after the text, above the baseline; nothing red before it.
    auto image = render(CGSizeMake(with.width, with.height), [&] { drawAtPoint(text, CGPointZero); });
    CGFloat baseline = font->ascender();
    EXPECT_GT(count(image, CGRectMake(plain.width + 2, baseline - 10, 8, 8), reddish), 40);
    EXPECT_EQ(count(image, CGRectMake(0, 0, plain.width - 1, with.height), reddish), 0);
    EXPECT_EQ(count(image, CGRectMake(plain.width, baseline + 2, 12, with.height - baseline - 2), reddish), 0);

    // Bounds of their own: a bigger box, lowered below the baseline, grows the line.
    mark->setBounds(CGRectMake(0, -10, 30, 30));
    text = NSMutableAttributedString::attributedStringWithStringAttributes("Axis"_ns,
                                                                           attrs({{NSFontAttributeName(), font}}));
    text->appendAttributedString(NSAttributedStringWithAttachment(mark));
    with = size(text);
    EXPECT_NEAR(with.width, plain.width + 30, 0.5);
    EXPECT_GT(with.height, plain.height);

    // An attachment without a picture takes no room and draws nothing.
    auto empty = NSAttributedStringWithAttachment(make<NSTextAttachment>());
    EXPECT_EQ(size(empty).width, 0);
}

TEST_F(AttributedStringTests, ALabelShowsAnAttachmentAfterItsText) {
    auto label = make<UILabel>(CGRectMake(0, 0, 200, 40));
    label->setFont(UIFont::systemFontOfSize(17));
    auto text = NSMutableAttributedString::attributedStringWithString("X axis"_ns);
    label->setText("X axis"_ns);
    CGFloat plain = label->intrinsicContentSize().width;
    auto mark = make<NSTextAttachment>();
    mark->setImage(swatch(UIColor::redColor().get(), 16));
    text->appendAttributedString(NSAttributedStringWithAttachment(mark));
    label->setAttributedText(text);
    EXPECT_NEAR(label->intrinsicContentSize().width, plain + 16, 0.5);
    label->setFrame(CGRectMake(0, 0, label->intrinsicContentSize().width, 40));
    auto image = render(CGSizeMake(label->bounds().size.width, 40), [&] { label->drawRect(label->bounds()); });
    EXPECT_GT(count(image, CGRectMake(plain, 0, 16, 40), reddish), 100);
}
