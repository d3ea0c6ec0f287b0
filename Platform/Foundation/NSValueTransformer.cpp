#include <Foundation/NSArray.h>
#include <Foundation/NSValueTransformer.h>

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

NS_IMPLEMENT_CLASS(NSValueTransformer, NSObject) {
    b.method("transformedValue:", &NSValueTransformer::transformedValue);
    b.method("reverseTransformedValue:", &NSValueTransformer::reverseTransformedValue);
}

namespace {
struct Registry {
    std::mutex lock;
    std::vector<std::string> order; // names in registration order, for valueTransformerNames
    std::unordered_map<std::string, Ref<NSValueTransformer>> byName;
};

Registry& registry() {
    static auto* r = new Registry; // lives for the process, as the registered transformers do
    return *r;
}
} // namespace

Class NSValueTransformer::transformedValueClass() const {
    return NSObject::class_();
}

id NSValueTransformer::transformedValue(const id& value) {
    return value;
}

id NSValueTransformer::reverseTransformedValue(const id& value) {
    if (!allowsReverseTransformation()) {
        NSException::raise(NSInternalInconsistencyException,
                           getClass()->name() + " is not a reversible value transformer.");
    }
    return transformedValue(value);
}

void NSValueTransformer::setValueTransformerForName(const Ref<NSValueTransformer>& transformer,
                                                    const Ref<NSString>& name) {
    if (!name) {
        return;
    }
    auto& r = registry();
    std::lock_guard lock(r.lock);
    const std::string& key = name->str();
    auto it = r.byName.find(key);
    if (!transformer) {
        if (it != r.byName.end()) {
            r.byName.erase(it);
            std::erase(r.order, key);
        }
        return;
    }
    if (it == r.byName.end()) {
        r.order.push_back(key);
    }
    r.byName[key] = transformer;
}

Ref<NSValueTransformer> NSValueTransformer::valueTransformerForName(const Ref<NSString>& name) {
    if (!name) {
        return nullptr;
    }
    auto& r = registry();
    std::lock_guard lock(r.lock);
    auto it = r.byName.find(name->str());
    return it == r.byName.end() ? nullptr : it->second;
}

Ref<NSArray> NSValueTransformer::valueTransformerNames() {
    auto& r = registry();
    std::lock_guard lock(r.lock);
    std::vector<id> names;
    names.reserve(r.order.size());
    for (const auto& n : r.order) {
        names.push_back(NSString::from(n));
    }
    return NSArray::arrayWithVector(std::move(names));
}
