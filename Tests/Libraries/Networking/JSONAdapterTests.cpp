// The JSON adapter: key paths, transformers, nested models and arrays, class clusters, both
// directions, and JSON of the wrong shape.
#include "ModelFixtures.h"

#include <Support/PlatformTestCase.h>

#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSNumber.h>

namespace {

class JSONAdapter : public PlatformTestCase {
protected:
    static Ref<NSDictionary> json(const char* text) {
        Ref<NSError> error;
        auto data = NSString::from(text)->dataUsingEncoding(NSUTF8StringEncoding);
        auto object = cast<NSDictionary>(NSJSONSerialization::JSONObjectWithDataOptionsError(data, 0, &error));
        EXPECT_TRUE(object) << text;
        return object;
    }
    static Ref<MMTestUser> user(const char* text, Ref<NSError>* error) {
        return MMJSONAdapter::modelOfClassFromJSONDictionaryError<MMTestUser>(json(text), error);
    }
    static void expectError(const Ref<NSError>& error, const Ref<NSString>& domain, NSInteger code, const char* what) {
        ASSERT_TRUE(error) << what;
        EXPECT_TRUE(error->domain()->isEqualToString(domain)) << what << ": " << error->description()->str();
        EXPECT_EQ(error->code(), code) << what << ": " << error->description()->str();
    }
};

} // namespace

TEST_F(JSONAdapter, ReadsKeyPathsTransformersAndNestedModels) {
    Ref<NSError> error;
    auto u = user(R"({"user":{"name":"Eve"},"count":4,"active":2,"homepage":"http://example.com/a",
                     "score":1.5,"address":{"street":"Main","location":{"city":"Rome"}},
                     "places":[{"street":"A"},null,{"location":{"city":"B"}}]})",
                  &error);
    ASSERT_TRUE(u) << (error ? error->description()->str() : "");
    EXPECT_TRUE(u->name()->isEqualToString("Eve"_ns));
    EXPECT_EQ(u->count(), 4);
    EXPECT_TRUE(u->active());
    EXPECT_TRUE(u->homepage()->absoluteString()->isEqualToString("http://example.com/a"_ns));
    EXPECT_DOUBLE_EQ(u->score()->doubleValue(), 1.5);
    ASSERT_TRUE(u->address());
    EXPECT_TRUE(u->address()->city()->isEqualToString("Rome"_ns));
    ASSERT_EQ(u->places()->count(), 3u);
    EXPECT_TRUE(cast<MMTestAddress>(u->places()->objectAtIndex(0)));
    EXPECT_EQ(u->places()->objectAtIndex(1), NSNull::null());
    EXPECT_TRUE(cast<MMTestAddress>(u->places()->objectAtIndex(2))->city()->isEqualToString("B"_ns));
}

TEST_F(JSONAdapter, KeyPathEdges) {
    Ref<NSError> error;
    // A JSON null on the path makes the property nil; an absent path leaves the initial value.
    auto u = user(R"({"user":{"name":"F"},"address":null})", &error);
    ASSERT_TRUE(u);
    EXPECT_FALSE(u->address());
    EXPECT_EQ(u->count(), 0);
    // A number where the path needs a dictionary: code 3.
    EXPECT_FALSE(user(R"({"user":5})", &error));
    expectError(error, MMJSONAdapterErrorDomain(), MMJSONAdapterErrorInvalidJSONDictionary, "number on the path");
    EXPECT_TRUE(error->localizedFailureReason()->containsString("user.name"_ns));
}

TEST_F(JSONAdapter, WritesBothWays) {
    Ref<NSError> error;
    auto text = R"({"user":{"name":"Gus"},"count":2,"active":true,"homepage":"http://h.example/",
                   "address":{"street":"S","location":{"city":"C"}},"places":[{"street":"P"}]})";
    auto u = user(text, &error);
    ASSERT_TRUE(u);
    auto back = MMJSONAdapter::JSONDictionaryFromModelError(u, &error);
    ASSERT_TRUE(back) << (error ? error->description()->str() : "");
    EXPECT_TRUE(cast<NSString>(back->valueForKeyPath("user.name"_ns))->isEqualToString("Gus"_ns));
    EXPECT_TRUE(cast<NSString>(back->objectForKey("homepage"_ns))->isEqualToString("http://h.example/"_ns));
    EXPECT_TRUE(cast<NSNumber>(back->objectForKey("active"_ns))->isBool());
    EXPECT_TRUE(cast<NSString>(back->valueForKeyPath("address.location.city"_ns))->isEqualToString("C"_ns));
    auto places = cast<NSArray>(back->objectForKey("places"_ns));
    ASSERT_TRUE(places);
    EXPECT_TRUE(cast<NSString>(places->objectAtIndex(0)->valueForKey("street"_ns))->isEqualToString("P"_ns));
    EXPECT_EQ(back->objectForKey("score"_ns), NSNull::null()); // nil written as null

    // And what was written reads back into an equal model.
    auto again = MMJSONAdapter::modelOfClassFromJSONDictionaryError<MMTestUser>(back, &error);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->isEqual(u));
}

TEST_F(JSONAdapter, MultipleKeyPathsAndDeepWrites) {
    Ref<NSError> error;
    auto p = MMJSONAdapter::modelOfClassFromJSONDictionaryError<MMTestPoint>(json(R"({"x":1,"y":2})"), &error);
    ASSERT_TRUE(p);
    EXPECT_EQ(unbox<int>(p->coordinates()->objectForKey("x"_ns)), 1);
    EXPECT_EQ(unbox<int>(p->coordinates()->objectForKey("y"_ns)), 2);
    p->setLabel("deep"_ns);
    auto back = MMJSONAdapter::JSONDictionaryFromModelError(p, &error);
    ASSERT_TRUE(back);
    EXPECT_EQ(unbox<int>(back->objectForKey("x"_ns)), 1);
    EXPECT_EQ(unbox<int>(back->objectForKey("y"_ns)), 2);
    EXPECT_TRUE(cast<NSString>(back->valueForKeyPath("meta.text.label"_ns))->isEqualToString("deep"_ns));

    // A value for several key paths that is not a dictionary cannot be written: an error, not an exception.
    p->setCoordinates(cast<NSDictionary>(id()));
    back = MMJSONAdapter::JSONDictionaryFromModelError(p, &error);
    ASSERT_TRUE(back); // nil leaves both paths out
    EXPECT_FALSE(back->objectForKey("x"_ns));
}

TEST_F(JSONAdapter, ClassClusters) {
    Ref<NSError> error;
    auto adapter = MMJSONAdapter::adapterWithModelClass(MMTestShape::class_());
    ASSERT_TRUE(adapter);
    auto circle = cast<MMTestCircle>(
        adapter->modelFromJSONDictionaryError(json(R"({"kind":"circle","size":{"radius":3}})"), &error));
    ASSERT_TRUE(circle);
    EXPECT_DOUBLE_EQ(circle->radius(), 3);
    EXPECT_EQ(adapter->JSONAdapterForModelClassError(MMTestCircle::class_(), &error).get(),
              adapter->JSONAdapterForModelClassError(MMTestCircle::class_(), &error).get());

    EXPECT_FALSE(adapter->modelFromJSONDictionaryError(json(R"({"kind":"hexagon"})"), &error));
    expectError(error, MMJSONAdapterErrorDomain(), MMJSONAdapterErrorNoClassFound, "no class");

    // Writing a circle through the shape's adapter uses the circle's mapping.
    auto back = adapter->instanceJSONDictionaryFromModelError(circle, &error);
    ASSERT_TRUE(back);
    EXPECT_DOUBLE_EQ(unbox<double>(back->valueForKeyPath("size.radius"_ns)), 3);
}

TEST_F(JSONAdapter, MappingThatNamesNoPropertyIsAnError) {
    Ref<NSError> error;
    EXPECT_FALSE(MMJSONAdapter::adapterWithModelClass(MMTestBadMapping::class_(), &error));
    expectError(error, MMJSONAdapterErrorDomain(), MMJSONAdapterErrorInvalidJSONMapping, "adapter");
    error = nullptr;
    EXPECT_FALSE(MMJSONAdapter::modelOfClassFromJSONDictionaryError(MMTestBadMapping::class_(), json(R"({"text":"t"})"),
                                                                    &error));
    expectError(error, MMJSONAdapterErrorDomain(), MMJSONAdapterErrorInvalidJSONMapping, "class operation");
    error = nullptr;
    bool ok = true;
    auto transformer = MMJSONAdapter::dictionaryTransformerWithModelClass(MMTestBadMapping::class_());
    EXPECT_FALSE(mm_errorHandling(transformer)->transformedValueSuccessError(json(R"({"text":"t"})"), &ok, &error));
    EXPECT_FALSE(ok);
    expectError(error, MMJSONAdapterErrorDomain(), MMJSONAdapterErrorInvalidJSONMapping, "transformer");
    // A class that does not adopt the protocol has no adapter either.
    EXPECT_FALSE(MMJSONAdapter::adapterWithModelClass(MMTestStorage::class_(), &error));
    expectError(error, MMJSONAdapterErrorDomain(), MMJSONAdapterErrorInvalidJSONMapping, "not serializing");
}

TEST_F(JSONAdapter, WrongShapesGiveTheRightErrors) {
    const auto transformerDomain = MMTransformerErrorHandlingErrorDomain();
    struct Case {
        const char* what;
        const char* json;
        Ref<NSString> domain;
        NSInteger code;
    };
    const Case cases[] = {
        {"string for a number", R"({"user":{"name":"a"},"score":"12"})", transformerDomain, 1},
        {"string for an integer", R"({"user":{"name":"a"},"count":"12"})", transformerDomain, 1},
        {"string for a boolean", R"({"user":{"name":"a"},"active":"yes"})", transformerDomain, 1},
        {"array for a dictionary", R"({"user":{"name":"a"},"address":[1]})", transformerDomain, 1},
        {"number for a URL", R"({"user":{"name":"a"},"homepage":3})", transformerDomain, 1},
        {"dictionary for an array", R"({"user":{"name":"a"},"places":{}})", transformerDomain, 1},
        {"number in the array", R"({"user":{"name":"a"},"places":[{},5]})", transformerDomain, 1},
        {"nested wrong shape", R"({"user":{"name":"a"},"address":{"location":7}})", MMJSONAdapterErrorDomain(), 3},
        {"array where the path needs a dictionary", R"({"user":[]})", MMJSONAdapterErrorDomain(), 3},
        {"missing required key path", R"({"count":1})", "MMTestErrorDomain"_ns, 7},
        {"null for the required name", R"({"user":{"name":null}})", "MMTestErrorDomain"_ns, 7},
        {"null for a scalar", R"({"user":{"name":"a"},"count":null})", MMModelErrorDomain(), 1},
    };
    for (const auto& c : cases) {
        Ref<NSError> error;
        EXPECT_FALSE(user(c.json, &error)) << c.what;
        expectError(error, c.domain, c.code, c.what);
    }
    // The array transformer's own message names the offending element.
    Ref<NSError> error;
    EXPECT_FALSE(user(R"({"user":{"name":"a"},"places":[{},null,5]})", &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->localizedFailureReason()->isEqualToString("Expected an NSDictionary or an NSNull, got: 5."_ns))
        << error->localizedFailureReason()->str();

    // NSNull everywhere: every property that may be nil is nil, the scalars refuse it.
    EXPECT_FALSE(user(R"({"user":null,"count":null,"active":null,"homepage":null,"score":null,"address":null,
                       "places":null})",
                      &error));
}

TEST_F(JSONAdapter, JSONThatIsNotADictionaryGivesNoModel) {
    // A model whose every property may be missing: an empty dictionary is a valid model, but nothing,
    // an array (a reply of the wrong shape), a string or a JSON null is not.
    Ref<NSError> error;
    EXPECT_TRUE(MMJSONAdapter::modelOfClassFromJSONDictionaryError(MMTestAddress::class_(), NSDictionary::dictionary(),
                                                                   &error));
    const std::pair<const char*, id> inputs[] = {
        {"nil", nullptr},
        {"array", NSArray::arrayWithObjects({NSDictionary::dictionary()})},
        {"string", "{}"_ns},
        {"null", NSNull::null()},
    };
    for (const auto& [what, input] : inputs) {
        error = nullptr;
        EXPECT_FALSE(MMJSONAdapter::modelOfClassFromJSONDictionaryError(MMTestAddress::class_(), input, &error))
            << what;
        expectError(error, MMJSONAdapterErrorDomain(), MMJSONAdapterErrorInvalidJSONDictionary, what);
        EXPECT_TRUE(error->localizedDescription()->isEqualToString("Invalid JSON dictionary"_ns)) << what;
        auto adapter = MMJSONAdapter::adapterWithModelClass(MMTestAddress::class_());
        error = nullptr;
        EXPECT_FALSE(adapter->modelFromJSONDictionaryError(input, &error)) << what;
        expectError(error, MMJSONAdapterErrorDomain(), MMJSONAdapterErrorInvalidJSONDictionary, what);
    }
    // Without an error out, still no model.
    EXPECT_FALSE(MMJSONAdapter::modelOfClassFromJSONDictionaryError(MMTestAddress::class_(), nullptr, nullptr));
}

TEST_F(JSONAdapter, ArraysOfModels) {
    Ref<NSError> error;
    auto array = NSJSONSerialization::JSONObjectWithDataOptionsError(
        R"([{"street":"a"},{"street":"b"}])"_ns->dataUsingEncoding(NSUTF8StringEncoding), 0, &error);
    auto models = MMJSONAdapter::modelsOfClassFromJSONArrayError(MMTestAddress::class_(), array, &error);
    ASSERT_TRUE(models);
    ASSERT_EQ(models->count(), 2u);
    auto back = MMJSONAdapter::JSONArrayFromModelsError(models, &error);
    ASSERT_TRUE(back);
    EXPECT_TRUE(cast<NSString>(back->objectAtIndex(1)->valueForKey("street"_ns))->isEqualToString("b"_ns));

    EXPECT_FALSE(MMJSONAdapter::modelsOfClassFromJSONArrayError(MMTestAddress::class_(), "no"_ns, &error));
    expectError(error, MMJSONAdapterErrorDomain(), 3, "not an array");
    EXPECT_TRUE(error->localizedDescription()->isEqualToString("Missing JSON array"_ns));
    EXPECT_FALSE(MMJSONAdapter::modelsOfClassFromJSONArrayError(MMTestAddress::class_(), nullptr, &error));
    expectError(error, MMJSONAdapterErrorDomain(), 3, "nil");
    EXPECT_FALSE(MMJSONAdapter::modelsOfClassFromJSONArrayError(MMTestAddress::class_(),
                                                                NSArray::arrayWithObjects({box(1)}), &error));
    expectError(error, MMJSONAdapterErrorDomain(), 3, "element not a dictionary");
}

TEST_F(JSONAdapter, NestingTransformersBothWays) {
    auto transformer = MMJSONAdapter::arrayTransformerWithModelClass(MMTestAddress::class_());
    auto handling = mm_errorHandling(transformer);
    bool ok = true;
    Ref<NSError> error;
    auto models = cast<NSArray>(handling->transformedValueSuccessError(
        NSArray::arrayWithObjects({NSDictionary::dictionaryWithEntries({{"street"_ns, "s"_ns}}), NSNull::null()}), &ok,
        &error));
    ASSERT_TRUE(models);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(cast<MMTestAddress>(models->objectAtIndex(0)));
    EXPECT_EQ(models->objectAtIndex(1), NSNull::null());
    auto json = cast<NSArray>(handling->reverseTransformedValueSuccessError(models, &ok, &error));
    ASSERT_TRUE(json);
    EXPECT_TRUE(cast<NSDictionary>(json->objectAtIndex(0)));

    EXPECT_FALSE(handling->reverseTransformedValueSuccessError(NSArray::arrayWithObjects({"x"_ns}), &ok, &error));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(error->localizedFailureReason()->isEqualToString("Expected a MMModel or an NSNull, got: x."_ns));

    auto single = MMJSONAdapter::dictionaryTransformerWithModelClass(MMTestAddress::class_());
    ok = true;
    EXPECT_FALSE(mm_errorHandling(single)->reverseTransformedValueSuccessError(make<MMTestStorage>(), &ok, &error));
    EXPECT_FALSE(ok);
    EXPECT_EQ(error->code(), MMTransformerErrorHandlingErrorInvalidInput);
}

TEST_F(JSONAdapter, ModelsNestAsDeepAsTheJSONReaderGoesAndNoDeeper) {
    // The deepest document the JSON reader gives: one model a level, read and written back.
    const int limit = NSJSONSerialization::maximumDepth;
    std::string text;
    for (int i = 0; i < limit; ++i) {
        text += R"({"label":")" + std::to_string(i) + R"(","child":)";
    }
    text += "null" + std::string(limit, '}');
    Ref<NSError> error;
    auto root = MMJSONAdapter::modelOfClassFromJSONDictionaryError<MMTestNode>(json(text.c_str()), &error);
    ASSERT_TRUE(root) << NSDescription(error)->str();
    int levels = 0;
    for (auto node = root; node; node = node->child()) {
        EXPECT_EQ(node->label()->str(), std::to_string(levels++));
    }
    EXPECT_EQ(levels, limit);
    auto back = MMJSONAdapter::JSONDictionaryFromModelError(root, &error);
    ASSERT_TRUE(back) << NSDescription(error)->str();
    EXPECT_TRUE(root->isEqual(MMJSONAdapter::modelOfClassFromJSONDictionaryError<MMTestNode>(back, nullptr)));

    // A hundred thousand levels built by code, either way: an error, not a stack overflow.
    constexpr int kDeep = 100000;
    auto dictionary = NSDictionary::dictionaryWithEntries({{"label"_ns, "last"_ns}});
    Ref<MMTestNode> chain;
    for (int i = 0; i < kDeep; ++i) {
        dictionary = NSDictionary::dictionaryWithEntries({{"child"_ns, dictionary}});
        auto node = make<MMTestNode>();
        node->setChild(chain);
        chain = node;
    }
    error = nullptr;
    EXPECT_FALSE(MMJSONAdapter::modelOfClassFromJSONDictionaryError<MMTestNode>(dictionary, &error));
    expectError(error, MMJSONAdapterErrorDomain(), MMJSONAdapterErrorInvalidJSONDictionary, "reading");
    error = nullptr;
    EXPECT_FALSE(MMJSONAdapter::JSONDictionaryFromModelError(chain, &error));
    expectError(error, MMJSONAdapterErrorDomain(), MMJSONAdapterErrorInvalidJSONDictionary, "writing");
}
