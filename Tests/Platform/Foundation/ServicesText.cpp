#include <Dispatch/Clock.h>
#include <Foundation/NSDateFormatter.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNumberFormatter.h>
#include <Foundation/NSProcessInfo.h>
#include <Foundation/NSRegularExpression.h>
#include <Foundation/NSUUID.h>
#include <Foundation/NSXMLParser.h>
#include <Runtime/ClassBuilder.h>
#include <Support/LogCapture.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <unistd.h>

// MARK: - Regular expressions

TEST(ServicesRegularExpression, MatchesReportUTF16RangesAndGroups) {
    Ref<NSError> error;
    auto re = NSRegularExpression::regularExpressionWithPatternOptionsError("(\\d+)-(x)?"_ns, 0, &error);
    ASSERT_TRUE(re) << NSDescription(error)->str();
    EXPECT_EQ(re->numberOfCaptureGroups(), 2u);
    auto text = "\U0001F600 12-x 7-"_ns; // the emoji is two UTF-16 units
    auto matches = re->matchesInStringOptionsRange(text, 0, NSMakeRange(0, text->length()));
    ASSERT_EQ(matches->count(), 2u);
    auto first = cast<NSTextCheckingResult>(matches->objectAtIndex(0));
    EXPECT_EQ(first->range(), NSMakeRange(3, 4));
    EXPECT_EQ(first->rangeAtIndex(1), NSMakeRange(3, 2));
    EXPECT_EQ(first->rangeAtIndex(2), NSMakeRange(6, 1));
    auto second = cast<NSTextCheckingResult>(matches->objectAtIndex(1));
    EXPECT_EQ(second->rangeAtIndex(2).location, static_cast<NSUInteger>(NSNotFound)) << "the group took no part";
    EXPECT_EQ(text->substringWithRange(second->range())->str(), "7-");
    EXPECT_THROW(first->rangeAtIndex(3), NSException);

    EXPECT_EQ(re->numberOfMatchesInStringOptionsRange(text, 0, NSMakeRange(0, 7)), 1u) << "the range limits the search";
    EXPECT_EQ(re->rangeOfFirstMatchInStringOptionsRange("none"_ns, 0, NSMakeRange(0, 4)).location,
              static_cast<NSUInteger>(NSNotFound));
    EXPECT_THROW(re->matchesInStringOptionsRange(text, 0, NSMakeRange(2, 100)), NSException);
}

TEST(ServicesRegularExpression, OptionsTemplatesAndBadPatterns) {
    auto caseless = NSRegularExpression::regularExpressionWithPatternOptionsError(
        "^iphone(\\d+),(\\d+)$"_ns, NSRegularExpressionCaseInsensitive, nullptr);
    ASSERT_TRUE(caseless);
    EXPECT_TRUE(caseless->firstMatchInStringOptionsRange("IPhone10,3"_ns, 0, NSMakeRange(0, 10)));
    EXPECT_EQ(caseless
                  ->stringByReplacingMatchesInStringOptionsRangeWithTemplate("iPhone10,3"_ns, 0, NSMakeRange(0, 10),
                                                                             "$1.$2 \\$"_ns)
                  ->str(),
              "10.3 $");

    auto words = NSRegularExpression::regularExpressionWithPatternOptionsError("o"_ns, 0, nullptr);
    EXPECT_EQ(
        words->stringByReplacingMatchesInStringOptionsRangeWithTemplate("foo boo"_ns, 0, NSMakeRange(0, 3), "0"_ns)
            ->str(),
        "f00 boo");
    EXPECT_EQ(words->numberOfMatchesInStringOptionsRange("ooxo"_ns, NSMatchingAnchored, NSMakeRange(0, 4)), 2u);

    Ref<NSError> error;
    EXPECT_FALSE(NSRegularExpression::regularExpressionWithPatternOptionsError("(unclosed"_ns, 0, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSFormattingError);
    auto literal = NSRegularExpression::escapedPatternForString("a.b*c"_ns);
    auto exact = NSRegularExpression::regularExpressionWithPatternOptionsError(literal, 0, nullptr);
    EXPECT_EQ(exact->numberOfMatchesInStringOptionsRange("a.b*c axbbc"_ns, 0, NSMakeRange(0, 11)), 1u);
}

// MARK: - Formatters

TEST(ServicesDateFormatter, FormatsAndParsesInTheFixedPOSIXForm) {
    auto formatter = make<NSDateFormatter>();
    formatter->setLocale(NSLocale::localeWithLocaleIdentifier("en_US_POSIX"_ns));
    formatter->setTimeZone(NSTimeZone::timeZoneWithName("UTC"_ns));
    formatter->setDateFormat("yyyy-MM-dd HH:mm:ss.SSS Z"_ns);
    // 2024-02-29 13:05:09.250 UTC, a Thursday.
    auto date = NSDate::dateWithTimeIntervalSince1970(1709211909.25);
    EXPECT_EQ(formatter->stringFromDate(date)->str(), "2024-02-29 13:05:09.250 +0000");
    auto back = formatter->dateFromString("2024-02-29 13:05:09.250 +0000"_ns);
    ASSERT_TRUE(back);
    EXPECT_DOUBLE_EQ(back->timeIntervalSince1970(), 1709211909.25);

    formatter->setDateFormat("EEE, dd MMM yyyy hh:mm a"_ns);
    EXPECT_EQ(formatter->stringFromDate(date)->str(), "Thu, 29 Feb 2024 01:05 PM");
    formatter->setDateFormat("EEEE d MMMM ''yy 'at' H"_ns);
    EXPECT_EQ(formatter->stringFromDate(date)->str(), "Thursday 29 February '24 at 13");

    formatter->setTimeZone(NSTimeZone::timeZoneWithName("GMT+8"_ns));
    formatter->setDateFormat("yyyyMMddHHmmss ZZZZZ"_ns);
    EXPECT_EQ(formatter->stringFromDate(date)->str(), "20240229210509 +08:00");
    auto packed = formatter->dateFromString("20240229210509 +08:00"_ns);
    ASSERT_TRUE(packed);
    EXPECT_DOUBLE_EQ(packed->timeIntervalSince1970(), 1709211909.0);

    formatter->setDateFormat("yyyy-MM-dd'T'HH:mm:ssXXX"_ns);
    auto zulu = formatter->dateFromString("2024-02-29T13:05:09Z"_ns);
    ASSERT_TRUE(zulu);
    EXPECT_DOUBLE_EQ(zulu->timeIntervalSince1970(), 1709211909.0);
    auto noZone = formatter->dateFromString("2024-02-29T21:05:09+08:00"_ns);
    ASSERT_TRUE(noZone);
    EXPECT_DOUBLE_EQ(noZone->timeIntervalSince1970(), 1709211909.0);
}

TEST(ServicesDateFormatter, TextThatDoesNotMatchGivesNil) {
    auto formatter = make<NSDateFormatter>();
    formatter->setTimeZone(NSTimeZone::timeZoneForSecondsFromGMT(0));
    formatter->setDateFormat("yyyy-MM-dd"_ns);
    EXPECT_FALSE(formatter->dateFromString("2023-02-29"_ns)) << "not a leap year";
    EXPECT_FALSE(formatter->dateFromString("2024-13-01"_ns));
    EXPECT_FALSE(formatter->dateFromString("2024-01-01 extra"_ns));
    EXPECT_FALSE(formatter->dateFromString("2024/01/01"_ns));
    EXPECT_FALSE(formatter->dateFromString(""_ns));
    EXPECT_FALSE(formatter->dateFromString(nullptr));
    auto day = formatter->dateFromString("2001-01-02"_ns);
    ASSERT_TRUE(day);
    EXPECT_DOUBLE_EQ(day->timeIntervalSinceReferenceDate(), 86400.0);

    formatter->setDateFormat("HH:mm"_ns);
    auto time = formatter->dateFromString("12:30"_ns);
    ASSERT_TRUE(time);
    EXPECT_EQ(formatter->stringFromDate(time)->str(), "12:30");
    formatter->setDateFormat("yyyy"_ns);
    EXPECT_EQ(formatter->stringFromDate(time)->str(), "2000") << "missing fields come from 2000-01-01";
}

TEST(ServicesDateFormatter, TimeZonesByNameAndOffset) {
    EXPECT_EQ(NSTimeZone::timeZoneWithName("GMT+8"_ns)->secondsFromGMT(), 8 * 3600);
    EXPECT_EQ(NSTimeZone::timeZoneWithName("GMT-05:30"_ns)->secondsFromGMT(), -(5 * 3600 + 1800));
    EXPECT_EQ(NSTimeZone::timeZoneWithName("UTC"_ns)->secondsFromGMT(), 0);
    EXPECT_FALSE(NSTimeZone::timeZoneWithName("Not/AZone"_ns));
    EXPECT_FALSE(NSTimeZone::timeZoneWithName("GMT+99"_ns));
    auto shanghai = NSTimeZone::timeZoneWithName("Asia/Shanghai"_ns);
    ASSERT_TRUE(shanghai);
    EXPECT_EQ(shanghai->secondsFromGMTForDate(NSDate::dateWithTimeIntervalSince1970(1709211909)), 8 * 3600);
    auto berlin = NSTimeZone::timeZoneWithName("Europe/Berlin"_ns);
    ASSERT_TRUE(berlin);
    EXPECT_EQ(berlin->secondsFromGMTForDate(NSDate::dateWithTimeIntervalSince1970(1719792000)), 2 * 3600) << "summer";
    EXPECT_TRUE(NSTimeZone::localTimeZone());
}

TEST(ServicesNumberFormatter, StylesDigitsAndParsing) {
    auto formatter = make<NSNumberFormatter>();
    EXPECT_EQ(formatter->stringFromNumber(box(3.7))->str(), "4") << "no style: no fraction digits";
    EXPECT_EQ(formatter->stringFromNumber(box(1234567))->str(), "1234567");

    formatter->setNumberStyle(NSNumberFormatterDecimalStyle);
    EXPECT_EQ(formatter->stringFromNumber(box(1234.5678))->str(), "1,234.568");
    EXPECT_EQ(formatter->stringFromNumber(box(-1234567))->str(), "-1,234,567");
    EXPECT_EQ(formatter->stringFromNumber(box(0.5))->str(), "0.5");
    formatter->setMinimumFractionDigits(2);
    formatter->setMaximumFractionDigits(2);
    EXPECT_EQ(formatter->stringFromNumber(box(2.0))->str(), "2.00");
    EXPECT_EQ(formatter->stringFromNumber(box(-0.001))->str(), "0.00");
    formatter->setUsesGroupingSeparator(false);
    EXPECT_EQ(formatter->stringFromNumber(box(98765.4321))->str(), "98765.43");

    auto parsed = formatter->numberFromString("1,234.5"_ns);
    EXPECT_FALSE(parsed) << "grouping is off";
    formatter->setUsesGroupingSeparator(true);
    parsed = formatter->numberFromString("1,234.5"_ns);
    ASSERT_TRUE(parsed);
    EXPECT_DOUBLE_EQ(parsed->doubleValue(), 1234.5);
    auto whole = formatter->numberFromString("-42"_ns);
    ASSERT_TRUE(whole);
    EXPECT_FALSE(whole->isFloatingPoint());
    EXPECT_EQ(whole->longLongValue(), -42);
    EXPECT_FALSE(formatter->numberFromString("12abc"_ns));
    EXPECT_FALSE(formatter->numberFromString(""_ns));

    formatter->setNumberStyle(NSNumberFormatterPercentStyle);
    EXPECT_EQ(formatter->stringFromNumber(box(0.256))->str(), "26%");
    auto percent = formatter->numberFromString("50%"_ns);
    ASSERT_TRUE(percent);
    EXPECT_DOUBLE_EQ(percent->doubleValue(), 0.5);
    EXPECT_FALSE(formatter->stringFromNumber(nullptr));
}

// MARK: - Identity of the process

TEST(ServicesProcess, UUIDsAreRandomAndRoundTripThroughText) {
    auto a = NSUUID::UUID(), b = NSUUID::UUID();
    EXPECT_FALSE(a->isEqual(b));
    auto text = a->UUIDString();
    ASSERT_EQ(text->length(), 36u);
    EXPECT_EQ(text->str()[14], '4') << "version 4";
    EXPECT_TRUE(text->isEqual(text->uppercaseString()));
    auto back = NSUUID::UUIDWithUUIDString(text->lowercaseString());
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(a));
    EXPECT_EQ(back->hash(), a->hash());
    EXPECT_FALSE(NSUUID::UUIDWithUUIDString("E621E1F8-C36C-495A-93FC-0C247A3E6E5"_ns));
    EXPECT_FALSE(NSUUID::UUIDWithUUIDString("E621E1F8xC36C-495A-93FC-0C247A3E6E5F"_ns));
    EXPECT_FALSE(NSUUID::UUIDWithUUIDString("G621E1F8-C36C-495A-93FC-0C247A3E6E5F"_ns));
}

TEST(ServicesProcess, ProcessInfoDescribesThisProcess) {
    auto info = NSProcessInfo::processInfo();
    ::setenv("DX_SERVICES_TEST_VARIABLE", "value=with=equals", 1);
    auto env = info->environment();
    EXPECT_EQ(cast<NSString>(env->objectForKey("DX_SERVICES_TEST_VARIABLE"_ns))->str(), "value=with=equals");
    ::unsetenv("DX_SERVICES_TEST_VARIABLE");
    EXPECT_GE(info->arguments()->count(), 1u);
    EXPECT_TRUE(info->processName()->containsString("Tests"_ns) || info->processName()->containsString("test"_ns))
        << info->processName()->str();
    EXPECT_EQ(info->processIdentifier(), ::getpid());
    std::set<std::string> unique;
    for (int i = 0; i < 100; ++i) {
        unique.insert(info->globallyUniqueString()->str());
    }
    EXPECT_EQ(unique.size(), 100u);
    EXPECT_GT(info->physicalMemory(), 0u);
    EXPECT_GE(info->activeProcessorCount(), 1u);
    EXPECT_GE(info->processorCount(), info->activeProcessorCount());
    EXPECT_GE(info->systemUptime(), 0.0);
    EXPECT_TRUE(info->operatingSystemVersionString()->hasPrefix("Linux"_ns));
}

TEST(ServicesProcess, NSLogFormatsLikeThePlatform) {
    LogCapture capture;
    NSLog("%@ viewDidLoad.", "DXRootViewController"_ns);
    NSLog("profilekey[%@].state = %d\n", "BATTERY"_ns, 1);
    auto lines = capture.finish();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "DXRootViewController viewDidLoad.");
    EXPECT_EQ(lines[1], "profilekey[BATTERY].state = 1");
}

// Whoever removes a hook frees what it points at: removing it must wait for calls of it that other
// threads are still making, and a hook may replace the hook (or log) without waiting for itself.
TEST(ServicesProcess, NSLogHookRemovalWaitsForItsCallsInFlight) {
    std::mutex lock;
    std::condition_variable changed;
    bool entered = false, removed = false;
    std::vector<std::string> order;
    auto previous = NSLogSetHook([&](const std::string&) {
        std::unique_lock guard(lock);
        entered = true;
        changed.notify_all();
        // The removal must not return while this call runs: it gets a fair while to do so wrongly.
        changed.wait_for(guard, std::chrono::milliseconds(200), [&] { return removed; });
        order.push_back("hook returns");
    });
    std::thread logger([] { NSLog("from another thread"); });
    {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return entered; });
    }
    std::thread remover([&] {
        NSLogSetHook(nullptr);
        std::lock_guard guard(lock);
        removed = true;
        order.push_back("removal returns");
        changed.notify_all();
    });
    remover.join();
    logger.join();
    EXPECT_EQ(order, (std::vector<std::string>{"hook returns", "removal returns"}));

    std::vector<std::string> lines;
    NSLogSetHook([&](const std::string& line) {
        lines.push_back(line);
        if (line == "replace") {
            NSLogSetHook([&](const std::string& next) { lines.push_back("second: " + next); });
            NSLog("inside");
        }
    });
    NSLog("replace");
    NSLog("after");
    NSLogSetHook(previous);
    EXPECT_EQ(lines, (std::vector<std::string>{"replace", "second: inside", "second: after"}));
}

// The log in a file: whole stamped lines appended to what the file held, nothing on standard error;
// an empty path brings the lines back to standard error.
TEST(ServicesProcess, NSLogWritesToItsFileAndBackToStandardError) {
    auto path = NSSandbox::temporaryPath()->str() + "/app.log";
    std::ofstream(path) << "kept\n";
    std::string error;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(NSLogSetFile(path, &error)) << error;
    EXPECT_EQ(NSLogFile(), path);
    NSLog("%@ viewDidLoad.", "DXRootViewController"_ns);
    NSLog("two\nlines");
    ASSERT_TRUE(NSLogSetFile(""));
    EXPECT_EQ(NSLogFile(), "");
    NSLog("back on the terminal");
    auto terminal = testing::internal::GetCapturedStderr();

    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "kept");
    EXPECT_NE(lines[1].find(" Celvix["), std::string::npos) << lines[1];
    EXPECT_TRUE(lines[1].ends_with("] DXRootViewController viewDidLoad.")) << lines[1];
    EXPECT_TRUE(lines[2].ends_with("] two")) << lines[2];
    EXPECT_EQ(lines[3], "lines");
    EXPECT_EQ(terminal.find("viewDidLoad"), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("] back on the terminal\n"), std::string::npos) << terminal;
}

TEST(ServicesProcess, NSLogKeepsItsPlaceWhenTheFileCannotBeOpened) {
    std::string error;
    EXPECT_FALSE(NSLogSetFile(NSSandbox::temporaryPath()->str() + "/no such folder/app.log", &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_EQ(NSLogFile(), "");
    testing::internal::CaptureStderr();
    NSLog("still here");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("] still here"), std::string::npos);
}

// The stamp reads the platform's clock, as dates do: on virtual time a line tells when in the run it
// was written, the same in every run, not how fast the machine went.
TEST(ServicesProcess, NSLogStampsLinesWithThePlatformClock) {
    const double start = DispatchClock::kVirtualStartDate + 1.25;
    DispatchClock::useVirtualTime(start);
    testing::internal::CaptureStderr();
    NSLog("stamped");
    auto terminal = testing::internal::GetCapturedStderr();
    DispatchClock::useRealTime();
    std::time_t seconds = static_cast<std::time_t>(start + 978307200.0);
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S.250 Celvix[", &local);
    EXPECT_EQ(terminal.rfind(stamp, 0), 0u) << terminal;
    EXPECT_NE(terminal.find("] stamped\n"), std::string::npos) << terminal;
}

// A file that stops taking lines (a full disk) loses none: the line and the rest of the log go to
// standard error, after a line that says why.
TEST(ServicesProcess, NSLogFallsBackToStandardErrorWhenTheFileFails) {
    if (::access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no /dev/full here";
    }
    ASSERT_TRUE(NSLogSetFile("/dev/full"));
    testing::internal::CaptureStderr();
    NSLog("the first line the disk refuses");
    NSLog("and the next");
    auto terminal = testing::internal::GetCapturedStderr();
    EXPECT_EQ(NSLogFile(), "");
    auto note = terminal.find("NSLog: cannot write to /dev/full (No space left on device)");
    auto first = terminal.find("] the first line the disk refuses\n");
    ASSERT_NE(note, std::string::npos) << terminal;
    ASSERT_NE(first, std::string::npos) << terminal;
    EXPECT_LT(note, first);
    EXPECT_NE(terminal.find("] and the next\n"), std::string::npos) << terminal;
    EXPECT_EQ(terminal.find("cannot write", first), std::string::npos) << "said once";
}

// MARK: - XML

// Records the parser's delegate messages.
class DXXMLTestRecorder : public NSObject {
    NS_OBJECT(DXXMLTestRecorder, NSObject)
public:
    void didStartDocument(const Ref<NSXMLParser>&) { events.push_back("start document"); }
    void didStart(const Ref<NSXMLParser>& parser, const Ref<NSString>& name, const Ref<NSString>& uri,
                  const Ref<NSString>& qName, const Ref<NSDictionary>& attributes) {
        std::string e = "<" + name->str();
        for (const auto& [k, v] : *attributes) {
            e += " " + cast<NSString>(k)->str() + "=" + cast<NSString>(v)->str();
        }
        events.push_back(e + ">");
        if (abortAt == name->str()) {
            parser->abortParsing();
        }
    }
    void found(const Ref<NSXMLParser>&, const Ref<NSString>& text) { events.push_back("'" + text->str() + "'"); }
    void didEnd(const Ref<NSXMLParser>&, const Ref<NSString>& name, const Ref<NSString>&, const Ref<NSString>&) {
        events.push_back("</" + name->str() + ">");
    }
    void didEndDocument(const Ref<NSXMLParser>&) { events.push_back("end document"); }
    void error(const Ref<NSXMLParser>&, const Ref<NSError>& error) { errors.push_back(error); }

    std::vector<std::string> events;
    std::vector<Ref<NSError>> errors;
    std::string abortAt;
};
NS_IMPLEMENT_CLASS(DXXMLTestRecorder, NSObject) {
    b.method("parserDidStartDocument:", &DXXMLTestRecorder::didStartDocument);
    b.method("parser:didStartElement:namespaceURI:qualifiedName:attributes:", &DXXMLTestRecorder::didStart);
    b.method("parser:foundCharacters:", &DXXMLTestRecorder::found);
    b.method("parser:didEndElement:namespaceURI:qualifiedName:", &DXXMLTestRecorder::didEnd);
    b.method("parserDidEndDocument:", &DXXMLTestRecorder::didEndDocument);
    b.method("parser:parseErrorOccurred:", &DXXMLTestRecorder::error);
}

TEST(ServicesXMLParser, TheDelegateHearsEveryElementAndText) {
    auto parser = make<NSXMLParser>(NSData::dataWithString(
        "<?xml version=\"1.0\"?><station id=\"7\"><test key=\"A\">on &amp; off</test><![CDATA[<raw>]]></station>"));
    auto recorder = make<DXXMLTestRecorder>();
    parser->setDelegate(recorder);
    EXPECT_TRUE(parser->parse());
    EXPECT_FALSE(parser->parserError());
    EXPECT_EQ(recorder->events,
              (std::vector<std::string>{"start document", "<station id=7>", "<test key=A>", "'on & off'", "</test>",
                                        "'<raw>'", "</station>", "end document"}));
}

TEST(ServicesXMLParser, MalformedDocumentsReportAnError) {
    auto parser = make<NSXMLParser>(NSData::dataWithString("<a><b></a>"));
    auto recorder = make<DXXMLTestRecorder>();
    parser->setDelegate(recorder);
    EXPECT_FALSE(parser->parse());
    ASSERT_TRUE(parser->parserError());
    EXPECT_TRUE(parser->parserError()->domain()->isEqualToString(NSXMLParserErrorDomain()));
    ASSERT_EQ(recorder->errors.size(), 1u);
    EXPECT_EQ(parser->lineNumber(), 1);
    EXPECT_EQ(std::count(recorder->events.begin(), recorder->events.end(), "end document"), 0);
}

TEST(ServicesXMLParser, ADocumentEndsWithItsRootElement) {
    for (const auto& text : {std::string("<a>1</a>\0", 9), std::string("<a>1\0</a>", 9), std::string("<a/><b/>")}) {
        auto parser = make<NSXMLParser>(NSData::dataWithString(text));
        EXPECT_FALSE(parser->parse()) << testing::PrintToString(text);
        EXPECT_TRUE(parser->parserError());
    }
    EXPECT_TRUE(make<NSXMLParser>(NSData::dataWithString("<a>1</a>\n "))->parse());
}

TEST(ServicesXMLParser, EntitiesAndExternalFilesAreRefused) {
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 "
                         "\"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">]><lolz>&lol2;</lolz>";
    auto parser = make<NSXMLParser>(NSData::dataWithString(laughs));
    EXPECT_FALSE(parser->parse());
    ASSERT_TRUE(parser->parserError());
    EXPECT_EQ(parser->parserError()->code(), NSXMLParserEntityDeclarationRefusedError);

    std::string external = "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY secret SYSTEM \"file:///etc/passwd\">]>"
                           "<x>&secret;</x>";
    auto recorder = make<DXXMLTestRecorder>();
    parser = make<NSXMLParser>(NSData::dataWithString(external));
    parser->setDelegate(recorder);
    EXPECT_FALSE(parser->parse());
    for (const auto& e : recorder->events) {
        EXPECT_EQ(e.find("root:"), std::string::npos);
    }
    // A document type that only names an external DTD is fine: the DTD is not read.
    parser = make<NSXMLParser>(NSData::dataWithString(
        "<?xml version=\"1.0\"?><!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://x/y.dtd\"><plist/>"));
    EXPECT_TRUE(parser->parse());
}

TEST(ServicesXMLParser, TheDelegateCanAbort) {
    auto parser = make<NSXMLParser>(NSData::dataWithString("<a><b/><c/></a>"));
    auto recorder = make<DXXMLTestRecorder>();
    recorder->abortAt = "b";
    parser->setDelegate(recorder);
    EXPECT_FALSE(parser->parse());
    ASSERT_TRUE(parser->parserError());
    EXPECT_EQ(parser->parserError()->code(), NSXMLParserDelegateAbortedParseError);
    EXPECT_EQ(std::count(recorder->events.begin(), recorder->events.end(), "<c>"), 0);
}
