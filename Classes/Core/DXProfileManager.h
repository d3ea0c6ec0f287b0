// DXProfileManager: the test profile and the run.
//
// Reads the profile file "quorvane_config.txt" (JSON, plain or as Base64) from the documents folder,
// applies the station file (AdditionalTestManager), turns the profile's entries into the ordered run
// list of catalogue records, may insert the operator-audit decoy, applies the run-wide settings,
// persists the run in the user defaults ("tasks", "profile_content") and hands it to the caller on
// the main queue. It also stores single results as they arrive, answers the grade-comment and
// custom-question settings, and writes the result file "quorvane_result.txt".
//
// Threads: the run build and the profile write continue on a global queue after a 2.0-second pause
// on the platform clock and report on the main queue; everything else runs on the caller's thread.
// The manager's own state is guarded, so a build on the global queue never races a reader on the
// main thread; one run build runs at a time.
#pragma once

#include <Core/DXTestModel.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>

#include <cstdint>
#include <functional>
#include <mutex>

// File and user-defaults names.
const Ref<NSString>& DXProfileFileName();   // "quorvane_config.txt"
const Ref<NSString>& DXResultFileName();    // "quorvane_result.txt"
const Ref<NSString>& DXTasksDefaultsKey();  // "tasks"
const Ref<NSString>& DXProfileContentKey(); // "profile_content"
// Special profile keys.
const Ref<NSString>& DXManualTestKeyPrefix(); // "MANUAL_INSTRUCTION_TEST_"
const Ref<NSString>& DXGradeCommentKey();     // "GRADE_COMMENT"
const Ref<NSString>& DXCustomQuestionKey();   // "CUSTOM_QUESTION"
const Ref<NSString>& DXAuditOperatorKey();    // "AUDIT_OPERATOR"

// A source of uniformly distributed integers in [0, upperBound); upperBound is at least 1.
using DXRandomSource = std::function<uint32_t(uint32_t upperBound)>;

class DXProfileManager : public NSObject {
    NS_OBJECT(DXProfileManager, NSObject)
public:
    DXProfileManager();

    // The process-wide manager, made on first use.
    static Ref<DXProfileManager> sharedManager();
    // The operator-audit candidates, in order: "LOUDSPEAKER", "LCD_BACKLIGHT_TEST",
    // "MAIN_MIC_LOOPBACK_TEST", "VIBRATION".
    static Ref<NSArray> supportTestOfAuditOperator();

    // Replaces the random source of the audit decoy (tests inject a seeded one); nil restores the
    // default, seeded from the system's entropy.
    void setRandomSource(DXRandomSource source);

    // ---- Profile file ----
    bool isProfileExist() const;
    // Deletes the profile file when it exists; a failure is logged and otherwise ignored.
    void removeProfile();
    // The profile file at `path` as a mutable JSON object: the text is read as UTF-8 and, when it is
    // Base64, decoded first. nil (and a log line) for a missing or unreadable file, bytes that are not
    // UTF-8, an empty text, malformed JSON or a JSON root that is not an object.
    Ref<NSMutableDictionary> loadProfileWithPath(const Ref<NSString>& path) const;
    // The parsed profile file, loaded on first use and again on every use while it is nil; kept
    // until the next run build.
    Ref<NSDictionary> profileRoot();
    // The profile's entries (root "profile"), as the run builder uses them; nil without a profile or
    // when "profile" is not an array. Entries that are not objects are dropped with a log line.
    Ref<NSMutableArray> profiles();
    bool isAudioOperatorInProfiles();
    NSInteger auditOperatorPrecentage();
    // The member `attribute` of "extra" of the first entry whose "profile_key" is `key`, or nil.
    id extraAttributeForProfileKey(const Ref<NSString>& attribute, const Ref<NSString>& key);
    static bool existInTestListWithKey(const Ref<NSArray>& list, const Ref<NSString>& key);
    // Applies one profile entry to one record (time limit 1...98 else 60, waiting time >= 0 else -1,
    // instruction and failed-screen flags, "extra" into params, selected, order).
    static void applyParamsWithConfig(const Ref<DXTestModel>& model, const Ref<NSDictionary>& entry);
    // The records of the last run whose `selected` is YES, worked out on first use and kept.
    Ref<NSArray> testModelsOfSelected();
    bool needShowPasscodePromptMessage();

    // The last built run list.
    Ref<NSArray> testModels() const;
    void setTestModels(const Ref<NSArray>& models);

    // Builds a run from the test list of DXTestModelManager (section headers are passed over): calls
    // `begin` at once on the caller's thread, continues on a global queue after 2.0 seconds, keeps
    // the run as testModels and, when `task` is given, persists it ("tasks", "profile_content") and
    // calls `task` with it on the main queue. A missing, empty or unreadable profile gives an empty
    // run (count 0), never an error.
    void runTasksWithTestModelsAnimationBeginExcutionTaskBlock(const Ref<NSArray>& testList,
                                                               const std::function<void()>& begin,
                                                               const std::function<void(const Ref<NSArray>&)>& task);
    // Writes a profile of the selected records (Base64 of pretty-printed JSON) after 2.0 seconds on
    // a global queue; `start` runs at once, `finish` on the main queue with whether the file was
    // written.
    void saveProfileWithTestModelsStartHandleFinishHandle(const Ref<NSArray>& list, const std::function<void()>& start,
                                                          const std::function<void(bool written)>& finish);

    // ---- Run persistence ----
    // Archives each record and stores the archives under "tasks", then writes the user defaults to
    // disk before it returns. False when a record could not be archived or the write failed.
    [[nodiscard]] bool storeTasksInPersistent(const Ref<NSArray>& tasks);
    // The stored records, in stored order; an item that does not unarchive is passed over (logged).
    Ref<NSMutableArray> loadPersistentTasks();
    // Stores `result` and the record's sub-results on the first stored record with the same profile
    // key, then stores the whole run again. Returns what storeTasksInPersistent returned.
    [[nodiscard]] bool updateStateInPersistentWithTestModel(NSInteger result, const Ref<DXTestModel>& model);
    // Removes "tasks", writes the user defaults to disk, then pauses 1.0 second on the platform clock.
    void removeTasks();
    bool needRestoreTasks();
    bool comparePersistentAndProfile();
    static bool allFinishWithTasks(const Ref<NSArray>& tasks);
    bool needGradeComment();
    // The custom questions of the first "CUSTOM_QUESTION" entry: an empty array without one or
    // without its "extra", else its "extra" "questions" (nil when absent).
    Ref<NSArray> needCustomQuestion();

    // ---- Result file ----
    // The result object for a run (exposed for the writer's callers and tests).
    Ref<NSMutableDictionary> resultObjectWithListGradecomment(const Ref<NSArray>& list,
                                                              const Ref<NSArray>& gradecomment);
    // Writes "quorvane_result.txt" atomically. Only when the file was written is "tasks" removed;
    // then `completion` runs with YES. When the object cannot be serialised or the file cannot be
    // written, nothing is removed and `completion` runs with NO. Returns the same flag.
    bool saveResultFileWithListGradecommentCompletion(const Ref<NSArray>& list, const Ref<NSArray>& gradecomment,
                                                      const std::function<void(bool written)>& completion);

private:
    Ref<NSString> profilePath() const;
    Ref<NSDictionary> profileRootLocked();
    void dropProfileLocked();
    Ref<NSMutableArray> profilesLocked();
    // Building a run, in its steps: reload the profile and read its run-wide defaults; let the station
    // file add and skip tests; match the profile's entries to the supported tests; maybe insert the
    // audit decoy; apply the run-wide overrides to every record.
    struct RunDefaults {
        NSInteger waitingTime;
        bool showInstruction;
        bool showTestFailedScreen;
        NSInteger timeout;
    };
    Ref<NSArray> buildRun(const Ref<NSArray>& testList);
    Ref<NSDictionary> reloadProfileForRun();
    static RunDefaults runDefaultsOf(const Ref<NSDictionary>& root);
    void applyStationChanges(const RunDefaults& defaults);
    Ref<NSMutableArray> matchProfileEntries(const Ref<NSArray>& testList);
    static void applyRunWideOverrides(const Ref<NSArray>& run, const Ref<NSDictionary>& root);
    void insertDecoy(const Ref<NSMutableArray>& run, const RunDefaults& defaults);
    uint32_t random(uint32_t upperBound);

    mutable std::recursive_mutex lock_; // guards the fields below
    Ref<NSArray> testModels_;
    Ref<NSMutableDictionary> profileRoot_;
    Ref<NSString> profileReadFrom_; // the profile file that profileRoot_ and profiles_ were read from
    Ref<NSMutableArray> profiles_;
    bool profilesLoaded_ = false;
    Ref<NSArray> testModelsOfSelected_;
    DXRandomSource random_;
    std::mutex buildLock_; // one run build at a time
};
