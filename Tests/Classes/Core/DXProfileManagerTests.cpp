#include "CoreTestCase.h"

#include <Core/DXSectionModel.h>

#include <algorithm>

namespace {

Ref<DXTestModel> record(const char* key, bool automatic = false, std::initializer_list<const char*> subtests = {}) {
    auto m = make<DXTestModel>(NSString::stringWithFormat("Title of %s", key));
    m->setProfilekey(NSString::from(key));
    m->setControllerName("FakeScreen"_ns);
    m->setIsAuto(automatic);
    m->setShowInstruction(!automatic);
    m->setWaitingTime(-1);
    m->setTimeout(60);
    m->setParams(NSMutableDictionary::dictionary());
    auto subs = NSMutableDictionary::dictionary();
    for (auto s : subtests) {
        subs->setObjectForKey(DXSubTestNotTest(), NSString::from(s));
    }
    m->setSubTestItemsResult(subs);
    return m;
}

// A test list as the list builder makes it: section headers and records. The records are also the
// catalogue, where the decoy is looked up.
Ref<NSArray> testList(std::vector<Ref<DXTestModel>> records) {
    auto list = NSMutableArray::array();
    auto catalogue = NSMutableArray::array();
    list->addObject(make<DXSectionModel>());
    for (auto& r : records) {
        list->addObject(r);
        catalogue->addObject(r);
    }
    DXTestModelManager::sharedInstrance()->setTestModels(catalogue);
    return list;
}

Ref<NSArray> standardList() {
    return testList({record("LOUDSPEAKER"), record("VIBRATION"), record("WIFI_TEST", true), record("BATTERY_TEST"),
                     record("HEADSET_TEST", false, {"HEADSET_TEST_PLUG"}), record("LCD_BACKLIGHT_TEST"),
                     record("MAIN_MIC_LOOPBACK_TEST")});
}

class DXProfileManagerTest : public CoreTestCase {
protected:
    Ref<DXProfileManager> profiles = DXProfileManager::sharedManager();

    void writeProfile(const std::string& json) { writeText(documentsFile("quorvane_config.txt"), json); }

    Ref<DXTestModel> find(const Ref<NSArray>& run, const char* key) {
        for (const id& item : *run) {
            auto m = cast<DXTestModel>(item);
            if (m->profilekey()->isEqualToString(NSString::from(key))) {
                return m;
            }
        }
        return nullptr;
    }
};

} // namespace

TEST_F(DXProfileManagerTest, ReadsPlainAndBase64Profiles) {
    const std::string plain = R"({"profile": [{"profile_key": "BATTERY_TEST"}]})";
    struct Case {
        const char* name;
        std::string content;
        bool readable;
    } cases[] = {
        {"plain JSON", plain, true},
        {"Base64 JSON", base64(plain), true},
        {"Base64 with a line end", base64(plain) + "\n", true},
        {"plain with white space", "\n  " + plain + "\n", true},
        {"empty", "", false},
        {"blank", "  \n", false},
        {"malformed JSON", R"({"profile": [)", false},
        {"Base64 of malformed JSON", base64(R"({"profile": )"), false},
        {"Base64 of bytes that are not UTF-8", base64("\xff\xfe{}"), false},
        {"malformed Base64 and not JSON", "QUJD=x=", false},
        {"a JSON array", R"([{"profile_key": "BATTERY_TEST"}])", false},
        {"a JSON text", R"("profile")", false},
        {"bytes that are not UTF-8", "{\"a\": \"\xc3\x28\"}", false},
    };
    auto path = documentsFile("quorvane_config.txt");
    for (const auto& c : cases) {
        writeText(path, c.content);
        auto root = profiles->loadProfileWithPath(path);
        EXPECT_EQ(static_cast<bool>(root), c.readable) << c.name;
        if (root) {
            EXPECT_TRUE(cast<NSMutableArray>(root->objectForKey("profile"_ns))) << c.name << ": mutable containers";
        }
    }
    EXPECT_FALSE(profiles->loadProfileWithPath(documentsFile("missing.txt")));
}

TEST_F(DXProfileManagerTest, EntryRules) {
    struct Case {
        const char* extra;
        bool automatic;
        NSInteger timeout, waiting;
        bool instruction, failedScreen;
    } cases[] = {
        {R"({"timeout": 98})", false, 98, -1, true, false},
        {R"({"timeout": 1})", false, 1, -1, true, false},
        {R"({"timeout": 99})", false, 60, -1, true, false},
        {R"({"timeout": 0})", false, 60, -1, true, false},
        {R"({"timeout": -4})", false, 60, -1, true, false},
        {R"({"timeout": "30"})", false, 60, -1, true, false},
        {R"({"timeout": 1e300})", false, 60, -1, true, false},
        {R"({"waitingTime": 0})", false, 60, 0, true, false},
        {R"({"waitingTime": 12})", false, 60, 12, true, false},
        {R"({"waitingTime": -5})", false, 60, -1, true, false},
        {R"({"waitingTime": [1]})", false, 60, -1, true, false},
        {R"({"showInstruction": false})", false, 60, -1, false, false},
        {R"({"showInstruction": true})", true, 60, -1, false, false}, // never for an automatic test
        {R"({"showTestFailedScreen": true})", false, 60, -1, true, true},
        {R"({"showTestFailedScreen": "yes"})", false, 60, -1, true, false},
        {"null", false, 60, -1, true, false},
    };
    for (const auto& c : cases) {
        auto m = record("T", c.automatic);
        auto entry =
            cast<NSDictionary>(json(std::string(R"({"profile_key": "T", "order": 4, "extra": )") + c.extra + "}"));
        DXProfileManager::applyParamsWithConfig(m, entry);
        EXPECT_EQ(m->timeout(), c.timeout) << c.extra;
        EXPECT_EQ(m->waitingTime(), c.waiting) << c.extra;
        EXPECT_EQ(m->showInstruction(), c.instruction) << c.extra;
        EXPECT_EQ(m->showTestFailedScreen(), c.failedScreen) << c.extra;
        EXPECT_TRUE(m->selected());
        EXPECT_EQ(m->order(), 4);
    }
    // "extra" is kept whole in the parameters.
    auto m = record("T");
    DXProfileManager::applyParamsWithConfig(m, cast<NSDictionary>(json(R"({"extra": {"liveCallNum": "611"}})")));
    auto extra = cast<NSDictionary>(m->params()->objectForKey("extra"_ns));
    ASSERT_TRUE(extra);
    EXPECT_TRUE(cast<NSString>(extra->objectForKey("liveCallNum"_ns))->isEqualToString("611"_ns));
    EXPECT_EQ(m->order(), 0);
    // A record without parameters keeps none.
    auto bare = make<DXTestModel>();
    DXProfileManager::applyParamsWithConfig(bare, cast<NSDictionary>(json(R"({"extra": {"timeout": 5}})")));
    EXPECT_FALSE(bare->params());
    EXPECT_EQ(bare->timeout(), 5);
}

TEST_F(DXProfileManagerTest, RunFollowsOrderAndSkipsUnknownKeys) {
    writeProfile(R"({"profile": [
        {"profile_key": "BATTERY_TEST", "order": 3},
        {"profile_key": "LOUDSPEAKER", "order": 1},
        {"profile_key": "NOT_A_TEST", "order": 0},
        {"profile_key": "VIBRATION", "order": 2},
        {"profile_key": "WIFI_TEST"},
        {"profile_key": "GRADE_COMMENT"},
        {"profile_key": "CUSTOM_QUESTION", "extra": {"questions": ["Q1"]}},
        "not an entry",
        {"profile_key": 42},
        {"profile_key": "HEADSET_TEST", "order": "5", "extra": "not an object"}
    ]})");
    auto list = standardList();
    auto run = runBuild(list);
    ASSERT_TRUE(run);
    EXPECT_EQ(keysOf(run),
              (std::vector<std::string>{"WIFI_TEST", "HEADSET_TEST", "LOUDSPEAKER", "VIBRATION", "BATTERY_TEST"}));
    EXPECT_TRUE(logged("NOT_A_TEST names no supported test"));
    EXPECT_TRUE(logged("is not an object"));
    // The run's records are the test list's own objects.
    EXPECT_EQ(find(run, "LOUDSPEAKER").get(), list->objectAtIndex(1).get());
    EXPECT_TRUE(find(run, "LOUDSPEAKER")->selected());
    EXPECT_FALSE(find(run, "WIFI_TEST")->showInstruction());
    EXPECT_TRUE(profiles->testModels()->isEqual(run));
}

TEST_F(DXProfileManagerTest, ManualTestsAndSpecialKeys) {
    writeProfile(R"({"profile": [
        {"profile_key": "MANUAL_INSTRUCTION_TEST_1", "order": 1,
         "extra": {"miTestName": "Scratches", "miTestInstruction": "Look at the back", "miTestQuestion": "Any scratches?",
                   "timeout": 20}},
        {"profile_key": "MANUAL_INSTRUCTION_TEST_2", "order": 2, "extra": {"miTestName": 7}},
        {"profile_key": "GRADE_COMMENT"},
        {"profile_key": "CUSTOM_QUESTION", "extra": {"questions": [{"q": "Colour?"}]}}
    ]})");
    auto run = runBuild(standardList());
    ASSERT_EQ(run->count(), 2u);
    auto manual = cast<DXTestModel>(run->objectAtIndex(0));
    EXPECT_TRUE(manual->profilekey()->isEqualToString("MANUAL_INSTRUCTION_TEST_1"_ns));
    EXPECT_TRUE(manual->controllerName()->isEqualToString("ManualTestViewController"_ns));
    EXPECT_TRUE(manual->icon()->isEqualToString("icon_logo-1"_ns));
    EXPECT_TRUE(manual->title()->isEqualToString("Scratches"_ns));
    EXPECT_TRUE(manual->instruction()->isEqualToString("Look at the back"_ns));
    EXPECT_TRUE(manual->question()->isEqualToString("Any scratches?"_ns));
    EXPECT_EQ(manual->timeout(), 20);
    EXPECT_FALSE(manual->params());
    EXPECT_FALSE(manual->subTestItemsResult());
    // A title of the wrong type is left out, not forced.
    EXPECT_FALSE(cast<DXTestModel>(run->objectAtIndex(1))->title());

    EXPECT_TRUE(profiles->needGradeComment());
    auto questions = profiles->needCustomQuestion();
    ASSERT_TRUE(questions);
    EXPECT_EQ(questions->count(), 1u);
}

// The manager keeps the profile it read; a session over another sandbox root (a fresh documents
// folder) must read that folder's profile, not the one kept from the first.
TEST_F(DXProfileManagerTest, AnotherSandboxRootHasItsOwnProfile) {
    writeProfile(R"({"language": "en", "profile": [{"profile_key": "GRADE_COMMENT"}]})");
    EXPECT_TRUE(profiles->needGradeComment());
    ASSERT_TRUE(profiles->profileRoot());
    NSSandbox::useTemporaryRoot();
    EXPECT_FALSE(profiles->isProfileExist());
    EXPECT_FALSE(profiles->profileRoot());
    EXPECT_FALSE(profiles->needGradeComment());
    EXPECT_EQ(profiles->needCustomQuestion()->count(), 0u);
    writeProfile(R"({"profile": [{"profile_key": "CUSTOM_QUESTION", "extra": {"questions": ["Colour?"]}}]})");
    EXPECT_FALSE(profiles->needGradeComment());
    EXPECT_EQ(profiles->needCustomQuestion()->count(), 1u);
}

TEST_F(DXProfileManagerTest, GradeCommentAndCustomQuestionDefaults) {
    EXPECT_FALSE(profiles->needGradeComment());
    EXPECT_EQ(profiles->needCustomQuestion()->count(), 0u);
    writeProfile(R"({"profile": [{"profile_key": "CUSTOM_QUESTION"}]})");
    EXPECT_FALSE(profiles->needGradeComment());
    EXPECT_EQ(profiles->needCustomQuestion()->count(), 0u);
    writeProfile(R"({"profile": [{"profile_key": "CUSTOM_QUESTION", "extra": {}}]})");
    runBuild(standardList()); // a run build reads the file anew
    EXPECT_FALSE(profiles->needCustomQuestion());
}

TEST_F(DXProfileManagerTest, KeyListedTwiceTakesTheLaterSettings) {
    writeProfile(R"({"profile": [
        {"profile_key": "BATTERY_TEST", "order": 1, "extra": {"timeout": 10}},
        {"profile_key": "BATTERY_TEST", "order": 2, "extra": {"timeout": 20}}
    ]})");
    auto run = runBuild(standardList());
    ASSERT_EQ(run->count(), 2u);
    EXPECT_EQ(run->objectAtIndex(0).get(), run->objectAtIndex(1).get());
    EXPECT_EQ(cast<DXTestModel>(run->objectAtIndex(0))->timeout(), 20);
}

TEST_F(DXProfileManagerTest, RunWideOverrides) {
    struct Case {
        const char* root;
        NSInteger timeout, waiting;
        bool instruction, failedScreen;
    } cases[] = {
        {R"("timeout": 30)", 30, -1, true, false},
        {R"("timeout": 0)", 60, -1, true, false}, // range-checked like the per-test limit
        {R"("timeout": 500)", 60, -1, true, false},
        {R"("timeout": "25")", 25, -1, true, false}, // numeric text, as key-value setting takes it
        {R"("timeout": [5])", 15, -1, true, false},  // other types leave the entry's value
        {R"("waitingTime": -3)", 15, -1, true, false},
        {R"("waitingTime": 4)", 15, 4, true, false},
        {R"("showInstruction": false)", 15, -1, false, false},
        {R"("showTestFailedScreen": true)", 15, -1, true, true},
    };
    for (const auto& c : cases) {
        writeProfile(std::string("{") + c.root +
                     R"(, "profile": [{"profile_key": "BATTERY_TEST", "extra": {"timeout": 15}}]})");
        auto run = runBuild(standardList());
        ASSERT_EQ(run->count(), 1u) << c.root;
        auto m = cast<DXTestModel>(run->objectAtIndex(0));
        EXPECT_EQ(m->timeout(), c.timeout) << c.root;
        EXPECT_EQ(m->waitingTime(), c.waiting) << c.root;
        EXPECT_EQ(m->showInstruction(), c.instruction) << c.root;
        EXPECT_EQ(m->showTestFailedScreen(), c.failedScreen) << c.root;
    }
    // An automatic test asks for its instruction only when the run-wide member says so.
    writeProfile(R"({"showInstruction": true, "profile": [{"profile_key": "WIFI_TEST"}]})");
    EXPECT_TRUE(cast<DXTestModel>(runBuild(standardList())->objectAtIndex(0))->showInstruction());
}

TEST_F(DXProfileManagerTest, DecoyAtFullRatio) {
    for (uint32_t seed = 1; seed <= 25; ++seed) {
        profiles->setRandomSource(seededRandom(seed));
        writeProfile(R"({"audit_the_operator": true, "audit_the_operator_ratio": 100, "waitingTime": 0,
                         "profile": [{"profile_key": "BATTERY_TEST"}, {"profile_key": "WIFI_TEST"},
                                     {"profile_key": "HEADSET_TEST"}]})");
        auto list = standardList();
        // Leftovers of an earlier run on the source records must not reach the decoy.
        for (const id& item : *list) {
            if (auto m = cast<DXTestModel>(item)) {
                m->setResult(DXTestResultFail);
                m->subTestItemsResult()->setObjectForKey(DXSubTestFail(), "LEFT_OVER"_ns);
            }
        }
        auto run = runBuild(list);
        ASSERT_EQ(run->count(), 4u) << seed;
        auto keys = keysOf(run);
        ASSERT_EQ(std::count(keys.begin(), keys.end(), "AUDIT_OPERATOR"), 1) << seed;
        EXPECT_NE(keys.back(), "AUDIT_OPERATOR") << seed;
        auto decoy = find(run, "AUDIT_OPERATOR");
        EXPECT_TRUE(decoy->fakeTest());
        auto candidates = DXProfileManager::supportTestOfAuditOperator();
        EXPECT_TRUE(candidates->containsObject(decoy->orignalKey())) << decoy->orignalKey()->str();
        EXPECT_EQ(decoy->result(), DXTestResultNotRun);
        auto subtests = decoy->subTestItemsResult();
        for (const auto& [key, status] : *subtests) {
            EXPECT_TRUE(cast<NSString>(status)->isEqualToString(DXSubTestNotTest()));
        }
        EXPECT_EQ(decoy->waitingTime(), 0); // the run-wide member is set on the decoy too
        EXPECT_EQ(decoy->timeout(), 60);
        // The catalogue record stays as it was.
        auto source = DXTestModelManager::sharedInstrance()->findTestModelWithKey(decoy->orignalKey());
        EXPECT_NE(source.get(), decoy.get());
        EXPECT_EQ(source->result(), DXTestResultFail);
    }
}

TEST_F(DXProfileManagerTest, NoDecoyAtRatioZeroOrSwitchOff) {
    const char* profilesWithoutDecoy[] = {
        R"({"audit_the_operator": true, "audit_the_operator_ratio": 0, "profile": [{"profile_key": "BATTERY_TEST"}]})",
        R"({"audit_the_operator": false, "audit_the_operator_ratio": 100, "profile": [{"profile_key": "BATTERY_TEST"}]})",
        R"({"audit_the_operator_ratio": 100, "profile": [{"profile_key": "BATTERY_TEST"}]})",
    };
    for (const char* text : profilesWithoutDecoy) {
        for (uint32_t seed = 1; seed <= 10; ++seed) {
            profiles->setRandomSource(seededRandom(seed));
            writeProfile(text);
            EXPECT_EQ(keysOf(runBuild(standardList())), (std::vector<std::string>{"BATTERY_TEST"})) << text;
        }
    }
}

TEST_F(DXProfileManagerTest, DecoyNeedsASupportedCandidate) {
    profiles->setRandomSource(seededRandom(3));
    writeProfile(R"({"audit_the_operator": true, "audit_the_operator_ratio": 100,
                     "profile": [{"profile_key": "BATTERY_TEST"}]})");
    auto run = runBuild(testList({record("BATTERY_TEST")}));
    EXPECT_EQ(keysOf(run), (std::vector<std::string>{"BATTERY_TEST"}));
    EXPECT_TRUE(logged("no decoy"));

    // With no test in the run the decoy is the whole run.
    writeProfile(R"({"audit_the_operator": true, "audit_the_operator_ratio": 100, "profile": []})");
    EXPECT_EQ(keysOf(runBuild(standardList())), (std::vector<std::string>{"AUDIT_OPERATOR"}));
}

TEST_F(DXProfileManagerTest, EmptyOrUnreadableProfileGivesAnEmptyRun) {
    const char* contents[] = {nullptr, "", "{broken", R"({"profile": "not a list"})", R"({"profile": {}})", "[]"};
    for (const char* content : contents) {
        auto path = documentsFile("quorvane_config.txt");
        // Absent on the first pass: either way the profile is gone.
        (void)NSFileManager::defaultManager()->removeItemAtPathError(path, nullptr);
        if (content) {
            writeProfile(content);
        }
        auto run = runBuild(standardList());
        ASSERT_TRUE(run) << (content ? content : "(no file)");
        EXPECT_EQ(run->count(), 0u) << (content ? content : "(no file)");
        EXPECT_EQ(profiles->loadPersistentTasks()->count(), 0u);
    }
}

TEST_F(DXProfileManagerTest, RunBuildPausesAndPersists) {
    writeProfile(base64(R"({"profile": [{"profile_key": "BATTERY_TEST"}, {"profile_key": "LOUDSPEAKER"}]})"));
    bool began = false;
    Ref<NSArray> run;
    double start = DispatchClock::uptime();
    profiles->runTasksWithTestModelsAnimationBeginExcutionTaskBlock(
        standardList(), [&] { began = true; }, [&](const Ref<NSArray>& r) { run = r; });
    EXPECT_TRUE(began);
    DispatchClock::advance(1.9);
    EXPECT_FALSE(run);
    DispatchClock::advance(0.2);
    ASSERT_TRUE(run);
    EXPECT_NEAR(DispatchClock::uptime() - start, 2.1, 1e-6);
    EXPECT_EQ(keysOf(run), (std::vector<std::string>{"BATTERY_TEST", "LOUDSPEAKER"}));

    // The run and the profile text as stored reach the user defaults.
    EXPECT_EQ(keysOf(profiles->loadPersistentTasks()), keysOf(run));
    auto defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults->stringForKey("profile_content"_ns)->str(), readText(documentsFile("quorvane_config.txt")));
    EXPECT_TRUE(profiles->needRestoreTasks());
    EXPECT_TRUE(profiles->comparePersistentAndProfile());

    // A changed profile file no longer matches the stored run.
    writeProfile(R"({"profile": [{"profile_key": "VIBRATION"}]})");
    EXPECT_FALSE(profiles->needRestoreTasks());
}

TEST_F(DXProfileManagerTest, RunBuildWithoutTaskBlockOnlyKeepsTheRun) {
    writeProfile(R"({"profile": [{"profile_key": "BATTERY_TEST"}]})");
    profiles->runTasksWithTestModelsAnimationBeginExcutionTaskBlock(
        standardList(), [] {}, nullptr);
    DispatchClock::advance(2.5);
    EXPECT_EQ(keysOf(profiles->testModels()), (std::vector<std::string>{"BATTERY_TEST"}));
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->objectForKey("tasks"_ns));
}

TEST_F(DXProfileManagerTest, EachRunReadsTheFileAnew) {
    writeProfile(R"({"profile": [{"profile_key": "BATTERY_TEST"}]})");
    EXPECT_EQ(keysOf(runBuild(standardList())), (std::vector<std::string>{"BATTERY_TEST"}));
    writeProfile(R"({"profile": [{"profile_key": "VIBRATION"}]})");
    EXPECT_EQ(keysOf(runBuild(standardList())), (std::vector<std::string>{"VIBRATION"}));
}

TEST_F(DXProfileManagerTest, SavesTheSelectedRecordsAsBase64) {
    auto a = record("BATTERY_TEST");
    auto b = record("LOUDSPEAKER");
    auto c = record("VIBRATION");
    a->setSelected(true);
    c->setSelected(true);
    bool started = false;
    bool finished = false;
    bool written = false;
    profiles->saveProfileWithTestModelsStartHandleFinishHandle(
        NSArray::arrayWithObjects({make<DXSectionModel>(), a, b, c}), [&] { started = true; },
        [&](bool ok) {
            finished = true;
            written = ok;
        });
    EXPECT_TRUE(started);
    DispatchClock::advance(1.9);
    EXPECT_FALSE(finished);
    DispatchClock::advance(0.2);
    ASSERT_TRUE(finished);
    EXPECT_TRUE(written);
    auto text = readText(documentsFile("quorvane_config.txt"));
    EXPECT_EQ(text.find('{'), std::string::npos) << "stored as Base64";
    EXPECT_EQ(text.find('\n'), std::string::npos) << "without line breaks";
    auto root = profiles->loadProfileWithPath(documentsFile("quorvane_config.txt"));
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->isEqual(json(R"({"profile": [{"profile_key": "BATTERY_TEST"}, {"profile_key": "VIBRATION"}]})")));
}

TEST_F(DXProfileManagerTest, ProfileFileHelpers) {
    EXPECT_FALSE(profiles->isProfileExist());
    profiles->removeProfile(); // nothing there: nothing happens
    writeProfile(R"({"audit_the_operator": true, "audit_the_operator_ratio": 40, "REMOVE_SECURE_LOCK": true,
                     "profile": [{"profile_key": "LIVECALL", "extra": {"liveCallNum": "123"}}]})");
    EXPECT_TRUE(profiles->isProfileExist());
    EXPECT_TRUE(profiles->isAudioOperatorInProfiles());
    EXPECT_EQ(profiles->auditOperatorPrecentage(), 40);
    EXPECT_TRUE(profiles->needShowPasscodePromptMessage());
    EXPECT_TRUE(cast<NSString>(profiles->extraAttributeForProfileKey("liveCallNum"_ns, "LIVECALL"_ns))
                    ->isEqualToString("123"_ns));
    EXPECT_FALSE(profiles->extraAttributeForProfileKey("other"_ns, "LIVECALL"_ns));
    EXPECT_FALSE(profiles->extraAttributeForProfileKey("liveCallNum"_ns, "SMS_TEST"_ns));
    EXPECT_TRUE(DXProfileManager::existInTestListWithKey(profiles->profiles(), "LIVECALL"_ns));
    EXPECT_FALSE(DXProfileManager::existInTestListWithKey(profiles->profiles(), "SMS_TEST"_ns));
    profiles->removeProfile();
    EXPECT_FALSE(profiles->isProfileExist());
}

TEST_F(DXProfileManagerTest, SelectedRecordsOfTheRun) {
    auto a = record("A");
    auto b = record("B");
    b->setSelected(true);
    profiles->setTestModels(NSArray::arrayWithObjects({a, b}));
    auto selected = profiles->testModelsOfSelected();
    ASSERT_EQ(selected->count(), 1u);
    EXPECT_EQ(selected->objectAtIndex(0).get(), b.get());
}
