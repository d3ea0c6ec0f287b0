#include <Categorys/DXUtility.h>
#include <Device/SimDevice.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSUserDefaults.h>
#include <Support/LogCapture.h>

#include <gtest/gtest.h>

#include <regex>

namespace {

id json(const char* text) {
    return NSJSONSerialization::JSONObjectWithDataOptionsError(NSData::dataWithString(text), 0, nullptr);
}

class DXUtilityTest : public testing::Test {
protected:
    void SetUp() override {
        NSSandbox::useTemporaryRoot();
        NSUserDefaults::resetStandardUserDefaults();
    }
};

} // namespace

TEST_F(DXUtilityTest, MarketingNames) {
    struct Case {
        const char* identifier;
        const char* name;
    } cases[] = {
        {"iPhone10,6", "iPhone X"},     {"iPhone10,3", "iPhone X"},      {"iPad7,4", "iPad Pro (Cellular)"},
        {"iPad2,1", "iPad 2 "},         {"iPad2,2", "iPad 2"},           {"iPod1,1", "iPod Touch 1G "},
        {"x86_64", "iPhone Simulator"}, {"iPad7,5", "iPad 2018 (WiFi)"}, {"iPhone11,2", "unknown device"},
        {"", "unknown device"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DXUtility::deviceVersionForHardwareName(NSString::from(c.identifier))->str(), c.name) << c.identifier;
    }
    EXPECT_EQ(DXUtility::deviceVersionForHardwareName(nullptr)->str(), "unknown device");
}

TEST_F(DXUtilityTest, HardwareNameIsTheDevicesIdentifier) {
    EXPECT_EQ(DXUtility::hardwareName()->str(), SimDevice::current().identity().hardwareIdentifier);
    EXPECT_EQ(DXUtility::deviceVersion()->str(),
              DXUtility::deviceVersionForHardwareName(DXUtility::hardwareName())->str());
}

TEST_F(DXUtilityTest, ClientVersionIsVersionDotBuildOfTheBundle) {
    // Resources/Info.plist: CFBundleShortVersionString "1.0", CFBundleVersion "1".
    EXPECT_EQ(DXUtility::clientVersion()->str(), "1.0.1");
    EXPECT_EQ(DXUtility::clientVersionNoBuildVersion()->str(), "1.0.1");
}

TEST_F(DXUtilityTest, TimeStampIsGregorianAndPosix) {
    auto stamp = DXUtility::createDateString()->str();
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}[+-]\d{4})"))) << stamp;
    // A Gregorian year, whatever the device is set to.
    int year = std::stoi(stamp.substr(0, 4));
    EXPECT_GE(year, 2000);
    EXPECT_LT(year, 2200);
}

TEST_F(DXUtilityTest, JsonTextReader) {
    EXPECT_FALSE(DXUtility::dictionaryWithJsonString(nullptr));
    LogCapture capture;
    EXPECT_FALSE(DXUtility::dictionaryWithJsonString("{not json"_ns));
    auto logged = capture.finish();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rfind("json parse error\xEF\xBC\x9A", 0), 0u) << logged[0];

    auto object = cast<NSMutableDictionary>(DXUtility::dictionaryWithJsonString(R"({"a": [1, 2]})"_ns));
    ASSERT_TRUE(object);
    EXPECT_TRUE(cast<NSMutableArray>(object->objectForKey("a"_ns)));
}

TEST_F(DXUtilityTest, ModelListWalk) {
    id list = json(R"json({"iOS": {
        "iPhone": [
            {"iPhone X": [{"identifier": "iPhone10,3", "devicenumber": "A1865"},
                          {"identifier": "iPhone10,3", "devicenumber": "ignored, same group"}]},
            {},
            {"iPhone X (2)": [{"identifier": "iPhone10,3", "devicenumber": "A1901"}]},
            {"iPhone 6": [{"identifier": "iPhone7,2", "devicenumber": "A1549"}]}
        ],
        "broken": "not an array",
        "iPad": [{"iPad": ["not an item", {"identifier": "iPad7,5", "devicenumber": "A1893"}]}]
    }})json");
    ASSERT_TRUE(list);
    // The group walked last wins.
    EXPECT_EQ(DXUtility::modelNumberInModelList(list, "iPhone10,3"_ns)->str(), "A1901");
    EXPECT_EQ(DXUtility::modelNumberInModelList(list, "iPhone7,2"_ns)->str(), "A1549");
    EXPECT_EQ(DXUtility::modelNumberInModelList(list, "iPad7,5"_ns)->str(), "A1893");
    EXPECT_FALSE(DXUtility::modelNumberInModelList(list, "iPhone9,9"_ns));
    EXPECT_FALSE(DXUtility::modelNumberInModelList(json(R"({"android": {}})"), "iPhone10,3"_ns));
    EXPECT_FALSE(DXUtility::modelNumberInModelList(json("[1, 2]"), "iPhone10,3"_ns));
    EXPECT_FALSE(DXUtility::modelNumberInModelList(nullptr, "iPhone10,3"_ns));
}

TEST_F(DXUtilityTest, WifiOnlyTable) {
    auto table = cast<NSDictionary>(DXUtility::dictionaryWithJsonString(DXUtility::wifiOnlyTableJSON()));
    ASSERT_TRUE(table);
    EXPECT_FALSE(DXUtility::checkiPadIsWifiOnlyWithDict("iPad2,2"_ns, table));
    EXPECT_FALSE(DXUtility::checkiPadIsWifiOnlyWithDict("iPhone8,4"_ns, table));
    EXPECT_TRUE(DXUtility::checkiPadIsWifiOnlyWithDict("iPad2,1"_ns, table));
    EXPECT_TRUE(DXUtility::checkiPadIsWifiOnlyWithDict("iPad1,1"_ns, table)); // "unknown"
    EXPECT_TRUE(DXUtility::checkiPadIsWifiOnlyWithDict("iPod7,1"_ns, table));
    EXPECT_TRUE(DXUtility::checkiPadIsWifiOnlyWithDict("iPad9,9"_ns, table));
    EXPECT_TRUE(DXUtility::checkiPadIsWifiOnlyWithDict(""_ns, table));
    EXPECT_TRUE(DXUtility::checkiPadIsWifiOnlyWithDict("iPad2,2"_ns, nullptr));

    DXUtility::generateWifiOnlyDataFileIfNecessary();
    auto stored = NSUserDefaults::standardUserDefaults()->dictionaryForKey("wifionlylist"_ns);
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->isEqual(table));
}

TEST_F(DXUtilityTest, ResultTempFile) {
    auto path = NSSandbox::documentsPath()->stringByAppendingPathComponent("temp.json"_ns);
    EXPECT_FALSE(DXUtility::parseResultTemp(path));
    ASSERT_TRUE(NSData::dataWithString(R"({"VT_IMEI": "35"})")->writeToFileAtomically(path, true));
    auto object = cast<NSDictionary>(DXUtility::parseResultTemp(path));
    ASSERT_TRUE(object);
    EXPECT_TRUE(cast<NSString>(object->objectForKey("VT_IMEI"_ns))->isEqualToString("35"_ns));
}

TEST_F(DXUtilityTest, DiskFigures) {
    auto total = DXUtility::getDeviceMemorySize();
    auto free = DXUtility::getFreeDiskspace();
    EXPECT_GT(total, 0u);
    EXPECT_LE(free, total);
    EXPECT_FALSE(DXUtility::needSkipEndTest());
}

TEST_F(DXUtilityTest, SystemVersionOfTheDevice) {
    EXPECT_EQ(DXUtility::osVersion()->str(), SimDevice::current().identity().systemVersion);
    ASSERT_TRUE(SimDevice::current().loadProfile("iPad7,5"));
    EXPECT_EQ(DXUtility::hardwareName()->str(), "iPad7,5");
    EXPECT_EQ(DXUtility::deviceVersion()->str(), "iPad 2018 (WiFi)");
    EXPECT_EQ(DXUtility::osVersion()->str(), "11.4");
}
