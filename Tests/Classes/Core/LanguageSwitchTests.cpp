#include "CoreTestCase.h"

#include <Categorys/NSBundle+Language.h>
#include <Categorys/NSBundleEx.h>
#include <Foundation/NSBundle.h>

namespace {

class LanguageSwitchTest : public CoreTestCase {
protected:
    void SetUp() override {
        CoreTestCase::SetUp();
        // A bundle of our own with an English and a Spanish table.
        auto bundle = NSSandbox::temporaryPath()->stringByAppendingPathComponent("Bundle"_ns);
        auto files = NSFileManager::defaultManager();
        for (auto [folder, text] : {std::pair{"en.lproj", R"("HELLO" = "Hello"; "ONLY_EN" = "English only";)"},
                                    std::pair{"es.lproj", R"("HELLO" = "Hola";)"}}) {
            auto dir = bundle->stringByAppendingPathComponent(NSString::from(folder));
            ASSERT_TRUE(
                files->createDirectoryAtPathWithIntermediateDirectoriesAttributesError(dir, true, nullptr, nullptr));
            writeText(dir->stringByAppendingPathComponent("Localizable.strings"_ns), text);
        }
        NSSandbox::setBundlePath(bundle);
    }
    void TearDown() override {
        setLanguage(nullptr);
        CoreTestCase::TearDown();
    }
    static std::string text(const char* key) {
        return NSBundle::mainBundle()->localizedStringForKeyValueTable(NSString::from(key), ""_ns, nullptr)->str();
    }
};

} // namespace

TEST_F(LanguageSwitchTest, SwitchesEveryLookUp) {
    EXPECT_EQ(text("HELLO"), "Hello");
    setLanguage("es"_ns);
    EXPECT_EQ(text("HELLO"), "Hola");
    // A key the language lacks shows as the key itself.
    EXPECT_EQ(text("ONLY_EN"), "ONLY_EN");
    EXPECT_TRUE(NSBundleEx::attachedLanguageBundle());
    // NSBundleEx answers from the attached bundle.
    auto ex = make<NSBundleEx>(NSBundle::mainBundle()->bundlePath());
    EXPECT_EQ(ex->localizedStringForKeyValueTable("HELLO"_ns, ""_ns, nullptr)->str(), "Hola");
}

TEST_F(LanguageSwitchTest, UnknownLanguageOrNilKeepsTheDeviceLanguage) {
    setLanguage("es"_ns);
    setLanguage("ja"_ns); // no folder: back to the device's language
    EXPECT_EQ(text("HELLO"), "Hello");
    EXPECT_FALSE(NSBundleEx::attachedLanguageBundle());
    setLanguage("es"_ns);
    setLanguage(nullptr);
    EXPECT_EQ(text("HELLO"), "Hello");
    EXPECT_EQ(text("ONLY_EN"), "English only");
}

TEST_F(LanguageSwitchTest, LaterCallWins) {
    setLanguage("en"_ns);
    setLanguage("es"_ns);
    EXPECT_EQ(text("HELLO"), "Hola");
    setLanguage("en"_ns);
    EXPECT_EQ(text("HELLO"), "Hello");
}
