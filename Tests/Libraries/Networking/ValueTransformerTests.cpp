// Value transformers, the collection and key-path categories, and the property-attribute parser.
#include "ModelFixtures.h"

#include <Networking/MMReflection.h>
#include <Networking/NSArray+MMManipulationAdditions.h>
#include <Networking/NSDictionary+MMJSONKeyPath.h>
#include <Networking/NSDictionary+MMManipulationAdditions.h>
#include <Networking/NSDictionary+MMMappingAdditions.h>

#include <Support/PlatformTestCase.h>

#include <Foundation/NSNumber.h>

namespace {

class Transformers : public PlatformTestCase {
protected:
    static id forward(const Ref<NSValueTransformer>& t, const id& value, bool* ok, Ref<NSError>* error) {
        *ok = true;
        return mm_errorHandling(t)->transformedValueSuccessError(value, ok, error);
    }
    static id reverse(const Ref<NSValueTransformer>& t, const id& value, bool* ok, Ref<NSError>* error) {
        *ok = true;
        return mm_errorHandling(t)->reverseTransformedValueSuccessError(value, ok, error);
    }
};

// A transformer that does not adopt the error-handling protocol.
class UppercaseTransformer : public NSValueTransformer {
    NS_OBJECT(UppercaseTransformer, NSValueTransformer)
public:
    bool allowsReverseTransformation() const override { return true; }
    id transformedValue(const id& value) override {
        auto s = cast<NSString>(value);
        return s ? s->uppercaseString() : nullptr;
    }
    id reverseTransformedValue(const id& value) override {
        auto s = cast<NSString>(value);
        return s ? s->lowercaseString() : nullptr;
    }
};

} // namespace

NS_IMPLEMENT_CLASS(UppercaseTransformer, NSValueTransformer) {}

TEST_F(Transformers, BlockTransformersAndReversibility) {
    auto plain =
        MMValueTransformer::transformerUsingForwardBlock([](const id& v, bool*, Ref<NSError>*) -> id { return v; });
    EXPECT_FALSE(plain->allowsReverseTransformation());
    auto both = MMValueTransformer::transformerUsingForwardBlockReverseBlock(
        [](const id& v, bool*, Ref<NSError>*) -> id { return v; },
        [](const id&, bool*, Ref<NSError>*) -> id { return "back"_ns; });
    EXPECT_TRUE(both->allowsReverseTransformation());
    EXPECT_TRUE(cast<NSString>(both->reverseTransformedValue("x"_ns))->isEqualToString("back"_ns));
    EXPECT_THROW(plain->reverseTransformedValue("x"_ns), NSException);

    // A successful transformation clears the caller's error.
    Ref<NSError> error = make<NSError>("old"_ns, 1);
    bool ok = false;
    EXPECT_TRUE(both->transformedValueSuccessError("x"_ns, &ok, &error));
    EXPECT_TRUE(ok);
    EXPECT_FALSE(error);

    auto old = MMValueTransformer::reversibleTransformerWithForwardBlockReverseBlock(
        [](const id& v) -> id { return box(unbox<int>(v) + 1); },
        [](const id& v) -> id { return box(unbox<int>(v) - 1); });
    EXPECT_EQ(unbox<int>(old->transformedValue(box(1))), 2);
    EXPECT_EQ(unbox<int>(old->reverseTransformedValue(box(1))), 0);

    auto inverted = mm_invertedTransformer(old);
    EXPECT_EQ(unbox<int>(inverted->transformedValue(box(1))), 0);
    EXPECT_EQ(unbox<int>(inverted->reverseTransformedValue(box(1))), 2);
    auto invertedPlain = mm_invertedTransformer(make<UppercaseTransformer>());
    EXPECT_TRUE(cast<NSString>(invertedPlain->transformedValue("AB"_ns))->isEqualToString("ab"_ns));
}

TEST_F(Transformers, NamedURLAndBooleanTransformers) {
    auto url = NSValueTransformer::valueTransformerForName(MMURLValueTransformerName());
    auto boolean = NSValueTransformer::valueTransformerForName(MMBooleanValueTransformerName());
    ASSERT_TRUE(url);
    ASSERT_TRUE(boolean);
    bool ok;
    Ref<NSError> error;
    auto u = cast<NSURL>(forward(url, "http://a.example/x?y=1"_ns, &ok, &error));
    ASSERT_TRUE(u);
    EXPECT_TRUE(cast<NSString>(reverse(url, u, &ok, &error))->isEqualToString("http://a.example/x?y=1"_ns));
    EXPECT_FALSE(forward(url, "http://bad host/ x"_ns, &ok, &error));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(error->localizedDescription()->isEqualToString("Could not convert string to URL"_ns));
    EXPECT_EQ(error->userInfo()->objectForKey(MMTransformerErrorHandlingInputValueErrorKey())->description()->str(),
              "http://bad host/ x");
    // The wrong class in either direction: nil and an error, never a crash.
    EXPECT_FALSE(forward(url, box(1), &ok, &error));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(reverse(url, "text"_ns, &ok, &error));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(url->transformedValue(NSArray::array()));

    auto t = cast<NSNumber>(forward(boolean, box(2), &ok, &error));
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->isBool());
    EXPECT_TRUE(t->boolValue());
    EXPECT_FALSE(forward(boolean, "yes"_ns, &ok, &error));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(boolean->reverseTransformedValue("yes"_ns));
    EXPECT_FALSE(forward(boolean, nullptr, &ok, &error));
    EXPECT_TRUE(ok); // nil in, nil out, no failure
}

TEST_F(Transformers, ArrayMappingAndValidation) {
    auto strings = mm_arrayMappingTransformerWithTransformer(mm_validatingTransformerForClass(NSString::class_()));
    EXPECT_FALSE(strings->allowsReverseTransformation());
    bool ok;
    Ref<NSError> error;
    EXPECT_FALSE(forward(strings, NSArray::arrayWithObjects({"a"_ns, NSNull::null(), box(3)}), &ok, &error));
    EXPECT_FALSE(ok);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->localizedFailureReason()->isEqualToString("Could not transform value at index 2"_ns));
    ASSERT_TRUE(error->underlyingError());
    EXPECT_TRUE(
        error->underlyingError()->localizedDescription()->isEqualToString("Value did not match expected type"_ns));
    EXPECT_FALSE(forward(strings, "not an array"_ns, &ok, &error));

    auto upper = mm_arrayMappingTransformerWithTransformer(make<UppercaseTransformer>());
    EXPECT_TRUE(upper->allowsReverseTransformation());
    auto out = cast<NSArray>(upper->transformedValue(NSArray::arrayWithObjects({"a"_ns, NSNull::null(), box(1)})));
    ASSERT_EQ(out->count(), 2u); // a nil result is dropped
    EXPECT_TRUE(cast<NSString>(out->objectAtIndex(0))->isEqualToString("A"_ns));
    auto back = cast<NSArray>(upper->reverseTransformedValue(out));
    EXPECT_TRUE(cast<NSString>(back->objectAtIndex(0))->isEqualToString("a"_ns));

    auto urls = mm_arrayMappingTransformerWithTransformer(
        NSValueTransformer::valueTransformerForName(MMURLValueTransformerName()));
    auto list = forward(urls, NSArray::arrayWithObjects({"http://x.example/"_ns}), &ok, &error);
    ASSERT_TRUE(ok);
    auto texts = cast<NSArray>(reverse(urls, list, &ok, &error));
    EXPECT_TRUE(cast<NSString>(texts->objectAtIndex(0))->isEqualToString("http://x.example/"_ns));
}

TEST_F(Transformers, ValueMapping) {
    auto mapping = mm_valueMappingTransformerWithDictionaryDefaultValueReverseDefaultValue(
        NSDictionary::dictionaryWithEntries({{"x"_ns, box(1)}}), box(0), "?"_ns);
    EXPECT_EQ(unbox<int>(mapping->transformedValue("x"_ns)), 1);
    EXPECT_EQ(unbox<int>(mapping->transformedValue("y"_ns)), 0);
    EXPECT_EQ(unbox<int>(mapping->transformedValue(nullptr)), 0);
    EXPECT_TRUE(cast<NSString>(mapping->reverseTransformedValue(box(1)))->isEqualToString("x"_ns));
    EXPECT_TRUE(cast<NSString>(mapping->reverseTransformedValue(box(9)))->isEqualToString("?"_ns));
    auto noDefaults = mm_valueMappingTransformerWithDictionary(NSDictionary::dictionaryWithEntries({{"x"_ns, box(1)}}));
    EXPECT_FALSE(noDefaults->reverseTransformedValue(box(2)));
    EXPECT_FALSE(noDefaults->reverseTransformedValue(nullptr));
}

TEST_F(Transformers, FormatterTransformers) {
    bool ok;
    Ref<NSError> error;
    auto numbers = mm_numberTransformerWithNumberStyleLocale(NSNumberFormatterDecimalStyle, nullptr);
    auto n = cast<NSNumber>(forward(numbers, "1,234.5"_ns, &ok, &error));
    ASSERT_TRUE(n);
    EXPECT_DOUBLE_EQ(n->doubleValue(), 1234.5);
    EXPECT_FALSE(forward(numbers, "many"_ns, &ok, &error));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(error->localizedDescription()->isEqualToString("Could not convert string to NSNumber"_ns));
    EXPECT_FALSE(forward(numbers, box(1), &ok, &error));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(cast<NSString>(reverse(numbers, box(1234.5), &ok, &error))->isEqualToString("1,234.5"_ns));
    EXPECT_FALSE(reverse(numbers, "1"_ns, &ok, &error));
    EXPECT_FALSE(ok);

    auto dates = mm_dateTransformerWithDateFormatCalendarLocaleTimeZoneDefaultDate(
        "yyyy-MM-dd"_ns, nullptr, nullptr, NSTimeZone::timeZoneForSecondsFromGMT(0), nullptr);
    auto date = cast<NSDate>(forward(dates, "2020-02-29"_ns, &ok, &error));
    ASSERT_TRUE(date);
    EXPECT_TRUE(cast<NSString>(reverse(dates, date, &ok, &error))->isEqualToString("2020-02-29"_ns));
    EXPECT_FALSE(forward(dates, "2020-02-30"_ns, &ok, &error));
    EXPECT_FALSE(ok);
}

TEST_F(Transformers, KeyPathReading) {
    auto dictionary =
        NSDictionary::dictionaryWithEntries({{"a"_ns, NSDictionary::dictionaryWithEntries({{"b"_ns, box(5)}})},
                                             {"s"_ns, "text"_ns},
                                             {"n"_ns, NSNull::null()}});
    bool ok = false;
    Ref<NSError> error;
    EXPECT_EQ(unbox<int>(mm_valueForJSONKeyPathSuccessError(dictionary, "a.b"_ns, &ok, &error)), 5);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(mm_valueForJSONKeyPathSuccessError(dictionary, "a.x.c"_ns, &ok, &error));
    EXPECT_TRUE(ok);
    EXPECT_EQ(mm_valueForJSONKeyPathSuccessError(dictionary, "n.deeper"_ns, &ok, &error), NSNull::null());
    EXPECT_TRUE(ok);
    EXPECT_FALSE(mm_valueForJSONKeyPathSuccessError(dictionary, "s.x"_ns, &ok, &error));
    EXPECT_FALSE(ok);
    EXPECT_EQ(error->code(), 3);
    EXPECT_TRUE(error->localizedDescription()->isEqualToString("Invalid JSON dictionary"_ns));
}

TEST_F(Transformers, CollectionCategories) {
    auto empty = NSArray::array();
    EXPECT_EQ(mm_arrayByRemovingLastObject(empty).get(), empty.get());
    EXPECT_EQ(mm_arrayByRemovingFirstObject(empty).get(), empty.get());
    EXPECT_FALSE(mm_firstObject(empty));
    auto items = NSArray::arrayWithObjects({box(1), box(2), box(1), box(3)});
    EXPECT_EQ(mm_arrayByRemovingObject(items, box(1))->count(), 2u);
    EXPECT_EQ(unbox<int>(mm_arrayByRemovingFirstObject(items)->firstObject()), 2);
    EXPECT_EQ(unbox<int>(mm_arrayByRemovingLastObject(items)->lastObject()), 1);

    auto d = NSDictionary::dictionaryWithEntries({{"a"_ns, box(1)}, {"b"_ns, box(2)}});
    auto added = mm_dictionaryByAddingEntriesFromDictionary(d, NSDictionary::dictionaryWithEntries({{"b"_ns, box(9)}}));
    EXPECT_EQ(unbox<int>(added->objectForKey("b"_ns)), 9);
    EXPECT_EQ(mm_dictionaryByRemovingValuesForKeys(d, NSArray::arrayWithObjects({"a"_ns}))->count(), 1u);
    EXPECT_EQ(mm_dictionaryByRemovingEntriesWithKeys(d, NSSet::setWithObjects({"a"_ns, "b"_ns}))->count(), 0u);

    auto identity = mm_identityPropertyMapWithModel(MMTestAddress::class_());
    EXPECT_EQ(identity->count(), 2u);
    EXPECT_TRUE(cast<NSString>(identity->objectForKey("city"_ns))->isEqualToString("city"_ns));

    auto error = mm_modelErrorWithException(NSException(NSInvalidArgumentException, "bad"));
    EXPECT_TRUE(error->domain()->isEqualToString("MMModelErrorDomain"_ns));
    EXPECT_EQ(error->code(), 1);
    EXPECT_TRUE(error->localizedFailureReason()->isEqualToString("bad"_ns));
}

namespace {
MMPropertyAttributesPtr parse(const char* name, const char* attributes) {
    static std::vector<std::unique_ptr<ObjCProperty>> keep; // the record points into the string
    auto p = std::make_unique<ObjCProperty>();
    p->name = name;
    p->attributes = attributes;
    auto* raw = p.get();
    keep.push_back(std::move(p));
    return MMPropertyAttributesPtr(mm_parsePropertyAttributes(raw));
}
} // namespace

TEST(PropertyAttributes, ParsesTheRuntimesAttributeStrings) {
    auto a = parse("site", R"(T@"NSString",R,C,N,V_site)");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->objectClass, NSString::class_());
    EXPECT_TRUE(a->readonly);
    EXPECT_TRUE(a->nonatomic);
    EXPECT_EQ(a->memoryPolicy, mm_propertyMemoryManagementPolicyCopy);
    EXPECT_STREQ(a->ivarName, "_site");
    EXPECT_EQ(a->getter, SEL("site"));
    EXPECT_EQ(a->setter, SEL("setSite:"));

    auto b = parse("is_active", "TB,R,N,V_is_active");
    EXPECT_STREQ(b->typeEncoding, "B");
    EXPECT_FALSE(b->objectClass);
    EXPECT_STREQ(parse("productId", "Tq,R,N,V_productId")->typeEncoding, "q");

    auto c = parse("response", R"(T@"NSString",&,D,N)");
    EXPECT_EQ(c->memoryPolicy, mm_propertyMemoryManagementPolicyRetain);
    EXPECT_TRUE(c->dynamic);
    EXPECT_FALSE(c->ivarName);
    EXPECT_EQ(c->setter, SEL("setResponse:"));

    auto d = parse("recording", "TB,N,GisRecording,V_recording");
    EXPECT_EQ(d->getter, SEL("isRecording"));
    EXPECT_EQ(d->setter, SEL("setRecording:"));
    EXPECT_STREQ(d->ivarName, "_recording");

    EXPECT_FALSE(parse("p", R"(T@"NSString<NSCopying>",&,D,N)")->objectClass);
    auto e = parse("x", "Ti,Z,N"); // an unknown flag is reported and the next still read
    EXPECT_TRUE(e->nonatomic);
    EXPECT_STREQ(parse("s", "T{CGPoint=dd},N")->typeEncoding, "{CGPoint=dd}");

    EXPECT_FALSE(parse("bad", "Xi"));
    EXPECT_FALSE(parse("bad", "T"));
    EXPECT_FALSE(parse("bad", R"(T@"NSString)"));
    EXPECT_FALSE(parse("bad", "Ti,G,N"));
    EXPECT_FALSE(parse("bad", "T{Open=ii"));

    EXPECT_EQ(MMSelectorFromKeyAndSuffix("site"_ns, "JSONTransformer"), SEL("siteJSONTransformer"));
    EXPECT_EQ(MMSelectorFromPrefixKeyAndSuffix("merge", "site"_ns, "FromModel:"), SEL("mergeSiteFromModel:"));
    EXPECT_EQ(MMSelectorFromPrefixKeyAndSuffix("merge", "ßx"_ns, "FromModel:"), SEL("mergeSSxFromModel:"));
}
