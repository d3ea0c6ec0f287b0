// A readable description of a layout constraint, as the constraint builder's constraints describe
// themselves (LCLayoutConstraint::description), for example
//     <LCLayoutConstraint:0x6000 UIView:0x7000.width == 40>
//     <LCLayoutConstraint:button UIView:0x7000.bottom == UIView:0x7100.bottom - 90 ^low>
// Objects with a debugging key (lc_key) show the key in place of their address.
#pragma once

#include <UIKit/NSLayoutConstraint.h>

Ref<NSString> lc_description(const NSLayoutConstraint* constraint);

// The names used: relations, attributes and priorities by value.
Ref<NSDictionary> layoutRelationDescriptionsByValue();
Ref<NSDictionary> layoutAttributeDescriptionsByValue();
Ref<NSDictionary> layoutPriorityDescriptionsByValue();
// "Class:key" when the object has a debugging key, else "Class:address".
Ref<NSString> descriptionForObject(const NSObject* object);
