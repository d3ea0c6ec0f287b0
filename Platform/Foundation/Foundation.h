// Umbrella header of the Foundation stand-in.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>
