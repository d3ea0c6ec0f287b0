// RXUnit: the value that stands for no particular value.
#pragma once

#include <Foundation/NSString.h>

class RXUnit : public NSObject {
    NS_OBJECT(RXUnit, NSObject)
public:
    // The shared instance.
    static const Ref<RXUnit>& defaultUnit();
};
