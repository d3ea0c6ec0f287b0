// LCLayoutConstraint: the platform constraint that the constraint builder makes, with a debugging
// key that its description shows.
#pragma once

#include <UIKit/NSLayoutConstraint.h>

class LCLayoutConstraint : public NSLayoutConstraint {
    NS_OBJECT(LCLayoutConstraint, NSLayoutConstraint)
public:
    using NSLayoutConstraint::NSLayoutConstraint;

    id lc_key() const { return key_; }
    void setLc_key(const id& key) { key_ = key; }

    // The builder's readable form (see NSLayoutConstraint+LCDebugAdditions.h).
    Ref<NSString> description() const override;

private:
    id key_;
};
