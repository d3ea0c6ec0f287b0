// Fuzzes the profile reader: the bytes of "quorvane_config.txt" (plain JSON or Base64) through
// loading, the entry checks and every rule that reads the profile, and the result writer's object.
#include <Core/DXProfileManager.h>
#include <Core/DXTestModel.h>
#include <Foundation/NSData.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSLog.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool ready = [] {
        NSSandbox::useTemporaryRoot();
        NSLogSetHook([](const std::string&) {});
        return true;
    }();
    (void)ready;
    auto path = NSSandbox::documentsPath()->stringByAppendingPathComponent("quorvane_config.txt"_ns);
    if (!NSData::dataWithBytesLength(bytes, size)->writeToFileAtomically(path, false)) {
        return 0;
    }
    // A fresh manager reads the file anew.
    auto manager = make<DXProfileManager>();
    manager->loadProfileWithPath(path);
    auto entries = manager->profiles();
    manager->isAudioOperatorInProfiles();
    manager->auditOperatorPrecentage();
    manager->needShowPasscodePromptMessage();
    manager->needGradeComment();
    manager->needCustomQuestion();
    auto run = NSMutableArray::array();
    if (entries) {
        for (const id& item : *entries) {
            auto entry = cast<NSDictionary>(item);
            auto model = make<DXTestModel>();
            model->setProfilekey(cast<NSString>(entry->objectForKey("profile_key"_ns)));
            model->setParams(NSMutableDictionary::dictionary());
            model->setSubTestItemsResult(NSMutableDictionary::dictionary());
            DXProfileManager::applyParamsWithConfig(model, entry);
            manager->extraAttributeForProfileKey("miTestName"_ns, model->profilekey());
            model->setResult(static_cast<NSInteger>(run->count() % 4));
            run->addObject(model);
        }
    }
    manager->resultObjectWithListGradecomment(run, manager->needCustomQuestion());
    return 0;
}
