#include <Networking/MMModel.h>
#include <Networking/NSDictionary+MMMappingAdditions.h>

Ref<NSDictionary> mm_identityPropertyMapWithModel(Class modelClass) {
    auto result = NSMutableDictionary::dictionary();
    Ref<NSSet> keys = MMModel::propertyKeys(modelClass);
    for (const id& key : *keys) {
        result->setObjectForKey(key, key);
    }
    return result;
}
