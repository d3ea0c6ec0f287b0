// Left padding, the mirror of the platform's right padding.
#pragma once

#include <Foundation/NSString.h>

// `-[NSString stringByPaddingTheLeftToLength:withString:startingAtIndex:]`: the receiver after
// enough of `padString` (repeated from `padIndex`) to make `newLength` UTF-16 units; a receiver
// longer than that comes back unchanged, not cut.
Ref<NSString> stringByPaddingTheLeftToLengthWithStringStartingAtIndex(const Ref<NSString>& self, NSUInteger newLength,
                                                                      const Ref<NSString>& padString,
                                                                      NSUInteger padIndex);
