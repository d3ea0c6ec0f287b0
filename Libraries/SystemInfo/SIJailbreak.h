// SIJailbreak: the one jailbreak test. Class operations only.
#pragma once

#include <Runtime/NSObject.h>

class SIJailbreak : public NSObject {
    NS_OBJECT(SIJailbreak, NSObject)
public:
    // YES when the device's "/bin/bash" can be opened for reading (it is closed again at once).
    static bool isJailbroken();
};
