// NSFormat / stringWithFormat: the platform's conversions, positional arguments, and argument lists
// that do not match the format.
#include <Foundation/Foundation.h>

#include <gtest/gtest.h>

#include <climits>

namespace {
std::string fmt(std::string_view format, const std::vector<NSFormatArgument>& args) {
    return NSFormat(format, args);
}
} // namespace

TEST(NSFormatTest, Conversions) {
    EXPECT_EQ(NSString::stringWithFormat("%@ is %d", "x"_ns, 3)->str(), "x is 3");
    EXPECT_EQ(NSString::stringWithFormat("%ld", 1234567890123L)->str(), "1234567890123");
    EXPECT_EQ(NSString::stringWithFormat("%lu", 18446744073709551615UL)->str(), "18446744073709551615");
    EXPECT_EQ(NSString::stringWithFormat("%llu", 42ULL)->str(), "42");
    EXPECT_EQ(NSString::stringWithFormat("%f", 1.5)->str(), "1.500000");
    EXPECT_EQ(NSString::stringWithFormat("%.2f", 3.14159)->str(), "3.14");
    EXPECT_EQ(NSString::stringWithFormat("%g", 0.0001)->str(), "0.0001");
    EXPECT_EQ(NSString::stringWithFormat("%g", 1e20)->str(), "1e+20");
    EXPECT_EQ(NSString::stringWithFormat("%s", "text")->str(), "text");
    EXPECT_EQ(NSString::stringWithFormat("%x", 255)->str(), "ff");
    EXPECT_EQ(NSString::stringWithFormat("%X", 255)->str(), "FF");
    EXPECT_EQ(NSString::stringWithFormat("%x", -1)->str(), "ffffffff");
    EXPECT_EQ(NSString::stringWithFormat("%lx", -1L)->str(), "ffffffffffffffff");
    EXPECT_EQ(NSString::stringWithFormat("100%%")->str(), "100%");
    EXPECT_EQ(NSString::stringWithFormat("%c%C", 'A', static_cast<unsigned short>(0x00e9))->str(), "A\u00e9");
    EXPECT_EQ(NSString::stringWithFormat("%@", box(2.5))->str(), "2.5");
}

TEST(NSFormatTest, WidthPrecisionAndFlags) {
    EXPECT_EQ(NSString::stringWithFormat("[%5d]", 42)->str(), "[   42]");
    EXPECT_EQ(NSString::stringWithFormat("[%-5d]", 42)->str(), "[42   ]");
    EXPECT_EQ(NSString::stringWithFormat("[%05d]", 42)->str(), "[00042]");
    EXPECT_EQ(NSString::stringWithFormat("[%-10s]", "abc")->str(), "[abc       ]");
    EXPECT_EQ(NSString::stringWithFormat("[%10@]", "abc"_ns)->str(), "[       abc]");
    EXPECT_EQ(NSString::stringWithFormat("[%.2@]", "\u00e9\u00e9\u00e9"_ns)->str(), "[\u00e9\u00e9]");
    EXPECT_EQ(NSString::stringWithFormat("[%4@]", "\u00e9"_ns)->str(), "[   \u00e9]"); // counted in characters
    EXPECT_EQ(NSString::stringWithFormat("[%*d]", 4, 7)->str(), "[   7]");
    EXPECT_EQ(NSString::stringWithFormat("[%.*f]", 1, 2.25)->str(), "[2.2]");
    EXPECT_EQ(NSString::stringWithFormat("%+d", 5)->str(), "+5");
    // Huge widths are capped instead of exhausting memory.
    EXPECT_LE(NSString::stringWithFormat("%999999999999d", 1)->str().size(), 5000u);
    EXPECT_EQ(NSString::stringWithFormat("%300d", 1)->str().size(), 300u);
}

TEST(NSFormatTest, PositionalArguments) {
    EXPECT_EQ(NSString::stringWithFormat("%2$@ %1$@", "world"_ns, "hello"_ns)->str(), "hello world");
    EXPECT_EQ(NSString::stringWithFormat("%1$d-%1$d", 7)->str(), "7-7");
    EXPECT_EQ(NSString::stringWithFormat("%2$.1f/%1$s", "a", 2.25)->str(), "2.2/a");
}

TEST(NSFormatTest, NilAndPointers) {
    EXPECT_EQ(NSString::stringWithFormat("%@", id())->str(), "(null)");
    EXPECT_EQ(NSString::stringWithFormat("%@", nullptr)->str(), "(null)");
    EXPECT_EQ(NSString::stringWithFormat("%s", static_cast<const char*>(nullptr))->str(), "(null)");
    EXPECT_EQ(NSString::stringWithFormat("%p", static_cast<const void*>(nullptr))->str(), "0x0");
    EXPECT_EQ(NSString::stringWithFormat("%p", reinterpret_cast<const void*>(0x1234))->str(), "0x1234");
}

TEST(NSFormatTest, MismatchedArgumentsNeverCrash) {
    // Too few arguments: the missing ones print as zero / "(null)".
    EXPECT_EQ(fmt("%d %@ %s %f", {}), "0 (null) (null) 0.000000");
    EXPECT_EQ(fmt("%2$d", {1}), "0");
    // Too many: the rest are ignored.
    EXPECT_EQ(fmt("%d", {1, 2, 3}), "1");
    // Kinds that differ from the conversion are converted, never reinterpreted.
    EXPECT_EQ(fmt("%d", {"text"_ns}), "0");
    EXPECT_EQ(fmt("%d", {box(12)}), "12");
    EXPECT_EQ(fmt("%d", {2.9}), "2");
    EXPECT_EQ(fmt("%d", {1e300}), std::to_string(LLONG_MAX));
    EXPECT_EQ(fmt("%f", {3}), "3.000000");
    EXPECT_EQ(fmt("%s", {42}), "42");
    EXPECT_EQ(fmt("%@", {42}), "42");
    EXPECT_EQ(fmt("%x", {"s"}), "0");
    // %n is never passed on; unknown conversions are kept as written and take no argument.
    EXPECT_EQ(fmt("%n%d", {5}), "%n5");
    EXPECT_EQ(fmt("%k %d", {5}), "%k 5");
    EXPECT_EQ(fmt("trailing %", {}), "trailing %");
    EXPECT_EQ(fmt("%l", {1}), "%l");
    EXPECT_EQ(fmt("%0$d", {1}), "%0$d");
}

TEST(NSFormatTest, MutableAndAppendingFormats) {
    auto m = NSMutableString::string();
    m->appendFormat("%d+%d", 1, 2);
    m->appendFormat("=%@", box(3));
    EXPECT_EQ(m->str(), "1+2=3");
    EXPECT_EQ("x"_ns->stringByAppendingFormat("%03u", 7u)->str(), "x007");
}
