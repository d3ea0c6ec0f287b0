#include <Runtime/ClassBuilder.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UINib.h>
#include <UIKit/UIView.h>

#include <map>
#include <mutex>

namespace {
struct Registry {
    std::mutex mutex;
    std::map<std::string, UINib::Builder> builders;
};
Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

void awake(const id& object) {
    if (auto view = cast<UIView>(object)) {
        for (const auto& sub : std::vector<Ref<UIView>>(view->subviewList())) {
            awake(sub);
        }
    }
    uikit_detail::sendIfResponds(object, "awakeFromNib");
}
} // namespace

NS_IMPLEMENT_CLASS(UINib, NSObject) {}

void UINib::registerNibNamed(const std::string& name, Builder builder) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.builders[name] = std::move(builder);
}

bool UINib::hasNibNamed(const std::string& name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.builders.count(name) > 0;
}

Ref<UINib> UINib::nibWithNibNameBundle(const Ref<NSString>& name, const id&) {
    if (!name) {
        return nullptr;
    }
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.builders.find(name->str());
    if (it == r.builders.end()) {
        return nullptr;
    }
    return make<UINib>(it->first, it->second);
}

Ref<NSArray> UINib::instantiateWithOwnerOptions(const id& owner, const Ref<NSDictionary>&) {
    Ref<NSArray> objects = builder_ ? builder_(owner) : nullptr;
    if (!objects) {
        objects = NSArray::array();
    }
    for (const auto& o : *objects) {
        awake(o);
    }
    return objects;
}

Ref<NSArray> UINibLoadNibNamedOwnerOptions(const Ref<NSString>& name, const id& owner,
                                           const Ref<NSDictionary>& options) {
    auto nib = UINib::nibWithNibNameBundle(name, nullptr);
    return nib ? nib->instantiateWithOwnerOptions(owner, options) : nullptr;
}
