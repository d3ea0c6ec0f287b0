#include <Networking/MMJSONAdapter.h>
#include <Networking/NSValueTransformer+MMPredefinedTransformerAdditions.h>

#include <Foundation/NSArray.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSURL.h>

const Ref<NSString>& MMURLValueTransformerName() {
    static const Ref<NSString> name = NSString::from("MMURLValueTransformerName");
    return name;
}

const Ref<NSString>& MMBooleanValueTransformerName() {
    static const Ref<NSString> name = NSString::from("MMBooleanValueTransformerName");
    return name;
}

namespace {

Ref<NSString> format(const char* text, std::initializer_list<NSFormatArgument> args) {
    return NSString::from(NSFormat(mm_localized(text)->str(), args));
}

id fail(const char* description, const Ref<NSString>& reason, const id& input, bool* success, Ref<NSError>* error) {
    return mm_failTransformation(mm_localized(description), reason, input, success, error);
}

Ref<NSValueTransformer> makeURLTransformer() {
    return MMValueTransformer::transformerUsingForwardBlockReverseBlock(
        [](const id& value, bool* success, Ref<NSError>* error) -> id {
            if (!value) {
                return nullptr;
            }
            auto string = cast<NSString>(value);
            if (!string) {
                return fail("Could not convert string to URL", format("Expected an NSString, got: %@.", {value}), value,
                            success, error);
            }
            auto url = NSURL::URLWithString(string);
            if (!url) {
                return fail("Could not convert string to URL", format("Input URL string %@ was malformed", {value}),
                            value, success, error);
            }
            return url;
        },
        [](const id& value, bool* success, Ref<NSError>* error) -> id {
            if (!value) {
                return nullptr;
            }
            auto url = cast<NSURL>(value);
            if (!url) {
                return fail("Could not convert URL to string", format("Expected an NSURL, got: %@.", {value}), value,
                            success, error);
            }
            return url->absoluteString();
        });
}

Ref<NSValueTransformer> makeBooleanTransformer() {
    return MMValueTransformer::transformerUsingReversibleBlock(
        [](const id& value, bool* success, Ref<NSError>* error) -> id {
            if (!value) {
                return nullptr;
            }
            auto number = cast<NSNumber>(value);
            if (!number) {
                return fail("Could not convert number to boolean-backed number or vice-versa",
                            format("Expected an NSNumber, got: %@.", {value}), value, success, error);
            }
            return NSNumber::numberWithBool(number->boolValue());
        });
}

[[maybe_unused]] const bool registeredAtStart = (mm_registerPredefinedTransformers(), true);

// The element-wise mapping of one direction over an array.
id mapArray(const id& value, bool* success, Ref<NSError>* error, const Ref<NSValueTransformer>& transformer,
            bool reverse) {
    if (!value) {
        return nullptr;
    }
    auto array = cast<NSArray>(value);
    if (!array) {
        return fail("Could not transform non-array type", format("Expected an NSArray, got: %@.", {value}), value,
                    success, error);
    }
    MMTransformerErrorHandling* handling = mm_errorHandling(transformer);
    bool withErrors = handling && (!reverse || handling->respondsToReverseTransformedValueSuccessError());
    auto result = NSMutableArray::arrayWithCapacity(array->count());
    NSUInteger index = 0;
    for (const id& element : *array) {
        if (element.get() == NSNull::null().get()) {
            result->addObject(element);
            ++index;
            continue;
        }
        id transformed;
        if (withErrors) {
            Ref<NSError> elementError;
            transformed = reverse ? handling->reverseTransformedValueSuccessError(element, success, &elementError)
                                  : handling->transformedValueSuccessError(element, success, &elementError);
            if (success && !*success) {
                if (error) {
                    auto info = NSMutableDictionary::dictionary();
                    info->setObjectForKey(mm_localized("Could not transform array"), NSLocalizedDescriptionKey());
                    info->setObjectForKey(format("Could not transform value at index %d", {index}),
                                          NSLocalizedFailureReasonErrorKey());
                    if (elementError) {
                        info->setObjectForKey(elementError, NSUnderlyingErrorKey());
                    }
                    info->setObjectForKey(array, MMTransformerErrorHandlingInputValueErrorKey());
                    *error = make<NSError>(MMTransformerErrorHandlingErrorDomain(),
                                           MMTransformerErrorHandlingErrorInvalidInput, info);
                }
                return nullptr;
            }
        } else {
            transformed =
                reverse ? transformer->reverseTransformedValue(element) : transformer->transformedValue(element);
        }
        if (transformed) {
            result->addObject(transformed);
        }
        ++index;
    }
    return result;
}

// What a formatter of the platform parses and prints.
struct FormatterAccess {
    // getObjectValue:forString:errorDescription:
    bool getObjectValue(const Ref<NSObject>& formatter, id* object, const Ref<NSString>& string,
                        Ref<NSString>* errorDescription) const {
        if (auto dates = cast<NSDateFormatter>(formatter)) {
            *object = dates->dateFromString(string);
            if (!*object) {
                *errorDescription = NSString::from("The text does not match the date format.");
            }
            return *object != nullptr;
        }
        if (auto numbers = cast<NSNumberFormatter>(formatter)) {
            *object = numbers->numberFromString(string);
            if (!*object) {
                *errorDescription = NSString::from("The text is not a number in the formatter's style.");
            }
            return *object != nullptr;
        }
        *errorDescription = NSString::from("The formatter cannot read text.");
        return false;
    }
    // stringForObjectValue:
    Ref<NSString> stringForObjectValue(const Ref<NSObject>& formatter, const id& object) const {
        if (auto dates = cast<NSDateFormatter>(formatter)) {
            auto date = cast<NSDate>(object);
            return date ? dates->stringFromDate(date) : nullptr;
        }
        if (auto numbers = cast<NSNumberFormatter>(formatter)) {
            auto number = cast<NSNumber>(object);
            return number ? numbers->stringFromNumber(number) : nullptr;
        }
        return nullptr;
    }
};

} // namespace

void mm_registerPredefinedTransformers() {
    static std::once_flag once;
    std::call_once(once, [] {
        NSValueTransformer::setValueTransformerForName(makeURLTransformer(), MMURLValueTransformerName());
        NSValueTransformer::setValueTransformerForName(makeBooleanTransformer(), MMBooleanValueTransformerName());
    });
}

Ref<NSValueTransformer> mm_arrayMappingTransformerWithTransformer(const Ref<NSValueTransformer>& transformer) {
    if (!transformer) {
        return nullptr;
    }
    MMValueTransformerBlock forward = [transformer](const id& value, bool* success, Ref<NSError>* error) {
        return mapArray(value, success, error, transformer, false);
    };
    if (!transformer->allowsReverseTransformation()) {
        return MMValueTransformer::transformerUsingForwardBlock(std::move(forward));
    }
    return MMValueTransformer::transformerUsingForwardBlockReverseBlock(
        std::move(forward), [transformer](const id& value, bool* success, Ref<NSError>* error) {
            return mapArray(value, success, error, transformer, true);
        });
}

Ref<NSValueTransformer> mm_validatingTransformerForClass(Class modelClass) {
    return MMValueTransformer::transformerUsingForwardBlock(
        [modelClass](const id& value, bool* success, Ref<NSError>* error) -> id {
            if (!value || !modelClass || value->isKindOfClass(modelClass)) {
                return value;
            }
            return fail("Value did not match expected type",
                        format("Expected %1$@ to be of class %2$@ but got %3$@",
                               {value, NSStringFromClass(modelClass), NSStringFromClass(value->getClass())}),
                        value, success, error);
        });
}

Ref<NSValueTransformer> mm_valueMappingTransformerWithDictionaryDefaultValueReverseDefaultValue(
    const Ref<NSDictionary>& dictionary, const id& defaultValue, const id& reverseDefaultValue) {
    Ref<NSDictionary> table = dictionary ? dictionary : NSDictionary::dictionary();
    return MMValueTransformer::transformerUsingForwardBlockReverseBlock(
        [table, defaultValue](const id& value, bool*, Ref<NSError>*) -> id {
            id found = table->objectForKey(value ? value : id(NSNull::null()));
            return found ? found : defaultValue;
        },
        [table, reverseDefaultValue](const id& value, bool*, Ref<NSError>*) -> id {
            if (value) {
                for (const auto& [key, object] : *table) {
                    if (object->isEqual(value)) {
                        return key;
                    }
                }
            }
            return reverseDefaultValue;
        });
}

Ref<NSValueTransformer> mm_valueMappingTransformerWithDictionary(const Ref<NSDictionary>& dictionary) {
    return mm_valueMappingTransformerWithDictionaryDefaultValueReverseDefaultValue(dictionary, nullptr, nullptr);
}

Ref<NSValueTransformer>
mm_dateTransformerWithDateFormatCalendarLocaleTimeZoneDefaultDate(const Ref<NSString>& dateFormat, const id&,
                                                                  const Ref<NSLocale>& locale,
                                                                  const Ref<NSTimeZone>& timeZone, const Ref<NSDate>&) {
    auto formatter = make<NSDateFormatter>();
    formatter->setDateFormat(dateFormat);
    if (locale) {
        formatter->setLocale(locale);
    }
    if (timeZone) {
        formatter->setTimeZone(timeZone);
    }
    return mm_transformerWithFormatterForObjectClass(formatter, NSDate::class_());
}

Ref<NSValueTransformer> mm_dateTransformerWithDateFormatLocale(const Ref<NSString>& dateFormat,
                                                               const Ref<NSLocale>& locale) {
    return mm_dateTransformerWithDateFormatCalendarLocaleTimeZoneDefaultDate(dateFormat, nullptr, locale, nullptr,
                                                                             nullptr);
}

Ref<NSValueTransformer> mm_numberTransformerWithNumberStyleLocale(NSNumberFormatterStyle numberStyle,
                                                                  const Ref<NSLocale>& locale) {
    auto formatter = make<NSNumberFormatter>();
    formatter->setNumberStyle(numberStyle);
    if (locale) {
        formatter->setLocale(locale);
    }
    return mm_transformerWithFormatterForObjectClass(formatter, NSNumber::class_());
}

Ref<NSValueTransformer> mm_transformerWithFormatterForObjectClass(const Ref<NSObject>& formatter, Class objectClass) {
    Ref<NSString> className = NSStringFromClass(objectClass);
    return MMValueTransformer::transformerUsingForwardBlockReverseBlock(
        [formatter, objectClass, className](const id& value, bool* success, Ref<NSError>* error) -> id {
            if (!value) {
                return nullptr;
            }
            auto string = cast<NSString>(value);
            if (!string) {
                return mm_failTransformation(format("Could not convert string to %@", {className}),
                                             format("Expected an NSString as input, got: %@.", {value}), value, success,
                                             error);
            }
            id object;
            Ref<NSString> errorDescription;
            *success = FormatterAccess().getObjectValue(formatter, &object, string, &errorDescription);
            if (errorDescription) {
                return mm_failTransformation(format("Could not convert string to %@", {className}), errorDescription,
                                             value, success, error);
            }
            if (object && object->isKindOfClass(objectClass)) {
                return object;
            }
            if (error) {
                *error = make<NSError>(
                    NSCocoaErrorDomain(), NSFormattingError,
                    NSDictionary::dictionaryWithEntries(
                        {{NSLocalizedDescriptionKey(), format("Could not convert string to %@", {className})},
                         {NSLocalizedFailureReasonErrorKey(),
                          format("Expected an %@ as output from the formatter, got: %@.", {className, object})}}));
            }
            *success = false;
            return nullptr;
        },
        [formatter, objectClass, className](const id& value, bool* success, Ref<NSError>* error) -> id {
            if (!value) {
                return nullptr;
            }
            if (!value->isKindOfClass(objectClass)) {
                return mm_failTransformation(format("Could not convert %@ to string", {className}),
                                             format("Expected an %@ as input, got: %@.", {className, value}), value,
                                             success, error);
            }
            auto text = FormatterAccess().stringForObjectValue(formatter, value);
            *success = text != nullptr;
            return text;
        });
}

Ref<NSValueTransformer> mm_JSONDictionaryTransformerWithModelClass(Class modelClass) {
    return MMJSONAdapter::dictionaryTransformerWithModelClass(modelClass);
}

Ref<NSValueTransformer> mm_JSONArrayTransformerWithModelClass(Class modelClass) {
    return MMJSONAdapter::arrayTransformerWithModelClass(modelClass);
}

Ref<NSValueTransformer> mm_invertedTransformer(const Ref<NSValueTransformer>& self) {
    if (!self) {
        return nullptr;
    }
    if (mm_errorHandling(self)) {
        return MMValueTransformer::transformerUsingForwardBlockReverseBlock(
            [self](const id& value, bool* success, Ref<NSError>* error) -> id {
                MMTransformerErrorHandling* handling = mm_errorHandling(self);
                if (!handling->respondsToReverseTransformedValueSuccessError()) {
                    return self->reverseTransformedValue(value);
                }
                return handling->reverseTransformedValueSuccessError(value, success, error);
            },
            [self](const id& value, bool* success, Ref<NSError>* error) -> id {
                return mm_errorHandling(self)->transformedValueSuccessError(value, success, error);
            });
    }
    return MMValueTransformer::transformerUsingForwardBlockReverseBlock(
        [self](const id& value, bool*, Ref<NSError>*) -> id { return self->reverseTransformedValue(value); },
        [self](const id& value, bool*, Ref<NSError>*) -> id { return self->transformedValue(value); });
}
