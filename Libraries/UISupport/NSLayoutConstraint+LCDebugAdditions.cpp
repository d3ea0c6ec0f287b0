#include <UISupport/NSLayoutConstraint+LCDebugAdditions.h>

#include <UISupport/LCLayoutConstraint.h>
#include <UISupport/UIView+LCAdditions.h>

#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>

NS_IMPLEMENT_CLASS(LCLayoutConstraint, NSLayoutConstraint) {
    b.property("lc_key", &LCLayoutConstraint::lc_key, &LCLayoutConstraint::setLc_key);
}

Ref<NSString> LCLayoutConstraint::description() const {
    return lc_description(this);
}

namespace {

Ref<NSDictionary> makeTable(std::initializer_list<id> objects, std::initializer_list<id> keys) {
    return NSDictionary::dictionaryWithObjectsForKeys(NSArray::arrayWithObjects(objects),
                                                      NSArray::arrayWithObjects(keys));
}

} // namespace

Ref<NSDictionary> layoutRelationDescriptionsByValue() {
    static const Ref<NSDictionary> table =
        makeTable({"=="_ns, ">="_ns, "<="_ns}, {box(NSInteger{0}), box(NSInteger{1}), box(NSInteger{-1})});
    return table;
}

Ref<NSDictionary> layoutAttributeDescriptionsByValue() {
    static const Ref<NSDictionary> table =
        makeTable({"top"_ns, "left"_ns, "bottom"_ns, "right"_ns, "leading"_ns, "trailing"_ns, "width"_ns, "height"_ns,
                   "centerX"_ns, "centerY"_ns, "baseline"_ns},
                  {box(NSInteger{3}), box(NSInteger{1}), box(NSInteger{4}), box(NSInteger{2}), box(NSInteger{5}),
                   box(NSInteger{6}), box(NSInteger{7}), box(NSInteger{8}), box(NSInteger{9}), box(NSInteger{10}),
                   box(NSInteger{11})});
    return table;
}

Ref<NSDictionary> layoutPriorityDescriptionsByValue() {
    static const Ref<NSDictionary> table =
        makeTable({"high"_ns, "low"_ns, "medium"_ns, "required"_ns, "fitting size"_ns},
                  {box(750.0f), box(250.0f), box(500.0f), box(1000.0f), box(50.0f)});
    return table;
}

Ref<NSString> descriptionForObject(const NSObject* object) {
    if (!object) {
        return "(null)"_ns;
    }
    id key;
    if (auto* constraint = dynamic_cast<const LCLayoutConstraint*>(object)) {
        key = constraint->lc_key();
    } else if (auto* view = dynamic_cast<const UIView*>(object)) {
        key = lc_key(Ref<UIView>(const_cast<UIView*>(view)));
    }
    auto className = NSString::from(object->getClass()->name());
    if (key) {
        return NSString::stringWithFormat("%@:%@", className, key);
    }
    return NSString::stringWithFormat("%@:%p", className, static_cast<const void*>(object));
}

namespace {

id nameFor(const Ref<NSDictionary>& table, const id& key) {
    return table->objectForKey(key);
}

} // namespace

Ref<NSString> lc_description(const NSLayoutConstraint* constraint) {
    auto out = NSMutableString::string();
    out->appendString("<"_ns);
    out->appendString(descriptionForObject(constraint));
    out->appendFormat(" %@", descriptionForObject(constraint->firstItem().get()));
    if (constraint->firstAttribute() != NSLayoutAttributeNotAnAttribute) {
        out->appendFormat(".%@", nameFor(layoutAttributeDescriptionsByValue(),
                                         box(static_cast<NSInteger>(constraint->firstAttribute()))));
    }
    out->appendFormat(
        " %@", nameFor(layoutRelationDescriptionsByValue(), box(static_cast<NSInteger>(constraint->relation()))));
    if (auto second = constraint->secondItem()) {
        out->appendFormat(" %@", descriptionForObject(second.get()));
    }
    if (constraint->secondAttribute() != NSLayoutAttributeNotAnAttribute) {
        out->appendFormat(".%@", nameFor(layoutAttributeDescriptionsByValue(),
                                         box(static_cast<NSInteger>(constraint->secondAttribute()))));
    }
    if (constraint->multiplier() != 1) {
        out->appendFormat(" * %g", constraint->multiplier());
    }
    if (constraint->secondAttribute() == NSLayoutAttributeNotAnAttribute) {
        out->appendFormat(" %g", constraint->constant());
    } else if (constraint->constant() != 0) {
        out->appendFormat(" %@ %g", constraint->constant() < 0 ? "-"_ns : "+"_ns, std::fabs(constraint->constant()));
    }
    if (constraint->priority() != 1000) {
        id name = nameFor(layoutPriorityDescriptionsByValue(), box(constraint->priority()));
        if (name) {
            out->appendFormat(" ^%@", name);
        } else {
            out->appendFormat(" ^%@", box(constraint->priority()));
        }
    }
    out->appendString(">"_ns);
    return out;
}
