// NSJSONSerialization: JSON text to objects and back.
//
// Objects: NSDictionary (string keys, the document's member order kept), NSArray, NSString, NSNumber
// (true/false as boolean numbers, integers as integer numbers, other numbers as doubles) and NSNull.
// Malformed input, and objects that cannot be written, give nil and an error (NSCocoaErrorDomain,
// code 3840, with a description); nothing is thrown.
#pragma once

#include <Foundation/NSData.h>
#include <Foundation/NSError.h>

using NSJSONReadingOptions = NSUInteger;
// Arrays and dictionaries are made mutable.
inline constexpr NSJSONReadingOptions NSJSONReadingMutableContainers = 1UL << 0;
// Strings are made mutable.
inline constexpr NSJSONReadingOptions NSJSONReadingMutableLeaves = 1UL << 1;
// The top level may be a string, a number, true/false or null.
inline constexpr NSJSONReadingOptions NSJSONReadingFragmentsAllowed = 1UL << 2;
inline constexpr NSJSONReadingOptions NSJSONReadingAllowFragments = NSJSONReadingFragmentsAllowed;

using NSJSONWritingOptions = NSUInteger;
// Line breaks and two-space indents, "key" : value.
inline constexpr NSJSONWritingOptions NSJSONWritingPrettyPrinted = 1UL << 0;
// Dictionary members in key order instead of insertion order.
inline constexpr NSJSONWritingOptions NSJSONWritingSortedKeys = 1UL << 1;
// The top level may be something other than an array or a dictionary.
inline constexpr NSJSONWritingOptions NSJSONWritingFragmentsAllowed = 1UL << 2;
// "/" is written as is rather than as "\/".
inline constexpr NSJSONWritingOptions NSJSONWritingWithoutEscapingSlashes = 1UL << 3;

class NSJSONSerialization : public NSObject {
    NS_OBJECT(NSJSONSerialization, NSObject)
public:
    // Arrays and dictionaries nest at most this deep, reading and writing (deeper is an error).
    static constexpr int maximumDepth = 512;

    // True when `object` is an array or a dictionary that dataWithJSONObjectOptionsError can write.
    static bool isValidJSONObject(const id& object);
    // The object of a UTF-8 JSON document (a leading byte-order mark is skipped).
    static id JSONObjectWithDataOptionsError(const Ref<NSData>& data, NSJSONReadingOptions options,
                                             Ref<NSError>* error);
    // UTF-8 JSON text. Numbers must be finite and dictionary keys strings.
    static Ref<NSData> dataWithJSONObjectOptionsError(const id& object, NSJSONWritingOptions options,
                                                      Ref<NSError>* error);
};
