// The model base: property keys, initialisation with validation, merging, equality, copying and
// keyed archiving with versions.
#include "ModelFixtures.h"

#include <Support/PlatformTestCase.h>

#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSNumber.h>

namespace {

class ModelBase : public PlatformTestCase {
protected:
    static Ref<MMTestUser> user(const char* name, NSInteger count) {
        Ref<NSError> error;
        auto u = MMModel::modelWithDictionaryError<MMTestUser>(
            NSDictionary::dictionaryWithEntries({{"name"_ns, NSString::from(name)}, {"count"_ns, box(count)}}), &error);
        EXPECT_TRUE(u) << (error ? error->description()->str() : "");
        return u;
    }
};

} // namespace

TEST_F(ModelBase, PropertyKeysFollowStorage) {
    auto keys = MMModel::propertyKeys(MMTestStorage::class_());
    EXPECT_TRUE(keys->containsObject("identifier"_ns)); // read-only with storage
    EXPECT_TRUE(keys->containsObject("title"_ns));
    EXPECT_TRUE(keys->containsObject("owner"_ns));
    EXPECT_FALSE(keys->containsObject("shout"_ns)); // computed
    EXPECT_EQ(keys->count(), 3u);
    EXPECT_EQ(MMModel::permanentPropertyKeys(MMTestStorage::class_())->count(), 3u);
    EXPECT_EQ(MMModel::transitoryPropertyKeys(MMTestStorage::class_())->count(), 0u);
    // A subclass sees its superclass's properties, each once.
    EXPECT_TRUE(
        MMModel::propertyKeys(MMTestUserSubclass::class_())->isEqualToSet(MMModel::propertyKeys(MMTestUser::class_())));
    EXPECT_EQ(MMModel::storageBehaviorForPropertyWithKey(MMTestStorage::class_(), "nothing"_ns), MMPropertyStorageNone);

    auto encoding = MMModel::encodingBehaviorsByPropertyKey(MMTestStorage::class_());
    EXPECT_EQ(unbox<NSUInteger>(encoding->objectForKey("owner"_ns)), MMModelEncodingBehaviorConditional);
    EXPECT_EQ(unbox<NSUInteger>(encoding->objectForKey("title"_ns)), MMModelEncodingBehaviorUnconditional);
}

TEST_F(ModelBase, InitialisesThroughValidation) {
    Ref<NSError> error;
    auto storage = MMModel::modelWithDictionaryError<MMTestStorage>(
        NSDictionary::dictionaryWithEntries({{"identifier"_ns, "id-1"_ns}, {"title"_ns, NSNull::null()}}), &error);
    ASSERT_TRUE(storage);
    EXPECT_TRUE(storage->identifier()->isEqualToString("id-1"_ns));
    EXPECT_FALSE(storage->title());
    auto dictionary = storage->dictionaryValue();
    EXPECT_EQ(dictionary->objectForKey("title"_ns), NSNull::null());
    EXPECT_FALSE(dictionary->objectForKey("shout"_ns));

    auto empty = MMModel::modelWithDictionaryError<MMTestStorage>(NSDictionary::dictionary(), &error);
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->identifier());

    // Validation may replace a value; a refused value fails the model with the validation's error.
    auto trimmed = MMModel::modelWithDictionaryError<MMTestUser>(
        NSDictionary::dictionaryWithEntries({{"name"_ns, "  Ann"_ns}}), &error);
    ASSERT_TRUE(trimmed);
    EXPECT_TRUE(trimmed->name()->isEqualToString("Ann"_ns));
    EXPECT_FALSE(MMModel::modelWithDictionaryError<MMTestUser>(
        NSDictionary::dictionaryWithEntries({{"name"_ns, NSNull::null()}}), &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->domain()->isEqualToString("MMTestErrorDomain"_ns));
    EXPECT_EQ(error->code(), 7);
}

TEST_F(ModelBase, BadDictionariesGiveModelErrors) {
    struct Case {
        const char* what;
        Ref<NSDictionary> dictionary;
    };
    Case cases[] = {
        {"unknown key", NSDictionary::dictionaryWithEntries({{"name"_ns, "a"_ns}, {"nothing"_ns, box(1)}})},
        {"wrong class", NSDictionary::dictionaryWithEntries({{"name"_ns, "a"_ns}, {"score"_ns, "many"_ns}})},
        {"nil for a scalar", NSDictionary::dictionaryWithEntries({{"name"_ns, "a"_ns}, {"count"_ns, NSNull::null()}})},
        {"array for a URL",
         NSDictionary::dictionaryWithEntries({{"name"_ns, "a"_ns}, {"homepage"_ns, NSArray::array()}})},
    };
    for (const auto& c : cases) {
        Ref<NSError> error;
        EXPECT_FALSE(MMModel::modelWithDictionaryError<MMTestUser>(c.dictionary, &error)) << c.what;
        ASSERT_TRUE(error) << c.what;
        EXPECT_TRUE(error->domain()->isEqualToString(MMModelErrorDomain())) << c.what;
        EXPECT_EQ(error->code(), MMModelErrorExceptionThrown) << c.what;
        EXPECT_TRUE(cast<MMThrownException>(error->userInfo()->objectForKey(MMModelThrownExceptionErrorKey())));
        EXPECT_TRUE(error->localizedFailureReason()) << c.what;
    }
}

TEST_F(ModelBase, ValidateChecksCurrentValues) {
    auto u = user("Bo", 1);
    Ref<NSError> error;
    EXPECT_TRUE(u->validate(&error));
    u->setName(nullptr);
    EXPECT_FALSE(u->validate(&error));
    EXPECT_EQ(error->code(), 7);
}

TEST_F(ModelBase, MergesOnlySharedKeysAndUsesHooks) {
    auto a = user("A", 1);
    auto b = user("B", 2);
    b->setActive(true);
    a->mergeValuesForKeysFromModel(b);
    EXPECT_EQ(a->nameMerges, 1);
    EXPECT_TRUE(a->name()->isEqualToString("A+B"_ns));
    EXPECT_EQ(a->count(), 2);
    EXPECT_TRUE(a->active());

    // A model of another class gives only the keys both have.
    auto storage = make<MMTestStorage>();
    storage->setTitle("T"_ns);
    auto point = make<MMTestPoint>();
    point->setLabel("L"_ns);
    storage->mergeValuesForKeysFromModel(point);
    EXPECT_TRUE(storage->title()->isEqualToString("T"_ns));
    a->mergeValueForKeyFromModel("count"_ns, nullptr); // nil changes nothing
    EXPECT_EQ(a->count(), 2);
}

TEST_F(ModelBase, EqualityHashCopyAndDescription) {
    auto a = user("Cy", 3);
    auto b = user("Cy", 3);
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_EQ(a->hash(), b->hash());
    b->setCount(4);
    EXPECT_FALSE(a->isEqual(b));

    auto sub = make<MMTestUserSubclass>();
    sub->setName("Cy"_ns);
    sub->setCount(3);
    EXPECT_FALSE(a->isEqual(sub));
    EXPECT_FALSE(sub->isEqual(a));

    auto copy = cast<MMTestUser>(a->copy());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), a.get());
    EXPECT_TRUE(copy->isEqual(a));

    auto text = a->description()->str();
    EXPECT_EQ(text.rfind("<MMTestUser: 0x", 0), 0u) << text;
    EXPECT_NE(text.find("Cy"), std::string::npos);

    // A computed property takes no part.
    auto s1 = make<MMTestStorage>();
    auto s2 = make<MMTestStorage>();
    s1->setTitle("x"_ns);
    s2->setTitle("x"_ns);
    EXPECT_TRUE(s1->isEqual(s2));
    EXPECT_EQ(make<MMTestPoint>()->hash(), 0u);
}

TEST_F(ModelBase, ArchiveRoundTrip) {
    auto a = user("Di", 9);
    a->setActive(true);
    a->setScore(box(2.5));
    auto address = make<MMTestAddress>();
    address->setCity("Oslo"_ns);
    a->setAddress(address);
    Ref<NSError> error;
    auto data = NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(a, false, &error);
    ASSERT_TRUE(data) << (error ? error->description()->str() : "");
    auto back = cast<MMTestUser>(NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(data, &error));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(a));
    EXPECT_TRUE(back->address()->city()->isEqualToString("Oslo"_ns));
}

TEST_F(ModelBase, AWeakPropertyIsArchivedOnlyWithItsOwner) {
    auto owner = make<MMTestArchiveV1>();
    owner->setText("kept-by-another"_ns);
    auto storage = make<MMTestStorage>();
    storage->setTitle("t"_ns);
    storage->setOwner(owner);
    Ref<NSError> error;

    // Alone, the weak value is left out: it decodes as nil, and the owner's text is not in the archive.
    auto alone = NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(storage, false, &error);
    ASSERT_TRUE(alone) << (error ? error->description()->str() : "");
    auto bytes = std::string(reinterpret_cast<const char*>(alone->bytes()), alone->length());
    EXPECT_EQ(bytes.find("kept-by-another"), std::string::npos);
    EXPECT_EQ(bytes.find("MMTestArchiveV1"), std::string::npos);
    auto back = cast<MMTestStorage>(NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(alone, &error));
    ASSERT_TRUE(back) << (error ? error->description()->str() : "");
    EXPECT_TRUE(back->title()->isEqualToString("t"_ns));
    EXPECT_FALSE(back->owner());

    // With the owner archived by something else (before or after the model), the weak value is the
    // shared object.
    for (auto items : {NSArray::arrayWithObjects({storage, owner}), NSArray::arrayWithObjects({owner, storage})}) {
        auto data = NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(items, false, &error);
        ASSERT_TRUE(data);
        auto array = cast<NSArray>(NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(data, &error));
        ASSERT_TRUE(array && array->count() == 2) << (error ? error->description()->str() : "");
        bool ownerFirst = cast<MMTestArchiveV1>(array->objectAtIndex(0)) != nullptr;
        auto model = cast<MMTestStorage>(array->objectAtIndex(ownerFirst ? 1 : 0));
        auto decodedOwner = cast<MMTestArchiveV1>(array->objectAtIndex(ownerFirst ? 0 : 1));
        ASSERT_TRUE(model && decodedOwner);
        EXPECT_EQ(model->owner().get(), decodedOwner.get());
        EXPECT_TRUE(decodedOwner->text()->isEqualToString("kept-by-another"_ns));
    }
}

TEST_F(ModelBase, SecureArchiveRoundTripAndUncoveredKeys) {
    auto secure = make<MMTestSecure>();
    secure->setText("s"_ns);
    secure->setNumber(12);
    Ref<NSError> error;
    auto data = NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(secure, true, &error);
    ASSERT_TRUE(data);
    auto back = cast<MMTestSecure>(
        NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(MMTestSecure::class_(), data, &error));
    ASSERT_TRUE(back) << (error ? error->description()->str() : "");
    EXPECT_TRUE(back->isEqual(secure));

    auto any = make<MMTestSecureAny>();
    any->setAnything("x"_ns);
    // The model raises; the platform's archiver turns that into its error.
    error = nullptr;
    EXPECT_FALSE(NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(any, true, &error));
    ASSERT_TRUE(error);
    EXPECT_NE(error->description()->str().find("anything"), std::string::npos) << error->description()->str();
}

TEST_F(ModelBase, NewerArchiveVersionIsRefused) {
    auto writer = make<MMTestArchiveV2>();
    writer->setText("new"_ns);
    auto data = NSKeyedArchiver::archivedDataWithRootObject(writer);
    ASSERT_TRUE(data);
    Ref<NSError> error;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(data, &error));

    // The same or an older version reads.
    auto reader = make<MMTestArchiveV1>();
    reader->setText("old"_ns);
    reader->setAmount(1.5);
    auto back = cast<MMTestArchiveV1>(NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(
        NSKeyedArchiver::archivedDataWithRootObject(reader), &error));
    ASSERT_TRUE(back);
    EXPECT_DOUBLE_EQ(back->amount(), 1.5);
}

TEST_F(ModelBase, CorruptArchivesAreRefused) {
    auto model = make<MMTestArchiveV1>();
    model->setText("text"_ns);
    auto data = NSKeyedArchiver::archivedDataWithRootObject(model);
    ASSERT_TRUE(data);
    Ref<NSError> error;
    // Truncated and bit-flipped archives never make a model.
    const uint8_t* bytes = data->bytes();
    for (NSUInteger cut : {NSUInteger(0), NSUInteger(8), data->length() / 2, data->length() - 1}) {
        auto part = NSData::dataWithBytesLength(bytes, cut);
        EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(part, &error)) << cut;
    }
    for (NSUInteger i = 0; i < data->length(); ++i) {
        std::vector<uint8_t> copy(bytes, bytes + data->length());
        copy[i] ^= 0x5a;
        auto damaged = NSData::dataWithBytesLength(copy.data(), copy.size());
        auto back = NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(damaged, &error);
        if (auto m = cast<MMTestArchiveV1>(back)) {
            Ref<NSError> invalid;
            EXPECT_TRUE(m->validate(&invalid)); // whatever survives is a whole model
        }
    }
}
