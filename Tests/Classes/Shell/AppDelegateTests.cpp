// The launch pieces that stand without the screens: the URL entry, the language table and step, and
// the crash record.
#include "../Core/CoreTestCase.h"

#include <Categorys/NSBundleEx.h>
#include <Shell/AppDelegate.h>
#include <Shell/DXCrashRecord.h>
#include <Shell/DXURLSchemeEntry.h>

#include <Foundation/NSNotificationCenter.h>

#include <exception>

namespace {

class URLEntryTest : public CoreTestCase {
protected:
    void SetUp() override {
        CoreTestCase::SetUp();
        observer_ = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
            kReceiveimeiNotification(), nullptr, nullptr, [this](const Ref<NSNotification>&) { ++posted_; });
    }
    void TearDown() override {
        NSNotificationCenter::defaultCenter()->removeObserver(observer_);
        CoreTestCase::TearDown();
    }
    void enter(const std::string& text) { make<AppDelegate>()->parseParamAndNotify(NSString::from(text)); }
    static std::string stored(const char* key) {
        auto value = NSUserDefaults::standardUserDefaults()->objectForKey(NSString::from(key));
        return value ? cast<NSString>(value)->str() : "<absent>";
    }

    id observer_;
    int posted_ = 0;
};

} // namespace

TEST_F(URLEntryTest, MeidStandsInForAnEmptyImei) {
    enter("enoxm://imei=&meid=M1&serial=S1");
    EXPECT_EQ(stored("uniqueid"), "M1");
    EXPECT_EQ(stored("meid"), "M1");
    EXPECT_EQ(stored("serial"), "S1");
    EXPECT_EQ(stored("product"), "<absent>");
    EXPECT_EQ(posted_, 1);
}

TEST_F(URLEntryTest, ALinkWithoutSerialKeepsTheKeyEmpty) {
    NSUserDefaults::standardUserDefaults()->setObjectForKey("OLD"_ns, "serial"_ns);
    NSUserDefaults::standardUserDefaults()->setObjectForKey("P"_ns, "product"_ns);
    enter("enoxm://imei=I9&udid=U");
    EXPECT_EQ(stored("uniqueid"), "I9");
    EXPECT_EQ(stored("serial"), "");
    EXPECT_EQ(stored("product"), "<absent>");
    EXPECT_EQ(stored("meid"), "<absent>");
    EXPECT_EQ(stored("udid"), "<absent>");
}

TEST_F(URLEntryTest, BarePrefixChangesNothingAndNoIdentifierDoesNotPassTheGate) {
    enter("enoxm://");
    EXPECT_EQ(posted_, 0);
    EXPECT_EQ(stored("uniqueid"), "<absent>");
    enter("enoxm://product=iPhone");
    EXPECT_EQ(posted_, 1);
    EXPECT_EQ(stored("uniqueid"), "");
    EXPECT_FALSE(DXHasDeviceIdentifier());
    enter("enoxm://imei=35");
    EXPECT_TRUE(DXHasDeviceIdentifier());
}

TEST_F(URLEntryTest, PrefixIsStrippedOnlyAtTheStartAndValuesAreDecoded) {
    enter("enoxm://imei=A%20B&serial=xenoxm://y&product=a=b=c");
    EXPECT_EQ(stored("uniqueid"), "A B");
    EXPECT_EQ(stored("serial"), "xenoxm://y");
    EXPECT_EQ(stored("product"), "c");
}

TEST_F(URLEntryTest, MalformedLinksNeverCrash) {
    for (const char* text : {"enoxm://&&&", "enoxm://=", "enoxm://imei=%", "enoxm://imei=%zz&meid=M",
                             "enoxm://%FF%FE=1", "no-scheme", "enoxm://imei", "enoxm://enoxm://imei=1"}) {
        enter(text);
    }
    auto parameters = DXURLSchemeParameters("enoxm://imei=%zz&meid=M"_ns);
    ASSERT_TRUE(parameters);
    EXPECT_FALSE(parameters->objectForKey("imei"_ns)); // not valid percent-encoding: left out
    EXPECT_TRUE(parameters->objectForKey("meid"_ns));
    EXPECT_TRUE(DXURLSchemeParameters("enoxm://enoxm://imei=1"_ns)->objectForKey("enoxm://imei"_ns));
    EXPECT_FALSE(DXURLSchemeParameters(nullptr));
}

TEST_F(URLEntryTest, BothURLEntriesAnswerYes) {
    auto delegate = make<AppDelegate>();
    auto url = NSURL::URLWithString("enoxm://imei=77"_ns);
    EXPECT_TRUE(delegate->applicationOpenURLOptions(nullptr, url, nullptr));
    EXPECT_TRUE(delegate->applicationHandleOpenURL(nullptr, url));
    EXPECT_EQ(stored("uniqueid"), "77");
    EXPECT_EQ(posted_, 2);
}

namespace {

class LanguageTest : public CoreTestCase {
protected:
    void profileWithLanguage(const std::string& language) {
        writeText(documentsFile("quorvane_config.txt"),
                  R"({"language": ")" + language + R"(", "profile": [{"profile_key": "X"}]})");
    }
    static std::string stored() {
        auto value = NSUserDefaults::standardUserDefaults()->stringForKey("profile_language"_ns);
        return value ? value->str() : "<absent>";
    }
};

} // namespace

TEST_F(LanguageTest, TableIsExactlyTheSixRows) {
    auto table = AppDelegate::languages();
    EXPECT_EQ(table->count(), 6u);
    EXPECT_EQ(cast<NSString>(table->objectForKey("zh-rCN"_ns))->str(), "zh-Hans");
    EXPECT_EQ(cast<NSString>(table->objectForKey("zh_rTW"_ns))->str(), "zh-Hant");
    EXPECT_EQ(cast<NSString>(table->objectForKey("en_US"_ns))->str(), "en");
}

TEST_F(LanguageTest, OtherSpellingsOfTheTablesLanguagesAreMapped) {
    auto folder = [](const char* value) {
        auto f = AppDelegate::languageFolderForProfileLanguage(NSString::from(value));
        return f ? f->str() : "<none>";
    };
    EXPECT_EQ(folder("zh_rCN"), "zh-Hans");
    EXPECT_EQ(folder("zh-rTW"), "zh-Hant");
    EXPECT_EQ(folder("en-US"), "en");
    EXPECT_EQ(folder("EN_us"), "en");
    EXPECT_EQ(folder("zh-Hans"), "zh-Hans");
    EXPECT_EQ(folder("en"), "en");
    EXPECT_EQ(folder("klingon"), "<none>");
}

TEST_F(LanguageTest, ProfileLanguageIsStoredAndSwitched) {
    profileWithLanguage("en_US");
    make<AppDelegate>()->changeLanguage();
    EXPECT_EQ(stored(), "en");
    EXPECT_TRUE(NSBundleEx::attachedLanguageBundle());
}

TEST_F(LanguageTest, DeviceUnknownAndNoProfile) {
    make<AppDelegate>()->changeLanguage();
    EXPECT_EQ(stored(), "<absent>");
    profileWithLanguage("device");
    make<AppDelegate>()->changeLanguage();
    EXPECT_EQ(stored(), "<absent>");
}

TEST_F(LanguageTest, UnknownLanguageClearsTheSwitch) {
    NSUserDefaults::standardUserDefaults()->setObjectForKey("es"_ns, "profile_language"_ns);
    profileWithLanguage("tlh");
    make<AppDelegate>()->changeLanguage();
    EXPECT_EQ(stored(), "<absent>");
    EXPECT_FALSE(NSBundleEx::attachedLanguageBundle());
}

TEST_F(CoreTestCase, CrashRecordHoldsTheExceptionAndIsReplacedByTheNext) {
    uncaughtExceptionHandler(NSException("NSRangeException", "index 3 beyond bounds"));
    auto record = cast<NSDictionary>(json(readText(DXCrashRecordPath())));
    ASSERT_TRUE(record);
    EXPECT_EQ(cast<NSString>(record->objectForKey("name"_ns))->str(), "NSRangeException");
    EXPECT_EQ(cast<NSString>(record->objectForKey("reason"_ns))->str(), "index 3 beyond bounds");
    EXPECT_TRUE(cast<NSArray>(record->objectForKey("callstack"_ns)));
    EXPECT_NE(readText(DXCrashRecordPath()).find('\n'), std::string::npos); // pretty-printed

    // A second crash replaces the record in place.
    EXPECT_TRUE(DXWriteCrashRecord("second"_ns, "X"_ns, nullptr));
    record = cast<NSDictionary>(json(readText(DXCrashRecordPath())));
    ASSERT_TRUE(record);
    EXPECT_EQ(cast<NSString>(record->objectForKey("reason"_ns))->str(), "second");
    EXPECT_EQ(cast<NSArray>(record->objectForKey("callstack"_ns))->count(), 0u);
}

TEST(CrashRecordDeathTest, AnUncaughtExceptionIsRecordedBeforeTheProcessEnds) {
    NSSandbox::useTemporaryRoot();
    auto path = DXCrashRecordPath();
    EXPECT_DEATH(
        {
            DXInstallUncaughtExceptionHandler();
            try {
                NSException::raise("NSInvalidArgumentException", "boom");
            } catch (...) {
                std::terminate(); // as if nothing had caught it
            }
        },
        "");
    auto data = NSData::dataWithContentsOfFile(path);
    ASSERT_TRUE(data);
    EXPECT_NE(data->stringValue().find("boom"), std::string::npos);
}
