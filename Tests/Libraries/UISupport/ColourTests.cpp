#include <Support/PlatformTestCase.h>
#include <UISupport/NSString+LCPadding.h>
#include <UISupport/UIColor+LCHex.h>

#include <string>

namespace {

struct RGBA {
    double r, g, b, a;
};

RGBA rgba(const Ref<UIColor>& c) {
    CGFloat r = 0, g = 0, b = 0, a = 0;
    c->getRedGreenBlueAlpha(&r, &g, &b, &a);
    return {r, g, b, a};
}

void expectColour(const char* css, double r, double g, double b, double a) {
    SCOPED_TRACE(css);
    auto c = rgba(colorWithCSS(NSString::from(css)));
    EXPECT_NEAR(c.r, r, 1e-6);
    EXPECT_NEAR(c.g, g, 1e-6);
    EXPECT_NEAR(c.b, b, 1e-6);
    EXPECT_NEAR(c.a, a, 1e-6);
}

double unit(unsigned v) {
    return static_cast<float>(v / 255.0f);
}

} // namespace

TEST(ColourParsing, EveryFormOfTheText) {
    expectColour("", 0, 0, 0, 1);
    expectColour("#", 0, 0, 0, 1);
    expectColour("fff", 1, 1, 1, 1);
    expectColour("8fff", 1, 1, 1, unit(0x88));
    expectColour("336699", unit(0x33), unit(0x66), unit(0x99), 1);
    expectColour("#336699", unit(0x33), unit(0x66), unit(0x99), 1);
    expectColour("80336699", unit(0x33), unit(0x66), unit(0x99), unit(0x80));
    // Five and seven digits get a zero in front.
    expectColour("36699", unit(0x03), unit(0x66), unit(0x99), 1);
    expectColour("0336699", unit(0x33), unit(0x66), unit(0x99), unit(0x00));
    // One digit is padded to three; more than eight are read by their last eight.
    expectColour("f", 0, 0, 1, 1);
    expectColour("#12", 0, unit(0x11), unit(0x22), 1);
    expectColour("ab80336699", unit(0x33), unit(0x66), unit(0x99), unit(0x80));
}

TEST(ColourParsing, BadTextNeverCrashesAndGivesDefinedChannels) {
    // A channel that starts with no hexadecimal digit reads as 0; one with a leading digit keeps it.
    expectColour("zz6699", 0, unit(0x66), unit(0x99), 1);
    expectColour("3z6699", unit(0x3), unit(0x66), unit(0x99), 1);
    expectColour("#gggggggg", 0, 0, 0, 0);
    expectColour("é", 0, 0, 0, 1); // one character, padded as "00?"
    std::string longText(10000, 'f');
    expectColour(longText.c_str(), 1, 1, 1, 1);
    expectColour("##fff", 1, 1, 1, 0); // "#fff" after the first "#": ARGB with a non-digit alpha
    EXPECT_EQ(hex(colorWithCSS(nullptr)), 0xFF000000u);
}

TEST(ColourParsing, PackedNumbers) {
    EXPECT_EQ(hex(colorWithHex(0xFF0000)), 0xFFFF0000u);
    EXPECT_EQ(hex(colorWithHex(0x80FF0000)), 0x80FF0000u);
    EXPECT_EQ(hex(colorWithHex(0x00336699)), 0xFF336699u);
    // Bits only above bit 31: alpha 0.
    EXPECT_EQ(hex(colorWithHex(0x100000000ull)), 0x00000000u);
}

TEST(ColourParsing, FormattingAndRoundTrips) {
    EXPECT_STREQ(hexString(UIColor::whiteColor())->UTF8String(), "0xffffffff");
    EXPECT_STREQ(cssString(UIColor::whiteColor())->UTF8String(), "#ffffff");
    EXPECT_STREQ(cssString(UIColor::colorWithWhiteAlpha(1.0, 0.5))->UTF8String(), "#80ffffff");
    EXPECT_EQ(hex(UIColor::colorWithWhiteAlpha(0.5, 1.0)), 0xFF808080u);
    for (const char* text : {"#336699", "#80336699", "#00000000", "#ffffff", "#0a0b0c"}) {
        EXPECT_STREQ(cssString(colorWithCSS(NSString::from(text)))->UTF8String(), text);
    }
    for (uint32_t value : {0xFF000000u, 0x12345678u, 0xFFFFFFFFu, 0x01020304u}) {
        EXPECT_EQ(hex(colorWithHex(value)), value);
    }
}

TEST(ColourParsing, ComponentsOutsideTheRangeDoNotSpillIntoOtherChannels) {
    auto bright = UIColor::colorWithRedGreenBlueAlpha(2.0, -1.0, 0.5, 1.0);
    EXPECT_EQ(hex(bright), 0xFFFF0080u);
    auto odd = UIColor::colorWithRedGreenBlueAlpha(0, 0, 3.0, 7.0);
    EXPECT_EQ(hex(odd), 0xFF0000FFu);
}

TEST(LeftPadding, PadsOrKeeps) {
    auto pad = [](const char* s, NSUInteger n, const char* with, NSUInteger i) {
        return std::string(
            stringByPaddingTheLeftToLengthWithStringStartingAtIndex(NSString::from(s), n, NSString::from(with), i)
                ->UTF8String());
    };
    EXPECT_EQ(pad("7", 3, "0", 0), "007");
    EXPECT_EQ(pad("1234", 3, "0", 0), "1234");
    EXPECT_EQ(pad("x", 4, "ab", 1), "babx");
    EXPECT_EQ(pad("", 0, "0", 0), "");
}
