// Reading a dotted key path ("user.address.city") through nested JSON dictionaries.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>

// `-[NSDictionary mm_valueForJSONKeyPath:success:error:]`: the value at the key path. A nil or
// NSNull met on the way is the answer (with success). A value on the way that is not a dictionary
// fails: nil, success NO, and an error of MMJSONAdapterErrorDomain code 3 ("Invalid JSON
// dictionary"). `success` and `error` may be null.
id mm_valueForJSONKeyPathSuccessError(const Ref<NSDictionary>& self, const Ref<NSString>& keyPath, bool* success,
                                      Ref<NSError>* error);
