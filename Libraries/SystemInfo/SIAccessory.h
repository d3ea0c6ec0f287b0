// SIAccessory: external accessories and headphones. Class operations only.
#pragma once

#include <Runtime/NSObject.h>

class SIAccessory : public NSObject {
    NS_OBJECT(SIAccessory, NSObject)
public:
    static bool accessoriesPluggedIn();
    static NSInteger numberOfAccessoriesPluggedIn();
    // YES when the current audio route plays through headphones.
    static bool isHeadphonesAttached();
};
