// The error domain of motion services and its codes (the platform's numbering).
#pragma once

#include <Foundation/NSError.h>

const Ref<NSString>& CMErrorDomain();

enum CMError : NSInteger {
    CMErrorNULL = 100,
    CMErrorDeviceRequiresMovement = 101,
    CMErrorTrueNorthNotAvailable = 102,
    CMErrorUnknown = 103,
    CMErrorMotionActivityNotAvailable = 104,
    CMErrorMotionActivityNotAuthorized = 105,
    CMErrorMotionActivityNotEntitled = 106,
    CMErrorInvalidParameter = 107,
    CMErrorInvalidAction = 108,
    CMErrorNotAvailable = 109,
    CMErrorNotEntitled = 110,
    CMErrorNotAuthorized = 111,
};
