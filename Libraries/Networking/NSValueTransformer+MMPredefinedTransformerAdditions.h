// Ready-made transformers of the model mapping (`NSValueTransformer (MMPredefinedTransformerAdditions)`)
// and the inversion of a transformer (`MMInversionAdditions`). Every one of them reports failure
// through success and error (MMTransformerErrorHandling); all but the value mapping answer nil for a
// nil input.
#pragma once

#include <Networking/MMValueTransformer.h>

#include <Foundation/NSDateFormatter.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumberFormatter.h>

// Names under which the URL (NSString <-> NSURL) and boolean (NSNumber -> boolean NSNumber, both
// ways) transformers are registered when the program starts.
const Ref<NSString>& MMURLValueTransformerName();
const Ref<NSString>& MMBooleanValueTransformerName();
// Registers the two named transformers (done at start-up; calling it again changes nothing).
void mm_registerPredefinedTransformers();

// Applies the transformer to each element of an array (NSNull stays NSNull, nil results are
// dropped); reversible when the given transformer's class is.
Ref<NSValueTransformer> mm_arrayMappingTransformerWithTransformer(const Ref<NSValueTransformer>& transformer);
// Passes a value of the class (or a subclass) through; anything else fails. Forward only.
Ref<NSValueTransformer> mm_validatingTransformerForClass(Class modelClass);
// Looks values up in a dictionary (nil as NSNull), the default when absent; backwards, the key of
// the first entry whose value is equal, the reverse default when none. Never fails.
Ref<NSValueTransformer> mm_valueMappingTransformerWithDictionaryDefaultValueReverseDefaultValue(
    const Ref<NSDictionary>& dictionary, const id& defaultValue, const id& reverseDefaultValue);
Ref<NSValueTransformer> mm_valueMappingTransformerWithDictionary(const Ref<NSDictionary>& dictionary);
// Text <-> NSDate through a date formatter with the format, locale and time zone. The platform's
// formatter has a fixed Gregorian calendar and takes missing fields from 2000-01-01, so `calendar`
// and `defaultDate` are accepted and change nothing.
Ref<NSValueTransformer> mm_dateTransformerWithDateFormatCalendarLocaleTimeZoneDefaultDate(
    const Ref<NSString>& dateFormat, const id& calendar, const Ref<NSLocale>& locale, const Ref<NSTimeZone>& timeZone,
    const Ref<NSDate>& defaultDate);
Ref<NSValueTransformer> mm_dateTransformerWithDateFormatLocale(const Ref<NSString>& dateFormat,
                                                               const Ref<NSLocale>& locale);
// Text <-> NSNumber through a number formatter with the style and locale.
Ref<NSValueTransformer> mm_numberTransformerWithNumberStyleLocale(NSNumberFormatterStyle numberStyle,
                                                                  const Ref<NSLocale>& locale);
// Text <-> object through a formatter (an NSDateFormatter or an NSNumberFormatter) for objects of
// the class.
Ref<NSValueTransformer> mm_transformerWithFormatterForObjectClass(const Ref<NSObject>& formatter, Class objectClass);
// The JSON adapter's nesting transformers.
Ref<NSValueTransformer> mm_JSONDictionaryTransformerWithModelClass(Class modelClass);
Ref<NSValueTransformer> mm_JSONArrayTransformerWithModelClass(Class modelClass);

// `-[NSValueTransformer mm_invertedTransformer]`: a reversible transformer whose forward direction
// is the receiver's reverse and whose reverse is the receiver's forward.
Ref<NSValueTransformer> mm_invertedTransformer(const Ref<NSValueTransformer>& self);
