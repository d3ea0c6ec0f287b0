#include <Runtime/ClassBuilder.h>
#include <UIKit/UIAppearance.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UIView.h>
#include <UIKit/UIViewController.h>

#include <algorithm>

namespace {

std::vector<Ref<UIAppearance>>& proxies() {
    static auto* list = new std::vector<Ref<UIAppearance>>;
    return *list;
}

size_t classDepth(Class cls) {
    size_t depth = 0;
    for (Class c = cls; c; c = c->superclass()) {
        ++depth;
    }
    return depth;
}

} // namespace

NS_IMPLEMENT_CLASS(UIAppearance, NSObject) {}

UIAppearance::UIAppearance(Class viewClass, std::vector<Class> containers)
    : viewClass_(viewClass), containers_(std::move(containers)) {}

Ref<UIAppearance> UIAppearance::appearanceForClass(Class viewClass, const std::vector<Class>& containers) {
    uikit_detail::assertMainThread("appearance");
    if (!viewClass || !viewClass->isSubclassOfClass(UIView::class_())) {
        NSException::raise(NSInvalidArgumentException, "An appearance proxy needs a UIView class");
    }
    for (const auto& p : proxies()) {
        if (p->viewClass_ == viewClass && p->containers_ == containers) {
            return p;
        }
    }
    auto proxy = make<UIAppearance>(viewClass, containers);
    proxies().push_back(proxy);
    return proxy;
}

bool UIAppearance::hasValueForKey(const Ref<NSString>& key) const {
    std::string k = key ? key->str() : std::string();
    return std::any_of(values_.begin(), values_.end(), [&](const auto& e) { return e.first == k; });
}

id UIAppearance::valueForKey(const Ref<NSString>& key) {
    std::string k = key ? key->str() : std::string();
    for (const auto& [name, value] : values_) {
        if (name == k) {
            return value;
        }
    }
    return nullptr;
}

void UIAppearance::setValueForKey(const id& value, const Ref<NSString>& key) {
    uikit_detail::assertMainThread("appearance");
    std::string k = key ? key->str() : std::string();
    if (!viewClass_->property(k)) {
        NSException::raise(NSInvalidArgumentException, "-[" + viewClass_->name() + " set" + k +
                                                           ":]: unrecognized selector sent to an appearance proxy");
    }
    for (auto& entry : values_) {
        if (entry.first == k) {
            entry.second = value;
            return;
        }
    }
    values_.emplace_back(k, value);
}

bool UIAppearance::appliesTo(UIView* view) const {
    if (!view->isKindOfClass(viewClass_)) {
        return false;
    }
    // Each container, innermost first, must enclose the view (above the previous one).
    auto encloses = [](const Ref<UIView>& v, Class cls) {
        if (v->isKindOfClass(cls)) {
            return true;
        }
        auto vc = v->viewController();
        return vc && vc->isKindOfClass(cls);
    };
    Ref<UIView> v = view->superview();
    for (Class container : containers_) {
        while (v && !encloses(v, container)) {
            v = v->superview();
        }
        if (!v) {
            return false;
        }
        v = v->superview();
    }
    return true;
}

void UIAppearance::applyToView(UIView* view) {
    auto& list = proxies();
    if (list.empty()) {
        return;
    }
    std::vector<Ref<UIAppearance>> matching;
    for (const auto& p : list) {
        if (!p->values_.empty() && p->appliesTo(view)) {
            matching.push_back(p);
        }
    }
    // Least specific first, so that the more specific values are set last.
    std::stable_sort(matching.begin(), matching.end(), [](const Ref<UIAppearance>& a, const Ref<UIAppearance>& b) {
        size_t da = classDepth(a->viewClass_), db = classDepth(b->viewClass_);
        if (da != db) {
            return da < db;
        }
        return a->containers_.size() < b->containers_.size();
    });
    Ref<UIView> keep(view);
    for (const auto& p : matching) {
        for (const auto& [key, value] : std::vector<std::pair<std::string, id>>(p->values_)) {
            keep->setValueForKey(value, NSString::from(key));
        }
    }
}

Ref<NSString> UIAppearance::description() const {
    std::string names;
    for (Class c : containers_) {
        names += (names.empty() ? "" : ", ") + c->name();
    }
    return NSString::stringWithFormat("<UIAppearance: %p; %s%s%s>", static_cast<const void*>(this),
                                      viewClass_ ? viewClass_->name() : std::string("nil"), names.empty() ? "" : " in ",
                                      names);
}
