// Splitting and searching strings with separators of several characters, empty separators and
// overlapping occurrences; ranges count UTF-16 units.
#include <Foundation/Foundation.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> strings(const Ref<NSArray>& array) {
    std::vector<std::string> out;
    for (NSUInteger i = 0; i < array->count(); ++i) {
        out.push_back(cast<NSString>(array->objectAtIndex(i))->str());
    }
    return out;
}
using Parts = std::vector<std::string>;
constexpr NSUInteger kNotFound = static_cast<NSUInteger>(NSNotFound);
} // namespace

TEST(NSStringSearch, SplittingByASeparatorOfSeveralCharacters) {
    EXPECT_EQ(strings("9.1.2-build-77"_ns->componentsSeparatedByString("-build-"_ns)), (Parts{"9.1.2", "77"}));
    EXPECT_EQ(strings("a, b,, c"_ns->componentsSeparatedByString(", "_ns)), (Parts{"a", "b,", "c"}));
    // The separator at both ends and twice in a row gives empty parts, as on the platform.
    EXPECT_EQ(strings("::a::::b::"_ns->componentsSeparatedByString("::"_ns)), (Parts{"", "a", "", "b", ""}));
    EXPECT_EQ(strings("abc"_ns->componentsSeparatedByString("abc"_ns)), (Parts{"", ""}));
    EXPECT_EQ(strings("ab"_ns->componentsSeparatedByString("abc"_ns)), (Parts{"ab"})) << "longer than the text";
    EXPECT_EQ(strings(""_ns->componentsSeparatedByString("--"_ns)), (Parts{""}));
    // Non-ASCII separators split on whole characters.
    EXPECT_EQ(strings("x→y→→z"_ns->componentsSeparatedByString("→→"_ns)), (Parts{"x→y", "z"}));
    EXPECT_EQ(strings("日本語と日本"_ns->componentsSeparatedByString("日本"_ns)), (Parts{"", "語と", ""}));
}

TEST(NSStringSearch, OverlappingSeparatorsAreTakenFromTheLeftWithoutOverlap) {
    EXPECT_EQ(strings("aaa"_ns->componentsSeparatedByString("aa"_ns)), (Parts{"", "a"}));
    EXPECT_EQ(strings("aaaa"_ns->componentsSeparatedByString("aa"_ns)), (Parts{"", "", ""}));
    EXPECT_EQ(strings("abababa"_ns->componentsSeparatedByString("aba"_ns)), (Parts{"", "b", ""}));
    EXPECT_EQ("aaa"_ns->stringByReplacingOccurrencesOfStringWithString("aa"_ns, "b"_ns)->str(), "ba");
    EXPECT_EQ("abababa"_ns->stringByReplacingOccurrencesOfStringWithString("aba"_ns, "X"_ns)->str(), "XbX");
    // Searching forwards finds the first start, backwards the last.
    EXPECT_EQ("aaaa"_ns->rangeOfString("aa"_ns), NSMakeRange(0, 2));
    EXPECT_EQ("aaaa"_ns->rangeOfStringOptions("aa"_ns, NSBackwardsSearch), NSMakeRange(2, 2));
    EXPECT_EQ("abababa"_ns->rangeOfStringOptions("aba"_ns, NSBackwardsSearch), NSMakeRange(4, 3));
}

TEST(NSStringSearch, EmptySeparatorsAndTargets) {
    // An empty separator does not split; an empty target is found nowhere and replaced nowhere.
    EXPECT_EQ(strings("abc"_ns->componentsSeparatedByString(""_ns)), (Parts{"abc"}));
    EXPECT_EQ("abc"_ns->rangeOfString(""_ns).location, kNotFound);
    EXPECT_EQ(""_ns->rangeOfString(""_ns).location, kNotFound);
    EXPECT_EQ(""_ns->rangeOfString("a"_ns).location, kNotFound);
    EXPECT_FALSE("abc"_ns->containsString(""_ns));
    EXPECT_FALSE("abc"_ns->hasPrefix(""_ns));
    EXPECT_FALSE("abc"_ns->hasSuffix(""_ns));
    EXPECT_EQ("abc"_ns->stringByReplacingOccurrencesOfStringWithString(""_ns, "x"_ns)->str(), "abc");
    EXPECT_EQ("abcabc"_ns->stringByReplacingOccurrencesOfStringWithString("bc"_ns, ""_ns)->str(), "aa");
    // Splitting by an empty set, or an empty string by any set.
    EXPECT_EQ(strings("a b"_ns->componentsSeparatedByCharactersInSet(
                  NSCharacterSet::characterSetWithCharactersInString(""_ns))),
              (Parts{"a b"}));
    EXPECT_EQ(strings(""_ns->componentsSeparatedByCharactersInSet(NSCharacterSet::whitespaceCharacterSet())),
              (Parts{""}));
    EXPECT_EQ(strings(" a  b "_ns->componentsSeparatedByCharactersInSet(NSCharacterSet::whitespaceCharacterSet())),
              (Parts{"", "a", "", "b", ""}));
}

TEST(NSStringSearch, AnchoredAndCaseInsensitiveSearch) {
    auto s = "Version 9.1 (Build 77)"_ns;
    EXPECT_EQ(s->rangeOfStringOptions("version"_ns, NSCaseInsensitiveSearch | NSAnchoredSearch), NSMakeRange(0, 7));
    EXPECT_EQ(s->rangeOfStringOptions("build"_ns, NSAnchoredSearch | NSCaseInsensitiveSearch).location, kNotFound);
    EXPECT_EQ(s->rangeOfStringOptions("77)"_ns, NSAnchoredSearch | NSBackwardsSearch), NSMakeRange(19, 3));
    EXPECT_EQ(
        s->rangeOfStringOptions("too long: Version 9.1 (Build 77)"_ns, NSAnchoredSearch | NSBackwardsSearch).location,
        kNotFound);
    EXPECT_EQ(s->rangeOfStringOptions("BUILD"_ns, NSCaseInsensitiveSearch), NSMakeRange(13, 5));
    // Letters beyond ASCII match their other case too, and ranges stay in UTF-16 units.
    EXPECT_EQ("Ünïcode ÉCOLE"_ns->rangeOfStringOptions("école"_ns, NSCaseInsensitiveSearch), NSMakeRange(8, 5));
    EXPECT_TRUE("ΣΟΦΙΑ"_ns->rangeOfStringOptions("σοφια"_ns, NSCaseInsensitiveSearch).length == 5);
    EXPECT_EQ("😀ab😀AB"_ns->rangeOfStringOptions("ab"_ns, NSCaseInsensitiveSearch | NSBackwardsSearch),
              NSMakeRange(6, 2));
}

TEST(NSStringSearch, RangesCountUTF16UnitsAroundSurrogatePairs) {
    auto s = "😀--😀--x"_ns;
    EXPECT_EQ(s->rangeOfString("--"_ns), NSMakeRange(2, 2));
    EXPECT_EQ(s->rangeOfStringOptions("--"_ns, NSBackwardsSearch), NSMakeRange(6, 2));
    EXPECT_EQ(s->rangeOfString("😀--x"_ns), NSMakeRange(4, 5));
    EXPECT_EQ(strings(s->componentsSeparatedByString("--"_ns)), (Parts{"😀", "😀", "x"}));
}
