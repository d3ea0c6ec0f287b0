// NSUserDefaults: the app's persistent key-value store of property-list values.
//
// The store is one XML property-list file in the sandbox's Library/Preferences/ folder, named
// after the bundle identifier (or the suite). Every change is written to the file, atomically,
// before the call returns, so nothing is lost when the process ends at once. A file that cannot be
// read is set aside (renamed) and the store starts empty. Safe to use from any thread.
// docs/foundation.md describes the file.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

#include <mutex>
#include <string>

// Posted (object: the store) on the thread that changed the store, after each change.
const Ref<NSString>& NSUserDefaultsDidChangeNotification();

class NSUserDefaults : public NSObject {
    NS_OBJECT(NSUserDefaults, NSObject)
public:
    // `initWithSuiteName:`: the store in "<suite>.plist"; nil is the standard store.
    explicit NSUserDefaults(const Ref<NSString>& suiteName);
    NSUserDefaults() : NSUserDefaults(nullptr) {}

    static Ref<NSUserDefaults> standardUserDefaults();
    // Drops the shared store; the next standardUserDefaults reads the file again (under the
    // sandbox root of that moment).
    static void resetStandardUserDefaults();

    // The value stored for `key`, else the registered default, else nil.
    id objectForKey(const Ref<NSString>& key) const;
    // Stores an immutable copy of a property-list value (NSString, NSNumber, NSData, NSDate, NSArray
    // and NSDictionary of those with string keys); nil removes the key. Raises
    // NSInvalidArgumentException for anything else.
    void setObjectForKey(const id& value, const Ref<NSString>& key);
    void removeObjectForKey(const Ref<NSString>& key);

    // nil when the value is missing or of another kind (a number answers its text).
    Ref<NSString> stringForKey(const Ref<NSString>& key) const;
    Ref<NSArray> arrayForKey(const Ref<NSString>& key) const;
    Ref<NSDictionary> dictionaryForKey(const Ref<NSString>& key) const;
    Ref<NSData> dataForKey(const Ref<NSString>& key) const;
    // 0 / NO when the value is missing or is not a number or a numeric string.
    NSInteger integerForKey(const Ref<NSString>& key) const;
    float floatForKey(const Ref<NSString>& key) const;
    double doubleForKey(const Ref<NSString>& key) const;
    bool boolForKey(const Ref<NSString>& key) const;

    void setIntegerForKey(NSInteger value, const Ref<NSString>& key);
    void setFloatForKey(float value, const Ref<NSString>& key);
    void setDoubleForKey(double value, const Ref<NSString>& key);
    void setBoolForKey(bool value, const Ref<NSString>& key);

    // Defaults answered for keys that hold no value; kept in memory only.
    void registerDefaults(const Ref<NSDictionary>& defaults);
    // The registered defaults overlaid with the stored values.
    Ref<NSDictionary> dictionaryRepresentation() const;

    // Writes a change whose write failed before, else takes in changes that another process made to
    // the file. False when the store could not be written.
    [[nodiscard]] bool synchronize();

    // The file behind the store.
    const std::string& filePath() const noexcept { return path_; }

private:
    void load();
    bool persistLocked();
    void changed();

    std::string path_;
    mutable std::mutex lock_;
    Ref<NSMutableDictionary> values_;
    Ref<NSMutableDictionary> registered_;
    bool dirty_ = false; // a write failed; synchronize retries it
    struct FileStamp {
        unsigned long long device = 0, inode = 0, size = 0;
        long long seconds = 0, nanoseconds = 0;
        bool operator==(const FileStamp&) const = default;
    } stamp_;
};
