// UIAppearance: the appearance proxy of a view class (`+[UIView appearance]`,
// `+appearanceWhenContainedIn:`). Values set on a proxy are recorded by key; every view of the
// class (or a subclass) gets them, through key-value coding, when it first enters a window, so
// that they act on new views as they are put on screen. Values set on the view itself before that
// moment are overwritten, as on the platform.
//
// A proxy made with containers applies only to views inside a view (or a view controller's view)
// of each container class, the first container being the innermost. When several proxies set the
// same key, the more specific wins: a subclass's over its superclass's, a contained proxy over a
// plain one, more containers over fewer.
//
// Reading a key from a proxy answers the recorded value, or nil when none was set (which is how a
// caller learns whether a property is themed). Keys must be properties of the class
// (NSInvalidArgumentException otherwise). Main thread only.
#pragma once

#include <Runtime/NSObject.h>

#include <vector>

class UIView;

class UIAppearance : public NSObject {
    NS_OBJECT(UIAppearance, NSObject)
public:
    UIAppearance() = default;
    UIAppearance(Class viewClass, std::vector<Class> containers);

    // The proxy of `viewClass` (a UIView class), made on first use; one per class and list of
    // containers.
    static Ref<UIAppearance> appearanceForClass(Class viewClass, const std::vector<Class>& containers = {});

    Class viewClass() const noexcept { return viewClass_; }
    const std::vector<Class>& containers() const noexcept { return containers_; }
    bool hasValueForKey(const Ref<NSString>& key) const;

    id valueForKey(const Ref<NSString>& key) override;
    void setValueForKey(const id& value, const Ref<NSString>& key) override;

    // Gives `view` the values of every proxy that applies to it (UIView does this when a view
    // first enters a window).
    static void applyToView(UIView* view);

    Ref<NSString> description() const override;

private:
    bool appliesTo(UIView* view) const;
    Class viewClass_ = nullptr;
    std::vector<Class> containers_;
    std::vector<std::pair<std::string, id>> values_;
};
