// Every reader of outside data, and every writer, given a hundred thousand levels of nesting: an
// error the caller already handles, never a stack overflow; and what they do return can be
// described and freed. The documents are built in memory.
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Foundation/NSSet.h>
#include <Foundation/NSUserDefaults.h>
#include <Foundation/NSXMLParser.h>
#include <Runtime/ClassBuilder.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr uint32_t kDeep = 100000;

std::string debugText(const Ref<NSError>& error) {
    auto text = error ? cast<NSString>(error->userInfo()->objectForKey(NSDebugDescriptionErrorKey())) : nullptr;
    return text ? text->str() : NSDescription(error)->str();
}

// `depth` arrays built by code, each holding the next; the innermost holds `leaf`, if any.
Ref<NSMutableArray> nestedArrays(uint32_t depth, const id& leaf = box(1)) {
    auto head = NSMutableArray::array();
    auto tail = head;
    for (uint32_t i = 1; i < depth; ++i) {
        auto next = NSMutableArray::array();
        tail->addObject(next);
        tail = next;
    }
    if (leaf) {
        tail->addObject(leaf);
    }
    return head;
}

int depthOf(id value) {
    int depth = 0;
    for (; auto array = cast<NSArray>(value); ++depth) {
        value = array->count() ? array->objectAtIndex(0) : nullptr;
    }
    return depth;
}

// A binary property list written object by object, four bytes to a reference and an offset, so that
// any shape (shared objects, loops, a hundred thousand levels) is made at once.
class BinaryList {
public:
    uint32_t string(const std::string& text) { return add(marker(0x5, text.size()) + text); }
    uint32_t integer(uint8_t value) { return add(std::string{'\x10', static_cast<char>(value)}); }
    uint32_t uid(uint32_t value) { return add("\x83" + bigEndian(value, 4)); }
    uint32_t array(const std::vector<uint32_t>& items) { return add(marker(0xA, items.size()) + refs(items)); }
    uint32_t dictionary(const std::vector<uint32_t>& keys, const std::vector<uint32_t>& values) {
        return add(marker(0xD, keys.size()) + refs(keys) + refs(values));
    }
    Ref<NSData> data(uint32_t top) const {
        std::string out = "bplist00", table;
        for (const auto& object : objects_) {
            table += bigEndian(out.size(), 4);
            out += object;
        }
        return NSData::dataWithString(out + table + std::string(6, '\0') + "\x04\x04" + bigEndian(objects_.size(), 8) +
                                      bigEndian(top, 8) + bigEndian(out.size(), 8));
    }

private:
    static std::string bigEndian(uint64_t value, int size) {
        std::string out;
        for (int i = size - 1; i >= 0; --i) {
            out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
        return out;
    }
    static std::string marker(unsigned kind, size_t count) {
        return count < 15 ? std::string(1, static_cast<char>((kind << 4) | count))
                          : std::string(1, static_cast<char>((kind << 4) | 0xF)) + "\x12" + bigEndian(count, 4);
    }
    static std::string refs(const std::vector<uint32_t>& objects) {
        std::string out;
        for (auto object : objects) {
            out += bigEndian(object, 4);
        }
        return out;
    }
    uint32_t add(std::string object) {
        objects_.push_back(std::move(object));
        return static_cast<uint32_t>(objects_.size() - 1);
    }
    std::vector<std::string> objects_;
};

// `depth` arrays (or dictionaries under "k"), each holding the next `times` times over (the same
// object referenced again), the innermost holding "x"; with `loop` it holds the outermost instead.
Ref<NSData> binaryList(uint32_t depth, bool dictionaries = false, size_t times = 1, bool loop = false) {
    BinaryList list;
    for (uint32_t i = 0; i < depth; ++i) {
        std::vector<uint32_t> next(times, i + 1 < depth ? i + 1 : (loop ? 0 : depth));
        if (dictionaries) {
            list.dictionary(std::vector<uint32_t>(times, depth + 1), next);
        } else {
            list.array(next);
        }
    }
    list.string("x");
    list.string("k");
    return list.data(0);
}

// A keyed archive of `depth` arrays, each holding the next by reference.
Ref<NSData> archiveOfArrays(uint32_t depth) {
    BinaryList list;
    auto classKey = list.string("$class"), objectsKey = list.string("NS.objects"), classRef = list.uid(1);
    auto names = list.array({list.string("NSArray"), list.string("NSObject")});
    std::vector<uint32_t> table = {
        list.string("$null"),
        list.dictionary({list.string("$classname"), list.string("$classes")}, {list.string("NSArray"), names})};
    for (uint32_t i = 0; i < depth; ++i) {
        auto items = i + 1 < depth ? list.array({list.uid(i + 3)}) : list.array({});
        table.push_back(list.dictionary({classKey, objectsKey}, {classRef, items}));
    }
    auto top = list.dictionary({list.string("root")}, {list.uid(2)});
    return list.data(list.dictionary(
        {list.string("$archiver"), list.string("$version"), list.string("$top"), list.string("$objects")},
        {list.string("DXKeyedArchiver"), list.integer(1), top, list.array(table)}));
}

id readList(const Ref<NSData>& data, Ref<NSError>* error = nullptr) {
    return NSPropertyListSerialization::propertyListWithDataOptionsFormatError(data, NSPropertyListImmutable, nullptr,
                                                                               error);
}

} // namespace

TEST(DeepInput, JSONWritersRefuseATreeAHundredThousandDeepAndTheDeepestReadIsDescribedInFull) {
    auto deep = nestedArrays(kDeep);
    Ref<NSError> error;
    EXPECT_FALSE(NSJSONSerialization::dataWithJSONObjectOptionsError(deep, 0, &error));
    EXPECT_EQ(error ? error->code() : 0, 3840);
    EXPECT_FALSE(NSJSONSerialization::isValidJSONObject(deep));

    // A line per bracket, each indented by its level: in time proportional to the text.
    const size_t limit = NSJSONSerialization::maximumDepth;
    auto deepest = NSJSONSerialization::JSONObjectWithDataOptionsError(
        NSData::dataWithString(std::string(limit, '[') + std::string(limit, ']')), 0, nullptr);
    EXPECT_EQ(NSDescription(deepest)->str().size(), 4 * limit * limit - 1);
    EXPECT_TRUE(deepest->isEqual(nestedArrays(limit, nullptr)));
}

TEST(DeepInput, PropertyListsRefuseAHundredThousandLevelsInEveryFormat) {
    std::string xml = "<plist>";
    for (uint32_t i = 0; i < kDeep; ++i) {
        xml += "<array>";
    }
    for (const auto& data : {NSData::dataWithString(xml), binaryList(kDeep), binaryList(kDeep, true)}) {
        Ref<NSError> error;
        EXPECT_FALSE(readList(data, &error));
        EXPECT_EQ(error ? error->code() : 0, NSPropertyListReadCorruptError);
        EXPECT_NE(debugText(error).find("nested"), std::string::npos) << debugText(error);
    }
    // The reader's own bound holds for binary lists as for XML.
    const uint32_t limit = NSPropertyListSerialization::maximumDepth;
    EXPECT_EQ(depthOf(readList(binaryList(limit))), static_cast<int>(limit));
    EXPECT_TRUE(cast<NSDictionary>(readList(binaryList(limit, true))));
    EXPECT_FALSE(readList(binaryList(limit + 2)));

    auto deep = nestedArrays(kDeep);
    for (auto format : {NSPropertyListXMLFormat_v1_0, NSPropertyListBinaryFormat_v1_0}) {
        Ref<NSError> error;
        EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(deep, format, 0, &error));
        EXPECT_EQ(error ? error->code() : 0, NSPropertyListWriteInvalidError);
    }
    try {
        NSUserDefaults::standardUserDefaults()->setObjectForKey(deep, "deep"_ns);
        ADD_FAILURE() << "stored";
    } catch (const NSException& e) {
        EXPECT_NE(e.reason().find("of class NSMutableArray for key deep (nested too deeply)"), std::string::npos);
    }
}

TEST(DeepInput, BinaryListsThatHoldThemselvesOrUnfoldWithoutEndAreRefused) {
    // libplist copies an object wherever it is referenced: forty arrays, each holding the next twice,
    // a few hundred bytes, would unfold into 2^40 values.
    for (const auto& data : {binaryList(40, false, 2), binaryList(3, false, 1, true), binaryList(1, true, 1, true)}) {
        Ref<NSError> error;
        EXPECT_FALSE(readList(data, &error));
        EXPECT_EQ(error ? error->code() : 0, NSPropertyListReadCorruptError);
    }
    auto shared = cast<NSArray>(readList(binaryList(3, false, 2)));
    ASSERT_TRUE(shared) << "shared a few times over, a list reads as copies";
    EXPECT_TRUE(shared->objectAtIndex(0)->isEqual(shared->objectAtIndex(1)));
}

TEST(DeepInput, ArchivesRefuseAHundredThousandLevels) {
    Ref<NSError> error;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(binaryList(kDeep), &error));
    EXPECT_EQ(error ? error->code() : 0, NSCoderReadCorruptError);

    EXPECT_EQ(depthOf(NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(archiveOfArrays(3), nullptr)), 3);
    error = nullptr;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObjectWithDataError(archiveOfArrays(kDeep), &error));
    EXPECT_NE(debugText(error).find("objects nest too deeply"), std::string::npos) << debugText(error);

    error = nullptr;
    EXPECT_FALSE(
        NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(nestedArrays(kDeep), false, &error));
    EXPECT_EQ(error ? error->code() : 0, NSCoderInvalidValueError);
}

namespace {
class DXDeepXMLCounter : public NSObject {
    NS_OBJECT(DXDeepXMLCounter, NSObject)
public:
    void didStart(const Ref<NSXMLParser>&, const Ref<NSString>&, const Ref<NSString>&, const Ref<NSString>&,
                  const Ref<NSDictionary>&) {
        deepest = std::max(deepest, ++open);
    }
    void didEnd(const Ref<NSXMLParser>&, const Ref<NSString>&, const Ref<NSString>&, const Ref<NSString>&) { --open; }
    uint32_t open = 0;
    uint32_t deepest = 0;
};
} // namespace

NS_IMPLEMENT_CLASS(DXDeepXMLCounter, NSObject) {
    b.method("parser:didStartElement:namespaceURI:qualifiedName:attributes:", &DXDeepXMLCounter::didStart);
    b.method("parser:didEndElement:namespaceURI:qualifiedName:", &DXDeepXMLCounter::didEnd);
}

TEST(DeepInput, TheXMLParserBuildsNothingAndReadsAHundredThousandLevels) {
    std::string text;
    for (uint32_t i = 0; i < kDeep; ++i) {
        text += "<a>";
    }
    for (uint32_t i = 0; i < kDeep; ++i) {
        text += "</a>";
    }
    auto counter = make<DXDeepXMLCounter>();
    auto parser = make<NSXMLParser>(NSData::dataWithString(text));
    parser->setDelegate(counter);
    EXPECT_TRUE(parser->parse());
    EXPECT_EQ(counter->deepest, kDeep);
}

TEST(DeepInput, DescriptionsIndentEachLevelOnce) {
    // A dictionary's keys and a set's elements keep their own line breaks where they stand.
    auto set = NSSet::setWithArray(NSArray::arrayWithObjects({NSArray::arrayWithObjects({box(2)})}));
    auto dictionary = NSDictionary::dictionaryWithEntries(
        {{"k"_ns, NSArray::arrayWithObjects({box(1), set, "line1\nline2"_ns})}, {"multi\nkey"_ns, "v"_ns}});
    EXPECT_EQ(NSDescription(NSArray::arrayWithObjects({dictionary}))->str(), "(\n"
                                                                             "    {\n"
                                                                             "        k = (\n"
                                                                             "            1,\n"
                                                                             "            {(\n"
                                                                             "                (\n"
                                                                             "                2\n"
                                                                             "            )\n"
                                                                             "            )},\n"
                                                                             "            line1\n"
                                                                             "            line2\n"
                                                                             "        );\n"
                                                                             "        multi\n"
                                                                             "    key = v;\n"
                                                                             "    }\n"
                                                                             ")");
}
