#include <Foundation/NSDate.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSPropertyListSerialization.h>

#include <gtest/gtest.h>

#include <random>

namespace {

Ref<NSDictionary> sample() {
    uint8_t bytes[] = {0, 1, 2, 250, 255};
    return NSDictionary::dictionaryWithEntries({
        {"zeta"_ns, "text & <markup>"_ns},
        {"alpha"_ns, box(42)},
        {"negative"_ns, box(-7LL)},
        {"real"_ns, box(2.5)},
        {"yes"_ns, box(true)},
        {"no"_ns, box(false)},
        {"data"_ns, NSData::dataWithBytesLength(bytes, sizeof bytes)},
        {"date"_ns, NSDate::dateWithTimeIntervalSinceReferenceDate(700000000)},
        {"list"_ns, NSArray::arrayWithObjects({"a"_ns, NSArray::array(), NSDictionary::dictionary()})},
        {"nested"_ns, NSDictionary::dictionaryWithEntries({{"b"_ns, box(1)}, {"a"_ns, box(2)}})},
    });
}

id read(const Ref<NSData>& data, NSPropertyListReadOptions options = NSPropertyListImmutable,
        NSPropertyListFormat* format = nullptr, Ref<NSError>* error = nullptr) {
    return NSPropertyListSerialization::propertyListWithDataOptionsFormatError(data, options, format, error);
}

std::vector<std::string> keysOf(const Ref<NSDictionary>& d) {
    std::vector<std::string> keys;
    for (const auto& [k, v] : *d) {
        keys.push_back(cast<NSString>(k)->str());
    }
    return keys;
}

} // namespace

TEST(ServicesPropertyList, XMLAndBinaryRoundTripsKeepValuesKindsAndOrder) {
    auto original = sample();
    for (auto format : {NSPropertyListXMLFormat_v1_0, NSPropertyListBinaryFormat_v1_0}) {
        Ref<NSError> error;
        auto data = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(original, format, 0, &error);
        ASSERT_TRUE(data) << NSDescription(error)->str();
        NSPropertyListFormat seen{};
        auto back = cast<NSDictionary>(read(data, NSPropertyListImmutable, &seen, &error));
        ASSERT_TRUE(back) << NSDescription(error)->str();
        EXPECT_EQ(seen, format);
        EXPECT_TRUE(back->isEqual(original)) << NSDescription(back)->str();
        EXPECT_EQ(keysOf(back), keysOf(original));
        EXPECT_EQ(keysOf(cast<NSDictionary>(back->objectForKey("nested"_ns))), (std::vector<std::string>{"b", "a"}));
        EXPECT_TRUE(cast<NSNumber>(back->objectForKey("yes"_ns))->isBool());
        EXPECT_FALSE(cast<NSNumber>(back->objectForKey("alpha"_ns))->isBool());
        EXPECT_EQ(cast<NSNumber>(back->objectForKey("negative"_ns))->longLongValue(), -7);
        EXPECT_TRUE(cast<NSNumber>(back->objectForKey("real"_ns))->isFloatingPoint());
    }
}

TEST(ServicesPropertyList, WritesTheStandardXMLForm) {
    auto data = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(
        NSDictionary::dictionaryWithEntries({{"k"_ns, "a<b"_ns}, {"e"_ns, NSArray::array()}}),
        NSPropertyListXMLFormat_v1_0, 0, nullptr);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->stringValue(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                   "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                   "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                   "<plist version=\"1.0\">\n"
                                   "<dict>\n"
                                   "\t<key>k</key>\n"
                                   "\t<string>a&lt;b</string>\n"
                                   "\t<key>e</key>\n"
                                   "\t<array/>\n"
                                   "</dict>\n"
                                   "</plist>\n");
}

TEST(ServicesPropertyList, ReadsAHandWrittenDocument) {
    auto data = NSData::dataWithString(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<array>
    <integer>-12</integer>
    <real>0.25</real>
    <date>2001-01-02T00:00:00Z</date>
    <data>AAEC</data>
    <string>caf&#233; &amp; more</string>
</array>
</plist>)");
    Ref<NSError> error;
    auto array = cast<NSArray>(read(data, NSPropertyListMutableContainersAndLeaves, nullptr, &error));
    ASSERT_TRUE(array) << NSDescription(error)->str();
    EXPECT_TRUE(cast<NSMutableArray>(array));
    EXPECT_EQ(cast<NSNumber>(array->objectAtIndex(0))->longLongValue(), -12);
    EXPECT_DOUBLE_EQ(cast<NSNumber>(array->objectAtIndex(1))->doubleValue(), 0.25);
    EXPECT_DOUBLE_EQ(cast<NSDate>(array->objectAtIndex(2))->timeIntervalSinceReferenceDate(), 86400.0);
    EXPECT_EQ(cast<NSData>(array->objectAtIndex(3))->length(), 3u);
    EXPECT_TRUE(cast<NSMutableString>(array->objectAtIndex(4)));
    EXPECT_EQ(cast<NSString>(array->objectAtIndex(4))->str(), "caf\u00e9 & more");
}

TEST(ServicesPropertyList, MalformedInputGivesAnError) {
    auto binary = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(
        sample(), NSPropertyListBinaryFormat_v1_0, 0, nullptr);
    ASSERT_TRUE(binary);
    std::vector<Ref<NSData>> bad = {
        NSData::data(),
        NSData::dataWithString("not a property list"),
        NSData::dataWithString("<?xml version=\"1.0\"?><plist><dict><key>a</key></dict>"),
        NSData::dataWithString("<plist><array><integer>1</integer>"),
        NSData::dataWithString("bplist00garbage"),
        binary->subdataWithRange(NSMakeRange(0, binary->length() / 2)),
        NSData::dataWithString("<plist>" + std::string(200000, '<') + "</plist>"),
    };
    std::string deep = "<plist>";
    for (int i = 0; i < 20000; ++i) {
        deep += "<array>";
    }
    bad.push_back(NSData::dataWithString(deep));
    for (const auto& data : bad) {
        Ref<NSError> error;
        id result;
        EXPECT_NO_THROW(result = read(data, NSPropertyListImmutable, nullptr, &error));
        EXPECT_FALSE(result) << data->length();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), NSPropertyListReadCorruptError);
    }
}

TEST(ServicesPropertyList, ADocumentEndsAtItsLastByte) {
    // A list read as text ends with its root element (white space may follow); a NUL byte or anything
    // else after it, or a NUL within it, is no list.
    const std::string list = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>"
                             "<string>b</string></dict></plist>";
    ASSERT_TRUE(cast<NSDictionary>(read(NSData::dataWithString(list + "\n  \n"))));
    auto binary = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(
        sample(), NSPropertyListBinaryFormat_v1_0, 0, nullptr);
    ASSERT_TRUE(binary);
    auto binaryWithNul = NSMutableData::dataWithData(binary);
    binaryWithNul->appendBytesLength("\0", 1);
    const std::vector<Ref<NSData>> bad = {
        NSData::dataWithString(list + std::string("\0", 1)),
        NSData::dataWithString(list + std::string("\0<plist/>", 9)),
        NSData::dataWithString(list + "x"),
        NSData::dataWithString("<?xml version=\"1.0\"?><plist><string>a" + std::string("\0", 1) + "b</string></plist>"),
        NSData::dataWithString(std::string("\0", 1) + list),
        binaryWithNul,
    };
    for (const auto& data : bad) {
        Ref<NSError> error;
        EXPECT_FALSE(read(data, NSPropertyListImmutable, nullptr, &error)) << data->length();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), NSPropertyListReadCorruptError);
    }
}

TEST(ServicesPropertyList, DamagedBinaryListsNeverCrash) {
    auto binary = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(
        sample(), NSPropertyListBinaryFormat_v1_0, 0, nullptr);
    ASSERT_TRUE(binary);
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        auto bytes = binary->vector();
        int flips = 1 + static_cast<int>(random() % 4);
        for (int k = 0; k < flips; ++k) {
            bytes[8 + random() % (bytes.size() - 8)] = static_cast<uint8_t>(random());
        }
        Ref<NSError> error;
        id result = read(NSData::dataWithVector(bytes), NSPropertyListImmutable, nullptr, &error);
        EXPECT_TRUE(result || error);
    }
}

TEST(ServicesPropertyList, ObjectsThatAreNotPropertyListsAreRefused) {
    for (auto format : {NSPropertyListXMLFormat_v1_0, NSPropertyListBinaryFormat_v1_0}) {
        Ref<NSError> error;
        auto data = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(
            NSArray::arrayWithObjects({NSNull::null()}), format, 0, &error);
        EXPECT_FALSE(data);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), NSPropertyListWriteInvalidError);
        EXPECT_NE(error->localizedDescription()->str().find("NSNull"), std::string::npos);
    }
    EXPECT_FALSE(NSPropertyListSerialization::propertyListIsValidForFormat(
        NSDictionary::dictionaryWithEntries({{box(1), "x"_ns}}), NSPropertyListXMLFormat_v1_0));
    EXPECT_TRUE(NSPropertyListSerialization::propertyListIsValidForFormat(sample(), NSPropertyListXMLFormat_v1_0));
    Ref<NSError> error;
    EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(
        sample(), NSPropertyListOpenStepFormat, 0, &error));
    EXPECT_TRUE(error);
}

TEST(ServicesPropertyList, CollectionFilesReadAndWriteAtomically) {
    auto path = NSSandbox::documentsPath()->stringByAppendingPathComponent("sample.plist"_ns);
    ASSERT_TRUE(NSDictionaryWriteToFileAtomically(sample(), path, true));
    auto back = NSDictionaryWithContentsOfFile(path);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(sample()));
    EXPECT_FALSE(NSArrayWithContentsOfFile(path)) << "the root is a dictionary";

    auto listPath = NSSandbox::documentsPath()->stringByAppendingPathComponent("list.plist"_ns);
    auto list = NSArray::arrayWithObjects({"x"_ns, box(1)});
    ASSERT_TRUE(NSArrayWriteToFileAtomically(list, listPath, false));
    EXPECT_TRUE(NSArrayWithContentsOfFile(listPath)->isEqual(list));

    EXPECT_FALSE(NSDictionaryWithContentsOfFile("/nonexistent/file.plist"_ns));
    EXPECT_FALSE(NSDictionaryWriteToFileAtomically(sample(), "/nonexistent/folder/file.plist"_ns, true));
    EXPECT_FALSE(NSArrayWriteToFileAtomically(NSArray::arrayWithObjects({NSNull::null()}), listPath, true));
    EXPECT_TRUE(NSArrayWithContentsOfFile(listPath)->isEqual(list)) << "a refused write leaves the file alone";
}
