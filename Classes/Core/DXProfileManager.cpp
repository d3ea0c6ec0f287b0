// DXProfileManager. What is where:
//   (top)               file names and keys, small readers of profile values, the random source
//   Profile file        reading the Base64 JSON profile, its entries, per-test parameters and extras
//   Building a run      buildRun and its steps: reload, run-wide defaults, station file, matching the
//                       entries to supported tests, the audit decoy, run-wide overrides
//   Writing a profile   the selected tests back to the profile file
//   Run persistence     the archived records of a run in the user defaults, restoring and updating them
//   Result file         the result object and its atomic write
#include <Core/DXProfileManager.h>

#include <Core/AdditionalTestManager.h>
#include <Core/DXSectionModel.h>
#include <Core/DXTestModelManager.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchSemaphore.h>
#include <Foundation/NSCharacterSet.h>
#include <Foundation/NSData.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSUserDefaults.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cmath>
#include <random>

const Ref<NSString>& DXProfileFileName() {
    static const Ref<NSString> s = "quorvane_config.txt"_ns;
    return s;
}
const Ref<NSString>& DXResultFileName() {
    static const Ref<NSString> s = "quorvane_result.txt"_ns;
    return s;
}
const Ref<NSString>& DXTasksDefaultsKey() {
    static const Ref<NSString> s = "tasks"_ns;
    return s;
}
const Ref<NSString>& DXProfileContentKey() {
    static const Ref<NSString> s = "profile_content"_ns;
    return s;
}
const Ref<NSString>& DXManualTestKeyPrefix() {
    static const Ref<NSString> s = "MANUAL_INSTRUCTION_TEST_"_ns;
    return s;
}
const Ref<NSString>& DXGradeCommentKey() {
    static const Ref<NSString> s = "GRADE_COMMENT"_ns;
    return s;
}
const Ref<NSString>& DXCustomQuestionKey() {
    static const Ref<NSString> s = "CUSTOM_QUESTION"_ns;
    return s;
}
const Ref<NSString>& DXAuditOperatorKey() {
    static const Ref<NSString> s = "AUDIT_OPERATOR"_ns;
    return s;
}

namespace {

constexpr double kRunBuildPause = 2.0;     // seconds before a run build goes on
constexpr double kProfileWritePause = 2.0; // seconds before a profile write goes on
constexpr double kRemoveTasksPause = 1.0;  // seconds removeTasks holds the calling thread

constexpr NSInteger kDefaultTimeout = 60;
constexpr NSInteger kMinTimeout = 1;
constexpr NSInteger kMaxTimeout = 98;
constexpr NSInteger kNoWaitingTime = -1;

Ref<NSString> documentsPathFor(const Ref<NSString>& name) {
    auto folders = NSSearchPathForDirectoriesInDomains(NSDocumentDirectory, NSUserDomainMask, true);
    auto documents = cast<NSString>(folders ? folders->firstObject() : nullptr);
    if (!documents) {
        documents = NSSandbox::documentsPath();
    }
    return documents->stringByAppendingPathComponent(name);
}

// A JSON number (booleans included) as a whole number of seconds; false for anything else and for a
// value outside the range of NSInteger.
bool integerFromNumber(const id& value, NSInteger* out) {
    auto number = cast<NSNumber>(value);
    if (!number) {
        return false;
    }
    if (number->isFloatingPoint()) {
        double d = number->doubleValue();
        if (!std::isfinite(d) || d < -9.0e18 || d > 9.0e18) {
            return false;
        }
        *out = static_cast<NSInteger>(d);
        return true;
    }
    if (number->isUnsigned() && number->unsignedLongLongValue() > static_cast<unsigned long long>(LONG_MAX)) {
        return false;
    }
    *out = static_cast<NSInteger>(number->longLongValue());
    return true;
}

// A run-wide member as the key-value setting takes it: a number, or a text read as a number.
bool integerFromNumberOrText(const id& value, NSInteger* out) {
    if (integerFromNumber(value, out)) {
        return true;
    }
    if (auto text = cast<NSString>(value)) {
        *out = static_cast<NSInteger>(text->longLongValue());
        return true;
    }
    return false;
}

bool boolFromNumberOrText(const id& value, bool* out) {
    if (auto number = cast<NSNumber>(value)) {
        *out = number->boolValue();
        return true;
    }
    if (auto text = cast<NSString>(value)) {
        *out = text->boolValue();
        return true;
    }
    return false;
}

NSInteger clampTimeout(NSInteger seconds) {
    return seconds >= kMinTimeout && seconds <= kMaxTimeout ? seconds : kDefaultTimeout;
}

NSInteger clampWaitingTime(NSInteger seconds) {
    return seconds >= 0 ? seconds : kNoWaitingTime;
}

Ref<NSString> profileKeyOf(const id& entry) {
    auto dictionary = cast<NSDictionary>(entry);
    return dictionary ? cast<NSString>(dictionary->objectForKey("profile_key"_ns)) : nullptr;
}

bool isManualKey(const Ref<NSString>& key) {
    return key && key->hasPrefix(DXManualTestKeyPrefix());
}

Ref<NSDictionary> single(const Ref<NSString>& key, const id& value) {
    return NSDictionary::dictionaryWithEntries({{key, value}});
}

Ref<NSString> statusText(NSInteger result) {
    return result == DXTestResultPass ? DXSubTestSuccess() : DXSubTestFail();
}

// The text of a file as stored, nil when it cannot be read as UTF-8.
Ref<NSString> readText(const Ref<NSString>& path) {
    auto data = NSData::dataWithContentsOfFile(path);
    return data ? NSString::stringWithDataEncoding(data, NSUTF8StringEncoding) : nullptr;
}

void runOnMainQueue(std::function<void()> block) {
    dispatch_async(dispatch_get_main_queue(), std::move(block));
}

void runOnGlobalQueueAfter(double seconds, std::function<void()> block) {
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds * NSEC_PER_SEC)),
                   dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), std::move(block));
}

} // namespace

DXProfileManager::DXProfileManager() = default;

Ref<DXProfileManager> DXProfileManager::sharedManager() {
    static const Ref<DXProfileManager> shared = make<DXProfileManager>();
    return shared;
}

Ref<NSArray> DXProfileManager::supportTestOfAuditOperator() {
    return NSArray::arrayWithObjects(
        {"LOUDSPEAKER"_ns, "LCD_BACKLIGHT_TEST"_ns, "MAIN_MIC_LOOPBACK_TEST"_ns, "VIBRATION"_ns});
}

void DXProfileManager::setRandomSource(DXRandomSource source) {
    std::lock_guard guard(lock_);
    random_ = std::move(source);
}

uint32_t DXProfileManager::random(uint32_t upperBound) {
    std::lock_guard guard(lock_);
    if (upperBound <= 1) {
        return 0;
    }
    if (!random_) {
        auto engine = std::make_shared<std::mt19937>(std::random_device{}());
        random_ = [engine](uint32_t bound) { return std::uniform_int_distribution<uint32_t>(0, bound - 1)(*engine); };
    }
    return std::min(random_(upperBound), upperBound - 1);
}

// ---- Profile file ----

Ref<NSString> DXProfileManager::profilePath() const {
    return documentsPathFor(DXProfileFileName());
}

bool DXProfileManager::isProfileExist() const {
    return NSFileManager::defaultManager()->fileExistsAtPath(profilePath());
}

void DXProfileManager::removeProfile() {
    auto path = profilePath();
    auto files = NSFileManager::defaultManager();
    if (!files->fileExistsAtPath(path)) {
        return;
    }
    Ref<NSError> error;
    if (!files->removeItemAtPathError(path, &error)) {
        NSLog("remove profile failed: %@", error);
    }
}

Ref<NSMutableDictionary> DXProfileManager::loadProfileWithPath(const Ref<NSString>& path) const {
    auto text = readText(path);
    if (!text) {
        NSLog("profile %@: missing, unreadable or not UTF-8", path);
        return nullptr;
    }
    // The profile store writes Base64; the session join writes plain JSON. JSON text always holds a
    // character outside the Base64 alphabet, so a text that decodes is the Base64 form.
    auto trimmed = text->stringByTrimmingCharactersInSet(NSCharacterSet::whitespaceAndNewlineCharacterSet());
    if (trimmed->length() > 0) {
        if (auto decoded = NSData::dataWithBase64EncodedStringOptions(trimmed, 0)) {
            text = NSString::stringWithDataEncoding(decoded, NSUTF8StringEncoding);
            if (!text) {
                NSLog("profile %@: Base64 content is not UTF-8", path);
                return nullptr;
            }
        }
    }
    if (text->length() == 0) {
        NSLog("profile %@: empty", path);
        return nullptr;
    }
    Ref<NSError> error;
    id object = NSJSONSerialization::JSONObjectWithDataOptionsError(text->dataUsingEncoding(NSUTF8StringEncoding),
                                                                    NSJSONReadingMutableContainers, &error);
    if (!object) {
        NSLog("profile %@: malformed JSON: %@", path, error);
        return nullptr;
    }
    auto root = cast<NSMutableDictionary>(object);
    if (!root) {
        NSLog("profile %@: the JSON root is not an object; ignored", path);
        return nullptr;
    }
    return root;
}

void DXProfileManager::dropProfileLocked() {
    profileRoot_ = nullptr;
    profiles_ = nullptr;
    profilesLoaded_ = false;
    testModelsOfSelected_ = nullptr;
}

Ref<NSDictionary> DXProfileManager::profileRootLocked() {
    // What was read is the profile of the documents folder it was read from: a session over another
    // sandbox root reads its own.
    auto path = profilePath();
    if (!NSObjectsEqual(path, profileReadFrom_)) {
        dropProfileLocked();
        profileReadFrom_ = path;
    }
    if (!profileRoot_) {
        profileRoot_ = loadProfileWithPath(path);
    }
    return profileRoot_;
}

Ref<NSDictionary> DXProfileManager::profileRoot() {
    std::lock_guard guard(lock_);
    return profileRootLocked();
}

Ref<NSMutableArray> DXProfileManager::profilesLocked() {
    auto root = profileRootLocked(); // first, as it drops a list read over another sandbox root
    if (profilesLoaded_) {
        return profiles_;
    }
    if (!root) {
        return nullptr; // tried again on the next use
    }
    profilesLoaded_ = true;
    id entries = root->objectForKey("profile"_ns);
    auto list = cast<NSArray>(entries);
    if (!list) {
        if (entries) {
            NSLog("profile: \"profile\" is not an array; no tests");
        }
        profiles_ = nullptr;
        return nullptr;
    }
    // A working copy: the station step changes it, the file's own list stays as read.
    profiles_ = NSMutableArray::array();
    for (const id& item : *list) {
        auto entry = cast<NSDictionary>(item);
        if (!entry) {
            NSLog("profile: entry %@ is not an object; skipped", item);
            continue;
        }
        if (!profileKeyOf(entry)) {
            NSLog("profile: entry %@ has no text \"profile_key\"; skipped", entry);
            continue;
        }
        id extra = entry->objectForKey("extra"_ns);
        if (extra && !cast<NSDictionary>(extra)) {
            NSLog("profile: \"extra\" of %@ is not an object; ignored", profileKeyOf(entry));
            auto cleaned = NSMutableDictionary::dictionaryWithDictionary(entry);
            cleaned->removeObjectForKey("extra"_ns);
            entry = cleaned;
        }
        profiles_->addObject(entry);
    }
    return profiles_;
}

Ref<NSMutableArray> DXProfileManager::profiles() {
    std::lock_guard guard(lock_);
    return profilesLocked();
}

bool DXProfileManager::isAudioOperatorInProfiles() {
    auto root = profileRoot();
    return root && unbox<bool>(cast<NSNumber>(root->objectForKey("audit_the_operator"_ns)));
}

NSInteger DXProfileManager::auditOperatorPrecentage() {
    auto root = profileRoot();
    NSInteger ratio = 0;
    return root && integerFromNumber(root->objectForKey("audit_the_operator_ratio"_ns), &ratio) ? ratio : 0;
}

bool DXProfileManager::needShowPasscodePromptMessage() {
    auto root = profileRoot();
    return root && unbox<bool>(cast<NSNumber>(root->objectForKey("REMOVE_SECURE_LOCK"_ns)));
}

id DXProfileManager::extraAttributeForProfileKey(const Ref<NSString>& attribute, const Ref<NSString>& key) {
    auto entries = profiles();
    if (!entries || !attribute || !key) {
        return nullptr;
    }
    for (const id& item : *entries) {
        if (NSObjectsEqual(profileKeyOf(item), key)) {
            auto extra = cast<NSDictionary>(cast<NSDictionary>(item)->objectForKey("extra"_ns));
            return extra ? extra->objectForKey(attribute) : nullptr;
        }
    }
    return nullptr;
}

bool DXProfileManager::existInTestListWithKey(const Ref<NSArray>& list, const Ref<NSString>& key) {
    if (!list || !key) {
        return false;
    }
    return std::any_of(list->begin(), list->end(),
                       [&](const id& item) { return NSObjectsEqual(profileKeyOf(item), key); });
}

void DXProfileManager::applyParamsWithConfig(const Ref<DXTestModel>& model, const Ref<NSDictionary>& entry) {
    if (!model) {
        return;
    }
    auto extra = entry ? cast<NSDictionary>(entry->objectForKey("extra"_ns)) : nullptr;
    auto extraValue = [&](const char* name) -> id {
        return extra ? extra->objectForKey(NSString::from(name)) : nullptr;
    };

    NSInteger timeout = 0;
    model->setTimeout(integerFromNumber(extraValue("timeout"), &timeout) ? clampTimeout(timeout) : kDefaultTimeout);
    NSInteger waiting = 0;
    model->setWaitingTime(integerFromNumber(extraValue("waitingTime"), &waiting) ? clampWaitingTime(waiting)
                                                                                 : kNoWaitingTime);
    auto showInstruction = cast<NSNumber>(extraValue("showInstruction"));
    model->setShowInstruction(showInstruction ? showInstruction->boolValue() : true);
    auto showFailed = cast<NSNumber>(extraValue("showTestFailedScreen"));
    model->setShowTestFailedScreen(showFailed ? showFailed->boolValue() : false);
    if (extra && model->params()) {
        model->params()->setObjectForKey(extra, "extra"_ns);
    }
    model->setSelected(true);
    if (model->isAuto()) {
        model->setShowInstruction(false);
    }
    NSInteger order = 0;
    model->setOrder(entry && integerFromNumber(entry->objectForKey("order"_ns), &order) ? order : 0);
}

Ref<NSArray> DXProfileManager::testModels() const {
    std::lock_guard guard(lock_);
    return testModels_;
}

void DXProfileManager::setTestModels(const Ref<NSArray>& models) {
    std::lock_guard guard(lock_);
    testModels_ = models;
    testModelsOfSelected_ = nullptr;
}

Ref<NSArray> DXProfileManager::testModelsOfSelected() {
    std::lock_guard guard(lock_);
    if (!testModelsOfSelected_) {
        auto selected = NSMutableArray::array();
        if (testModels_) {
            for (const id& item : *testModels_) {
                auto model = cast<DXTestModel>(item);
                if (model && model->selected()) {
                    selected->addObject(model);
                }
            }
        }
        testModelsOfSelected_ = selected;
    }
    return testModelsOfSelected_;
}

// ---- Building a run ----

void DXProfileManager::runTasksWithTestModelsAnimationBeginExcutionTaskBlock(
    const Ref<NSArray>& testList, const std::function<void()>& begin,
    const std::function<void(const Ref<NSArray>&)>& task) {
    DX_ASSERT_MAIN_THREAD(); // `begin` animates, and `task` is handed back on the main queue
    if (begin) {
        begin();
    }
    Ref<DXProfileManager> self(this);
    runOnGlobalQueueAfter(kRunBuildPause, [self, testList, task] {
        std::lock_guard build(self->buildLock_);
        auto run = self->buildRun(testList);
        if (!task) {
            return;
        }
        if (!self->storeTasksInPersistent(run)) {
            NSLog("run: storing the run failed");
        }
        auto defaults = NSUserDefaults::standardUserDefaults();
        if (auto content = readText(self->profilePath())) {
            defaults->setObjectForKey(content, DXProfileContentKey());
        } else {
            defaults->removeObjectForKey(DXProfileContentKey());
        }
        if (!defaults->synchronize()) {
            NSLog("run: writing the user defaults failed");
        }
        runOnMainQueue([task, run] { task(run); });
    });
}

Ref<NSArray> DXProfileManager::buildRun(const Ref<NSArray>& testList) {
    auto root = reloadProfileForRun();
    RunDefaults defaults = runDefaultsOf(root);
    applyStationChanges(defaults);
    auto run = matchProfileEntries(testList);
    {
        std::lock_guard guard(lock_);
        testModels_ = run;
    }
    insertDecoy(run, defaults);
    applyRunWideOverrides(run, root);
    return run;
}

Ref<NSDictionary> DXProfileManager::reloadProfileForRun() {
    // Every run follows the profile file as it stands now.
    std::lock_guard guard(lock_);
    dropProfileLocked();
    auto root = profileRootLocked();
    profilesLocked();
    return root;
}

DXProfileManager::RunDefaults DXProfileManager::runDefaultsOf(const Ref<NSDictionary>& root) {
    auto rootValue = [&](const char* name) -> id { return root ? root->objectForKey(NSString::from(name)) : nullptr; };
    RunDefaults d{kNoWaitingTime, true, false, kDefaultTimeout};
    if (NSInteger w = 0; integerFromNumber(rootValue("waitingTime"), &w)) {
        d.waitingTime = clampWaitingTime(w);
    }
    if (auto si = cast<NSNumber>(rootValue("showInstruction"))) {
        d.showInstruction = si->boolValue();
    }
    if (auto sf = cast<NSNumber>(rootValue("showTestFailedScreen"))) {
        d.showTestFailedScreen = sf->boolValue();
    }
    if (NSInteger t = 0; integerFromNumber(rootValue("timeout"), &t)) {
        d.timeout = t;
    }
    return d;
}

// The station step: tests the station file adds for this device (with the run's defaults) and tests it
// skips.
void DXProfileManager::applyStationChanges(const RunDefaults& defaults) {
    auto station = AdditionalTestManager::sharedInstance();
    Ref<DXProfileManager> self(this);
    station->setParseCompleted(
        [self, defaults](const Ref<NSString>&, const Ref<NSArray>& addKeys, const Ref<NSArray>& removeKeys) {
            std::lock_guard guard(self->lock_);
            auto entries = self->profiles_;
            if (!entries) {
                return;
            }
            auto present = NSMutableArray::array();
            for (const id& entry : *entries) {
                auto key = profileKeyOf(entry);
                if (key && !key->isEqualToString(DXGradeCommentKey()) && !key->isEqualToString(DXCustomQuestionKey())) {
                    present->addObject(key);
                }
            }
            for (const id& item : *addKeys) {
                auto key = cast<NSString>(item);
                if (!key || present->containsObject(key)) {
                    continue;
                }
                auto extra = NSMutableDictionary::dictionary();
                extra->setObjectForKey(box(defaults.timeout), "timeout"_ns);
                extra->setObjectForKey(box(defaults.waitingTime), "waitingTime"_ns);
                extra->setObjectForKey(box(defaults.showInstruction), "showInstruction"_ns);
                extra->setObjectForKey(box(defaults.showTestFailedScreen), "showTestFailedScreen"_ns);
                auto entry = NSMutableDictionary::dictionary();
                entry->setObjectForKey(key, "profile_key"_ns);
                entry->setObjectForKey(extra, "extra"_ns);
                entries->addObject(entry);
                present->addObject(key);
            }
            auto kept = NSMutableArray::array();
            for (const id& entry : *entries) {
                if (!removeKeys->containsObject(profileKeyOf(entry))) {
                    kept->addObject(entry);
                }
            }
            self->profiles_ = kept;
        });
    station->parse();
    station->setParseCompleted(nullptr);
}

// The run list, in profile order then by each test's order: manual tests are made from their entries,
// the others are the supported tests that the entries name.
Ref<NSMutableArray> DXProfileManager::matchProfileEntries(const Ref<NSArray>& testList) {
    std::vector<Ref<DXTestModel>> records;
    Ref<NSArray> entries;
    {
        std::lock_guard guard(lock_);
        entries = profiles_ ? NSArray::arrayWithArray(profiles_) : nullptr;
    }
    if (entries) {
        for (const id& item : *entries) {
            auto entry = cast<NSDictionary>(item);
            auto key = profileKeyOf(entry);
            if (isManualKey(key)) {
                auto model = make<DXTestModel>();
                model->setProfilekey(key);
                model->setControllerName("ManualTestViewController"_ns);
                model->setIcon("icon_logo-1"_ns);
                model->setTitle(cast<NSString>(extraAttributeForProfileKey("miTestName"_ns, key)));
                model->setInstruction(cast<NSString>(extraAttributeForProfileKey("miTestInstruction"_ns, key)));
                model->setQuestion(cast<NSString>(extraAttributeForProfileKey("miTestQuestion"_ns, key)));
                applyParamsWithConfig(model, entry);
                records.push_back(model);
                continue;
            }
            bool found = false;
            if (testList) {
                for (const id& candidate : *testList) {
                    auto model = cast<DXTestModel>(candidate);
                    if (model && NSObjectsEqual(model->profilekey(), key)) {
                        applyParamsWithConfig(model, entry);
                        records.push_back(model);
                        found = true;
                    }
                }
            }
            if (!found && !key->isEqualToString(DXGradeCommentKey()) && !key->isEqualToString(DXCustomQuestionKey())) {
                NSLog("profile key %@ names no supported test; ignored", key);
            }
        }
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const Ref<DXTestModel>& a, const Ref<DXTestModel>& b) { return a->order() < b->order(); });
    return NSMutableArray::arrayWithArray(NSArray::arrayWithRefs(records));
}

// Run-wide overrides: the root's own members, on every record, the decoy included.
void DXProfileManager::applyRunWideOverrides(const Ref<NSArray>& run, const Ref<NSDictionary>& root) {
    if (!root) {
        return;
    }
    auto rootValue = [&](const char* name) -> id { return root->objectForKey(NSString::from(name)); };
    for (const id& item : *run) {
        auto model = cast<DXTestModel>(item);
        if (id v = rootValue("waitingTime")) {
            NSInteger w = 0;
            if (integerFromNumberOrText(v, &w)) {
                model->setWaitingTime(clampWaitingTime(w));
            } else {
                NSLog("profile: run-wide \"waitingTime\" %@ is not a number; ignored", v);
            }
        }
        if (id v = rootValue("showInstruction")) {
            bool flag = false;
            if (boolFromNumberOrText(v, &flag)) {
                model->setShowInstruction(flag);
            } else {
                NSLog("profile: run-wide \"showInstruction\" %@ is not a boolean; ignored", v);
            }
        }
        if (id v = rootValue("showTestFailedScreen")) {
            bool flag = false;
            if (boolFromNumberOrText(v, &flag)) {
                model->setShowTestFailedScreen(flag);
            } else {
                NSLog("profile: run-wide \"showTestFailedScreen\" %@ is not a boolean; ignored", v);
            }
        }
        if (id v = rootValue("timeout")) {
            NSInteger t = 0;
            if (integerFromNumberOrText(v, &t)) {
                model->setTimeout(clampTimeout(t));
            } else {
                NSLog("profile: run-wide \"timeout\" %@ is not a number; ignored", v);
            }
        }
    }
}

void DXProfileManager::insertDecoy(const Ref<NSMutableArray>& run, const RunDefaults& defaults) {
    uint32_t draw = random(100);
    if (!(auditOperatorPrecentage() > static_cast<NSInteger>(draw) && isAudioOperatorInProfiles())) {
        return;
    }
    auto candidates = supportTestOfAuditOperator();
    auto key = cast<NSString>(candidates->objectAtIndex(random(static_cast<uint32_t>(candidates->count()))));
    auto source = DXTestModelManager::sharedInstrance()->findTestModelWithKey(key);
    if (!source) {
        NSLog("audit: %@ is not supported on this device; no decoy", key);
        return;
    }
    auto decoy = cast<DXTestModel>(source->copy());
    // A fresh record: nothing of an earlier run of the source carries over.
    decoy->setResult(DXTestResultNotRun);
    if (auto subtests = decoy->subTestItemsResult()) {
        auto keys = subtests->allKeys();
        for (const id& subKey : *keys) {
            subtests->setObjectForKey(DXSubTestNotTest(), subKey);
        }
    }
    decoy->setOrignalKey(key);
    decoy->setProfilekey(DXAuditOperatorKey());
    decoy->setFakeTest(true);
    decoy->setWaitingTime(defaults.waitingTime >= 1 ? defaults.waitingTime : kNoWaitingTime);
    decoy->setTimeout(clampTimeout(defaults.timeout));
    decoy->setShowInstruction(defaults.showInstruction);
    decoy->setShowTestFailedScreen(defaults.showTestFailedScreen);
    auto index = run->count() == 0 ? 0 : random(static_cast<uint32_t>(run->count()));
    run->insertObjectAtIndex(decoy, index);
}

// ---- Writing a profile ----

void DXProfileManager::saveProfileWithTestModelsStartHandleFinishHandle(const Ref<NSArray>& list,
                                                                        const std::function<void()>& start,
                                                                        const std::function<void(bool)>& finish) {
    DX_ASSERT_MAIN_THREAD(); // `start` shows progress on the screen
    if (start) {
        start();
    }
    Ref<DXProfileManager> self(this);
    runOnGlobalQueueAfter(kProfileWritePause, [self, list, finish] {
        auto entries = NSMutableArray::array();
        if (list) {
            for (const id& item : *list) {
                auto model = cast<DXTestModel>(item);
                if (model && model->selected() && model->profilekey()) {
                    entries->addObject(single("profile_key"_ns, model->profilekey()));
                }
            }
        }
        auto object = single("profile"_ns, entries);
        Ref<NSError> error;
        auto json = NSJSONSerialization::dataWithJSONObjectOptionsError(object, NSJSONWritingPrettyPrinted, &error);
        bool written = false;
        if (json) {
            auto base64 = json->base64EncodedStringWithOptions(0);
            written = base64->dataUsingEncoding(NSUTF8StringEncoding)->writeToFileAtomically(self->profilePath(), true);
        }
        if (!written) {
            NSLog("profile: writing %@ failed %@", DXProfileFileName(), error);
        }
        runOnMainQueue([finish, written] {
            if (finish) {
                finish(written);
            }
        });
    });
}

// ---- Run persistence ----

bool DXProfileManager::storeTasksInPersistent(const Ref<NSArray>& tasks) {
    auto archives = NSMutableArray::array();
    bool complete = true;
    if (tasks) {
        for (const id& item : *tasks) {
            auto model = cast<DXTestModel>(item);
            Ref<NSError> error;
            auto data = model
                            ? NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(model, true, &error)
                            : nullptr;
            if (!data) {
                NSLog("tasks: %@ cannot be archived; not stored %@", item, error);
                complete = false;
                continue;
            }
            archives->addObject(data);
        }
    }
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey(archives, DXTasksDefaultsKey());
    // On disk before returning: a process that ends right after a result loses nothing.
    if (!defaults->synchronize()) {
        NSLog("tasks: writing the user defaults failed");
        return false;
    }
    return complete;
}

Ref<NSMutableArray> DXProfileManager::loadPersistentTasks() {
    auto tasks = NSMutableArray::array();
    auto stored = cast<NSArray>(NSUserDefaults::standardUserDefaults()->objectForKey(DXTasksDefaultsKey()));
    if (!stored) {
        return tasks;
    }
    for (const id& item : *stored) {
        auto data = cast<NSData>(item);
        Ref<NSError> error;
        auto model = data ? cast<DXTestModel>(NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(
                                DXTestModel::class_(), data, &error))
                          : nullptr;
        if (!model) {
            NSLog("tasks: a stored record cannot be read; passed over %@", error);
            continue;
        }
        tasks->addObject(model);
    }
    return tasks;
}

bool DXProfileManager::updateStateInPersistentWithTestModel(NSInteger result, const Ref<DXTestModel>& model) {
    auto tasks = loadPersistentTasks();
    for (const id& item : *tasks) {
        auto stored = cast<DXTestModel>(item);
        if (model && NSObjectsEqual(stored->profilekey(), model->profilekey())) {
            NSLog("profilekey[%@].state = %d", stored->profilekey(), static_cast<int>(result));
            stored->setResult(result);
            stored->setSubTestItemsResult(model->subTestItemsResult());
            break;
        }
    }
    return storeTasksInPersistent(tasks);
}

void DXProfileManager::removeTasks() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->removeObjectForKey(DXTasksDefaultsKey());
    if (!defaults->synchronize()) {
        NSLog("tasks: writing the user defaults failed");
    }
    // A platform wait, so that on virtual time the pause passes on the clock, not in real time.
    dispatch_semaphore_wait(dispatch_semaphore_create(0),
                            dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(kRemoveTasksPause * NSEC_PER_SEC)));
}

bool DXProfileManager::needRestoreTasks() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    auto stored = cast<NSArray>(defaults->objectForKey(DXTasksDefaultsKey()));
    if (!stored || stored->count() == 0 || !isProfileExist()) {
        return false;
    }
    auto content = readText(profilePath());
    auto storedContent = cast<NSString>(defaults->objectForKey(DXProfileContentKey()));
    return content && storedContent && content->isEqualToString(storedContent);
}

bool DXProfileManager::comparePersistentAndProfile() {
    std::vector<std::string> fromProfile;
    if (auto entries = profiles()) {
        for (const id& entry : *entries) {
            if (auto key = profileKeyOf(entry)) {
                fromProfile.push_back(key->lowercaseString()->str());
            }
        }
    }
    std::vector<std::string> fromStore;
    auto stored = loadPersistentTasks();
    for (const id& item : *stored) {
        if (auto key = cast<DXTestModel>(item)->profilekey()) {
            fromStore.push_back(key->lowercaseString()->str());
        }
    }
    std::sort(fromProfile.begin(), fromProfile.end());
    std::sort(fromStore.begin(), fromStore.end());
    return fromProfile == fromStore;
}

bool DXProfileManager::allFinishWithTasks(const Ref<NSArray>& tasks) {
    if (!tasks) {
        return true;
    }
    return std::none_of(tasks->begin(), tasks->end(), [](const id& item) {
        auto model = cast<DXTestModel>(item);
        return model && model->result() == DXTestResultNotRun;
    });
}

bool DXProfileManager::needGradeComment() {
    if (!isProfileExist()) {
        return false;
    }
    auto entries = profiles();
    return entries && existInTestListWithKey(entries, DXGradeCommentKey());
}

Ref<NSArray> DXProfileManager::needCustomQuestion() {
    auto entries = isProfileExist() ? profiles() : nullptr;
    if (!entries) {
        return NSArray::array();
    }
    for (const id& item : *entries) {
        if (NSObjectsEqual(profileKeyOf(item), DXCustomQuestionKey())) {
            auto extra = cast<NSDictionary>(cast<NSDictionary>(item)->objectForKey("extra"_ns));
            if (!extra) {
                return NSArray::array();
            }
            id questions = extra->objectForKey("questions"_ns);
            if (questions && !cast<NSArray>(questions)) {
                NSLog("profile: \"questions\" is not an array; ignored");
                return nullptr;
            }
            return cast<NSArray>(questions);
        }
    }
    return NSArray::array();
}

// ---- Result file ----

Ref<NSMutableDictionary> DXProfileManager::resultObjectWithListGradecomment(const Ref<NSArray>& list,
                                                                            const Ref<NSArray>& gradecomment) {
    auto result = NSMutableDictionary::dictionary();
    bool failed = false;
    std::vector<Ref<DXTestModel>> models;
    if (list) {
        for (const id& item : *list) {
            if (auto model = cast<DXTestModel>(item); model && model->profilekey()) {
                models.push_back(model);
            }
        }
    }

    for (const auto& model : models) {
        auto key = model->profilekey();
        if (isManualKey(key)) {
            continue;
        }
        bool decoy = key->isEqualToString(DXAuditOperatorKey());
        NSInteger code = model->result();
        // A run passes only when every real test passed: a fail, a time-out or a test that never ran
        // all make it fail. The decoy never decides the run.
        if (!decoy && code != DXTestResultPass) {
            failed = true;
        }
        if (code != DXTestResultPass && code != DXTestResultFail) {
            continue;
        }
        auto subtests = model->subTestItemsResult();
        if (subtests && subtests->count() > 0) {
            auto items = NSMutableArray::array();
            for (const auto& [subKey, status] : *subtests) {
                auto text = cast<NSString>(status);
                if (!text) {
                    continue;
                }
                if (text->isEqualToString(DXSubTestFail())) {
                    failed = true;
                }
                items->addObject(single(cast<NSString>(subKey), text));
            }
            items->addObject(single(key, statusText(code)));
            result->setObjectForKey(items, key);
        } else if (decoy) {
            result->setObjectForKey(
                NSArray::arrayWithObjects(
                    {single(key, statusText(code)),
                     single("AUDIT_OPERATOR_TEST_NAME"_ns, model->orignalKey() ? id(model->orignalKey()) : id(""_ns))}),
                key);
        } else {
            result->setObjectForKey(NSArray::arrayWithObjects({single(key, statusText(code))}), key);
        }
    }

    long n = 0;
    for (const auto& model : models) {
        auto key = model->profilekey();
        if (!isManualKey(key)) {
            continue;
        }
        ++n;
        if (model->result() != DXTestResultPass) {
            failed = true;
        }
        auto title = model->title() ? model->title() : ""_ns;
        auto question = model->question() ? model->question() : ""_ns;
        result->setObjectForKey(
            NSArray::arrayWithObjects(
                {single(NSString::stringWithFormat("MANUAL_INSTRUCTION_TEST_%ld_TestName", n), title),
                 single(NSString::stringWithFormat("MANUAL_INSTRUCTION_TEST_%ld", n), statusText(model->result())),
                 single(NSString::stringWithFormat("MANUAL_INSTRUCTION_TEST_%ld_TestQuestions", n), question)}),
            key);
    }

    // Tests the station skipped that the profile file itself asked for.
    auto root = profileRoot();
    auto fileEntries = root ? cast<NSArray>(root->objectForKey("profile"_ns)) : nullptr;
    if (fileEntries) {
        auto skipped = AdditionalTestManager::sharedInstance()->removeKeys();
        for (const id& item : *skipped) {
            auto key = cast<NSString>(item);
            if (key && existInTestListWithKey(fileEntries, key)) {
                result->setObjectForKey(NSArray::arrayWithObjects({single(key, DXSubTestRemoved())}), key);
            }
        }
    }

    result->setObjectForKey(failed ? "FAIL"_ns : "SUCCESS"_ns, "RESULT"_ns);

    if (gradecomment) {
        auto grades = NSMutableArray::array();
        long i = 0;
        for (const id& item : *gradecomment) {
            ++i;
            auto grade = cast<NSDictionary>(item);
            if (!grade || grade->count() == 0) {
                NSLog("result: grade item %ld is not a question and answer; skipped", i);
                continue;
            }
            const auto& [question, answer] = grade->entries().front();
            grades->addObject(single(NSString::stringWithFormat("GRADE_COMMENT_Question%ld", i), question));
            grades->addObject(single(NSString::stringWithFormat("GRADE_COMMENT_Answer%ld", i), answer));
        }
        result->setObjectForKey(grades, DXGradeCommentKey());
    }
    return result;
}

bool DXProfileManager::saveResultFileWithListGradecommentCompletion(const Ref<NSArray>& list,
                                                                    const Ref<NSArray>& gradecomment,
                                                                    const std::function<void(bool)>& completion) {
    auto object = resultObjectWithListGradecomment(list, gradecomment);
    Ref<NSError> error;
    auto json = NSJSONSerialization::dataWithJSONObjectOptionsError(object, NSJSONWritingPrettyPrinted, &error);
    bool written = false;
    if (!json || json->length() == 0) {
        NSLog("result: the result cannot be serialised: %@", error);
    } else if (!json->writeToFileOptionsError(documentsPathFor(DXResultFileName()), NSDataWritingAtomic, &error)) {
        NSLog("result: writing %@ failed: %@", DXResultFileName(), error);
    } else {
        written = true;
        // The stored run goes only once its results are safely in the file.
        removeTasks();
    }
    if (completion) {
        completion(written);
    }
    return written;
}

NS_IMPLEMENT_CLASS(DXProfileManager, NSObject) {
    b.property("testModels", &DXProfileManager::testModels, &DXProfileManager::setTestModels);
}
