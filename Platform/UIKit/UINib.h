// UINib: a layout resource. The platform loads these from compiled interface files; here a layout
// is a function registered under the resource's name that builds the top-level objects and
// connects the owner's outlets. Loading one sends awakeFromNib to every object it made (views with
// their subviews), as the platform does.
//
// Controllers made with plain initialisation load the nib named after their class when one is
// registered; tables load registered cell nibs by reuse identifier.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>

#include <functional>
#include <string>

class UINib : public NSObject {
    NS_OBJECT(UINib, NSObject)
public:
    // Builds the top-level objects for an owner (which may be nil).
    using Builder = std::function<Ref<NSArray>(const id& owner)>;

    UINib() = default;
    UINib(std::string name, Builder builder) : name_(std::move(name)), builder_(std::move(builder)) {}

    // Registers (or replaces) the layout named `name`.
    static void registerNibNamed(const std::string& name, Builder builder);
    static bool hasNibNamed(const std::string& name);
    // nil when no layout of that name is registered; the bundle is ignored.
    static Ref<UINib> nibWithNibNameBundle(const Ref<NSString>& name, const id& bundle);

    Ref<NSArray> instantiateWithOwnerOptions(const id& owner, const Ref<NSDictionary>& options);
    const std::string& name() const noexcept { return name_; }

private:
    std::string name_;
    Builder builder_;
};

// `-[NSBundle loadNibNamed:owner:options:]`: the top-level objects of the named layout, or nil.
Ref<NSArray> UINibLoadNibNamedOwnerOptions(const Ref<NSString>& name, const id& owner,
                                           const Ref<NSDictionary>& options);
