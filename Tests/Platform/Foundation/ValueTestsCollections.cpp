// NSSet, NSIndexSet, and the equality and hashing contracts of the collections.
#include <Foundation/Foundation.h>

#include <gtest/gtest.h>

namespace {
std::vector<NSUInteger> indexesOf(const Ref<NSIndexSet>& set) {
    std::vector<NSUInteger> out;
    set->enumerateIndexesUsingBlock([&](NSUInteger i, bool*) { out.push_back(i); });
    return out;
}
std::vector<std::string> texts(const Ref<NSSet>& set) {
    std::vector<std::string> out;
    for (const auto& o : *set) {
        out.push_back(NSDescription(o)->str());
    }
    return out;
}
} // namespace

TEST(NSSetTest, MembershipByEquality) {
    auto set = NSSet::setWithObjects({"a"_ns, "b"_ns, NSMutableString::stringWithString("a"_ns), box(1), box(1.0)});
    EXPECT_EQ(set->count(), 3u);
    EXPECT_TRUE(set->containsObject("a"_ns));
    EXPECT_TRUE(set->containsObject(box(true)));
    EXPECT_FALSE(set->containsObject("c"_ns));
    EXPECT_FALSE(set->containsObject(nullptr));
    auto probe = NSString::from("b");
    EXPECT_NE(set->member(probe).get(), static_cast<NSObject*>(probe.get())); // the set's own object
    EXPECT_TRUE(set->member(probe)->isEqual(probe));
    EXPECT_FALSE(set->member("zz"_ns));
    EXPECT_EQ(NSDescription(set->anyObject())->str(), "a");
    EXPECT_FALSE(NSSet::set()->anyObject());
    EXPECT_EQ(set->allObjects()->count(), 3u);
    EXPECT_THROW(NSSet::setWithObjects({"a"_ns, nullptr}), NSException);
}

TEST(NSSetTest, EnumerationFollowsInsertionOrder) {
    auto set = NSMutableSet::set();
    for (const char* s : {"pear", "apple", "fig", "apple", "kiwi"}) {
        set->addObject(NSString::from(s));
    }
    EXPECT_EQ(texts(set), (std::vector<std::string>{"pear", "apple", "fig", "kiwi"}));
    set->removeObject("apple"_ns);
    set->addObject("apple"_ns);
    EXPECT_EQ(texts(set), (std::vector<std::string>{"pear", "fig", "kiwi", "apple"}));
    EXPECT_TRUE(set->containsObject("kiwi"_ns)); // the index survives removals
    EXPECT_THROW(set->addObject(nullptr), NSException);
}

TEST(NSSetTest, Algebra) {
    auto abc = NSSet::setWithArray(NSArray::arrayWithObjects({"a"_ns, "b"_ns, "c"_ns}));
    auto bc = NSSet::setWithObjects({"c"_ns, "b"_ns});
    EXPECT_TRUE(bc->isSubsetOfSet(abc));
    EXPECT_FALSE(abc->isSubsetOfSet(bc));
    EXPECT_TRUE(abc->intersectsSet(bc));
    EXPECT_TRUE(bc->isEqual(NSSet::setWithObjects({"b"_ns, "c"_ns})));
    EXPECT_EQ(bc->hash(), NSSet::setWithObjects({"b"_ns, "c"_ns})->hash());
    EXPECT_FALSE(bc->isEqual(abc));

    auto m = NSMutableSet::setWithSet(abc);
    m->minusSet(bc);
    EXPECT_EQ(texts(m), (std::vector<std::string>{"a"}));
    m->unionSet(NSSet::setWithObjects({"z"_ns, "a"_ns}));
    EXPECT_EQ(texts(m), (std::vector<std::string>{"a", "z"}));
    m->intersectSet(NSSet::setWithObjects({"z"_ns, "q"_ns}));
    EXPECT_EQ(texts(m), (std::vector<std::string>{"z"}));
    m->intersectSet(nullptr);
    EXPECT_EQ(m->count(), 0u);

    auto frozen = cast<NSSet>(abc->mutableCopy()->copy());
    EXPECT_FALSE(cast<NSMutableSet>(frozen));
    EXPECT_TRUE(frozen->isEqual(abc));
    EXPECT_EQ(abc->copy(), abc);
}

TEST(NSSetTest, CountedSet) {
    auto counted = make<NSCountedSet>();
    counted->addObject("x"_ns);
    counted->addObject("x"_ns);
    counted->addObject("y"_ns);
    EXPECT_EQ(counted->count(), 2u);
    EXPECT_EQ(counted->countForObject("x"_ns), 2u);
    counted->removeObject("x"_ns);
    EXPECT_EQ(counted->countForObject("x"_ns), 1u);
    counted->removeObject("x"_ns);
    EXPECT_FALSE(counted->containsObject("x"_ns));
    EXPECT_EQ(counted->countForObject("y"_ns), 1u);
}

TEST(NSIndexSetTest, AddRemoveAndQuery) {
    auto set = NSMutableIndexSet::indexSet();
    EXPECT_EQ(set->firstIndex(), static_cast<NSUInteger>(NSNotFound));
    EXPECT_EQ(set->lastIndex(), static_cast<NSUInteger>(NSNotFound));
    EXPECT_EQ(set->count(), 0u);
    set->addIndex(5);
    set->addIndexesInRange({1, 3}); // 1 2 3
    set->addIndex(4);               // joins both runs
    EXPECT_EQ(set->ranges().size(), 1u);
    EXPECT_EQ(set->count(), 5u);
    set->addIndex(10);
    set->removeIndex(3);
    EXPECT_EQ(indexesOf(set), (std::vector<NSUInteger>{1, 2, 4, 5, 10}));
    EXPECT_EQ(set->firstIndex(), 1u);
    EXPECT_EQ(set->lastIndex(), 10u);
    EXPECT_TRUE(set->containsIndex(4));
    EXPECT_FALSE(set->containsIndex(3));
    EXPECT_FALSE(set->containsIndex(0));
    EXPECT_TRUE(set->containsIndexesInRange({4, 2}));
    EXPECT_FALSE(set->containsIndexesInRange({3, 2}));
    EXPECT_EQ(set->indexGreaterThanIndex(5), 10u);
    EXPECT_EQ(set->indexLessThanIndex(4), 2u);
    EXPECT_EQ(set->indexGreaterThanIndex(10), static_cast<NSUInteger>(NSNotFound));
    EXPECT_EQ(set->indexLessThanIndex(1), static_cast<NSUInteger>(NSNotFound));
    EXPECT_EQ(set->countOfIndexesInRange({0, 5}), 3u);
    set->removeIndexesInRange({0, 5});
    EXPECT_EQ(indexesOf(set), (std::vector<NSUInteger>{5, 10}));
    set->removeAllIndexes();
    EXPECT_EQ(set->count(), 0u);
    EXPECT_THROW(set->addIndex(static_cast<NSUInteger>(NSNotFound)), NSException);
    EXPECT_THROW(set->addIndexesInRange({static_cast<NSUInteger>(NSNotFound) - 1, 5}), NSException);
}

TEST(NSIndexSetTest, ConvenienceConstructorsAndEquality) {
    auto one = NSIndexSet::indexSetWithIndex(3);
    auto range = NSIndexSet::indexSetWithIndexesInRange({2, 3});
    EXPECT_EQ(indexesOf(one), (std::vector<NSUInteger>{3}));
    EXPECT_EQ(indexesOf(range), (std::vector<NSUInteger>{2, 3, 4}));
    auto built = NSMutableIndexSet::indexSet();
    built->addIndex(4);
    built->addIndex(2);
    built->addIndex(3);
    EXPECT_TRUE(built->isEqual(range));
    EXPECT_EQ(built->hash(), range->hash());
    EXPECT_FALSE(one->isEqual(range));
    EXPECT_TRUE(range->containsIndexes(one));
    EXPECT_EQ(NSIndexSet::indexSetWithIndexesInRange({0, 0})->count(), 0u);
    EXPECT_EQ(range->description()->str(), "<NSIndexSet>[number of indexes: 3 (in 1 range), indexes: (2-4)]");
    auto copy = cast<NSIndexSet>(built->copy());
    built->addIndex(9);
    EXPECT_EQ(copy->count(), 3u);
}

TEST(NSIndexSetTest, EnumerationStopsAndReverses) {
    auto set = NSMutableIndexSet::indexSetWithIndexesInRange({0, 3});
    set->addIndex(7);
    std::vector<NSUInteger> seen;
    set->enumerateIndexesWithOptionsUsingBlock(NSEnumerationReverse, [&](NSUInteger i, bool* stop) {
        seen.push_back(i);
        *stop = seen.size() == 3;
    });
    EXPECT_EQ(seen, (std::vector<NSUInteger>{7, 2, 1}));
    std::vector<NSRange> ranges;
    set->enumerateRangesUsingBlock([&](NSRange r, bool*) { ranges.push_back(r); });
    EXPECT_EQ(ranges, (std::vector<NSRange>{{0, 3}, {7, 1}}));
    // The block may change the set it walks.
    set->enumerateIndexesUsingBlock([&](NSUInteger i, bool*) { set->removeIndex(i); });
    EXPECT_EQ(set->count(), 0u);
}

TEST(NSIndexSetTest, ShiftingIndexes) {
    auto set = NSMutableIndexSet::indexSet();
    for (NSUInteger i : {1, 3, 4, 8}) {
        set->addIndex(i);
    }
    set->shiftIndexesStartingAtIndexBy(3, 2); // an insertion of two before index 3
    EXPECT_EQ(indexesOf(set), (std::vector<NSUInteger>{1, 5, 6, 10}));
    set->shiftIndexesStartingAtIndexBy(5, -3); // a removal of indexes 2-4
    EXPECT_EQ(indexesOf(set), (std::vector<NSUInteger>{1, 2, 3, 7}));
    set->shiftIndexesStartingAtIndexBy(0, -5); // what would fall below zero is dropped
    EXPECT_EQ(indexesOf(set), (std::vector<NSUInteger>{2}));
}

TEST(CollectionEqualityTest, ArraysAndDictionaries) {
    auto a = NSArray::arrayWithObjects({"x"_ns, box(1)});
    auto b = NSMutableArray::arrayWithObjects({NSMutableString::stringWithString("x"_ns), box(1.0)});
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_EQ(a->hash(), b->hash());
    auto d1 = NSDictionary::dictionaryWithEntries({{"k"_ns, a}, {box(2), "two"_ns}});
    auto d2 = NSMutableDictionary::dictionary();
    d2->setObjectForKey("two"_ns, box(2.0));
    d2->setObjectForKey(b, "k"_ns);
    EXPECT_TRUE(d1->isEqual(d2));
    EXPECT_EQ(d1->hash(), d2->hash());
    // Insertion order is kept for enumeration, and a replaced value keeps its key's place.
    auto keys = d2->allKeys();
    EXPECT_TRUE(keys->objectAtIndex(0)->isEqual(box(2)));
    d2->setObjectForKey("deux"_ns, box(2));
    EXPECT_TRUE(d2->allKeys()->objectAtIndex(0)->isEqual(box(2)));
    EXPECT_EQ(d2->count(), 2u);
    // Collections as keys and members.
    auto set = NSMutableSet::set();
    set->addObject(a);
    set->addObject(b);
    EXPECT_EQ(set->count(), 1u);
}

TEST(CollectionEqualityTest, DictionariesFindKeysByEqualityAtEverySize) {
    for (int size : {0, 1, 8, 9, 40, 200}) {
        auto dict = NSMutableDictionary::dictionary();
        for (int i = 0; i < size; ++i) {
            // Mutable keys are copied: changing the original afterwards changes nothing.
            auto key = NSMutableString::stringWithString(NSString::from("key" + std::to_string(i)));
            dict->setObjectForKey(box(i), key);
            key->appendString("-changed"_ns);
            dict->setObjectForKey(box(-i), box(i)); // number keys: 1 and 1.0 are the same key
        }
        ASSERT_EQ(dict->count(), static_cast<NSUInteger>(2 * size));
        for (int i = 0; i < size; ++i) {
            EXPECT_EQ(unbox<int>(dict->objectForKey(NSString::from("key" + std::to_string(i)))), i) << size;
            EXPECT_EQ(unbox<int>(dict->objectForKey(box(static_cast<double>(i)))), -i) << size;
            EXPECT_FALSE(dict->objectForKey(NSString::from("key" + std::to_string(i) + "-changed"))) << size;
        }
        EXPECT_FALSE(dict->objectForKey(box(size)));

        // Removing every other string key keeps the order and the look-ups of the rest.
        for (int i = 0; i < size; i += 2) {
            dict->removeObjectForKey(NSString::from("key" + std::to_string(i)));
        }
        ASSERT_EQ(dict->count(), static_cast<NSUInteger>(size + size / 2));
        auto keys = dict->allKeys();
        int expected = 1;
        for (const auto& key : *keys) {
            if (auto s = cast<NSString>(key)) {
                EXPECT_EQ(s->str(), "key" + std::to_string(expected));
                expected += 2;
            }
        }
        for (int i = 0; i < size; ++i) {
            EXPECT_EQ(static_cast<bool>(dict->objectForKey(NSString::from("key" + std::to_string(i)))), i % 2 == 1);
        }
        // A removed key comes back at the end; an existing one keeps its place.
        dict->setObjectForKey("back"_ns, "key0"_ns);
        EXPECT_TRUE(dict->allKeys()->lastObject()->isEqual("key0"_ns));
        EXPECT_EQ(dict->count(), static_cast<NSUInteger>(size + size / 2 + 1));

        auto copy = cast<NSDictionary>(dict->copy());
        EXPECT_TRUE(copy->isEqual(dict));
        dict->removeAllObjects();
        EXPECT_EQ(dict->count(), 0u);
        EXPECT_FALSE(dict->objectForKey("key0"_ns));
        dict->setObjectForKey(box(1), "key0"_ns);
        EXPECT_EQ(unbox<int>(dict->objectForKey("key0"_ns)), 1);
    }
    // Made at once from entries: a repeated key keeps its first place and its last value.
    std::vector<NSDictionary::Entry> entries;
    for (int i = 0; i < 20; ++i) {
        entries.emplace_back(NSString::from("k" + std::to_string(i % 12)), box(i));
    }
    auto made = make<NSDictionary>(entries);
    ASSERT_EQ(made->count(), 12u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(made->allKeys()
                        ->objectAtIndex(static_cast<NSUInteger>(i))
                        ->isEqual(NSString::from("k" + std::to_string(i))));
        EXPECT_EQ(unbox<int>(made->objectForKey(NSString::from("k" + std::to_string(i)))), i < 8 ? i + 12 : i);
    }
    EXPECT_THROW(make<NSDictionary>(std::vector<NSDictionary::Entry>{{"a"_ns, box(1)}, {"b"_ns, nullptr}}),
                 std::exception);
}
