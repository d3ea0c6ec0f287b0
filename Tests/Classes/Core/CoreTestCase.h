// Shared fixture of the framework-core tests: a fresh sandbox (documents folder, user defaults),
// the default simulated device and the platform fixture's virtual time, so that the 2.0-second pauses of the run
// builder pass on the clock and not in real time.
#pragma once

#include <Core/AdditionalTestManager.h>
#include <Core/DXProfileManager.h>
#include <Core/DXTestModelManager.h>
#include <Device/SimDevice.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSData.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Foundation/NSUserDefaults.h>

#include <Support/LogCapture.h>
#include <Support/PlatformTestCase.h>

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

class CoreTestCase : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        NSSandbox::useTemporaryRoot();
        NSUserDefaults::resetStandardUserDefaults();
        SimDevice::current().loadProfile(SimDevice::defaultProfile);
        // The app's managers live as long as the process; each test starts as a fresh launch would:
        // no catalogue, no run in memory, the decoy drawn at random.
        DXTestModelManager::sharedInstrance()->setTestModels(nullptr);
        DXProfileManager::sharedManager()->setTestModels(nullptr);
        DXProfileManager::sharedManager()->setRandomSource(nullptr);
        // Nor a station's add/skip lists from an earlier test.
        auto station = AdditionalTestManager::sharedInstance();
        station->setAddKeys(nullptr);
        station->setRemoveKeys(nullptr);
        station->setModelNumber(nullptr);
        log_.emplace();
    }
    void TearDown() override {
        PlatformTestCase::TearDown();
        log_.reset();
    }

    static Ref<NSString> documentsFile(const char* name) {
        return NSSandbox::documentsPath()->stringByAppendingPathComponent(NSString::from(name));
    }
    static void writeText(const Ref<NSString>& path, const std::string& text) {
        ASSERT_TRUE(NSData::dataWithString(text)->writeToFileAtomically(path, true));
    }
    static std::string readText(const Ref<NSString>& path) {
        auto data = NSData::dataWithContentsOfFile(path);
        return data ? data->stringValue() : std::string();
    }
    static std::string base64(const std::string& text) {
        return NSData::dataWithString(text)->base64EncodedStringWithOptions(0)->str();
    }
    static id json(const std::string& text) {
        Ref<NSError> error;
        id object = NSJSONSerialization::JSONObjectWithDataOptionsError(NSData::dataWithString(text),
                                                                        NSJSONReadingMutableContainers, &error);
        EXPECT_TRUE(object) << text;
        return object;
    }
    // Writes a property list file in the temporary folder and answers its path.
    static Ref<NSString> writePlist(const char* name, const id& plist) {
        auto path = NSSandbox::temporaryPath()->stringByAppendingPathComponent(NSString::from(name));
        Ref<NSError> error;
        auto data = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(
            plist, NSPropertyListXMLFormat_v1_0, 0, &error);
        EXPECT_TRUE(data) << NSDescription(error)->str();
        EXPECT_TRUE(data->writeToFileAtomically(path, true));
        return path;
    }

    // Builds the test list from the two files and waits for the completion on virtual time.
    Ref<NSArray> buildList(const Ref<NSString>& definitions, const Ref<NSString>& support,
                           Ref<NSError>* error = nullptr) {
        bool done = false;
        Ref<NSArray> list;
        DXTestModelManager::sharedInstrance()->loadTestModelWithPlistSupportmodelCompletion(
            definitions, support, [&](const Ref<NSArray>& l, const Ref<NSError>& e) {
                done = true;
                list = l;
                if (error) {
                    *error = e;
                }
            });
        EXPECT_TRUE(runUntil([&] { return done; }, 5.0));
        return list;
    }

    // Runs a run build to its end and answers the run handed to the task block.
    Ref<NSArray> runBuild(const Ref<NSArray>& testList) {
        bool done = false;
        Ref<NSArray> run;
        DXProfileManager::sharedManager()->runTasksWithTestModelsAnimationBeginExcutionTaskBlock(
            testList, [] {},
            [&](const Ref<NSArray>& r) {
                done = true;
                run = r;
            });
        EXPECT_TRUE(runUntil([&] { return done; }, 5.0));
        return run;
    }

    bool logged(const std::string& text) const { return log_ && log_->contains(text); }

private:
    std::optional<LogCapture> log_; // what the test logged, from any thread
};

// A seeded random source for the audit decoy.
inline DXRandomSource seededRandom(uint32_t seed) {
    auto engine = std::make_shared<std::mt19937>(seed);
    return [engine](uint32_t bound) { return std::uniform_int_distribution<uint32_t>(0, bound - 1)(*engine); };
}

// Keys of the records of a list, section headers passed over.
inline std::vector<std::string> keysOf(const Ref<NSArray>& list) {
    std::vector<std::string> keys;
    if (list) {
        for (const id& item : *list) {
            if (auto model = cast<DXTestModel>(item)) {
                keys.push_back(model->profilekey() ? model->profilekey()->str() : "(nil)");
            }
        }
    }
    return keys;
}
