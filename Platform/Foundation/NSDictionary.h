// NSDictionary and NSMutableDictionary: keys are copied and compared with isEqual/hash; entries keep
// their insertion order, so enumeration and serialisation are deterministic.
#pragma once

#include <Foundation/NSArray.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <unordered_map>
#include <utility>
#include <vector>

class NSDictionary : public NSObject {
    NS_OBJECT(NSDictionary, NSObject)
public:
    using Entry = std::pair<id, id>;

    NSDictionary() = default;
    // Raises NSInvalidArgumentException for a nil key or value; a repeated key keeps the last value.
    explicit NSDictionary(const std::vector<Entry>& entries);
    explicit NSDictionary(std::vector<Entry>&& entries);

    static Ref<NSDictionary> dictionary();
    static Ref<NSDictionary> dictionaryWithEntries(std::initializer_list<Entry> entries);
    static Ref<NSDictionary> dictionaryWithObjectsForKeys(const Ref<NSArray>& objects, const Ref<NSArray>& keys);
    static Ref<NSDictionary> dictionaryWithDictionary(const Ref<NSDictionary>& other);

    NSUInteger count() const noexcept { return entries_.size(); }
    id objectForKey(const id& key) const;
    id operator[](const id& key) const { return objectForKey(key); }
    id objectForKeyedSubscript(const id& key) const { return objectForKey(key); }
    Ref<NSArray> allKeys() const;
    Ref<NSArray> allValues() const;
    Ref<NSArray> allKeysForObject(const id& object) const;
    void enumerateKeysAndObjectsUsingBlock(const std::function<void(const id&, const id&, bool*)>& block) const;
    bool isEqualToDictionary(const Ref<NSDictionary>& other) const;

    const std::vector<Entry>& entries() const noexcept { return entries_; }
    std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
    std::vector<Entry>::const_iterator end() const { return entries_.end(); }

    // valueForKey: reads the entry for the key (an "@"-prefixed key goes to NSObject).
    id valueForKey(const Ref<NSString>& key) override;
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;
    id mutableCopy() const override;

protected:
    void set(const id& key, const id& value);
    void remove(const id& key);
    std::ptrdiff_t find(const id& key) const;

    std::vector<Entry> entries_;

private:
    friend class NSMutableDictionary;
    std::ptrdiff_t findHashed(const id& key, NSUInteger hash) const;
    void append(Entry&& entry, NSUInteger hash);
    void indexEntry(size_t at);
    void rebuildIndex();

    // The hash of every key, in entry order. Up to kLinearLimit entries a look-up scans them; past
    // that, table_ (open addressing, linear probing) maps a hash to entry index + 1, 0 being empty.
    static constexpr size_t kLinearLimit = 8;
    std::vector<NSUInteger> hashes_;
    std::vector<uint32_t> table_;
};

class NSMutableDictionary : public NSDictionary {
    NS_OBJECT(NSMutableDictionary, NSDictionary)
public:
    NSMutableDictionary() = default;
    explicit NSMutableDictionary(const std::vector<Entry>& entries) : NSDictionary(entries) {}
    explicit NSMutableDictionary(std::vector<Entry>&& entries) : NSDictionary(std::move(entries)) {}
    static Ref<NSMutableDictionary> dictionary();
    static Ref<NSMutableDictionary> dictionaryWithDictionary(const Ref<NSDictionary>& other);

    // Raises NSInvalidArgumentException for a nil key or object.
    void setObjectForKey(const id& object, const id& key);
    // A nil object removes the key.
    void setObjectForKeyedSubscript(const id& object, const id& key);
    void setValueForKey(const id& value, const Ref<NSString>& key) override;
    void removeObjectForKey(const id& key);
    void removeObjectsForKeys(const Ref<NSArray>& keys);
    void removeAllObjects();
    void addEntriesFromDictionary(const Ref<NSDictionary>& other);

    id copy() const override;
};
