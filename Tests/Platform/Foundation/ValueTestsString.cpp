// NSString: UTF-16 indexing over UTF-8 storage, composed characters, encodings, percent encoding,
// character sets, and strings as dictionary keys.
#include <Foundation/Foundation.h>
#include <Foundation/NSRegularExpression.h>

#include <gtest/gtest.h>

namespace {
std::vector<std::string> strings(const Ref<NSArray>& array) {
    std::vector<std::string> out;
    for (const auto& o : *array) {
        out.push_back(NSDescription(o)->str());
    }
    return out;
}
} // namespace

TEST(NSStringTest, LengthCountsUTF16Units) {
    EXPECT_EQ("abc"_ns->length(), 3u);
    EXPECT_EQ("\u00e9"_ns->length(), 1u);     // é, precomposed
    EXPECT_EQ("e\u0301"_ns->length(), 2u);    // e + combining acute
    EXPECT_EQ("\U0001F600"_ns->length(), 2u); // 😀, a surrogate pair
    EXPECT_EQ("a\U0001F600b"_ns->characterAtIndex(3), u'b');
    EXPECT_EQ("a\U0001F600b"_ns->characterAtIndex(1), 0xD83D);
    EXPECT_EQ("a\U0001F600b"_ns->characterAtIndex(2), 0xDE00);
    EXPECT_THROW("abc"_ns->characterAtIndex(3), NSException);
}

TEST(NSStringTest, SubstringsUseUTF16Ranges) {
    auto s = "h\u00e9\U0001F600!"_ns; // h é 😀 !
    EXPECT_EQ(s->substringWithRange({1, 3})->str(), "\u00e9\U0001F600");
    EXPECT_EQ(s->substringFromIndex(4)->str(), "!");
    EXPECT_EQ(s->substringToIndex(2)->str(), "h\u00e9");
    EXPECT_THROW(s->substringWithRange({3, 3}), NSException);
    EXPECT_EQ(s->rangeOfString("!"_ns), NSMakeRange(4, 1));
    EXPECT_EQ(s->rangeOfString("x"_ns).location, static_cast<NSUInteger>(NSNotFound));

    auto m = NSMutableString::stringWithString(s);
    m->replaceCharactersInRangeWithString({2, 2}, "\U0001F44D"_ns); // 👍 for 😀
    EXPECT_EQ(m->str(), "h\u00e9\U0001F44D!");
    m->deleteCharactersInRange({0, 1});
    m->insertStringAtIndex("\u00c5"_ns, 0);
    EXPECT_EQ(m->str(), "\u00c5\u00e9\U0001F44D!");
}

TEST(NSStringTest, ComposedCharacterRanges) {
    auto s = "ae\u0301\U0001F600\U0001F1E9\U0001F1EA\U0001F468\u200D\U0001F469\u200D\U0001F467z"_ns;
    // a | e+◌́ | 😀 | 🇩🇪 | 👨‍👩‍👧 | z
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(0), NSMakeRange(0, 1));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(1), NSMakeRange(1, 2));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(2), NSMakeRange(1, 2));
    // The first unit of a surrogate pair starts its own sequence.
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(3), NSMakeRange(3, 2));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(4), NSMakeRange(3, 2));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(5), NSMakeRange(5, 4));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(9), NSMakeRange(9, 8));
    EXPECT_EQ("b\U0001F44D"_ns->rangeOfComposedCharacterSequenceAtIndex(1), NSMakeRange(1, 2));
    EXPECT_EQ(s->rangeOfComposedCharacterSequencesForRange({3, 1}), NSMakeRange(3, 2));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(6), NSMakeRange(5, 4));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(10), NSMakeRange(9, 8));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(17), NSMakeRange(17, 1));
    EXPECT_THROW(s->rangeOfComposedCharacterSequenceAtIndex(18), NSException);
    EXPECT_EQ(s->rangeOfComposedCharacterSequencesForRange({2, 2}), NSMakeRange(1, 4));

    auto pieces = strings(s->composedCharacterSequences());
    std::vector<std::string> expected = {
        "a", "e\u0301", "\U0001F600", "\U0001F1E9\U0001F1EA", "\U0001F468\u200D\U0001F469\u200D\U0001F467", "z"};
    EXPECT_EQ(pieces, expected);
}

TEST(NSStringTest, EnumeratesComposedCharacterSequences) {
    auto s = "xe\u0301\U0001F600y"_ns;
    std::vector<std::string> seen;
    std::vector<NSRange> ranges;
    s->enumerateSubstringsInRangeOptionsUsingBlock(
        {1, 4}, NSStringEnumerationByComposedCharacterSequences,
        [&](const Ref<NSString>& sub, NSRange range, NSRange enclosing, bool*) {
            seen.push_back(sub->str());
            ranges.push_back(range);
            EXPECT_EQ(range, enclosing);
        });
    EXPECT_EQ(seen, (std::vector<std::string>{"e\u0301", "\U0001F600"}));
    EXPECT_EQ(ranges, (std::vector<NSRange>{{1, 2}, {3, 2}}));

    seen.clear();
    s->enumerateSubstringsInRangeOptionsUsingBlock(
        {0, s->length()}, NSStringEnumerationByComposedCharacterSequences | NSStringEnumerationReverse,
        [&](const Ref<NSString>& sub, NSRange, NSRange, bool* stop) {
            seen.push_back(sub->str());
            *stop = seen.size() == 2;
        });
    EXPECT_EQ(seen, (std::vector<std::string>{"y", "\U0001F600"}));
    EXPECT_THROW(s->enumerateSubstringsInRangeOptionsUsingBlock({4, 5}, NSStringEnumerationByComposedCharacterSequences,
                                                                [](const Ref<NSString>&, NSRange, NSRange, bool*) {}),
                 NSException);
}

TEST(NSStringTest, EnumeratesLinesAndWords) {
    auto s = "one\r\ntwo\nthree"_ns;
    std::vector<std::string> lines;
    std::vector<NSRange> enclosing;
    s->enumerateSubstringsInRangeOptionsUsingBlock({0, s->length()}, NSStringEnumerationByLines,
                                                   [&](const Ref<NSString>& sub, NSRange, NSRange e, bool*) {
                                                       lines.push_back(sub->str());
                                                       enclosing.push_back(e);
                                                   });
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(enclosing[0], NSMakeRange(0, 5));

    std::vector<std::string> words;
    auto text = "Hello, brave new world."_ns;
    text->enumerateSubstringsInRangeOptionsUsingBlock(
        {0, text->length()}, NSStringEnumerationByWords,
        [&](const Ref<NSString>& sub, NSRange, NSRange, bool*) { words.push_back(sub->str()); });
    EXPECT_EQ(words, (std::vector<std::string>{"Hello", "brave", "new", "world"}));
}

TEST(NSStringTest, MutableStringKeysAreCopiedIntoDictionaries) {
    auto key = NSMutableString::stringWithString("alpha"_ns);
    auto d = NSMutableDictionary::dictionary();
    d->setObjectForKey(box(1), key);
    key->appendString("-changed"_ns);
    EXPECT_EQ(unbox<int>(d->objectForKey("alpha"_ns)), 1);
    EXPECT_FALSE(d->objectForKey(key));
    EXPECT_FALSE(cast<NSMutableString>(d->allKeys()->firstObject()));
    EXPECT_EQ("alpha"_ns->hash(), NSMutableString::stringWithString("alpha"_ns)->hash());
    EXPECT_TRUE("alpha"_ns->isEqual(NSMutableString::stringWithString("alpha"_ns)));
}

TEST(NSStringTest, DataInEncodings) {
    auto s = "h\u00e9\U0001F600"_ns;
    EXPECT_EQ(s->dataUsingEncoding(NSUTF8StringEncoding)->length(), 7u);
    EXPECT_FALSE(s->dataUsingEncoding(NSASCIIStringEncoding));
    EXPECT_EQ(s->dataUsingEncodingAllowLossyConversion(NSASCIIStringEncoding, true)->stringValue(), "h??");
    EXPECT_FALSE(s->dataUsingEncoding(NSISOLatin1StringEncoding));
    auto latin = "h\u00e9"_ns->dataUsingEncoding(NSISOLatin1StringEncoding);
    EXPECT_EQ(latin->description()->str(), "<68e9>");
    EXPECT_EQ(NSString::stringWithDataEncoding(latin, NSISOLatin1StringEncoding)->str(), "h\u00e9");

    auto utf16 = s->dataUsingEncoding(NSUTF16StringEncoding);
    EXPECT_EQ(utf16->length(), 2u + 8u); // BOM + four units
    EXPECT_EQ(NSString::stringWithDataEncoding(utf16, NSUTF16StringEncoding)->str(), s->str());
    auto be = s->dataUsingEncoding(NSUTF16BigEndianStringEncoding);
    EXPECT_EQ(NSString::stringWithDataEncoding(be, NSUTF16BigEndianStringEncoding)->str(), s->str());
    EXPECT_EQ(NSString::stringWithDataEncoding(be, NSUTF16StringEncoding)->str(), s->str()); // big-endian default
    uint8_t lone[] = {0xD8, 0x3D, 0x00, 0x41}; // a high surrogate, then 'A'
    EXPECT_FALSE(
        NSString::stringWithDataEncoding(NSData::dataWithBytesLength(lone, 4), NSUTF16BigEndianStringEncoding));
    EXPECT_FALSE(
        NSString::stringWithDataEncoding(NSData::dataWithBytesLength(lone, 3), NSUTF16BigEndianStringEncoding));
}

TEST(NSStringTest, StrictUTF8Decoding) {
    auto decode = [](std::string bytes) {
        return NSString::stringWithDataEncoding(NSData::dataWithString(bytes), NSUTF8StringEncoding);
    };
    EXPECT_EQ(decode("plain")->str(), "plain");
    EXPECT_EQ(decode("\xF0\x9F\x98\x80")->str(), "\U0001F600");
    EXPECT_FALSE(decode("\xC0\xAF"));               // overlong "/"
    EXPECT_FALSE(decode("\xE0\x80\xAF"));           // overlong
    EXPECT_FALSE(decode("\xC1\x81"));               // overlong "A"
    EXPECT_FALSE(decode("\xE0\x90\x80"));           // overlong U+0400
    EXPECT_FALSE(decode("\xE0\x9F\xBF"));           // overlong U+07FF, the last of them
    EXPECT_FALSE(decode("\xF0\x8F\xBF\xBF"));       // overlong U+FFFF
    EXPECT_EQ(decode("\xC2\x80")->str(), "\u0080"); // the shortest forms just past them read
    EXPECT_EQ(decode("\xE0\xA0\x80")->str(), "\u0800");
    EXPECT_EQ(decode("\xF0\x90\x80\x80")->str(), "\U00010000");
    EXPECT_FALSE(decode("\xED\xA0\x80"));     // a surrogate
    EXPECT_FALSE(decode("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(decode("abc\xE2\x82"));      // truncated
    EXPECT_FALSE(decode("\x80"));             // stray continuation
    EXPECT_FALSE(decode("\xFF"));
    EXPECT_EQ(decode("")->str(), "");
    EXPECT_FALSE(NSString::stringWithDataEncoding(NSData::dataWithString("\xC3\xA9"), NSASCIIStringEncoding));
}

TEST(NSStringTest, BytesThatAreNotUTF8ReadAsOneReplacementCharacterEach) {
    // A truncated sequence, a stray continuation, an overlong form, a surrogate and a byte that
    // starts nothing: each malformed byte is one U+FFFD, whatever follows it.
    struct Case {
        std::string bytes;
        std::string read;
    };
    const std::string r = "\xEF\xBF\xBD";
    for (const Case& c : std::vector<Case>{
             {"a\xE5\xA6z", "a" + r + r + "z"},
             {"\x80x", r + "x"},
             {"\xC0\xAF", r + r},
             {"\xC1\x81", r + r}, // every overlong form, not only that of "/": never an "A"
             {"\xE0\x90\x80", r + r + r},
             {"\xE0\x80\xAF", r + r + r},
             {"\xF0\x8F\xBF\xBF", r + r + r + r},
             {"\xED\xA0\x80!", r + r + r + "!"},
             {"\xFF\xC3\xA9", r + "\xC3\xA9"},
             {"abc\xE2\x82", "abc" + r + r},
         }) {
        auto s = NSString::from(c.bytes);
        EXPECT_EQ(s->str(), c.read) << c.bytes;
        EXPECT_EQ(s->length(), s->utf16().size()) << c.bytes;
        EXPECT_EQ(NSString::from(s->str())->str(), c.read); // reading again changes nothing
    }
    // Every operation sees the same characters: length, indexes, search, the expression engine.
    auto s = NSString::from("k\xF2"
                            "ey=\xE5\xA6 val");
    EXPECT_EQ(s->length(), 11u);
    EXPECT_EQ(s->characterAtIndex(1), 0xFFFD);
    EXPECT_EQ(s->characterAtIndex(5), 0xFFFD);
    EXPECT_EQ(s->characterAtIndex(6), 0xFFFD);
    NSRange found = s->rangeOfString("val"_ns);
    EXPECT_EQ(found, NSMakeRange(8, 3));
    auto expression = NSRegularExpression::regularExpressionWithPatternOptionsError("v\\w+$"_ns, 0, nullptr);
    auto matches = expression->matchesInStringOptionsRange(s, 0, NSMakeRange(0, s->length()));
    ASSERT_EQ(matches->count(), 1u);
    EXPECT_EQ(cast<NSTextCheckingResult>(matches->objectAtIndex(0))->range(), found);
    EXPECT_EQ(s->substringWithRange(found)->str(), "val");
    auto m = NSMutableString::string();
    m->appendFormat("%s|%s", "\xFE", "ok");
    EXPECT_EQ(m->str(), r + "|ok");
    EXPECT_EQ(m->length(), 4u);
}

TEST(NSStringTest, PercentEncoding) {
    auto query = NSCharacterSet::URLQueryAllowedCharacterSet();
    EXPECT_EQ("a b&c=d/?\u00e9"_ns->stringByAddingPercentEncodingWithAllowedCharacters(query)->str(),
              "a%20b&c=d/?%C3%A9");
    EXPECT_EQ("100%"_ns->stringByAddingPercentEncodingWithAllowedCharacters(query)->str(), "100%25");
    EXPECT_EQ(
        "a/b;c"_ns->stringByAddingPercentEncodingWithAllowedCharacters(NSCharacterSet::URLPathAllowedCharacterSet())
            ->str(),
        "a/b%3Bc");
    EXPECT_EQ(
        "x:y@z"_ns->stringByAddingPercentEncodingWithAllowedCharacters(NSCharacterSet::URLHostAllowedCharacterSet())
            ->str(),
        "x:y%40z");
    EXPECT_EQ("\U0001F600"_ns
                  ->stringByAddingPercentEncodingWithAllowedCharacters(NSCharacterSet::URLFragmentAllowedCharacterSet())
                  ->str(),
              "%F0%9F%98%80");
    // Non-ASCII members of the allowed set stay as they are.
    EXPECT_EQ(
        "\u00e9 x"_ns->stringByAddingPercentEncodingWithAllowedCharacters(NSCharacterSet::alphanumericCharacterSet())
            ->str(),
        "\u00e9%20x");

    EXPECT_EQ("a%20b%C3%A9"_ns->stringByRemovingPercentEncoding()->str(), "a b\u00e9");
    EXPECT_EQ("%2f%2F"_ns->stringByRemovingPercentEncoding()->str(), "//");
    EXPECT_FALSE("bad%2"_ns->stringByRemovingPercentEncoding());
    EXPECT_FALSE("bad%zz"_ns->stringByRemovingPercentEncoding());
    EXPECT_FALSE("%"_ns->stringByRemovingPercentEncoding());
    EXPECT_FALSE("%C3"_ns->stringByRemovingPercentEncoding()); // not UTF-8
}

TEST(NSStringTest, CharacterSets) {
    auto ws = NSCharacterSet::whitespaceCharacterSet();
    EXPECT_TRUE(ws->characterIsMember(u' '));
    EXPECT_TRUE(ws->characterIsMember(u'\t'));
    EXPECT_FALSE(ws->characterIsMember(u'\n'));
    EXPECT_TRUE(NSCharacterSet::whitespaceAndNewlineCharacterSet()->characterIsMember(u'\n'));
    EXPECT_TRUE(NSCharacterSet::whitespaceAndNewlineCharacterSet()->characterIsMember(0x2028));
    EXPECT_TRUE(NSCharacterSet::alphanumericCharacterSet()->characterIsMember(u'\u00e9'));
    EXPECT_TRUE(NSCharacterSet::alphanumericCharacterSet()->characterIsMember(u'7'));
    EXPECT_FALSE(NSCharacterSet::alphanumericCharacterSet()->characterIsMember(u'-'));
    EXPECT_TRUE(NSCharacterSet::decimalDigitCharacterSet()->longCharacterIsMember(U'\u0663')); // Arabic-Indic 3

    auto custom = NSCharacterSet::characterSetWithCharactersInString("ab\U0001F600"_ns);
    EXPECT_TRUE(custom->characterIsMember(u'a'));
    EXPECT_TRUE(custom->longCharacterIsMember(U'\U0001F600'));
    EXPECT_FALSE(custom->characterIsMember(u'c'));
    auto inverted = custom->invertedSet();
    EXPECT_FALSE(inverted->characterIsMember(u'a'));
    EXPECT_TRUE(inverted->characterIsMember(u'c'));
    EXPECT_TRUE(inverted->longCharacterIsMember(0x10FFFF));
    EXPECT_TRUE(inverted->invertedSet()->isEqual(custom));

    auto query = NSCharacterSet::URLQueryAllowedCharacterSet();
    for (char c : std::string("-._~!$&'()*+,;=:@/?azAZ09")) {
        EXPECT_TRUE(query->characterIsMember(static_cast<unichar>(c))) << c;
    }
    for (char c : std::string(" \"#%<>[\\]^`{|}")) {
        EXPECT_FALSE(query->characterIsMember(static_cast<unichar>(c))) << c;
    }

    auto mutableSet = cast<NSMutableCharacterSet>(query->mutableCopy());
    mutableSet->removeCharactersInString(":#[]@!$&'()*+,;="_ns);
    EXPECT_EQ("a=b&c d?e/f"_ns->stringByAddingPercentEncodingWithAllowedCharacters(mutableSet)->str(),
              "a%3Db%26c%20d?e/f");
    EXPECT_TRUE(query->characterIsMember(u'&')); // the shared set is untouched
}

TEST(NSStringTest, TrimmingAndSplittingBySets) {
    auto ws = NSCharacterSet::whitespaceAndNewlineCharacterSet();
    EXPECT_EQ(" \t hi there \n"_ns->stringByTrimmingCharactersInSet(ws)->str(), "hi there");
    EXPECT_EQ("   "_ns->stringByTrimmingCharactersInSet(ws)->str(), "");
    EXPECT_EQ("\u3000x\u3000"_ns->stringByTrimmingCharactersInSet(ws)->str(), "x"); // ideographic space
    EXPECT_EQ("xxabcxx"_ns->stringByTrimmingCharactersInSet(NSCharacterSet::characterSetWithCharactersInString("x"_ns))
                  ->str(),
              "abc");
    EXPECT_EQ(strings("a,b;;c"_ns->componentsSeparatedByCharactersInSet(
                  NSCharacterSet::characterSetWithCharactersInString(",;"_ns))),
              (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ("\U0001F600ab1"_ns->rangeOfCharacterFromSet(NSCharacterSet::decimalDigitCharacterSet()),
              NSMakeRange(4, 1));
    EXPECT_EQ("abc"_ns->rangeOfCharacterFromSet(NSCharacterSet::decimalDigitCharacterSet()).location,
              static_cast<NSUInteger>(NSNotFound));
}

TEST(NSStringTest, Padding) {
    EXPECT_EQ("ab"_ns->stringByPaddingToLengthWithStringStartingAtIndex(5, "xyz"_ns, 1)->str(), "abyzx");
    EXPECT_EQ("abcdef"_ns->stringByPaddingToLengthWithStringStartingAtIndex(3, "."_ns, 0)->str(), "abc");
    EXPECT_THROW("ab"_ns->stringByPaddingToLengthWithStringStartingAtIndex(5, "xyz"_ns, 3), NSException);
}

TEST(NSStringTest, CaseMappingCoversUnicode) {
    EXPECT_EQ("\u00c9COLE Stra\u00dfe"_ns->lowercaseString()->str(), "\u00e9cole stra\u00dfe");
    EXPECT_EQ("stra\u00dfe"_ns->uppercaseString()->str(), "STRASSE");
    EXPECT_EQ("hello wORLD-\u00e9t\u00c9"_ns->capitalizedString()->str(), "Hello World-\u00c9t\u00e9");
    EXPECT_EQ("abc"_ns->uppercaseString()->str(), "ABC");
}
