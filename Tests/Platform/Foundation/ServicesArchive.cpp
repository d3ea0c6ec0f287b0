#include <Foundation/NSDate.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Foundation/NSSet.h>

#include <gtest/gtest.h>

#include <limits>
#include <random>

// A record like the app's test model: scalars, strings, a list and a nested record.
class DXArchiveTestRecord : public NSObject, public NSSecureCoding {
    NS_OBJECT(DXArchiveTestRecord, NSObject)
public:
    DXArchiveTestRecord() = default;
    explicit DXArchiveTestRecord(NSCoder* coder) {
        name = cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), "name"_ns));
        result = coder->decodeInt64ForKey("result"_ns);
        flag = coder->decodeBoolForKey("flag"_ns);
        ratio = coder->decodeDoubleForKey("ratio"_ns);
        tags = cast<NSArray>(coder->decodeObjectOfClassesForKey({NSArray::class_(), NSString::class_()}, "tags"_ns));
        child = cast<DXArchiveTestRecord>(coder->decodeObjectOfClassForKey(DXArchiveTestRecord::class_(), "child"_ns));
        dollar = coder->decodeInt64ForKey("$class"_ns);
        hadResult = coder->containsValueForKey("result"_ns);
    }
    void encodeWithCoder(NSCoder* coder) override {
        coder->encodeObjectForKey(name, "name"_ns);
        coder->encodeInt64ForKey(result, "result"_ns);
        coder->encodeBoolForKey(flag, "flag"_ns);
        coder->encodeDoubleForKey(ratio, "ratio"_ns);
        coder->encodeObjectForKey(tags, "tags"_ns);
        coder->encodeObjectForKey(child, "child"_ns);
        coder->encodeInt64ForKey(dollar, "$class"_ns);
    }

    Ref<NSString> name;
    int64_t result = 0;
    bool flag = false;
    double ratio = 0;
    Ref<NSArray> tags;
    Ref<DXArchiveTestRecord> child;
    int64_t dollar = 0;
    bool hadResult = false;
};
NS_IMPLEMENT_CLASS(DXArchiveTestRecord, NSObject) {
    NSCodingRegister(b);
}

// Refers to another object weakly: written conditionally.
class DXArchiveWeakRecord : public NSObject, public NSCoding {
    NS_OBJECT(DXArchiveWeakRecord, NSObject)
public:
    DXArchiveWeakRecord() = default;
    explicit DXArchiveWeakRecord(NSCoder* coder) { other = coder->decodeObjectForKey("other"_ns); }
    void encodeWithCoder(NSCoder* coder) override { coder->encodeConditionalObjectForKey(other.lock(), "other"_ns); }
    Weak<NSObject> other;
};
NS_IMPLEMENT_CLASS(DXArchiveWeakRecord, NSObject) {
    NSCodingRegister(b);
}

// Archivable, but not for secure coding.
class DXArchiveLegacyRecord : public NSObject, public NSCoding {
    NS_OBJECT(DXArchiveLegacyRecord, NSObject)
public:
    DXArchiveLegacyRecord() = default;
    explicit DXArchiveLegacyRecord(NSCoder* coder) { value = coder->decodeObjectForKey("value"_ns); }
    void encodeWithCoder(NSCoder* coder) override { coder->encodeObjectForKey(value, "value"_ns); }
    id value;
};
NS_IMPLEMENT_CLASS(DXArchiveLegacyRecord, NSObject) {
    NSCodingRegister(b);
}

// Not archivable at all.
class DXArchivePlainObject : public NSObject {
    NS_OBJECT(DXArchivePlainObject, NSObject)
};
NS_IMPLEMENT_CLASS(DXArchivePlainObject, NSObject) {}

namespace {

Ref<DXArchiveTestRecord> record(const char* name, int64_t result) {
    auto r = make<DXArchiveTestRecord>();
    r->name = NSString::from(name);
    r->result = result;
    r->flag = true;
    r->ratio = 0.125;
    r->tags = NSArray::arrayWithObjects({"a"_ns, "b"_ns});
    r->dollar = 9;
    return r;
}

Ref<NSData> archive(const id& object, bool secure = true, Ref<NSError>* error = nullptr) {
    return NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(object, secure, error);
}

} // namespace

TEST(ServicesArchive, RecordsRoundTripWithEveryValueKind) {
    auto original = record("Battery", std::numeric_limits<int64_t>::min());
    original->child = record("Child", std::numeric_limits<int64_t>::max());
    Ref<NSError> error;
    auto data = archive(original, true, &error);
    ASSERT_TRUE(data) << NSDescription(error)->str();

    auto back = cast<DXArchiveTestRecord>(
        NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(DXArchiveTestRecord::class_(), data, &error));
    ASSERT_TRUE(back) << NSDescription(error)->str();
    EXPECT_EQ(back->name->str(), "Battery");
    EXPECT_EQ(back->result, std::numeric_limits<int64_t>::min());
    EXPECT_TRUE(back->flag);
    EXPECT_DOUBLE_EQ(back->ratio, 0.125);
    EXPECT_TRUE(back->tags->isEqual(original->tags));
    EXPECT_EQ(back->dollar, 9) << "keys starting with $ do not clash with the archive's own";
    EXPECT_TRUE(back->hadResult);
    ASSERT_TRUE(back->child);
    EXPECT_EQ(back->child->result, std::numeric_limits<int64_t>::max());
    EXPECT_FALSE(back->child->child);
}

TEST(ServicesArchive, ValueClassesRoundTripAndKeepMutability) {
    uint8_t bytes[] = {1, 2, 3};
    auto mutableList = NSMutableArray::arrayWithObjects({"m"_ns});
    auto root = NSDictionary::dictionaryWithEntries({
        {"string"_ns, "text"_ns},
        {"mutableString"_ns, NSMutableString::stringWithString("edit"_ns)},
        {"bool"_ns, box(true)},
        {"int"_ns, box(-5)},
        {"huge"_ns, box(std::numeric_limits<unsigned long long>::max())},
        {"double"_ns, box(1.5)},
        {"data"_ns, NSData::dataWithBytesLength(bytes, 3)},
        {"mutableData"_ns, NSMutableData::dataWithBytesLength(bytes, 2)},
        {"date"_ns, NSDate::dateWithTimeIntervalSinceReferenceDate(12345.5)},
        {"null"_ns, NSNull::null()},
        {"set"_ns, NSSet::setWithObjects({box(1), box(2)})},
        {"list"_ns, mutableList},
        {"empty"_ns, NSArray::array()},
    });
    auto data = archive(root, false);
    ASSERT_TRUE(data);
    Ref<NSError> error;
    auto back = cast<NSDictionary>(NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(data, &error));
    ASSERT_TRUE(back) << NSDescription(error)->str();
    EXPECT_TRUE(back->isEqual(root)) << NSDescription(back)->str();
    EXPECT_TRUE(cast<NSMutableString>(back->objectForKey("mutableString"_ns)));
    EXPECT_FALSE(cast<NSMutableString>(back->objectForKey("string"_ns)));
    EXPECT_TRUE(cast<NSMutableData>(back->objectForKey("mutableData"_ns)));
    EXPECT_TRUE(cast<NSMutableArray>(back->objectForKey("list"_ns)));
    EXPECT_TRUE(cast<NSNumber>(back->objectForKey("bool"_ns))->isBool());
    EXPECT_EQ(cast<NSNumber>(back->objectForKey("huge"_ns))->unsignedLongLongValue(),
              std::numeric_limits<unsigned long long>::max());
    EXPECT_EQ(back->allKeys()->count(), root->count());
    // The keys keep their order.
    EXPECT_TRUE(back->allKeys()->isEqual(root->allKeys()));
}

TEST(ServicesArchive, SharedObjectsStaySharedAndCyclesSurvive) {
    auto shared = record("Shared", 1);
    auto cycle = NSMutableDictionary::dictionary();
    cycle->setObjectForKey(cycle, "self"_ns);
    auto root = NSArray::arrayWithObjects({shared, shared, cycle});
    auto data = archive(root, false);
    cycle->removeAllObjects(); // break the cycle for the leak checker
    ASSERT_TRUE(data);
    auto back = cast<NSArray>(NSKeyedUnarchiver::unarchiveObjectWithData(data));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->objectAtIndex(0).get(), back->objectAtIndex(1).get());
    auto backCycle = cast<NSMutableDictionary>(back->objectAtIndex(2));
    ASSERT_TRUE(backCycle);
    EXPECT_EQ(backCycle->objectForKey("self"_ns).get(), backCycle.get());
    backCycle->removeAllObjects();
}

TEST(ServicesArchive, AConditionalObjectIsWrittenOnlyWhenSomethingElseWritesIt) {
    auto other = NSMutableString::stringWithString("the other object"_ns);
    auto weak = make<DXArchiveWeakRecord>();
    weak->other = Weak<NSObject>(id(other));
    auto alone = archive(weak, false);
    ASSERT_TRUE(alone);
    std::string bytes(reinterpret_cast<const char*>(alone->bytes()), alone->length());
    EXPECT_EQ(bytes.find("the other object"), std::string::npos);
    auto back = cast<DXArchiveWeakRecord>(NSKeyedUnarchiver::unarchiveObjectWithData(alone));
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->other.lock());
    // Written unconditionally before or after the conditional reference: one shared object.
    for (const auto& root : {NSArray::arrayWithObjects({weak, other}), NSArray::arrayWithObjects({other, weak})}) {
        auto data = archive(root, false);
        ASSERT_TRUE(data);
        auto array = cast<NSArray>(NSKeyedUnarchiver::unarchiveObjectWithData(data));
        ASSERT_TRUE(array && array->count() == 2);
        auto record = cast<DXArchiveWeakRecord>(array->objectAtIndex(0));
        auto string = cast<NSString>(array->objectAtIndex(record ? 1 : 0));
        record = record ? record : cast<DXArchiveWeakRecord>(array->objectAtIndex(1));
        ASSERT_TRUE(record && string);
        EXPECT_EQ(record->other.lock().get(), string.get());
        EXPECT_TRUE(string->isEqualToString("the other object"_ns));
    }
}

TEST(ServicesArchive, SecureDecodingRefusesClassesThatAreNotAllowed) {
    auto data = archive(NSArray::arrayWithObjects({"x"_ns}));
    ASSERT_TRUE(data);
    Ref<NSError> error;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(NSDictionary::class_(), data, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSCoderReadCorruptError);
    EXPECT_TRUE(error->domain()->isEqualToString(NSCocoaErrorDomain()));

    // The elements of a collection must be allowed too.
    error = nullptr;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(NSArray::class_(), data, &error));
    EXPECT_TRUE(error);
    error = nullptr;
    EXPECT_TRUE(NSKeyedUnarchiver::unarchivedObjectOfClassesFromDataError({NSArray::class_(), NSString::class_()}, data,
                                                                          &error));
    EXPECT_FALSE(error);

    // A record whose list holds a number where it allows only strings fails as a whole.
    auto bad = record("Bad", 2);
    bad->tags = NSArray::arrayWithObjects({box(3)});
    auto badData = archive(bad);
    ASSERT_TRUE(badData);
    error = nullptr;
    EXPECT_FALSE(
        NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(DXArchiveTestRecord::class_(), badData, &error));
    ASSERT_TRUE(error);
    EXPECT_NE(error->localizedDescription()->str().find("NSNumber"), std::string::npos);
}

TEST(ServicesArchive, ClassesThatCannotBeArchivedSecurelyAreRefused) {
    auto legacy = make<DXArchiveLegacyRecord>();
    legacy->value = "v"_ns;
    Ref<NSError> error;
    EXPECT_FALSE(archive(legacy, true, &error));
    EXPECT_TRUE(error);

    auto data = archive(legacy, false);
    ASSERT_TRUE(data);
    error = nullptr;
    EXPECT_FALSE(
        NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(DXArchiveLegacyRecord::class_(), data, &error));
    EXPECT_TRUE(error) << "secure decoding needs NSSecureCoding";
    auto back = cast<DXArchiveLegacyRecord>(NSKeyedUnarchiver::unarchiveObjectWithData(data));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->value->isEqual("v"_ns));

    error = nullptr;
    EXPECT_FALSE(archive(make<DXArchivePlainObject>(), false, &error));
    EXPECT_TRUE(error);
    EXPECT_THROW(NSKeyedArchiver::archivedDataWithRootObject(make<DXArchivePlainObject>()), NSException);
    EXPECT_TRUE(DXArchiveTestRecord::class_()->conformsToProtocol(NSSecureCodingProtocol()));
    EXPECT_TRUE(DXArchiveLegacyRecord::class_()->conformsToProtocol(NSCodingProtocol()));
}

TEST(ServicesArchive, TypedValuesOfTheWrongKindAreAnError) {
    auto archiver = make<NSKeyedArchiver>(true);
    archiver->encodeObjectForKey("text"_ns, "s"_ns);
    archiver->encodeInt64ForKey(5, "n"_ns);
    auto data = archiver->encodedData();
    ASSERT_TRUE(data);

    auto coder = make<NSKeyedUnarchiver>(data);
    EXPECT_FALSE(coder->error());
    EXPECT_EQ(coder->decodeInt64ForKey("missing"_ns), 0);
    EXPECT_FALSE(coder->containsValueForKey("missing"_ns));
    EXPECT_DOUBLE_EQ(coder->decodeDoubleForKey("n"_ns), 5.0);
    EXPECT_FALSE(coder->error());
    EXPECT_FALSE(coder->decodeObjectForKey("s"_ns)) << "secure coding needs the classes";
    EXPECT_TRUE(coder->error());

    auto second = make<NSKeyedUnarchiver>(data);
    EXPECT_EQ(second->decodeInt64ForKey("s"_ns), 0);
    EXPECT_TRUE(second->error()) << "a string is not a number";
    EXPECT_FALSE(second->decodeObjectOfClassForKey(NSString::class_(), "s"_ns)) << "after a failure, nothing";
}

TEST(ServicesArchive, MalformedArchivesGiveAnErrorAndNeverCrash) {
    auto good = archive(NSArray::arrayWithObjects({record("A", 1), "b"_ns, box(2)}), false);
    ASSERT_TRUE(good);
    auto notArchive = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(
        NSDictionary::dictionaryWithEntries({{"$archiver"_ns, "Other"_ns}}), NSPropertyListBinaryFormat_v1_0, 0,
        nullptr);
    std::vector<Ref<NSData>> bad = {nullptr, NSData::data(), NSData::dataWithString("garbage garbage"),
                                    good->subdataWithRange(NSMakeRange(0, good->length() - 9)), notArchive};
    for (const auto& data : bad) {
        Ref<NSError> error;
        EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(data, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), NSCoderReadCorruptError);
    }
    std::mt19937 random(11);
    for (int round = 0; round < 400; ++round) {
        auto bytes = good->vector();
        for (int k = 0; k < 3; ++k) {
            bytes[8 + random() % (bytes.size() - 8)] = static_cast<uint8_t>(random());
        }
        Ref<NSError> error;
        id result = NSKeyedUnarchiver::unarchivedObjectOfClassesFromDataError(
            {NSArray::class_(), NSString::class_(), NSNumber::class_(), DXArchiveTestRecord::class_()},
            NSData::dataWithVector(bytes), &error);
        if (error) {
            EXPECT_FALSE(result);
        }
    }
}
