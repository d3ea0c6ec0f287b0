#include <Networking/NSDictionary+MMManipulationAdditions.h>

Ref<NSMutableDictionary> mm_dictionaryByAddingEntriesFromDictionary(const Ref<NSDictionary>& self,
                                                                    const Ref<NSDictionary>& dictionary) {
    auto result = self ? NSMutableDictionary::dictionaryWithDictionary(self) : NSMutableDictionary::dictionary();
    if (dictionary) {
        result->addEntriesFromDictionary(dictionary);
    }
    return result;
}

Ref<NSMutableDictionary> mm_dictionaryByRemovingValuesForKeys(const Ref<NSDictionary>& self, const Ref<NSArray>& keys) {
    auto result = self ? NSMutableDictionary::dictionaryWithDictionary(self) : NSMutableDictionary::dictionary();
    if (keys) {
        result->removeObjectsForKeys(keys);
    }
    return result;
}

Ref<NSMutableDictionary> mm_dictionaryByRemovingEntriesWithKeys(const Ref<NSDictionary>& self, const Ref<NSSet>& keys) {
    return mm_dictionaryByRemovingValuesForKeys(self, keys ? keys->allObjects() : nullptr);
}
