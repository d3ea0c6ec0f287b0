#include <Foundation/NSBundle.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSURL.h>
#include <Support/LogCapture.h>

#include <gtest/gtest.h>

namespace {

// A bundle folder of its own in the sandbox, made the main bundle for the test.
class ServicesBundle : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = NSSandbox::temporaryPath()->str() + "/bundle-" + std::to_string(counter_++);
        file("en.lproj/Localizable.strings", "/* Greeting shown first. */\n"
                                             "\"HELLO\" = \"Hello\";\n"
                                             "// a line comment\n"
                                             "\"QUOTE\" = \"Say \\\"hi\\\"\\n\\tthen \\U00e9\\UD83D\\UDE00\";\n"
                                             "UNQUOTED_KEY = \"plain\";\n"
                                             "\"ONLY_EN\" = \"English only\";\n");
        file("en.lproj/Errors.strings", "\"E1\" = \"First error\";");
        file("fr.lproj/Localizable.strings", "\"HELLO\" = \"Bonjour\";");
        file("de.lproj/Localizable.strings",
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>HELLO</key>"
             "<string>Hallo</string></dict></plist>");
        std::string utf16 = "\xFF\xFE";
        for (char c : std::string("\"HELLO\" = \"Hola\";")) {
            utf16 += c;
            utf16 += '\0';
        }
        file("es.lproj/Localizable.strings", utf16);
        file("it.lproj/Localizable.strings", "\"HELLO\" = \"Ciao\"\n\"BROKEN\" = ;");
        file("sounds/beep.caf", "RIFF");
        file("ItemList.plist", "<plist><array/></plist>");
        file("fr.lproj/Only.txt", "fr");
        NSSandbox::setBundlePath(NSString::from(root_));
        NSBundle::setLanguageOverride(nullptr);
    }
    void TearDown() override {
        NSBundle::setLanguageOverride(nullptr);
        NSSandbox::setBundlePath(nullptr);
    }
    void file(const std::string& relative, const std::string& bytes) {
        std::string path = root_ + "/" + relative;
        ASSERT_TRUE(NSFileManager::defaultManager()->createDirectoryAtPathWithIntermediateDirectoriesAttributesError(
            NSString::from(path)->stringByDeletingLastPathComponent(), true, nullptr, nullptr));
        ASSERT_TRUE(ns_file::writeAtomically(path, bytes, nullptr));
    }
    static Ref<NSString> text(const char* key, const char* value = "", const char* table = nullptr) {
        return NSBundle::mainBundle()->localizedStringForKeyValueTable(NSString::from(key), NSString::from(value),
                                                                       table ? NSString::from(table) : nullptr);
    }

    std::string root_;
    static inline int counter_ = 0;
};

} // namespace

TEST(ServicesBundleInfo, TheMainBundleIsTheResourcesFolderWithItsInfoDictionary) {
    auto bundle = NSBundle::mainBundle();
    EXPECT_EQ(bundle->bundlePath()->str(), std::string(DX_RESOURCES_DIR));
    EXPECT_EQ(bundle, NSBundle::mainBundle());
    auto version = cast<NSString>(bundle->objectForInfoDictionaryKey("CFBundleShortVersionString"_ns));
    ASSERT_TRUE(version);
    EXPECT_EQ(version->str(), "1.0");
    EXPECT_EQ(cast<NSString>(bundle->infoDictionary()->objectForKey("CFBundleVersion"_ns))->str(), "1");
    EXPECT_EQ(cast<NSString>(bundle->infoDictionary()->objectForKey("CFBundleName"_ns))->str(), "Celvix");
    EXPECT_TRUE(bundle->bundleIdentifier());
    EXPECT_TRUE(bundle->pathForResourceOfType("Info"_ns, "plist"_ns));
}

TEST_F(ServicesBundle, StringTablesAnswerTextsWithCommentsAndEscapes) {
    EXPECT_EQ(text("HELLO")->str(), "Hello");
    EXPECT_EQ(text("QUOTE")->str(), "Say \"hi\"\n\tthen \u00e9\U0001F600");
    EXPECT_EQ(text("UNQUOTED_KEY")->str(), "plain");
    EXPECT_EQ(text("E1", "", "Errors")->str(), "First error");
    EXPECT_EQ(NSLocalizedString("HELLO"_ns, nullptr)->str(), "Hello");
    EXPECT_EQ(NSLocalizedStringFromTable("E1"_ns, "Errors"_ns, nullptr)->str(), "First error");
}

TEST_F(ServicesBundle, AMissingKeyAnswersTheDefaultOrElseTheKey) {
    EXPECT_EQ(text("NOT_THERE")->str(), "NOT_THERE");
    EXPECT_EQ(text("NOT_THERE", "Fallback")->str(), "Fallback");
    EXPECT_EQ(NSBundle::mainBundle()->localizedStringForKeyValueTable("NOT_THERE"_ns, nullptr, nullptr)->str(),
              "NOT_THERE");
    EXPECT_EQ(text("HELLO", "", "NoSuchTable")->str(), "HELLO");
}

TEST_F(ServicesBundle, TheLanguageOverrideSwitchesEveryLookUp) {
    NSBundle::setLanguageOverride("fr"_ns);
    EXPECT_EQ(NSBundle::languageOverride()->str(), "fr");
    EXPECT_EQ(text("HELLO")->str(), "Bonjour");
    EXPECT_EQ(text("ONLY_EN")->str(), "ONLY_EN") << "a key missing in French answers the key";
    EXPECT_TRUE(NSBundle::mainBundle()->preferredLocalizations()->isEqual(NSArray::arrayWithObjects({"fr"_ns})));
    EXPECT_EQ(cast<NSString>(NSBundle::mainBundle()->pathForResourceOfType("Only"_ns, "txt"_ns))->str(),
              root_ + "/fr.lproj/Only.txt");

    NSBundle::setLanguageOverride("de"_ns);
    EXPECT_EQ(text("HELLO")->str(), "Hallo") << "a table in property-list form";
    NSBundle::setLanguageOverride("es"_ns);
    EXPECT_EQ(text("HELLO")->str(), "Hola") << "a UTF-16 table";

    NSBundle::setLanguageOverride("xx"_ns);
    EXPECT_EQ(text("HELLO")->str(), "Hello") << "no folder for the language: the development language";
    NSBundle::setLanguageOverride(nullptr);
    EXPECT_FALSE(NSBundle::languageOverride());
    EXPECT_EQ(text("HELLO")->str(), "Hello");
}

TEST_F(ServicesBundle, ALanguageFolderIsABundleOfItsOwn) {
    auto path = NSBundle::mainBundle()->pathForResourceOfType("fr"_ns, "lproj"_ns);
    ASSERT_TRUE(path);
    auto french = NSBundle::bundleWithPath(path);
    ASSERT_TRUE(french);
    EXPECT_EQ(french, NSBundle::bundleWithPath(path));
    EXPECT_EQ(french->localizedStringForKeyValueTable("HELLO"_ns, ""_ns, nullptr)->str(), "Bonjour");
    EXPECT_EQ(french->localizedStringForKeyValueTable("ONLY_EN"_ns, ""_ns, nullptr)->str(), "ONLY_EN");
    EXPECT_FALSE(NSBundle::mainBundle()->pathForResourceOfType("xx"_ns, "lproj"_ns));
    EXPECT_FALSE(NSBundle::bundleWithPath(NSString::from(root_ + "/nothing")));
    EXPECT_TRUE(NSBundle::mainBundle()->localizations()->isEqual(
        NSArray::arrayWithObjects({"de"_ns, "en"_ns, "es"_ns, "fr"_ns, "it"_ns})));
}

TEST_F(ServicesBundle, ResourcesAreFoundByNameTypeAndFolder) {
    auto bundle = NSBundle::mainBundle();
    EXPECT_EQ(cast<NSString>(bundle->pathForResourceOfType("ItemList"_ns, "plist"_ns))->str(),
              root_ + "/ItemList.plist");
    EXPECT_EQ(cast<NSString>(bundle->pathForResourceOfType("ItemList.plist"_ns, nullptr))->str(),
              root_ + "/ItemList.plist");
    EXPECT_FALSE(bundle->pathForResourceOfType("beep"_ns, "caf"_ns));
    EXPECT_EQ(cast<NSString>(bundle->pathForResourceOfTypeInDirectory("beep"_ns, "caf"_ns, "sounds"_ns))->str(),
              root_ + "/sounds/beep.caf");
    EXPECT_EQ(bundle->pathsForResourcesOfTypeInDirectory("caf"_ns, "sounds"_ns)->count(), 1u);
    auto url = bundle->URLForResourceWithExtension("ItemList"_ns, "plist"_ns);
    ASSERT_TRUE(url);
    EXPECT_TRUE(url->isFileURL());
    EXPECT_FALSE(bundle->URLForResourceWithExtension("absent"_ns, "plist"_ns));
    EXPECT_EQ(bundle->infoDictionary()->count(), 0u) << "this bundle has no Info.plist";
}

TEST_F(ServicesBundle, AMalformedTableIsLoggedAndIgnored) {
    LogCapture capture;
    NSBundle::setLanguageOverride("it"_ns);
    EXPECT_EQ(text("HELLO")->str(), "HELLO");
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_NE(capture.lines()[0].find("malformed"), std::string::npos);
    EXPECT_EQ(text("HELLO")->str(), "HELLO");
    EXPECT_EQ(capture.finish().size(), 1u) << "reported once";

    std::unordered_map<std::string, std::string> table;
    std::string reason;
    EXPECT_FALSE(NSBundle::parseStringsTable("\"a\" = \"b\"", table, reason));
    EXPECT_FALSE(NSBundle::parseStringsTable("\"a\" = \"unterminated;", table, reason));
    EXPECT_FALSE(NSBundle::parseStringsTable("/* open comment", table, reason));
    EXPECT_TRUE(NSBundle::parseStringsTable("\"a\";\n\"b\" = \"c\";", table, reason));
    EXPECT_EQ(table["a"], "a");
    EXPECT_EQ(table["b"], "c");
}
