#include <Foundation/NSDate.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSNumber.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

id parse(const std::string& text, NSJSONReadingOptions options = 0, Ref<NSError>* error = nullptr) {
    return NSJSONSerialization::JSONObjectWithDataOptionsError(NSData::dataWithString(text), options, error);
}

std::string write(const id& object, NSJSONWritingOptions options = 0, Ref<NSError>* error = nullptr) {
    auto data = NSJSONSerialization::dataWithJSONObjectOptionsError(object, options, error);
    return data ? data->stringValue() : std::string("<nil>");
}

} // namespace

TEST(ServicesJSON, RoundTripKeepsMemberOrderAndValueKinds) {
    std::string text = R"({"z":1,"a":[true,false,null,1.5,-3,"s\/x"],"m":{"b":2,"a":1}})";
    Ref<NSError> error;
    auto root = cast<NSDictionary>(parse(text, 0, &error));
    ASSERT_TRUE(root) << NSDescription(error)->str();
    EXPECT_FALSE(error);
    ASSERT_EQ(root->count(), 3u);
    EXPECT_EQ(cast<NSString>(root->allKeys()->objectAtIndex(0))->str(), "z");
    EXPECT_EQ(cast<NSString>(root->allKeys()->objectAtIndex(1))->str(), "a");
    EXPECT_EQ(cast<NSString>(root->allKeys()->objectAtIndex(2))->str(), "m");

    auto array = cast<NSArray>(root->objectForKey("a"_ns));
    ASSERT_TRUE(array);
    auto yes = cast<NSNumber>(array->objectAtIndex(0));
    ASSERT_TRUE(yes);
    EXPECT_TRUE(yes->isBool());
    EXPECT_TRUE(yes->boolValue());
    EXPECT_TRUE(cast<NSNumber>(array->objectAtIndex(1))->isBool());
    EXPECT_TRUE(cast<NSNull>(array->objectAtIndex(2)));
    EXPECT_TRUE(cast<NSNumber>(array->objectAtIndex(3))->isFloatingPoint());
    EXPECT_DOUBLE_EQ(cast<NSNumber>(array->objectAtIndex(3))->doubleValue(), 1.5);
    auto minus3 = cast<NSNumber>(array->objectAtIndex(4));
    EXPECT_FALSE(minus3->isFloatingPoint());
    EXPECT_FALSE(minus3->isBool());
    EXPECT_EQ(minus3->longLongValue(), -3);
    EXPECT_EQ(cast<NSString>(array->objectAtIndex(5))->str(), "s/x");
    auto one = cast<NSNumber>(root->objectForKey("z"_ns));
    EXPECT_FALSE(one->isBool()) << "1 is a number, not true";

    EXPECT_EQ(write(root), text);
}

TEST(ServicesJSON, ContainersAreImmutableUnlessAsked) {
    auto plain = parse(R"({"a":["x"]})");
    EXPECT_FALSE(cast<NSMutableDictionary>(plain));
    EXPECT_FALSE(cast<NSMutableArray>(cast<NSDictionary>(plain)->objectForKey("a"_ns)));

    auto mutableRoot = cast<NSMutableDictionary>(parse(R"({"a":["x"]})", NSJSONReadingMutableContainers));
    ASSERT_TRUE(mutableRoot);
    auto inner = cast<NSMutableArray>(mutableRoot->objectForKey("a"_ns));
    ASSERT_TRUE(inner);
    EXPECT_FALSE(cast<NSMutableString>(inner->objectAtIndex(0)));
    inner->addObject("y"_ns);
    EXPECT_EQ(inner->count(), 2u);

    auto leaves = cast<NSArray>(parse(R"(["x"])", NSJSONReadingMutableLeaves));
    EXPECT_TRUE(cast<NSMutableString>(leaves->objectAtIndex(0)));
}

TEST(ServicesJSON, FragmentsNeedTheOption) {
    Ref<NSError> error;
    EXPECT_FALSE(parse("3", 0, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 3840);
    EXPECT_TRUE(error->domain()->isEqualToString(NSCocoaErrorDomain()));

    auto three = cast<NSNumber>(parse("3", NSJSONReadingFragmentsAllowed));
    ASSERT_TRUE(three);
    EXPECT_EQ(three->integerValue(), 3);
    EXPECT_TRUE(cast<NSNull>(parse("null", NSJSONReadingAllowFragments)));
    EXPECT_EQ(cast<NSString>(parse("\"a\"", NSJSONReadingAllowFragments))->str(), "a");

    error = nullptr;
    EXPECT_EQ(write("text"_ns, 0, &error), "<nil>");
    EXPECT_TRUE(error);
    EXPECT_EQ(write("text"_ns, NSJSONWritingFragmentsAllowed), "\"text\"");
    EXPECT_EQ(write(box(true), NSJSONWritingFragmentsAllowed), "true");
}

TEST(ServicesJSON, WritesEscapesAsThePlatformDoes) {
    auto array = NSArray::arrayWithObjects(
        {"a/b \"q\" \\ \n\t\r\b\f"_ns, NSString::from(std::string("\x01", 1)), "caf\u00e9 \u2603"_ns});
    EXPECT_EQ(write(array), R"(["a\/b \"q\" \\ \n\t\r\b\f","\u0001","café ☃"])");
    EXPECT_EQ(write(NSArray::arrayWithObjects({"a/b"_ns}), NSJSONWritingWithoutEscapingSlashes), R"(["a/b"])");
    // And every escape reads back.
    auto back = cast<NSArray>(parse(write(array)));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(array));
    EXPECT_EQ(cast<NSString>(cast<NSArray>(parse(R"(["\u00e9\ud83d\ude00"])"))->objectAtIndex(0))->str(),
              "\u00e9\U0001F600");
}

TEST(ServicesJSON, NumbersKeepTheirKindAndPrecision) {
    auto numbers = cast<NSArray>(parse("[9223372036854775807,-9223372036854775808,18446744073709551615,0.1,1e3,2.0]"));
    ASSERT_TRUE(numbers);
    EXPECT_EQ(cast<NSNumber>(numbers->objectAtIndex(0))->longLongValue(), std::numeric_limits<long long>::max());
    EXPECT_EQ(cast<NSNumber>(numbers->objectAtIndex(1))->longLongValue(), std::numeric_limits<long long>::min());
    auto big = cast<NSNumber>(numbers->objectAtIndex(2));
    EXPECT_TRUE(big->isUnsigned());
    EXPECT_EQ(big->unsignedLongLongValue(), std::numeric_limits<unsigned long long>::max());
    EXPECT_EQ(write(numbers), "[9223372036854775807,-9223372036854775808,18446744073709551615,0.1,1000,2]");
    EXPECT_EQ(write(NSArray::arrayWithObjects({box(1.0 / 3.0)})), "[0.3333333333333333]");
}

TEST(ServicesJSON, PrettyPrintedAndSortedOutput) {
    auto dict = NSDictionary::dictionaryWithEntries({{"b"_ns, NSArray::arrayWithObjects({box(1), box(2)})},
                                                     {"a"_ns, NSDictionary::dictionary()},
                                                     {"c"_ns, NSArray::array()}});
    EXPECT_EQ(write(dict, NSJSONWritingPrettyPrinted),
              "{\n  \"b\" : [\n    1,\n    2\n  ],\n  \"a\" : {},\n  \"c\" : []\n}");
    EXPECT_EQ(write(dict, NSJSONWritingSortedKeys), R"({"a":{},"b":[1,2],"c":[]})");
}

TEST(ServicesJSON, MalformedInputGivesAnErrorAndNothingElse) {
    const std::vector<std::string> bad = {
        "",
        "{",
        "[1,]",
        R"({"a" 1})",
        "nul",
        "[1] x",
        "\"\xff\"",
        "[1e400]",
        R"({"a":1,})",
        "{'a':1}",
        "[01]",
        "\"unterminated",
        "[\"\\x\"]",
        std::string("[\0]", 3),
        "\xef\xbb\xbf",
    };
    for (const auto& text : bad) {
        Ref<NSError> error;
        id result;
        EXPECT_NO_THROW(result = parse(text, NSJSONReadingAllowFragments, &error)) << text;
        EXPECT_FALSE(result) << text;
        ASSERT_TRUE(error) << text;
        EXPECT_EQ(error->code(), 3840) << text;
        EXPECT_GT(error->localizedDescription()->length(), 0u) << text;
    }
    EXPECT_FALSE(NSJSONSerialization::JSONObjectWithDataOptionsError(nullptr, 0, nullptr));
}

TEST(ServicesJSON, NestingIsBoundedReadingAndWriting) {
    std::string deep(100000, '[');
    Ref<NSError> error;
    EXPECT_FALSE(parse(deep + std::string(100000, ']'), 0, &error));
    ASSERT_TRUE(error);
    EXPECT_NE(error->localizedDescription()->str().find("nested"), std::string::npos);

    std::string fine(NSJSONSerialization::maximumDepth, '[');
    EXPECT_TRUE(parse(fine + std::string(NSJSONSerialization::maximumDepth, ']')));

    // A collection that holds itself is refused, not followed for ever.
    auto loop = NSMutableArray::array();
    loop->addObject(loop);
    error = nullptr;
    EXPECT_EQ(write(loop, 0, &error), "<nil>");
    EXPECT_TRUE(error);
    EXPECT_FALSE(NSJSONSerialization::isValidJSONObject(loop));
    loop->removeAllObjects();
}

TEST(ServicesJSON, ObjectsThatAreNotJSONGiveAnError) {
    const std::vector<id> bad = {
        NSArray::arrayWithObjects({NSDate::date()}),
        NSArray::arrayWithObjects({box(std::nan(""))}),
        NSArray::arrayWithObjects({box(std::numeric_limits<double>::infinity())}),
        NSDictionary::dictionaryWithEntries({{box(1), "x"_ns}}),
        nullptr,
    };
    for (const auto& object : bad) {
        Ref<NSError> error;
        EXPECT_NO_THROW(EXPECT_EQ(write(object, 0, &error), "<nil>"));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), 3840);
        EXPECT_FALSE(NSJSONSerialization::isValidJSONObject(object));
    }
    EXPECT_TRUE(
        NSJSONSerialization::isValidJSONObject(NSDictionary::dictionaryWithEntries({{"a"_ns, NSNull::null()}})));
    EXPECT_FALSE(NSJSONSerialization::isValidJSONObject("top-level string"_ns));
}
