#include <Foundation/NSBundle.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Foundation/NSUserDefaults.h>
#include <Runtime/ClassBuilder.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

NS_IMPLEMENT_CLASS(NSUserDefaults, NSObject) {}

const Ref<NSString>& NSUserDefaultsDidChangeNotification() {
    static const Ref<NSString> name = NSString::from("NSUserDefaultsDidChangeNotification");
    return name;
}

namespace {

constexpr const char kNestedTooDeeply[] = "nested too deeply";

// An immutable deep copy of a property-list value; nil (and the offending class in `bad`) otherwise.
id propertyListCopy(const id& value, int depth, std::string& bad) {
    if (depth > NSPropertyListSerialization::maximumDepth) {
        bad = kNestedTooDeeply;
        return nullptr;
    }
    if (!value) {
        bad = "nil";
        return nullptr;
    }
    if (auto s = cast<NSString>(value)) {
        return s->copy();
    }
    if (cast<NSNumber>(value) || cast<NSDate>(value)) {
        return value;
    }
    if (auto d = cast<NSData>(value)) {
        return d->copy();
    }
    if (auto a = cast<NSArray>(value)) {
        std::vector<id> items;
        items.reserve(a->count());
        for (const auto& item : *a) {
            id copied = propertyListCopy(item, depth + 1, bad);
            if (!copied) {
                return nullptr;
            }
            items.push_back(std::move(copied));
        }
        return make<NSArray>(std::move(items));
    }
    if (auto dict = cast<NSDictionary>(value)) {
        std::vector<NSDictionary::Entry> entries;
        entries.reserve(dict->count());
        for (const auto& [k, v] : *dict) {
            if (!cast<NSString>(k)) {
                bad = "a dictionary key of class " + k->getClass()->name();
                return nullptr;
            }
            id copied = propertyListCopy(v, depth + 1, bad);
            if (!copied) {
                return nullptr;
            }
            entries.emplace_back(k, std::move(copied));
        }
        return make<NSDictionary>(entries);
    }
    bad = value->getClass()->name();
    return nullptr;
}

std::mutex standardLock;
Ref<NSUserDefaults>& standardStore() {
    static Ref<NSUserDefaults> store;
    return store;
}

void requireKey(const Ref<NSString>& key, const char* method) {
    if (!key) {
        NSException::raise(NSInvalidArgumentException, std::string("-[NSUserDefaults ") + method + "]: nil key");
    }
}

} // namespace

NSUserDefaults::NSUserDefaults(const Ref<NSString>& suiteName)
    : values_(NSMutableDictionary::dictionary()), registered_(NSMutableDictionary::dictionary()) {
    std::string name = suiteName && suiteName->length() ? suiteName->str() : std::string();
    if (name.empty()) {
        auto identifier = NSBundle::mainBundle()->bundleIdentifier();
        name = identifier && identifier->length() ? identifier->str() : std::string("celvix");
    }
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    path_ = NSSandbox::preferencesPath()->str() + "/" + name + ".plist";
    std::lock_guard lock(lock_);
    load();
}

Ref<NSUserDefaults> NSUserDefaults::standardUserDefaults() {
    std::lock_guard lock(standardLock);
    auto& store = standardStore();
    if (!store) {
        store = make<NSUserDefaults>(nullptr);
    }
    return store;
}

void NSUserDefaults::resetStandardUserDefaults() {
    Ref<NSUserDefaults> old;
    std::lock_guard lock(standardLock);
    old = std::move(standardStore());
}

namespace {
bool stampOf(const std::string& path, unsigned long long& dev, unsigned long long& ino, unsigned long long& size,
             long long& sec, long long& nsec) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        dev = ino = size = 0;
        sec = nsec = 0;
        return false;
    }
    dev = st.st_dev;
    ino = st.st_ino;
    size = static_cast<unsigned long long>(st.st_size);
    sec = st.st_mtim.tv_sec;
    nsec = st.st_mtim.tv_nsec;
    return true;
}
} // namespace

// Reads the file into values_; the caller holds lock_. A file that is not a readable property list
// is renamed aside so that the next write does not destroy what may still be recovered from it.
void NSUserDefaults::load() {
    std::string bytes;
    Ref<NSError> error;
    values_ = NSMutableDictionary::dictionary();
    stampOf(path_, stamp_.device, stamp_.inode, stamp_.size, stamp_.seconds, stamp_.nanoseconds);
    if (!ns_file::readFile(path_, bytes, &error)) {
        auto underlying = error ? error->underlyingError() : nullptr;
        if (!underlying || underlying->code() != ENOENT) {
            NSLog("NSUserDefaults: cannot read %s: %@", path_, error ? error->localizedDescription() : nullptr);
        }
        return;
    }
    Ref<NSError> parseError;
    auto root = NSPropertyListSerialization::propertyListWithDataOptionsFormatError(
        NSData::dataWithBytesLength(bytes.data(), bytes.size()), NSPropertyListImmutable, nullptr, &parseError);
    auto dict = cast<NSDictionary>(root);
    if (!dict) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".corrupt-%lld", static_cast<long long>(std::time(nullptr)));
        std::string aside = path_ + suffix;
        if (::rename(path_.c_str(), aside.c_str()) != 0) {
            aside = "(could not be renamed: " + std::string(std::strerror(errno)) + ")";
        }
        NSLog("NSUserDefaults: the store %s is damaged (%@); set aside as %s, starting empty", path_,
              parseError ? parseError->localizedDescription() : NSString::from("the root is not a dictionary"), aside);
        stampOf(path_, stamp_.device, stamp_.inode, stamp_.size, stamp_.seconds, stamp_.nanoseconds);
        return;
    }
    values_ = NSMutableDictionary::dictionaryWithDictionary(dict);
}

// Writes values_ to the file; the caller holds lock_.
bool NSUserDefaults::persistLocked() {
    Ref<NSError> error;
    auto data = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(
        values_, NSPropertyListXMLFormat_v1_0, 0, &error);
    bool ok =
        data && ns_file::writeAtomically(
                    path_, std::string_view(reinterpret_cast<const char*>(data->bytes()), data->length()), &error);
    if (!ok) {
        dirty_ = true;
        NSLog("NSUserDefaults: could not write %s: %@", path_, error ? error->localizedDescription() : nullptr);
        return false;
    }
    dirty_ = false;
    stampOf(path_, stamp_.device, stamp_.inode, stamp_.size, stamp_.seconds, stamp_.nanoseconds);
    return true;
}

void NSUserDefaults::changed() {
    NSNotificationCenter::defaultCenter()->postNotificationNameObject(NSUserDefaultsDidChangeNotification(),
                                                                      Ref<NSObject>(this));
}

id NSUserDefaults::objectForKey(const Ref<NSString>& key) const {
    if (!key) {
        return nullptr;
    }
    std::lock_guard lock(lock_);
    if (id value = values_->objectForKey(key)) {
        return value;
    }
    return registered_->objectForKey(key);
}

void NSUserDefaults::setObjectForKey(const id& value, const Ref<NSString>& key) {
    requireKey(key, "setObject:forKey:");
    if (!value) {
        removeObjectForKey(key);
        return;
    }
    std::string bad;
    id copied = propertyListCopy(value, 0, bad);
    if (!copied) {
        // A value nested past the bound is named by its class: describing it would take a line per
        // level, each indented as deep as it lies.
        std::string shown =
            bad == kNestedTooDeeply ? "of class " + value->getClass()->name() : NSDescription(value)->str();
        NSException::raise(NSInvalidArgumentException, "Attempt to insert non-property list object " + shown +
                                                           " for key " + key->str() + " (" + bad + ")");
    }
    {
        std::lock_guard lock(lock_);
        values_->setObjectForKey(copied, key->copy());
        persistLocked();
    }
    changed();
}

void NSUserDefaults::removeObjectForKey(const Ref<NSString>& key) {
    requireKey(key, "removeObjectForKey:");
    {
        std::lock_guard lock(lock_);
        if (!values_->objectForKey(key)) {
            return;
        }
        values_->removeObjectForKey(key);
        persistLocked();
    }
    changed();
}

Ref<NSString> NSUserDefaults::stringForKey(const Ref<NSString>& key) const {
    id value = objectForKey(key);
    if (auto s = cast<NSString>(value)) {
        return s;
    }
    if (auto n = cast<NSNumber>(value)) {
        return n->stringValue();
    }
    return nullptr;
}

Ref<NSArray> NSUserDefaults::arrayForKey(const Ref<NSString>& key) const {
    return cast<NSArray>(objectForKey(key));
}

Ref<NSDictionary> NSUserDefaults::dictionaryForKey(const Ref<NSString>& key) const {
    return cast<NSDictionary>(objectForKey(key));
}

Ref<NSData> NSUserDefaults::dataForKey(const Ref<NSString>& key) const {
    return cast<NSData>(objectForKey(key));
}

NSInteger NSUserDefaults::integerForKey(const Ref<NSString>& key) const {
    return unbox<NSInteger>(objectForKey(key));
}

float NSUserDefaults::floatForKey(const Ref<NSString>& key) const {
    return unbox<float>(objectForKey(key));
}

double NSUserDefaults::doubleForKey(const Ref<NSString>& key) const {
    return unbox<double>(objectForKey(key));
}

bool NSUserDefaults::boolForKey(const Ref<NSString>& key) const {
    return unbox<bool>(objectForKey(key));
}

void NSUserDefaults::setIntegerForKey(NSInteger value, const Ref<NSString>& key) {
    setObjectForKey(NSNumber::numberWithInteger(value), key);
}

void NSUserDefaults::setFloatForKey(float value, const Ref<NSString>& key) {
    setObjectForKey(NSNumber::numberWithFloat(value), key);
}

void NSUserDefaults::setDoubleForKey(double value, const Ref<NSString>& key) {
    setObjectForKey(NSNumber::numberWithDouble(value), key);
}

void NSUserDefaults::setBoolForKey(bool value, const Ref<NSString>& key) {
    setObjectForKey(NSNumber::numberWithBool(value), key);
}

void NSUserDefaults::registerDefaults(const Ref<NSDictionary>& defaults) {
    if (!defaults) {
        return;
    }
    std::string bad;
    auto copied = cast<NSDictionary>(propertyListCopy(defaults, 0, bad));
    if (!copied) {
        NSException::raise(NSInvalidArgumentException,
                           "-[NSUserDefaults registerDefaults:]: not a property list (" + bad + ")");
    }
    std::lock_guard lock(lock_);
    registered_->addEntriesFromDictionary(copied);
}

Ref<NSDictionary> NSUserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(lock_);
    auto all = NSMutableDictionary::dictionaryWithDictionary(registered_);
    all->addEntriesFromDictionary(values_);
    return cast<NSDictionary>(all->copy());
}

bool NSUserDefaults::synchronize() {
    bool reloaded = false;
    bool ok = true;
    {
        std::lock_guard lock(lock_);
        if (dirty_) {
            ok = persistLocked();
        } else {
            FileStamp now;
            stampOf(path_, now.device, now.inode, now.size, now.seconds, now.nanoseconds);
            if (!(now == stamp_)) {
                load();
                reloaded = true;
            }
        }
    }
    if (reloaded) {
        changed();
    }
    return ok;
}
