// DXTestModelManager: the catalogue of tests and the builder of this device's test list.
//
// The test definitions ("ItemList") and the per-device support list ("models") of the bundle
// become one DXTestModel per supported test, ordered by priority and split into an automatic and a
// manual section. Every record a build makes is appended to the catalogue (testModels); the
// catalogue is guarded, so a build on a global queue never races a reader on another thread, and
// builds run one at a time.
#pragma once

#include <Core/DXTestModel.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>

#include <functional>
#include <mutex>

// The support decision for one test on this device.
enum DXSupportDecision : NSUInteger {
    DXSupportNo = 0,        // "no": left out
    DXSupportYes = 1,       // "yes", no value or no row for the device
    DXSupportAskScreen = 2, // any other value: the screen class answers isSupport
};

// Error domain and code of an unreadable test definition file.
const Ref<NSString>& DXQuorvaneErrorDomain(); // "Quorvane"
inline constexpr NSInteger DXErrorTestDefinitionsUnreadable = 101;

using DXTestListCompletion = std::function<void(const Ref<NSArray>& list, const Ref<NSError>& error)>;

class DXTestModelManager : public NSObject {
    NS_OBJECT(DXTestModelManager, NSObject)
public:
    DXTestModelManager();

    // The process-wide manager, made on first use (the name is spelled so).
    static Ref<DXTestModelManager> sharedInstrance();
    // The definition members that are not copied into params: "title", "controller", "message",
    // "icon", "priority", "auto".
    static Ref<NSArray> allAttributions();

    // Builds the list on a global queue and calls `completion` on the main queue with
    // [automatic section, automatic records..., manual section, manual records...], or with an
    // empty list and the error (domain "Quorvane", code 101) when the definitions cannot be read.
    void loadTestModelWithPlistSupportmodelCompletion(const Ref<NSString>& plistPath, const Ref<NSString>& supportPath,
                                                      const DXTestListCompletion& completion);
    // The support decision of `key` for this device's row of the support list.
    NSUInteger isSupportWithKeySupportList(const Ref<NSString>& key, const Ref<NSDictionary>& supportList) const;
    // The row's "mute"; NO without a row.
    bool isSupportMuteWithSupportList(const Ref<NSDictionary>& supportList) const;
    // The first catalogue record with the profile key, or nil.
    Ref<DXTestModel> findTestModelWithKey(const Ref<NSString>& key) const;

    // A snapshot of the catalogue.
    Ref<NSArray> testModels() const;
    void setTestModels(const Ref<NSArray>& models);

private:
    Ref<NSArray> buildList(const Ref<NSDictionary>& definitions, const Ref<NSDictionary>& supportList);
    Ref<NSDictionary> deviceRow(const Ref<NSDictionary>& supportList) const;

    mutable std::mutex lock_; // guards testModels_
    Ref<NSMutableArray> testModels_;
    std::mutex buildLock_; // one build at a time
};
