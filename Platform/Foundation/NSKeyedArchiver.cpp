// Keyed archiving in the platform's binary property-list format. What is where:
//   Protocols, keys and the decoder table   NSCoding/NSSecureCoding, the class-name -> decoder registry
//   NSCoder                                 the base class's defaults and error reporting
//   NSKeyedArchiver                         object graph -> "$objects"/"$top" archive (shared objects once)
//   NSKeyedUnarchiver                       archive -> objects, with class allow-lists for secure coding,
//                                           cycles and malformed archives reported as errors, not crashes
#include <Foundation/BinaryPropertyListShape.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Foundation/NSSet.h>

#include <plist/plist.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>

NS_IMPLEMENT_CLASS(NSCoder, NSObject) {}
NS_IMPLEMENT_CLASS(NSKeyedArchiver, NSCoder) {}
NS_IMPLEMENT_CLASS(NSKeyedUnarchiver, NSCoder) {}

// MARK: - Protocols, keys and the decoder table

Protocol* NSCodingProtocol() {
    static Protocol* p = objc_registerProtocol(
        new Protocol("NSCoding", {{SEL("encodeWithCoder:"), "v@:@"}, {SEL("initWithCoder:"), "@@:@"}}, {}));
    return p;
}

Protocol* NSSecureCodingProtocol() {
    static Protocol* p = objc_registerProtocol(
        new Protocol("NSSecureCoding", {{SEL("supportsSecureCoding"), "B@:"}}, {}, {NSCodingProtocol()}));
    return p;
}

const Ref<NSString>& NSKeyedArchiveRootObjectKey() {
    static const Ref<NSString> key = NSString::from("root");
    return key;
}

namespace {

constexpr const char* kArchiverName = "DXKeyedArchiver";
constexpr uint64_t kArchiveVersion = 1;
constexpr size_t kMaximumDepth = 512;

struct DecoderEntry {
    ns_coding::Decoder decoder;
    bool secure;
};

struct DecoderTable {
    std::shared_mutex lock;
    std::unordered_map<Class, DecoderEntry> entries;
};

DecoderTable& decoders() {
    static auto* table = new DecoderTable;
    return *table;
}

const DecoderEntry* decoderFor(Class cls) {
    auto& t = decoders();
    std::shared_lock lock(t.lock);
    auto it = t.entries.find(cls);
    return it == t.entries.end() ? nullptr : &it->second; // entries are never removed
}

Ref<NSError> coderError(NSInteger code, const std::string& text) {
    return make<NSError>(NSCocoaErrorDomain(), code,
                         NSDictionary::dictionaryWithEntries({{NSDebugDescriptionErrorKey(), NSString::from(text)},
                                                              {NSLocalizedDescriptionKey(), NSString::from(text)}}));
}

// Keys of an object's own values that start with "$" get one more, so they never meet the
// archive's own "$class".
std::string storedKey(const Ref<NSString>& key) {
    std::string k = key ? key->str() : std::string();
    return !k.empty() && k[0] == '$' ? "$" + k : k;
}

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

} // namespace

namespace ns_coding {
void registerDecoder(Class cls, Decoder decoder, bool secure) {
    auto& t = decoders();
    std::unique_lock lock(t.lock);
    t.entries.try_emplace(cls, DecoderEntry{std::move(decoder), secure});
}
} // namespace ns_coding

// MARK: - NSCoder

namespace {
[[noreturn]] void abstractCoder(const char* method) {
    NSException::raise(NSInvalidArgumentException,
                       std::string("-[NSCoder ") + method + "]: only defined for the archiver or the unarchiver");
}
} // namespace

void NSCoder::encodeObjectForKey(const id&, const Ref<NSString>&) {
    abstractCoder("encodeObject:forKey:");
}
void NSCoder::encodeConditionalObjectForKey(const id&, const Ref<NSString>&) {
    abstractCoder("encodeConditionalObject:forKey:");
}
void NSCoder::encodeBoolForKey(bool, const Ref<NSString>&) {
    abstractCoder("encodeBool:forKey:");
}
void NSCoder::encodeInt64ForKey(int64_t, const Ref<NSString>&) {
    abstractCoder("encodeInt64:forKey:");
}
void NSCoder::encodeDoubleForKey(double, const Ref<NSString>&) {
    abstractCoder("encodeDouble:forKey:");
}
bool NSCoder::containsValueForKey(const Ref<NSString>&) const {
    abstractCoder("containsValueForKey:");
}
id NSCoder::decodeObjectForKey(const Ref<NSString>&) {
    abstractCoder("decodeObjectForKey:");
}
id NSCoder::decodeObjectOfClassesForKey(const std::vector<Class>&, const Ref<NSString>&) {
    abstractCoder("decodeObjectOfClasses:forKey:");
}
bool NSCoder::decodeBoolForKey(const Ref<NSString>&) {
    abstractCoder("decodeBoolForKey:");
}
int64_t NSCoder::decodeInt64ForKey(const Ref<NSString>&) {
    abstractCoder("decodeInt64ForKey:");
}
double NSCoder::decodeDoubleForKey(const Ref<NSString>&) {
    abstractCoder("decodeDoubleForKey:");
}

void NSCoder::failWithError(const Ref<NSError>& error) {
    if (!error_ && error) {
        error_ = error;
    }
}

// MARK: - NSKeyedArchiver

struct NSKeyedArchiver::State {
    std::vector<plist_t> objects; // the object table; index = UID
    std::vector<id> kept;         // keeps encoded objects alive (addresses stay unique)
    std::unordered_map<const NSObject*, uint64_t> objectUIDs;
    std::unordered_map<std::string, uint64_t> classUIDs;
    std::vector<plist_t> frames; // dictionaries being filled; [0] is $top
    // Conditional references, resolved when encoding finishes: the frame and key that refer, and the
    // object (kept, so that its address is not reused by another object of the archive).
    struct Conditional {
        plist_t frame;
        std::string key;
        id object;
    };
    std::vector<Conditional> conditionals;
    PlistPtr top;
    Ref<NSData> data;
    bool finished = false;

    State() : top(plist_new_dict()) {
        objects.push_back(plist_new_string("$null"));
        frames.push_back(top.get());
    }
    ~State() {
        for (plist_t p : objects) {
            if (p) {
                plist_free(p);
            }
        }
    }
};

NSKeyedArchiver::NSKeyedArchiver(bool requiresSecureCoding)
    : requiresSecureCoding_(requiresSecureCoding), state_(std::make_unique<State>()) {}

NSKeyedArchiver::~NSKeyedArchiver() = default;

namespace {

// The class description entry: {"$classname": name, "$classes": [name, superclass names...]}.
plist_t classDescription(Class cls) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "$classname", plist_new_string(cls->name().c_str()));
    plist_t chain = plist_new_array();
    for (Class c = cls; c; c = c->superclass()) {
        plist_array_append_item(chain, plist_new_string(c->name().c_str()));
    }
    plist_dict_set_item(dict, "$classes", chain);
    return dict;
}

bool isBuiltIn(NSObject* o) {
    return dynamic_cast<NSString*>(o) || dynamic_cast<NSNumber*>(o) || dynamic_cast<NSData*>(o) ||
           dynamic_cast<NSDate*>(o) || dynamic_cast<NSNull*>(o) || dynamic_cast<NSArray*>(o) ||
           dynamic_cast<NSDictionary*>(o) || dynamic_cast<NSSet*>(o);
}

} // namespace

// Encodes `object` into the table (once per object) and answers its UID; 0 for nil or a failure.
static uint64_t archiveObject(NSKeyedArchiver* archiver, NSKeyedArchiver::State& s, const id& object) {
    if (!object || archiver->error()) {
        return 0;
    }
    if (auto it = s.objectUIDs.find(object.get()); it != s.objectUIDs.end()) {
        return it->second;
    }
    if (s.frames.size() > kMaximumDepth) {
        archiver->failWithError(coderError(NSCoderInvalidValueError, "Objects nest too deeply to archive."));
        return 0;
    }
    NSObject* o = object.get();
    Class cls = o->getClass();
    auto* coding = dynamic_cast<NSCoding*>(o);
    if (coding && coding->classForCoder()) {
        cls = coding->classForCoder();
    }
    if (!isBuiltIn(o)) {
        const DecoderEntry* entry = decoderFor(cls);
        if (!coding || !entry) {
            archiver->failWithError(
                coderError(NSCoderInvalidValueError, "Objects of class " + cls->name() +
                                                         " cannot be archived: the class does not register NSCoding."));
            return 0;
        }
        if (archiver->requiresSecureCoding() && !entry->secure) {
            archiver->failWithError(coderError(NSCoderInvalidValueError,
                                               "Objects of class " + cls->name() +
                                                   " cannot be archived securely: the class is not NSSecureCoding."));
            return 0;
        }
    }
    uint64_t uid = s.objects.size();
    s.objects.push_back(nullptr);
    s.objectUIDs.emplace(o, uid);
    s.kept.push_back(object);

    auto classUID = [&](Class c) -> uint64_t {
        auto it = s.classUIDs.find(c->name());
        if (it != s.classUIDs.end()) {
            return it->second;
        }
        uint64_t id = s.objects.size();
        s.objects.push_back(classDescription(c));
        s.classUIDs.emplace(c->name(), id);
        return id;
    };
    auto objectDict = [&](Class c) {
        plist_t dict = plist_new_dict();
        plist_dict_set_item(dict, "$class", plist_new_uid(classUID(c)));
        return dict;
    };
    auto uidArray = [&](const std::vector<id>& items) {
        std::vector<uint64_t> uids;
        uids.reserve(items.size());
        for (const auto& item : items) {
            uids.push_back(archiveObject(archiver, s, item));
        }
        plist_t array = plist_new_array();
        for (uint64_t u : uids) {
            plist_array_append_item(array, plist_new_uid(u));
        }
        return array;
    };

    plist_t node = nullptr;
    if (auto* str = dynamic_cast<NSString*>(o)) {
        if (dynamic_cast<NSMutableString*>(o)) {
            node = objectDict(NSMutableString::class_());
            plist_dict_set_item(node, "NS.string", plist_new_string(str->UTF8String()));
        } else {
            node = plist_new_string(str->UTF8String());
        }
    } else if (auto* n = dynamic_cast<NSNumber*>(o)) {
        if (n->isBool()) {
            node = plist_new_bool(n->boolValue());
        } else if (n->isFloatingPoint()) {
            node = plist_new_real(n->doubleValue());
        } else if (n->isUnsigned() &&
                   n->unsignedLongLongValue() > static_cast<unsigned long long>(std::numeric_limits<int64_t>::max())) {
            node = objectDict(NSNumber::class_());
            plist_dict_set_item(node, "NS.uint64", plist_new_uint(n->unsignedLongLongValue()));
        } else {
            node = plist_new_uint(static_cast<uint64_t>(n->longLongValue()));
        }
    } else if (auto* d = dynamic_cast<NSData*>(o)) {
        if (dynamic_cast<NSMutableData*>(o)) {
            node = objectDict(NSMutableData::class_());
            plist_dict_set_item(node, "NS.data",
                                plist_new_data(reinterpret_cast<const char*>(d->bytes()), d->length()));
        } else {
            node = plist_new_data(reinterpret_cast<const char*>(d->bytes()), d->length());
        }
    } else if (auto* date = dynamic_cast<NSDate*>(o)) {
        node = objectDict(NSDate::class_());
        plist_dict_set_item(node, "NS.time", plist_new_real(date->timeIntervalSinceReferenceDate()));
    } else if (dynamic_cast<NSNull*>(o)) {
        node = objectDict(NSNull::class_());
    } else if (auto* a = dynamic_cast<NSArray*>(o)) {
        Class c = dynamic_cast<NSMutableArray*>(o) ? NSMutableArray::class_() : NSArray::class_();
        s.frames.push_back(nullptr); // depth only
        plist_t items = uidArray(a->objects());
        s.frames.pop_back();
        node = objectDict(c);
        plist_dict_set_item(node, "NS.objects", items);
    } else if (auto* dict = dynamic_cast<NSDictionary*>(o)) {
        Class c = dynamic_cast<NSMutableDictionary*>(o) ? NSMutableDictionary::class_() : NSDictionary::class_();
        std::vector<id> keys, values;
        for (const auto& [k, v] : *dict) {
            keys.push_back(k);
            values.push_back(v);
        }
        s.frames.push_back(nullptr);
        plist_t keyArray = uidArray(keys);
        plist_t valueArray = uidArray(values);
        s.frames.pop_back();
        node = objectDict(c);
        plist_dict_set_item(node, "NS.keys", keyArray);
        plist_dict_set_item(node, "NS.objects", valueArray);
    } else if (auto* set = dynamic_cast<NSSet*>(o)) {
        Class c = dynamic_cast<NSMutableSet*>(o) ? NSMutableSet::class_() : NSSet::class_();
        s.frames.push_back(nullptr);
        plist_t items = uidArray(set->objects());
        s.frames.pop_back();
        node = objectDict(c);
        plist_dict_set_item(node, "NS.objects", items);
    } else {
        node = objectDict(cls);
        s.objects[uid] = node;
        s.frames.push_back(node);
        try {
            coding->encodeWithCoder(archiver);
        } catch (const NSException& e) {
            archiver->failWithError(
                coderError(NSCoderInvalidValueError,
                           "encoding an object of class " + cls->name() + " raised " + e.name() + ": " + e.reason()));
        }
        s.frames.pop_back();
    }
    s.objects[uid] = node;
    return archiver->error() ? 0 : uid;
}

namespace {
void setInFrame(NSKeyedArchiver::State& s, const Ref<NSString>& key, plist_t value) {
    if (s.finished || s.frames.empty() || !s.frames.back()) {
        plist_free(value);
        NSException::raise(NSInvalidArgumentException, "-[NSKeyedArchiver encode...ForKey:]: not encoding an object");
    }
    plist_dict_set_item(s.frames.back(), storedKey(key).c_str(), value);
}
} // namespace

void NSKeyedArchiver::encodeObjectForKey(const id& object, const Ref<NSString>& key) {
    if (state_->finished) {
        NSException::raise(NSInvalidArgumentException, "-[NSKeyedArchiver encodeObject:forKey:]: encoding finished");
    }
    uint64_t uid = archiveObject(this, *state_, object);
    setInFrame(*state_, key, plist_new_uid(uid));
}

void NSKeyedArchiver::encodeConditionalObjectForKey(const id& object, const Ref<NSString>& key) {
    State& s = *state_;
    if (s.finished) {
        NSException::raise(NSInvalidArgumentException,
                           "-[NSKeyedArchiver encodeConditionalObject:forKey:]: encoding finished");
    }
    auto it = object ? s.objectUIDs.find(object.get()) : s.objectUIDs.end();
    // Until the end of encoding it is unknown whether another part of the archive writes the object;
    // the reference stays $null unless one does.
    setInFrame(s, key, plist_new_uid(it == s.objectUIDs.end() ? 0 : it->second));
    if (object && it == s.objectUIDs.end()) {
        s.conditionals.push_back({s.frames.back(), storedKey(key), object});
    }
}

void NSKeyedArchiver::encodeBoolForKey(bool value, const Ref<NSString>& key) {
    setInFrame(*state_, key, plist_new_bool(value));
}

void NSKeyedArchiver::encodeInt64ForKey(int64_t value, const Ref<NSString>& key) {
    setInFrame(*state_, key, plist_new_uint(static_cast<uint64_t>(value)));
}

void NSKeyedArchiver::encodeDoubleForKey(double value, const Ref<NSString>& key) {
    setInFrame(*state_, key, plist_new_real(value));
}

void NSKeyedArchiver::finishEncoding() {
    State& s = *state_;
    if (s.finished) {
        return;
    }
    s.finished = true;
    if (error_) {
        return;
    }
    for (const auto& conditional : s.conditionals) {
        if (auto it = s.objectUIDs.find(conditional.object.get()); it != s.objectUIDs.end()) {
            plist_dict_set_item(conditional.frame, conditional.key.c_str(), plist_new_uid(it->second));
        }
    }
    s.conditionals.clear();
    PlistPtr root(plist_new_dict());
    plist_dict_set_item(root.get(), "$archiver", plist_new_string(kArchiverName));
    plist_dict_set_item(root.get(), "$version", plist_new_uint(kArchiveVersion));
    plist_dict_set_item(root.get(), "$top", s.top.release());
    plist_t table = plist_new_array();
    for (plist_t& p : s.objects) {
        plist_array_append_item(table, p ? p : plist_new_string("$null"));
        p = nullptr;
    }
    plist_dict_set_item(root.get(), "$objects", table);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    if (!bytes) {
        failWithError(coderError(NSCoderInvalidValueError, "The archive could not be written."));
        return;
    }
    s.data = NSData::dataWithBytesLength(bytes, length);
    plist_to_bin_free(bytes);
    s.kept.clear();
    s.objectUIDs.clear();
}

Ref<NSData> NSKeyedArchiver::encodedData() {
    finishEncoding();
    return error_ ? nullptr : state_->data;
}

Ref<NSData> NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(const id& object,
                                                                                  bool requiresSecureCoding,
                                                                                  Ref<NSError>* error) {
    auto archiver = make<NSKeyedArchiver>(requiresSecureCoding);
    archiver->encodeObjectForKey(object, NSKeyedArchiveRootObjectKey());
    auto data = archiver->encodedData();
    if (!data && error) {
        *error = archiver->error();
    }
    return data;
}

Ref<NSData> NSKeyedArchiver::archivedDataWithRootObject(const id& object) {
    Ref<NSError> error;
    auto data = archivedDataWithRootObjectRequiringSecureCodingError(object, false, &error);
    if (!data) {
        NSException::raise(NSInvalidArgumentException,
                           "+[NSKeyedArchiver archivedDataWithRootObject:]: " +
                               (error ? error->localizedDescription()->str() : std::string("cannot archive")));
    }
    return data;
}

// MARK: - NSKeyedUnarchiver

struct NSKeyedUnarchiver::State {
    enum class Step : uint8_t { NotStarted, InProgress, Done };
    PlistPtr root;
    plist_t objects = nullptr;   // the $objects array
    std::vector<plist_t> frames; // dictionaries being read; [0] is $top
    std::vector<id> decoded;     // by UID
    std::vector<Step> steps;
    std::vector<const std::vector<Class>*> allowed; // the classes allowed for the current decode
    // Objects being decoded, each inside the one before: decoding recurses once per object (a
    // collection's elements as well as an object's own decodes), so this is bounded.
    size_t nesting = 0;
};

namespace {

bool isKindOfAny(Class cls, const std::vector<Class>& classes) {
    for (Class c : classes) {
        if (c && cls->isSubclassOfClass(c)) {
            return true;
        }
    }
    return false;
}

std::string classNames(const std::vector<Class>& classes) {
    std::string out;
    for (Class c : classes) {
        if (!out.empty()) {
            out += ", ";
        }
        out += c ? c->name() : std::string("nil");
    }
    return "[" + out + "]";
}

bool readUID(plist_t node, uint64_t& out) {
    if (plist_get_node_type(node) != PLIST_UID) {
        return false;
    }
    plist_get_uid_val(node, &out);
    return true;
}

std::string stringOf(plist_t node) {
    uint64_t length = 0;
    const char* s = plist_get_string_ptr(node, &length);
    return s ? std::string(s, length) : std::string();
}

} // namespace

NSKeyedUnarchiver::NSKeyedUnarchiver(const Ref<NSData>& data) : state_(std::make_unique<State>()) {
    auto corrupt = [&](const std::string& why) {
        failWithError(
            coderError(NSCoderReadCorruptError,
                       "The data couldn\u2019t be read because it isn\u2019t in the correct format. (" + why + ")"));
    };
    if (!data || data->length() < 8 || data->length() > std::numeric_limits<uint32_t>::max()) {
        corrupt("not an archive");
        return;
    }
    const auto* bytes = reinterpret_cast<const char*>(data->bytes());
    if (!plist_is_binary(bytes, static_cast<uint32_t>(data->length()))) {
        corrupt("not a binary property list");
        return;
    }
    if (std::string why; !foundation_detail::binaryPropertyListShapeIsSound(
            bytes, data->length(), NSPropertyListSerialization::maximumDepth + 1, data->length(), why)) {
        corrupt(why);
        return;
    }
    plist_t root = nullptr;
    plist_from_bin(bytes, static_cast<uint32_t>(data->length()), &root);
    state_->root.reset(root);
    if (!root || plist_get_node_type(root) != PLIST_DICT) {
        corrupt("malformed property list");
        return;
    }
    plist_t archiver = plist_dict_get_item(root, "$archiver");
    plist_t version = plist_dict_get_item(root, "$version");
    plist_t top = plist_dict_get_item(root, "$top");
    plist_t objects = plist_dict_get_item(root, "$objects");
    uint64_t v = 0;
    if (!archiver || plist_get_node_type(archiver) != PLIST_STRING || stringOf(archiver) != kArchiverName) {
        corrupt("not a keyed archive");
        return;
    }
    if (!version || plist_get_node_type(version) != PLIST_UINT || (plist_get_uint_val(version, &v), v) != 1) {
        corrupt("unknown archive version");
        return;
    }
    if (!top || plist_get_node_type(top) != PLIST_DICT || !objects || plist_get_node_type(objects) != PLIST_ARRAY ||
        plist_array_get_size(objects) == 0) {
        corrupt("the archive has no object table");
        return;
    }
    state_->objects = objects;
    state_->frames.push_back(top);
    size_t n = plist_array_get_size(objects);
    state_->decoded.resize(n);
    state_->steps.resize(n, State::Step::NotStarted);
}

NSKeyedUnarchiver::~NSKeyedUnarchiver() = default;

namespace {

struct Decoding {
    NSKeyedUnarchiver* coder;
    NSKeyedUnarchiver::State& s;

    void corrupt(const std::string& why) {
        coder->failWithError(coderError(NSCoderReadCorruptError, "The archive is damaged: " + why + "."));
    }

    bool allowedClass(Class cls) {
        if (!coder->requiresSecureCoding() || s.allowed.empty() || !s.allowed.back()) {
            return true;
        }
        if (isKindOfAny(cls, *s.allowed.back())) {
            return true;
        }
        coder->failWithError(coderError(NSCoderReadCorruptError, "value of class '" + cls->name() +
                                                                     "' was found where only " +
                                                                     classNames(*s.allowed.back()) + " are allowed."));
        return false;
    }

    // The class an object entry names through "$class"; nullptr (and the error) when it is bad.
    Class classOf(plist_t dict, std::string& name) {
        uint64_t uid = 0;
        plist_t ref = plist_dict_get_item(dict, "$class");
        if (!ref || !readUID(ref, uid) || uid == 0 || uid >= s.decoded.size()) {
            corrupt("an object without a valid class reference");
            return nullptr;
        }
        plist_t info = plist_array_get_item(s.objects, static_cast<uint32_t>(uid));
        plist_t nameNode =
            info && plist_get_node_type(info) == PLIST_DICT ? plist_dict_get_item(info, "$classname") : nullptr;
        if (!nameNode || plist_get_node_type(nameNode) != PLIST_STRING) {
            corrupt("a malformed class description");
            return nullptr;
        }
        name = stringOf(nameNode);
        Class cls = NSClassFromString(name);
        if (!cls) {
            coder->failWithError(
                coderError(NSCoderReadCorruptError, "cannot decode object of class (" + name + "): no such class."));
        }
        return cls;
    }

    bool uidArray(plist_t dict, const char* key, std::vector<uint64_t>& out) {
        plist_t array = plist_dict_get_item(dict, key);
        if (!array || plist_get_node_type(array) != PLIST_ARRAY) {
            corrupt(std::string("a collection without ") + key);
            return false;
        }
        uint32_t n = plist_array_get_size(array);
        out.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            uint64_t u = 0;
            if (!readUID(plist_array_get_item(array, i), u)) {
                corrupt("a collection element that is not a reference");
                return false;
            }
            out.push_back(u);
        }
        return true;
    }

    std::vector<id> elements(const std::vector<uint64_t>& uids) {
        std::vector<id> items;
        items.reserve(uids.size());
        for (uint64_t u : uids) {
            id item = object(u);
            if (!item) {
                if (!coder->error()) {
                    corrupt("a collection holds nil");
                }
                return {};
            }
            items.push_back(std::move(item));
        }
        return items;
    }

    // The object with this UID, decoded once.
    id object(uint64_t uid) {
        if (coder->error()) {
            return nullptr;
        }
        if (uid == 0) {
            return nullptr;
        }
        if (uid >= s.decoded.size()) {
            corrupt("a reference past the object table");
            return nullptr;
        }
        auto& step = s.steps[uid];
        if (step == NSKeyedUnarchiver::State::Step::Done) {
            const id& done = s.decoded[uid];
            return allowedClass(done->getClass()) ? done : nullptr;
        }
        if (step == NSKeyedUnarchiver::State::Step::InProgress) {
            // A cycle back to an object whose decoding is still running: a mutable collection is
            // already there and is answered; any other object is not whole yet and reads as nil.
            const id& early = s.decoded[uid];
            return early && allowedClass(early->getClass()) ? early : nullptr;
        }
        if (s.nesting >= kMaximumDepth) {
            corrupt("objects nest too deeply");
            return nullptr;
        }
        step = NSKeyedUnarchiver::State::Step::InProgress;
        struct Level {
            size_t& nesting;
            ~Level() { --nesting; }
        } level{++s.nesting};
        id result = build(uid, plist_array_get_item(s.objects, static_cast<uint32_t>(uid)));
        if (!result || coder->error()) {
            s.decoded[uid] = nullptr;
            step = NSKeyedUnarchiver::State::Step::Done;
            if (!coder->error()) {
                corrupt("an object that decodes to nil");
            }
            return nullptr;
        }
        s.decoded[uid] = result;
        step = NSKeyedUnarchiver::State::Step::Done;
        return result;
    }

    id build(uint64_t uid, plist_t node) {
        switch (plist_get_node_type(node)) {
        case PLIST_STRING: {
            if (!allowedClass(NSString::class_())) {
                return nullptr;
            }
            return make<NSString>(stringOf(node));
        }
        case PLIST_BOOLEAN: {
            uint8_t b = 0;
            plist_get_bool_val(node, &b);
            return allowedClass(NSNumber::class_()) ? NSNumber::numberWithBool(b != 0) : nullptr;
        }
        case PLIST_UINT: {
            uint64_t v = 0;
            plist_get_uint_val(node, &v);
            return allowedClass(NSNumber::class_()) ? NSNumber::numberWithLongLong(static_cast<long long>(v)) : nullptr;
        }
        case PLIST_REAL: {
            double d = 0;
            plist_get_real_val(node, &d);
            return allowedClass(NSNumber::class_()) ? NSNumber::numberWithDouble(d) : nullptr;
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char* bytes = plist_get_data_ptr(node, &length);
            return allowedClass(NSData::class_()) ? NSData::dataWithBytesLength(bytes, bytes ? length : 0) : nullptr;
        }
        case PLIST_DICT:
            return buildObject(uid, node);
        default:
            corrupt("an entry of an unknown kind");
            return nullptr;
        }
    }

    id buildObject(uint64_t uid, plist_t dict) {
        std::string name;
        Class cls = classOf(dict, name);
        if (!cls || !allowedClass(cls)) {
            return nullptr;
        }
        if (cls == NSString::class_() || cls == NSMutableString::class_()) {
            plist_t text = plist_dict_get_item(dict, "NS.string");
            if (!text || plist_get_node_type(text) != PLIST_STRING) {
                corrupt("a string without its text");
                return nullptr;
            }
            return cls == NSMutableString::class_() ? id(make<NSMutableString>(stringOf(text)))
                                                    : id(make<NSString>(stringOf(text)));
        }
        if (cls == NSNumber::class_()) {
            plist_t value = plist_dict_get_item(dict, "NS.uint64");
            uint64_t v = 0;
            if (!value || plist_get_node_type(value) != PLIST_UINT) {
                corrupt("a number without its value");
                return nullptr;
            }
            plist_get_uint_val(value, &v);
            return NSNumber::numberWithUnsignedLongLong(v);
        }
        if (cls == NSData::class_() || cls == NSMutableData::class_()) {
            plist_t bytes = plist_dict_get_item(dict, "NS.data");
            if (!bytes || plist_get_node_type(bytes) != PLIST_DATA) {
                corrupt("data without its bytes");
                return nullptr;
            }
            uint64_t length = 0;
            const char* p = plist_get_data_ptr(bytes, &length);
            if (cls == NSMutableData::class_()) {
                return NSMutableData::dataWithBytesLength(p, p ? length : 0);
            }
            return NSData::dataWithBytesLength(p, p ? length : 0);
        }
        if (cls == NSDate::class_()) {
            plist_t time = plist_dict_get_item(dict, "NS.time");
            double t = 0;
            if (!time || plist_get_node_type(time) != PLIST_REAL) {
                corrupt("a date without its time");
                return nullptr;
            }
            plist_get_real_val(time, &t);
            return NSDate::dateWithTimeIntervalSinceReferenceDate(t);
        }
        if (cls == NSNull::class_()) {
            return NSNull::null();
        }
        if (cls == NSArray::class_() || cls == NSMutableArray::class_()) {
            std::vector<uint64_t> uids;
            if (!uidArray(dict, "NS.objects", uids)) {
                return nullptr;
            }
            if (cls == NSMutableArray::class_()) {
                auto array = NSMutableArray::array();
                s.decoded[uid] = array; // a cycle back to it finds it
                for (auto& item : elements(uids)) {
                    array->addObject(item);
                }
                return coder->error() ? nullptr : id(array);
            }
            auto items = elements(uids);
            return coder->error() ? nullptr : id(make<NSArray>(std::move(items)));
        }
        if (cls == NSDictionary::class_() || cls == NSMutableDictionary::class_()) {
            std::vector<uint64_t> keyUIDs, valueUIDs;
            if (!uidArray(dict, "NS.keys", keyUIDs) || !uidArray(dict, "NS.objects", valueUIDs)) {
                return nullptr;
            }
            if (keyUIDs.size() != valueUIDs.size()) {
                corrupt("a dictionary with more keys than values, or fewer");
                return nullptr;
            }
            Ref<NSMutableDictionary> early;
            if (cls == NSMutableDictionary::class_()) {
                early = NSMutableDictionary::dictionary();
                s.decoded[uid] = early;
            }
            auto keys = elements(keyUIDs);
            auto values = coder->error() ? std::vector<id>() : elements(valueUIDs);
            if (coder->error()) {
                return nullptr;
            }
            std::vector<NSDictionary::Entry> entries;
            for (size_t i = 0; i < keys.size(); ++i) {
                entries.emplace_back(keys[i], values[i]);
            }
            if (early) {
                for (auto& [k, v] : entries) {
                    early->setObjectForKey(v, k);
                }
                return early;
            }
            return make<NSDictionary>(entries);
        }
        if (cls == NSSet::class_() || cls == NSMutableSet::class_()) {
            std::vector<uint64_t> uids;
            if (!uidArray(dict, "NS.objects", uids)) {
                return nullptr;
            }
            auto items = elements(uids);
            if (coder->error()) {
                return nullptr;
            }
            return cls == NSMutableSet::class_() ? id(make<NSMutableSet>(items)) : id(make<NSSet>(items));
        }
        const DecoderEntry* entry = decoderFor(cls);
        if (!entry) {
            coder->failWithError(coderError(NSCoderReadCorruptError, "cannot decode object of class (" + name +
                                                                         "): it does not adopt NSCoding."));
            return nullptr;
        }
        if (coder->requiresSecureCoding() && !entry->secure) {
            coder->failWithError(
                coderError(NSCoderReadCorruptError,
                           "cannot decode object of class (" + name + ") securely: it does not adopt NSSecureCoding."));
            return nullptr;
        }
        s.frames.push_back(dict);
        s.allowed.push_back(nullptr); // the object's own decodes name their classes
        id result;
        try {
            result = entry->decoder(coder);
        } catch (...) {
            s.frames.pop_back();
            s.allowed.pop_back();
            throw;
        }
        s.frames.pop_back();
        s.allowed.pop_back();
        if (result && result->getClass() != cls) {
            corrupt("the decoder of " + name + " made an object of another class");
            return nullptr;
        }
        return result;
    }
};

} // namespace

namespace {
plist_t frameValue(const NSKeyedUnarchiver::State& s, const Ref<NSString>& key) {
    if (s.frames.empty()) {
        return nullptr;
    }
    return plist_dict_get_item(s.frames.back(), storedKey(key).c_str());
}
} // namespace

bool NSKeyedUnarchiver::containsValueForKey(const Ref<NSString>& key) const {
    return !error_ && frameValue(*state_, key) != nullptr;
}

id NSKeyedUnarchiver::decodeObjectForKey(const Ref<NSString>& key) {
    if (requiresSecureCoding_) {
        failWithError(coderError(NSCoderReadCorruptError, "decodeObjectForKey: used for key '" +
                                                              (key ? key->str() : std::string()) +
                                                              "' while secure coding is required; "
                                                              "use decodeObjectOfClass:forKey:."));
        return nullptr;
    }
    return decodeObjectOfClassesForKey({}, key);
}

id NSKeyedUnarchiver::decodeObjectOfClassesForKey(const std::vector<Class>& classes, const Ref<NSString>& key) {
    if (error_) {
        return nullptr;
    }
    plist_t value = frameValue(*state_, key);
    if (!value) {
        return nullptr;
    }
    uint64_t uid = 0;
    if (!readUID(value, uid)) {
        failWithError(coderError(NSCoderReadCorruptError,
                                 "the value for key '" + (key ? key->str() : std::string()) + "' is not an object."));
        return nullptr;
    }
    // With no classes named (decodeObjectForKey on a coder that does not require secure coding)
    // nothing is checked.
    std::vector<Class> allowed = classes;
    state_->allowed.push_back(classes.empty() ? nullptr : &allowed);
    Decoding decoding{this, *state_};
    id result;
    try {
        result = decoding.object(uid);
    } catch (const NSException& e) {
        failWithError(coderError(NSCoderReadCorruptError, "decoding raised " + e.name() + ": " + e.reason()));
        result = nullptr;
    } catch (const std::exception& e) {
        failWithError(coderError(NSCoderReadCorruptError, std::string("decoding failed: ") + e.what()));
        result = nullptr;
    }
    state_->allowed.pop_back();
    return error_ ? nullptr : result;
}

namespace {
enum class Scalar { Missing, Ok, Wrong };

Scalar readNumber(plist_t value, int64_t& i, double& d) {
    if (!value) {
        return Scalar::Missing;
    }
    switch (plist_get_node_type(value)) {
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(value, &v);
        i = static_cast<int64_t>(v);
        d = static_cast<double>(i);
        return Scalar::Ok;
    }
    case PLIST_REAL:
        plist_get_real_val(value, &d);
        i = d >= 9.2e18     ? std::numeric_limits<int64_t>::max()
            : d <= -9.2e18  ? std::numeric_limits<int64_t>::min()
            : std::isnan(d) ? 0
                            : static_cast<int64_t>(d);
        return Scalar::Ok;
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(value, &b);
        i = b ? 1 : 0;
        d = static_cast<double>(i);
        return Scalar::Ok;
    }
    default:
        return Scalar::Wrong;
    }
}
} // namespace

int64_t NSKeyedUnarchiver::decodeInt64ForKey(const Ref<NSString>& key) {
    if (error_) {
        return 0;
    }
    int64_t i = 0;
    double d = 0;
    if (readNumber(frameValue(*state_, key), i, d) == Scalar::Wrong) {
        failWithError(coderError(NSCoderReadCorruptError,
                                 "the value for key '" + (key ? key->str() : std::string()) + "' is not a number."));
        return 0;
    }
    return i;
}

double NSKeyedUnarchiver::decodeDoubleForKey(const Ref<NSString>& key) {
    if (error_) {
        return 0;
    }
    int64_t i = 0;
    double d = 0;
    if (readNumber(frameValue(*state_, key), i, d) == Scalar::Wrong) {
        failWithError(coderError(NSCoderReadCorruptError,
                                 "the value for key '" + (key ? key->str() : std::string()) + "' is not a number."));
        return 0;
    }
    return d;
}

bool NSKeyedUnarchiver::decodeBoolForKey(const Ref<NSString>& key) {
    return decodeInt64ForKey(key) != 0;
}

id NSKeyedUnarchiver::unarchivedObjectOfClassesFromDataError(const std::vector<Class>& classes, const Ref<NSData>& data,
                                                             Ref<NSError>* error) {
    auto coder = make<NSKeyedUnarchiver>(data);
    if (!coder->error() && !coder->containsValueForKey(NSKeyedArchiveRootObjectKey())) {
        coder->failWithError(coderError(NSCoderValueNotFoundError, "The archive has no root object."));
    }
    id result = coder->decodeObjectOfClassesForKey(classes, NSKeyedArchiveRootObjectKey());
    if (coder->error()) {
        if (error) {
            *error = coder->error();
        }
        return nullptr;
    }
    return result;
}

id NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(Class cls, const Ref<NSData>& data, Ref<NSError>* error) {
    return unarchivedObjectOfClassesFromDataError({cls}, data, error);
}

id NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(const Ref<NSData>& data, Ref<NSError>* error) {
    auto coder = make<NSKeyedUnarchiver>(data);
    coder->setRequiresSecureCoding(false);
    if (!coder->error() && !coder->containsValueForKey(NSKeyedArchiveRootObjectKey())) {
        coder->failWithError(coderError(NSCoderValueNotFoundError, "The archive has no root object."));
    }
    id result = coder->decodeObjectForKey(NSKeyedArchiveRootObjectKey());
    if (coder->error()) {
        if (error) {
            *error = coder->error();
        }
        return nullptr;
    }
    return result;
}

id NSKeyedUnarchiver::unarchiveObjectWithData(const Ref<NSData>& data) {
    return unarchiveTopLevelObjectWithDataError(data, nullptr);
}
