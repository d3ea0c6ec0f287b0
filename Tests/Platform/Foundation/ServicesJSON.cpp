#include <Foundation/NSDate.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSNumber.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// What the parser found, kept for logs in the error's debug description.
std::string debugText(const Ref<NSError>& error) {
    auto text = cast<NSString>(error->userInfo()->objectForKey(NSDebugDescriptionErrorKey()));
    return text ? text->str() : std::string();
}

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

TEST(ServicesJSON, ADocumentEndsAtItsLastByte) {
    // After the value only white space may follow; a NUL byte is no end of the document.
    const std::vector<std::string> bad = {
        std::string("123\0", 4),
        std::string("{}\0", 3),
        std::string("[1]\0junk", 8),
        std::string("[1] \0", 5),
        std::string("\"a\0b\"", 5),
        std::string("{\"a\":\0}", 7),
        std::string("\0[1]", 4),
        std::string("true\0\0", 6),
        "123 4",
        "[1]]",
    };
    for (const auto& text : bad) {
        Ref<NSError> error;
        EXPECT_FALSE(parse(text, NSJSONReadingAllowFragments, &error)) << testing::PrintToString(text);
        ASSERT_TRUE(error) << testing::PrintToString(text);
        EXPECT_EQ(error->code(), 3840);
    }
    Ref<NSError> error;
    EXPECT_FALSE(parse(std::string("{\"a\":1}\0", 8), 0, &error));
    EXPECT_NE(debugText(error).find("NUL byte (around byte 7)"), std::string::npos) << debugText(error);
    // White space after the value is part of the document.
    EXPECT_EQ(unbox<long long>(parse("123 \r\n\t", NSJSONReadingAllowFragments)), 123);
    EXPECT_TRUE(cast<NSArray>(parse(" [1] \n")));
}

TEST(ServicesJSON, NestingIsBoundedReadingAndWriting) {
    std::string deep(100000, '[');
    Ref<NSError> error;
    EXPECT_FALSE(parse(deep + std::string(100000, ']'), 0, &error));
    ASSERT_TRUE(error);
    EXPECT_NE(debugText(error).find("nested"), std::string::npos);

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

TEST(ServicesJSON, RepeatedKeysKeepTheLastValueInTheFirstPlace) {
    for (NSJSONReadingOptions options : {NSJSONReadingOptions{0}, NSJSONReadingMutableContainers}) {
        auto small = cast<NSDictionary>(parse(R"({"a":1,"b":2,"a":3})", options));
        ASSERT_TRUE(small);
        ASSERT_EQ(small->count(), 2u);
        EXPECT_EQ(cast<NSString>(small->allKeys()->objectAtIndex(0))->str(), "a");
        EXPECT_EQ(unbox<int>(small->objectForKey("a"_ns)), 3);
        EXPECT_EQ(unbox<int>(small->objectForKey("b"_ns)), 2);

        // The same with more keys than a dictionary scans one by one.
        std::string text = "{";
        for (int i = 0; i < 30; ++i) {
            text += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
        }
        text += R"("k3":"again","k29":"last"})";
        auto large = cast<NSDictionary>(parse(text, options));
        ASSERT_TRUE(large);
        ASSERT_EQ(large->count(), 30u);
        for (int i = 0; i < 30; ++i) {
            auto key = NSString::from("k" + std::to_string(i));
            EXPECT_TRUE(large->allKeys()->objectAtIndex(static_cast<NSUInteger>(i))->isEqual(key)) << i;
            if (i != 3 && i != 29) {
                EXPECT_EQ(unbox<int>(large->objectForKey(key)), i);
            }
        }
        EXPECT_EQ(cast<NSString>(large->objectForKey("k3"_ns))->str(), "again");
        EXPECT_EQ(cast<NSString>(large->objectForKey("k29"_ns))->str(), "last");
        EXPECT_FALSE(large->objectForKey("k30"_ns));
    }
    // A document's repeated keys are shared, and a mutable result takes new keys as any dictionary.
    auto records = cast<NSArray>(parse(R"([{"id":1,"name":"a"},{"id":2,"name":"b"}])", NSJSONReadingMutableContainers));
    ASSERT_TRUE(records);
    auto second = cast<NSMutableDictionary>(records->objectAtIndex(1));
    ASSERT_TRUE(second);
    second->setObjectForKey(box(true), "extra"_ns);
    second->removeObjectForKey("id"_ns);
    EXPECT_EQ(second->count(), 2u);
    EXPECT_EQ(cast<NSString>(second->objectForKey("name"_ns))->str(), "b");
    EXPECT_EQ(cast<NSDictionary>(records->objectAtIndex(0))->count(), 2u);
}

TEST(ServicesJSON, NestingAtTheLimitReadsAndOneMoreFails) {
    const int limit = NSJSONSerialization::maximumDepth;
    auto objects = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i) {
            text += i % 2 ? "[" : "{\"a\":";
        }
        text += "0";
        for (int i = depth - 1; i >= 0; --i) {
            text += i % 2 ? "]" : "}";
        }
        return text;
    };
    Ref<NSError> error;
    id deepest = parse(objects(limit), 0, &error);
    ASSERT_TRUE(deepest) << NSDescription(error)->str();
    int depth = 0;
    for (id level = deepest; cast<NSDictionary>(level) || cast<NSArray>(level); ++depth) {
        level = cast<NSDictionary>(level) ? cast<NSDictionary>(level)->objectForKey("a"_ns)
                                          : cast<NSArray>(level)->objectAtIndex(0);
    }
    EXPECT_EQ(depth, limit);

    for (const auto& text : {objects(limit + 1), std::string(limit + 1, '[') + std::string(limit + 1, ']')}) {
        error = nullptr;
        EXPECT_FALSE(parse(text, 0, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), 3840);
        EXPECT_NE(debugText(error).find("nested"), std::string::npos);
    }
}

TEST(ServicesJSON, NumbersBeyondTheIntegersBecomeDoubles) {
    auto numbers = cast<NSArray>(
        parse("[18446744073709551616,-9223372036854775809,123456789012345678901234567890,-0,0.0,1e308,-1e-400]"));
    ASSERT_TRUE(numbers);
    auto past = cast<NSNumber>(numbers->objectAtIndex(0));
    EXPECT_TRUE(past->isFloatingPoint());
    EXPECT_DOUBLE_EQ(past->doubleValue(), 18446744073709551616.0);
    auto below = cast<NSNumber>(numbers->objectAtIndex(1));
    EXPECT_TRUE(below->isFloatingPoint());
    EXPECT_DOUBLE_EQ(below->doubleValue(), -9223372036854775809.0);
    EXPECT_DOUBLE_EQ(cast<NSNumber>(numbers->objectAtIndex(2))->doubleValue(), 1.2345678901234568e29);
    auto minusZero = cast<NSNumber>(numbers->objectAtIndex(3));
    EXPECT_FALSE(minusZero->isFloatingPoint());
    EXPECT_EQ(minusZero->longLongValue(), 0);
    EXPECT_TRUE(cast<NSNumber>(numbers->objectAtIndex(4))->isFloatingPoint());
    EXPECT_DOUBLE_EQ(cast<NSNumber>(numbers->objectAtIndex(5))->doubleValue(), 1e308);
    EXPECT_DOUBLE_EQ(cast<NSNumber>(numbers->objectAtIndex(6))->doubleValue(), 0.0);

    for (const char* text : {"[1e309]", "[-1e400]", "[1.5e99999]"}) {
        Ref<NSError> error;
        EXPECT_FALSE(parse(text, 0, &error)) << text;
        ASSERT_TRUE(error) << text;
        EXPECT_EQ(error->code(), 3840);
    }
}

TEST(ServicesJSON, EscapesAndSurrogatePairs) {
    auto strings = cast<NSArray>(
        parse(R"(["\"\\\/\b\f\n\r\t","\u0041\u00E9\u00e9\u20AC","\ud83d\ude00x\uD834\uDD1E","a\u0000b",""])"));
    ASSERT_TRUE(strings);
    EXPECT_EQ(cast<NSString>(strings->objectAtIndex(0))->str(), "\"\\/\b\f\n\r\t");
    EXPECT_EQ(cast<NSString>(strings->objectAtIndex(1))->str(), "A\u00e9\u00e9\u20ac");
    auto pairs = cast<NSString>(strings->objectAtIndex(2));
    EXPECT_EQ(pairs->str(), "\U0001F600x\U0001D11E");
    EXPECT_EQ(pairs->length(), 5u);
    EXPECT_EQ(cast<NSString>(strings->objectAtIndex(3))->str(), std::string("a\0b", 3));
    EXPECT_EQ(cast<NSString>(strings->objectAtIndex(4))->length(), 0u);
    // Escaped keys are keys like any other.
    auto dict = cast<NSDictionary>(parse(R"({"caf\u00e9":1,"\ud83d\ude00":2})"));
    ASSERT_TRUE(dict);
    EXPECT_EQ(unbox<int>(dict->objectForKey("caf\u00e9"_ns)), 1);
    EXPECT_EQ(unbox<int>(dict->objectForKey("\U0001F600"_ns)), 2);

    const std::vector<std::string> bad = {
        R"(["\ud83d"])",       R"(["\ude00"])",
        R"(["\ud83d\u0041"])", R"(["\ud83dx"])",
        R"(["\u12"])",         R"(["\u12G4"])",
        R"(["\U0041"])",       R"(["\'"])",
        "[\"a\tb\"]",          "[\"a\nb\"]",
        "[\"\xc0\xaf\"]",      "[\"\xed\xa0\x80\"]",
        "[\"\xe2\x82\"]",      "[\"\xf4\x90\x80\x80\"]",
        R"({"\ud800":1})",
    };
    for (const auto& text : bad) {
        Ref<NSError> error;
        EXPECT_FALSE(parse(text, 0, &error)) << text;
        ASSERT_TRUE(error) << text;
        EXPECT_EQ(error->code(), 3840) << text;
    }
}

TEST(ServicesJSON, EveryTruncationOfADocumentIsAnError) {
    const std::string text =
        R"({"a":[1,-2.5e3,true,false,null,"x\u00e9\ud83d\ude00"],"b":{"c":{}},"d":[[],[{}]],"e":"\"\\"})";
    ASSERT_TRUE(parse(text));
    for (size_t n = 0; n < text.size(); ++n) {
        Ref<NSError> error;
        id result;
        EXPECT_NO_THROW(result = parse(text.substr(0, n), NSJSONReadingAllowFragments, &error)) << n;
        EXPECT_FALSE(result) << text.substr(0, n);
        ASSERT_TRUE(error) << text.substr(0, n);
        EXPECT_EQ(error->code(), 3840);
        EXPECT_TRUE(error->domain()->isEqualToString(NSCocoaErrorDomain()));
    }
    // A byte-order mark before the text is skipped.
    EXPECT_TRUE(cast<NSDictionary>(parse("\xef\xbb\xbf" + text)));
}
