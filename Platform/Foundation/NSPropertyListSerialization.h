// NSPropertyListSerialization: property lists (XML or binary) to objects and back, and the
// collections' file helpers.
//
// Objects: NSDictionary (string keys, the file's order kept), NSArray, NSString, NSNumber (booleans
// as boolean numbers, integers as 64-bit integer numbers, reals as doubles), NSData and NSDate.
// Malformed input and objects that are not property lists give nil and an error; nothing is thrown.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>

enum NSPropertyListFormat : NSUInteger {
    NSPropertyListOpenStepFormat = 1,
    NSPropertyListXMLFormat_v1_0 = 100,
    NSPropertyListBinaryFormat_v1_0 = 200,
};

using NSPropertyListReadOptions = NSUInteger;
inline constexpr NSPropertyListReadOptions NSPropertyListImmutable = 0;
inline constexpr NSPropertyListReadOptions NSPropertyListMutableContainers = 1;
inline constexpr NSPropertyListReadOptions NSPropertyListMutableContainersAndLeaves = 2;

using NSPropertyListWriteOptions = NSUInteger;

class NSPropertyListSerialization : public NSObject {
    NS_OBJECT(NSPropertyListSerialization, NSObject)
public:
    // Arrays and dictionaries nest at most this deep.
    static constexpr int maximumDepth = 512;

    // Reads an XML or a binary property list; `format` (may be null) receives which it was.
    // Errors: NSCocoaErrorDomain NSPropertyListReadCorruptError.
    static id propertyListWithDataOptionsFormatError(const Ref<NSData>& data, NSPropertyListReadOptions options,
                                                     NSPropertyListFormat* format, Ref<NSError>* error);
    // Writes XML (NSPropertyListXMLFormat_v1_0) or binary (NSPropertyListBinaryFormat_v1_0).
    // Errors: NSCocoaErrorDomain NSPropertyListWriteInvalidError for objects that are not property
    // lists or a format that cannot be written (OpenStep).
    static Ref<NSData> dataWithPropertyListFormatOptionsError(const id& plist, NSPropertyListFormat format,
                                                              NSPropertyListWriteOptions options, Ref<NSError>* error);
    static bool propertyListIsValidForFormat(const id& plist, NSPropertyListFormat format);
};

// `+[NSDictionary dictionaryWithContentsOfFile:]` and `+[NSArray arrayWithContentsOfFile:]`: nil when
// the file cannot be read, is not a property list, or holds another kind of root.
Ref<NSDictionary> NSDictionaryWithContentsOfFile(const Ref<NSString>& path);
Ref<NSArray> NSArrayWithContentsOfFile(const Ref<NSString>& path);
// `-writeToFile:atomically:` of the collections: an XML property list. False when the collection is
// not a property list or the file cannot be written.
bool NSDictionaryWriteToFileAtomically(const Ref<NSDictionary>& dictionary, const Ref<NSString>& path, bool atomically);
bool NSArrayWriteToFileAtomically(const Ref<NSArray>& array, const Ref<NSString>& path, bool atomically);
