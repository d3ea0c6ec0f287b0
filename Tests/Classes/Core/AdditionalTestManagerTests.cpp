#include "CoreTestCase.h"

#include <Core/DXSectionModel.h>
#include <Foundation/NSXMLParser.h>

namespace {

const char* kList = R"(<?xml version="1.0" encoding="UTF-8"?>
<dynamic>
  <Model modelNumber="A1865"/>
  <tests>
    <test testKey="BATTERY_TEST" testTask="ADD"/>
    <test testKey="BATTERY_TEST" testTask="ADD"/>
    <test testKey="LOUDSPEAKER" testTask="SKIP"/>
    <test testKey="HEADSET_TEST_MEDIABUTTON" testTask="SKIP"/>
    <test testKey="VIBRATION" testTask="add"/>
    <test testKey="MANUAL_INSTRUCTION_TEST_1" testTask="SKIP"/>
    <test testKey="" testTask="ADD"/>
    <test testKey="WIFI_TEST"/>
    <test testKey="GPS_TEST" testTask="REMOVE"/>
    <group><test testKey="NESTED_TEST" testTask="ADD"/></group>
  </tests>
</dynamic>)";

class AdditionalTestManagerTest : public CoreTestCase {
protected:
    Ref<AdditionalTestManager> station = AdditionalTestManager::sharedInstance();

    // Writes the station file with the given add/skip list (a JSON string value).
    void writeStation(const std::string& list) {
        auto root = NSDictionary::dictionaryWithEntries(
            {{"VT_dynamicQuorvane"_ns, NSString::from(list)}, {"VT_IMEI"_ns, "356938035643809"_ns}});
        auto data = NSJSONSerialization::dataWithJSONObjectOptionsError(root, 0, nullptr);
        ASSERT_TRUE(data);
        ASSERT_TRUE(data->writeToFileAtomically(documentsFile("quorvane_temp.txt"), true));
    }

    static std::vector<std::string> strings(const Ref<NSArray>& list) {
        std::vector<std::string> out;
        for (const id& item : *list) {
            out.push_back(cast<NSString>(item)->str());
        }
        return out;
    }
};

const std::vector<std::string> kAdded = {"BATTERY_TEST", "NESTED_TEST"};
const std::vector<std::string> kSkipped = {"LOUDSPEAKER", "HEADSET_TEST_MEDIABUTTON"};

} // namespace

TEST_F(AdditionalTestManagerTest, PlainAndBase64ListsGiveTheSameKeys) {
    for (const std::string& value : {std::string(kList), base64(kList)}) {
        writeStation(value);
        int calls = 0;
        station->setParseCompleted([&](const Ref<NSString>& model, const Ref<NSArray>& add, const Ref<NSArray>& skip) {
            ++calls;
            EXPECT_EQ(model->str(), "A1865");
            EXPECT_EQ(strings(add), kAdded);
            EXPECT_EQ(strings(skip), kSkipped);
        });
        EXPECT_TRUE(station->parse());
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(strings(station->addKeys()), kAdded);
        EXPECT_EQ(strings(station->removeKeys()), kSkipped);
        EXPECT_EQ(station->modelNumber()->str(), "A1865");
        EXPECT_TRUE(station->parser());
    }
    EXPECT_TRUE(logged("testKey = BATTERY_TEST, testTask = ADD"));
    EXPECT_TRUE(logged("didStartElement"));
    station->setParseCompleted(nullptr);
}

TEST_F(AdditionalTestManagerTest, EachParseStartsFromEmptyLists) {
    writeStation(kList);
    ASSERT_TRUE(station->parse());
    writeStation(R"(<list><Model/><test testKey="GPS_TEST" testTask="SKIP"/></list>)");
    ASSERT_TRUE(station->parse());
    EXPECT_TRUE(strings(station->addKeys()).empty());
    EXPECT_EQ(strings(station->removeKeys()), (std::vector<std::string>{"GPS_TEST"}));
    // A Model element without the attribute gives the empty text.
    EXPECT_EQ(station->modelNumber()->str(), "");
}

TEST_F(AdditionalTestManagerTest, RefusedFilesLeaveNothingBehind) {
    struct Case {
        const char* name;
        std::string file; // the whole station file
    } cases[] = {
        {"not JSON", "VT_dynamicQuorvane=<list/>"},
        {"a JSON array", R"(["VT_dynamicQuorvane"])"},
        {"no add/skip list", R"({"VT_IMEI": "35"})"},
        {"list of the wrong type", R"({"VT_dynamicQuorvane": 5})"},
        {"Base64 that is not UTF-8", R"({"VT_dynamicQuorvane": ")" + base64("\xff\xfe<list/>") + "\"}"},
        {"XML broken after two keys",
         R"({"VT_dynamicQuorvane": "<list><test testKey=\"A\" testTask=\"ADD\"/><test testKey=\"B\" testTask=\"SKIP\"/><test"})"},
        {"XML with a DTD",
         R"({"VT_dynamicQuorvane": "<!DOCTYPE list [<!ELEMENT list ANY>]><list><test testKey=\"A\" testTask=\"ADD\"/></list>"})"},
        {"XML with an external entity",
         R"({"VT_dynamicQuorvane": "<!DOCTYPE list [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><list><test testKey=\"&e;\" testTask=\"ADD\"/></list>"})"},
        {"XML with entity expansion",
         R"({"VT_dynamicQuorvane": "<!DOCTYPE l [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]><l><test testKey=\"&b;\" testTask=\"ADD\"/></l>"})"},
    };
    for (const auto& c : cases) {
        // A good list first, so that stale keys would show.
        station->setParseCompleted(nullptr);
        writeStation(kList);
        ASSERT_TRUE(station->parse());
        writeText(documentsFile("quorvane_temp.txt"), c.file);
        bool called = false;
        station->setParseCompleted(
            [&](const Ref<NSString>&, const Ref<NSArray>&, const Ref<NSArray>&) { called = true; });
        EXPECT_FALSE(station->parse()) << c.name;
        EXPECT_FALSE(called) << c.name;
        EXPECT_EQ(station->addKeys()->count(), 0u) << c.name;
        EXPECT_EQ(station->removeKeys()->count(), 0u) << c.name;
    }
    station->setParseCompleted(nullptr);
    // Whether or not a case left the file, it is gone now.
    (void)NSFileManager::defaultManager()->removeItemAtPathError(documentsFile("quorvane_temp.txt"), nullptr);
    EXPECT_FALSE(station->parse());
}

TEST_F(AdditionalTestManagerTest, RunBuildAddsAndSkipsStationTests) {
    writeText(documentsFile("quorvane_config.txt"), R"({"timeout": 30, "waitingTime": 5, "showInstruction": false,
        "profile": [{"profile_key": "BATTERY_TEST", "order": 2}, {"profile_key": "LOUDSPEAKER", "order": 1},
                    {"profile_key": "GRADE_COMMENT"}]})");
    writeStation(R"(<list>
        <test testKey="BATTERY_TEST" testTask="ADD"/>
        <test testKey="GRADE_COMMENT" testTask="ADD"/>
        <test testKey="GPS_TEST" testTask="ADD"/>
        <test testKey="WIFI_TEST" testTask="ADD"/>
        <test testKey="WIFI_TEST" testTask="SKIP"/>
        <test testKey="LOUDSPEAKER" testTask="SKIP"/>
    </list>)");
    auto make_ = [](const char* key) {
        auto m = make<DXTestModel>(NSString::from(key));
        m->setProfilekey(NSString::from(key));
        m->setParams(NSMutableDictionary::dictionary());
        return m;
    };
    auto list = NSArray::arrayWithObjects(
        {make<DXSectionModel>(), make_("BATTERY_TEST"), make_("LOUDSPEAKER"), make_("GPS_TEST"), make_("WIFI_TEST")});
    auto run = runBuild(list);
    // Added tests carry no order (0) and come first; a key already in the profile is not added
    // again; a key both added and skipped is absent.
    EXPECT_EQ(keysOf(run), (std::vector<std::string>{"GPS_TEST", "BATTERY_TEST"}));
    auto gps = cast<DXTestModel>(run->objectAtIndex(0));
    EXPECT_EQ(gps->timeout(), 30);
    EXPECT_EQ(gps->waitingTime(), 5);
    EXPECT_FALSE(gps->showInstruction());
    auto extra = cast<NSDictionary>(gps->params()->objectForKey("extra"_ns));
    ASSERT_TRUE(extra);
    EXPECT_EQ(unbox<long>(extra->objectForKey("timeout"_ns)), 30);
    // The station changes the run, not the file. (The profile's own GRADE_COMMENT is not a test, so
    // the station's GRADE_COMMENT entry is added beside it.)
    auto entries = DXProfileManager::sharedManager()->profiles();
    EXPECT_EQ(entries->count(), 4u);
    EXPECT_TRUE(DXProfileManager::sharedManager()->needGradeComment());
    EXPECT_EQ(cast<NSArray>(DXProfileManager::sharedManager()->profileRoot()->objectForKey("profile"_ns))->count(), 3u);
}

TEST_F(AdditionalTestManagerTest, BrokenStationFileChangesNothingInTheRun) {
    writeText(documentsFile("quorvane_config.txt"), R"({"profile": [{"profile_key": "LOUDSPEAKER"}]})");
    writeText(documentsFile("quorvane_temp.txt"),
              R"({"VT_dynamicQuorvane": "<list><test testKey=\"LOUDSPEAKER\" testTask=\"SKIP\"/><broken"})");
    auto m = make<DXTestModel>("Loudspeaker"_ns);
    m->setProfilekey("LOUDSPEAKER"_ns);
    auto run = runBuild(NSArray::arrayWithObjects({m}));
    EXPECT_EQ(keysOf(run), (std::vector<std::string>{"LOUDSPEAKER"}));
    EXPECT_EQ(AdditionalTestManager::sharedInstance()->removeKeys()->count(), 0u);
}
