#include "CoreTestCase.h"

#include <Foundation/NSKeyedArchiver.h>

namespace {

Ref<DXTestModel> record(const char* key, NSInteger result,
                        std::initializer_list<std::pair<const char*, const char*>> subtests = {}) {
    auto m = make<DXTestModel>(NSString::stringWithFormat("Title %s", key));
    m->setProfilekey(NSString::from(key));
    m->setResult(result);
    auto subs = NSMutableDictionary::dictionary();
    for (auto [k, v] : subtests) {
        subs->setObjectForKey(NSString::from(v), NSString::from(k));
    }
    m->setSubTestItemsResult(subs);
    return m;
}

Ref<DXTestModel> manual(const char* key, NSInteger result, const char* title, const char* question) {
    auto m = record(key, result);
    m->setTitle(title ? NSString::from(title) : nullptr);
    m->setQuestion(question ? NSString::from(question) : nullptr);
    m->setSubTestItemsResult(nullptr);
    return m;
}

class RunPersistenceTest : public CoreTestCase {
protected:
    Ref<DXProfileManager> profiles = DXProfileManager::sharedManager();

    // Writes the result file and reads it back as an object.
    Ref<NSDictionary> writeResult(const Ref<NSArray>& list, const Ref<NSArray>& grades = nullptr) {
        bool written = false;
        int calls = 0;
        EXPECT_TRUE(profiles->saveResultFileWithListGradecommentCompletion(list, grades, [&](bool ok) {
            ++calls;
            written = ok;
        }));
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(written);
        auto text = readText(documentsFile("quorvane_result.txt"));
        EXPECT_NE(text.find("\n  "), std::string::npos) << "pretty-printed";
        return cast<NSDictionary>(json(text));
    }

    // Compares with the expected JSON: members in any order, arrays in order.
    static void expectResult(const Ref<NSDictionary>& actual, const std::string& expected) {
        auto want = cast<NSDictionary>(json(expected));
        ASSERT_TRUE(actual);
        ASSERT_TRUE(want);
        EXPECT_EQ(actual->count(), want->count()) << NSDescription(actual)->str();
        for (const auto& [key, value] : *want) {
            EXPECT_TRUE(NSObjectsEqual(actual->objectForKey(key), value))
                << NSDescription(key)->str() << ": " << NSDescription(actual->objectForKey(key))->str();
        }
    }
};

} // namespace

TEST_F(RunPersistenceTest, StoreAndLoadRoundTrip) {
    EXPECT_EQ(profiles->loadPersistentTasks()->count(), 0u);
    auto a = record("BATTERY_TEST", 1, {{"X", "SUCCESS"}});
    a->setParams(NSMutableDictionary::dictionary());
    a->params()->setObjectForKey(NSDictionary::dictionaryWithEntries({{"timeout"_ns, box(20)}}), "extra"_ns);
    auto b = record("LOUDSPEAKER", 0);
    ASSERT_TRUE(profiles->storeTasksInPersistent(NSArray::arrayWithObjects({a, b})));

    // On disk at once: a fresh store (as after a restart) reads the same run.
    NSUserDefaults::resetStandardUserDefaults();
    auto loaded = profiles->loadPersistentTasks();
    ASSERT_EQ(keysOf(loaded), (std::vector<std::string>{"BATTERY_TEST", "LOUDSPEAKER"}));
    auto back = cast<DXTestModel>(loaded->objectAtIndex(0));
    EXPECT_NE(back.get(), a.get());
    EXPECT_EQ(back->result(), 1);
    EXPECT_TRUE(back->subTestItemsResult()->isEqual(a->subTestItemsResult()));
    EXPECT_TRUE(back->params()->isEqual(a->params()));
}

TEST_F(RunPersistenceTest, UnreadableItemsArePassedOver) {
    ASSERT_TRUE(profiles->storeTasksInPersistent(NSArray::arrayWithObjects({record("A", 1), record("B", 2)})));
    auto stored = NSMutableArray::arrayWithArray(NSUserDefaults::standardUserDefaults()->arrayForKey("tasks"_ns));
    stored->insertObjectAtIndex(NSData::dataWithString("not an archive"), 1);
    stored->addObject("not even data"_ns);
    stored->addObject(NSKeyedArchiver::archivedDataWithRootObject("a string, not a record"_ns));
    NSUserDefaults::standardUserDefaults()->setObjectForKey(stored, "tasks"_ns);
    auto loaded = profiles->loadPersistentTasks();
    EXPECT_EQ(keysOf(loaded), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(logged("cannot be read"));
    // The next store drops them.
    EXPECT_TRUE(profiles->updateStateInPersistentWithTestModel(2, record("A", 0)));
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->arrayForKey("tasks"_ns)->count(), 2u);
}

TEST_F(RunPersistenceTest, UpdateByKey) {
    ASSERT_TRUE(profiles->storeTasksInPersistent(
        NSArray::arrayWithObjects({record("A", 0), record("B", 0, {{"S1", "NOT_TEST"}}), record("B", 0)})));

    // The stored result is the given code, not the record's own; the sub-results are the record's.
    auto update = record("B", 1, {{"S1", "FAIL"}, {"S2", "SUCCESS"}});
    EXPECT_TRUE(profiles->updateStateInPersistentWithTestModel(0, update));
    auto loaded = profiles->loadPersistentTasks();
    auto first = cast<DXTestModel>(loaded->objectAtIndex(1));
    EXPECT_EQ(first->result(), 0);
    EXPECT_TRUE(first->subTestItemsResult()->isEqual(update->subTestItemsResult()));
    EXPECT_EQ(cast<DXTestModel>(loaded->objectAtIndex(2))->subTestItemsResult()->count(), 0u) << "first match only";
    EXPECT_TRUE(logged("profilekey[B].state = 0"));

    EXPECT_TRUE(profiles->updateStateInPersistentWithTestModel(3, record("B", 0, {{"S1", "FAIL"}})));
    EXPECT_EQ(cast<DXTestModel>(profiles->loadPersistentTasks()->objectAtIndex(1))->result(), 3);

    // An unknown key rewrites the run unchanged and logs nothing.
    auto before = NSUserDefaults::standardUserDefaults()->arrayForKey("tasks"_ns);
    EXPECT_TRUE(profiles->updateStateInPersistentWithTestModel(2, record("UNKNOWN", 2)));
    EXPECT_TRUE(NSUserDefaults::standardUserDefaults()->arrayForKey("tasks"_ns)->isEqual(before));
    EXPECT_FALSE(logged("profilekey[UNKNOWN]"));

    // With no stored run an update stores an empty one.
    NSUserDefaults::standardUserDefaults()->removeObjectForKey("tasks"_ns);
    EXPECT_TRUE(profiles->updateStateInPersistentWithTestModel(1, record("A", 1)));
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->arrayForKey("tasks"_ns)->count(), 0u);
}

TEST_F(RunPersistenceTest, RemoveTasksPausesOnTheClock) {
    EXPECT_TRUE(profiles->storeTasksInPersistent(NSArray::arrayWithObjects({record("A", 1)})));
    double before = DispatchClock::uptime();
    profiles->removeTasks();
    EXPECT_NEAR(DispatchClock::uptime() - before, 1.0, 1e-6);
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->objectForKey("tasks"_ns));
}

TEST_F(RunPersistenceTest, FinishedAndRestoreChecks) {
    EXPECT_TRUE(DXProfileManager::allFinishWithTasks(NSArray::array()));
    EXPECT_TRUE(DXProfileManager::allFinishWithTasks(NSArray::arrayWithObjects({record("A", 1), record("B", 3)})));
    EXPECT_FALSE(DXProfileManager::allFinishWithTasks(NSArray::arrayWithObjects({record("A", 1), record("B", 0)})));

    EXPECT_FALSE(profiles->needRestoreTasks());
    writeText(documentsFile("quorvane_config.txt"), R"({"profile": [{"profile_key": "b"}, {"profile_key": "A"}]})");
    EXPECT_TRUE(profiles->storeTasksInPersistent(NSArray::arrayWithObjects({record("a", 0), record("B", 0)})));
    EXPECT_FALSE(profiles->needRestoreTasks()) << "no profile content stored yet";
    NSUserDefaults::standardUserDefaults()->setObjectForKey(
        NSString::from(readText(documentsFile("quorvane_config.txt"))), "profile_content"_ns);
    EXPECT_TRUE(profiles->needRestoreTasks());
    EXPECT_TRUE(profiles->comparePersistentAndProfile()); // keys compared in lower case, sorted
}

TEST_F(RunPersistenceTest, ResultFileForEveryKindOfTest) {
    writeText(
        documentsFile("quorvane_config.txt"),
        R"({"profile": [{"profile_key": "PASSED"}, {"profile_key": "HEADSET_TEST"}, {"profile_key": "SKIPPED"}]})");
    writeText(
        documentsFile("quorvane_temp.txt"),
        R"({"VT_dynamicQuorvane": "<l><test testKey=\"SKIPPED\" testTask=\"SKIP\"/><test testKey=\"NOT_IN_PROFILE\" testTask=\"SKIP\"/></l>"})");
    ASSERT_TRUE(AdditionalTestManager::sharedInstance()->parse());
    auto decoy = record("AUDIT_OPERATOR", 2);
    decoy->setOrignalKey("LOUDSPEAKER"_ns);
    auto list = NSArray::arrayWithObjects({
        record("PASSED", 1),
        record("HEADSET_TEST", 2, {{"HEADSET_TEST_PLUG", "SUCCESS"}, {"HEADSET_TEST_RECORD", "FAIL"}}),
        record("UNTESTED", 0),
        decoy,
        manual("MANUAL_INSTRUCTION_TEST_7", 1, "Scratches", "Any scratches?"),
        manual("MANUAL_INSTRUCTION_TEST_3", 0, "Dents", nullptr),
    });
    auto grades =
        NSArray::arrayWithObjects({NSDictionary::dictionaryWithEntries({{"Colour?"_ns, "Black"_ns}}), "not a grade"_ns,
                                   NSDictionary::dictionaryWithEntries({{"Box?"_ns, "Yes"_ns}})});
    auto result = writeResult(list, grades);
    expectResult(result, R"({
        "PASSED": [{"PASSED": "SUCCESS"}],
        "HEADSET_TEST": [{"HEADSET_TEST_PLUG": "SUCCESS"}, {"HEADSET_TEST_RECORD": "FAIL"}, {"HEADSET_TEST": "FAIL"}],
        "AUDIT_OPERATOR": [{"AUDIT_OPERATOR": "FAIL"}, {"AUDIT_OPERATOR_TEST_NAME": "LOUDSPEAKER"}],
        "MANUAL_INSTRUCTION_TEST_7": [{"MANUAL_INSTRUCTION_TEST_1_TestName": "Scratches"},
                                      {"MANUAL_INSTRUCTION_TEST_1": "SUCCESS"},
                                      {"MANUAL_INSTRUCTION_TEST_1_TestQuestions": "Any scratches?"}],
        "MANUAL_INSTRUCTION_TEST_3": [{"MANUAL_INSTRUCTION_TEST_2_TestName": "Dents"},
                                      {"MANUAL_INSTRUCTION_TEST_2": "FAIL"},
                                      {"MANUAL_INSTRUCTION_TEST_2_TestQuestions": ""}],
        "SKIPPED": [{"SKIPPED": "REMOVED"}],
        "RESULT": "FAIL",
        "GRADE_COMMENT": [{"GRADE_COMMENT_Question1": "Colour?"}, {"GRADE_COMMENT_Answer1": "Black"},
                          {"GRADE_COMMENT_Question3": "Box?"}, {"GRADE_COMMENT_Answer3": "Yes"}]
    })");
    // The stored run goes once the file is written.
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->objectForKey("tasks"_ns));
}

TEST_F(RunPersistenceTest, ResultVerdicts) {
    struct Case {
        const char* name;
        Ref<NSArray> list;
        const char* verdict;
    } cases[] = {
        {"all passed", NSArray::arrayWithObjects({record("A", 1), record("B", 1, {{"S", "SUCCESS"}, {"N", "NA"}})}),
         "SUCCESS"},
        {"a failed test", NSArray::arrayWithObjects({record("A", 1), record("B", 2)}), "FAIL"},
        {"a timed-out test", NSArray::arrayWithObjects({record("A", 1), record("B", 3)}), "FAIL"},
        {"a test that never ran", NSArray::arrayWithObjects({record("A", 1), record("B", 0)}), "FAIL"},
        {"a passed test with a failed sub-test", NSArray::arrayWithObjects({record("A", 1, {{"S", "FAIL"}})}), "FAIL"},
        {"a failed decoy alone", NSArray::arrayWithObjects({record("A", 1), record("AUDIT_OPERATOR", 2)}), "SUCCESS"},
        {"a failed manual test",
         NSArray::arrayWithObjects({record("A", 1), manual("MANUAL_INSTRUCTION_TEST_1", 2, "T", "Q")}), "FAIL"},
        {"an empty run", NSArray::array(), "SUCCESS"},
    };
    for (const auto& c : cases) {
        auto result = writeResult(c.list);
        ASSERT_TRUE(result) << c.name;
        EXPECT_EQ(cast<NSString>(result->objectForKey("RESULT"_ns))->str(), c.verdict) << c.name;
        EXPECT_FALSE(result->objectForKey("GRADE_COMMENT"_ns)) << c.name;
    }
    // Timed-out and untested records are not listed.
    auto result = writeResult(NSArray::arrayWithObjects({record("T", 3), record("U", 0)}));
    expectResult(result, R"({"RESULT": "FAIL"})");
    // An empty grade list gives an empty array.
    result = writeResult(NSArray::array(), NSArray::array());
    expectResult(result, R"({"RESULT": "SUCCESS", "GRADE_COMMENT": []})");
}

TEST_F(RunPersistenceTest, FailedResultWriteKeepsTheRun) {
    EXPECT_TRUE(profiles->storeTasksInPersistent(NSArray::arrayWithObjects({record("A", 1)})));
    // A folder where the file should go makes the write fail.
    ASSERT_TRUE(NSFileManager::defaultManager()->createDirectoryAtPathWithIntermediateDirectoriesAttributesError(
        documentsFile("quorvane_result.txt")->stringByAppendingPathComponent("inner"_ns), true, nullptr, nullptr));
    int calls = 0;
    bool written = true;
    EXPECT_FALSE(profiles->saveResultFileWithListGradecommentCompletion(NSArray::arrayWithObjects({record("A", 1)}),
                                                                        nullptr, [&](bool ok) {
                                                                            ++calls;
                                                                            written = ok;
                                                                        }));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(written);
    EXPECT_EQ(profiles->loadPersistentTasks()->count(), 1u);
    EXPECT_TRUE(logged("writing quorvane_result.txt failed"));
}
