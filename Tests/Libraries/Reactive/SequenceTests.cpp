// Sequences: laziness, the stream operators, conversions, folds, equality and coding.
#include "ReactiveTestSupport.h"

#include <Support/PlatformTestCase.h>

using namespace rxtest;

namespace {
// The naturals from n on, computed lazily; `evaluated` counts the heads computed.
Ref<RXSequence> naturalsFrom(long n, std::shared_ptr<int> evaluated) {
    return RXSequence::sequenceWithHeadBlockTailBlock(
        [n, evaluated]() -> id {
            ++*evaluated;
            return box(n);
        },
        [n, evaluated] { return naturalsFrom(n + 1, evaluated); });
}

std::vector<long> longs(const Ref<RXSequence>& sequence) {
    std::vector<long> out;
    for (const id& value : *sequence) {
        out.push_back(unbox<long>(value));
    }
    return out;
}

Ref<NSArray> arrayOf(std::initializer_list<int> list) {
    std::vector<id> items;
    for (int n : list) {
        items.push_back(box(n));
    }
    return NSArray::arrayWithVector(std::move(items));
}
} // namespace

TEST(RXSequence, AnInfiniteSequenceTakenInPartEvaluatesOnlyWhatIsAsked) {
    auto evaluated = std::make_shared<int>(0);
    Ref<RXSequence> squares = naturalsFrom(1, evaluated)->map([](const id& v) -> id {
        long n = unbox<long>(v);
        return box(n * n);
    });
    EXPECT_EQ(*evaluated, 0);
    Ref<RXSequence> firstFour = squares->filter([](const id& v) { return unbox<long>(v) % 2 == 0; })->take(3);
    EXPECT_EQ(*evaluated, 0);
    EXPECT_EQ(longs(firstFour), (std::vector<long>{4, 16, 36}));
    EXPECT_EQ(*evaluated, 6);
    EXPECT_EQ(longs(firstFour), (std::vector<long>{4, 16, 36})); // cached: nothing computed again
    EXPECT_EQ(*evaluated, 6);
}

TEST(RXSequence, EachElementsBlockRunsOnceHoweverOftenTheHeadIsAsked) {
    int calls = 0;
    Ref<RXSequence> mapped = rx_sequence(arrayOf({1, 2}))->map([&](const id& v) -> id {
        ++calls;
        return v;
    });
    EXPECT_EQ(calls, 0);
    mapped->head();
    mapped->head();
    EXPECT_EQ(calls, 1);
    mapped->array();
    EXPECT_EQ(calls, 2);
}

TEST(RXSequence, ABindBlockReturningNilEndsTheSequence) {
    Ref<RXSequence> bound = rx_sequence(arrayOf({1, 2, 3, 4}))->bind([] {
        return RXStreamBindBlock([](const id& value, bool*) -> Ref<RXStream> {
            return unbox<int>(value) == 3 ? nullptr : RXSequence::return_(value);
        });
    });
    EXPECT_EQ(longs(bound), (std::vector<long>{1, 2}));
    // Stopping with a sequence keeps that whole sequence, lazily as eagerly.
    auto stopAtTwo = [] {
        return RXStreamBindBlock([](const id& value, bool* stop) -> Ref<RXStream> {
            *stop = unbox<int>(value) == 2;
            return rx_sequence(NSArray::arrayWithObjects({value, value}));
        });
    };
    EXPECT_EQ(longs(rx_sequence(arrayOf({1, 2, 3}))->bind(stopAtTwo)), (std::vector<long>{1, 1, 2, 2}));
    EXPECT_EQ(longs(rx_sequence(arrayOf({1, 2, 3}))->eagerSequence()->bind(stopAtTwo)),
              (std::vector<long>{1, 1, 2, 2}));
}

TEST(RXSequence, ZipConcatAndTheEmptySequence) {
    Ref<RXSequence> zipped = rx_sequence(arrayOf({1, 2, 3}))->zipWith(rx_sequence(arrayOf({4, 5, 6, 7, 8})));
    EXPECT_EQ(zipped->array()->count(), 3u);
    EXPECT_TRUE(zipped->head()->isEqual(RXTuple::tupleWithObjects({box(1), box(4)})));
    EXPECT_EQ(longs(rx_sequence(arrayOf({1}))->concat(rx_sequence(arrayOf({2, 3})))), (std::vector<long>{1, 2, 3}));
    EXPECT_EQ(RXArraySequence::sequenceWithArrayOffset(NSArray::array(), 0).get(), RXSequence::empty().get());
    EXPECT_EQ(RXArraySequence::sequenceWithArrayOffset(arrayOf({1, 2}), 2).get(), RXSequence::empty().get());
    EXPECT_THROW(RXArraySequence::sequenceWithArrayOffset(arrayOf({1, 2}), 3), NSException);
    EXPECT_EQ(RXSequence::empty()->array()->count(), 0u);
    EXPECT_TRUE(longs(RXSequence::empty()).empty());
}

TEST(RXSequence, StringsStepByUnitsButEnumerateWholeCharacters) {
    Ref<NSString> accented = NSString::from("e\u0301x"); // e, combining acute, x
    Ref<RXSequence> sequence = rx_sequence(accented);
    EXPECT_TRUE(cast<NSString>(sequence->head())->isEqualToString("e"_ns));
    EXPECT_EQ(sequence->tail()->tail()->tail().get(), RXSequence::empty().get());
    Ref<NSArray> characters = sequence->array();
    ASSERT_EQ(characters->count(), 2u);
    EXPECT_TRUE(cast<NSString>(characters->objectAtIndex(0))->isEqualToString(NSString::from("e\u0301")));
    size_t enumerated = 0;
    for (const id& character : *sequence) {
        enumerated += cast<NSString>(character) ? 1 : 0;
    }
    EXPECT_EQ(enumerated, 2u);
}

TEST(RXSequence, TuplesGiveNullForNilAndIndexSetsGiveTheirIndexes) {
    Ref<RXSequence> tuple = rx_sequence(RXTuple::tupleWithObjects({box(1), nullptr}));
    EXPECT_TRUE(tuple->tail()->head()->isEqual(NSNull::null()));
    EXPECT_TRUE(tuple->array()->isEqual(NSArray::arrayWithObjects({box(1), NSNull::null()})));

    auto indexes = make<NSMutableIndexSet>();
    indexes->addIndexesInRange(NSMakeRange(2, 3));
    indexes->addIndex(9);
    EXPECT_EQ(longs(rx_sequence(Ref<NSIndexSet>(indexes))), (std::vector<long>{2, 3, 4, 9}));
    EXPECT_EQ(longs(rx_sequence(Ref<NSIndexSet>(indexes))->tail()->tail()), (std::vector<long>{4, 9}));
    EXPECT_EQ(rx_sequence(NSIndexSet::indexSet()).get(), RXSequence::empty().get());
}

TEST(RXSequence, DictionariesAndSets) {
    auto dictionary = NSDictionary::dictionaryWithEntries({{"a"_ns, box(1)}, {"b"_ns, box(2)}});
    Ref<NSArray> pairs = rx_sequence(dictionary)->array();
    ASSERT_EQ(pairs->count(), 2u);
    EXPECT_TRUE(pairs->objectAtIndex(1)->isEqual(RXTuple::tupleWithObjects({"b"_ns, box(2)})));
    EXPECT_EQ(longs(rx_valueSequence(dictionary)), (std::vector<long>{1, 2}));
    EXPECT_EQ(rx_keySequence(dictionary)->array()->count(), 2u);
    EXPECT_EQ(longs(rx_sequence(NSSet::setWithObjects({box(3), box(3), box(4)}))), (std::vector<long>{3, 4}));
}

TEST(RXSequence, FoldsAndTests) {
    Ref<RXSequence> sequence = rx_sequence(arrayOf({1, 2, 3}));
    id sum = sequence->foldLeftWithStartReduce(
        box(0), [](const id& a, const id& v) -> id { return box(unbox<int>(a) + unbox<int>(v)); });
    EXPECT_EQ(unbox<int>(sum), 6);
    id text = sequence->foldRightWithStartReduce("end"_ns, [](const id& first, const Ref<RXSequence>& rest) -> id {
        return NSString::stringWithFormat("%@,%@", first, rest->head());
    });
    EXPECT_TRUE(cast<NSString>(text)->isEqualToString("1,2,3,end"_ns));
    int calls = 0;
    id first = naturalsFrom(1, std::make_shared<int>(0))
                   ->foldRightWithStartReduce(nullptr, [&](const id& value, const Ref<RXSequence>&) -> id {
                       ++calls;
                       return value;
                   });
    EXPECT_EQ(calls, 1); // a block that ignores the rest stops the fold, even on an infinite sequence
    EXPECT_EQ(unbox<int>(first), 1);

    int tested = 0;
    EXPECT_FALSE(sequence->all([&](const id& v) {
        ++tested;
        return unbox<int>(v) != 1;
    }));
    EXPECT_EQ(tested, 1);
    EXPECT_TRUE(RXSequence::empty()->all([](const id&) { return false; }));
    EXPECT_FALSE(RXSequence::empty()->any([](const id&) { return true; }));
    EXPECT_TRUE(sequence->any([](const id& v) { return unbox<int>(v) == 3; }));
    EXPECT_EQ(unbox<int>(sequence->objectPassingTest([](const id& v) { return unbox<int>(v) > 1; })), 2);
}

TEST(RXSequence, EqualityIsByElementsWhateverTheClassAndSymmetric) {
    Ref<RXSequence> array = rx_sequence(arrayOf({1}));
    Ref<RXSequence> unary = RXSequence::return_(box(1));
    Ref<RXSequence> dynamic = RXSequence::sequenceWithHeadBlockTailBlock([] { return id(box(1)); }, nullptr);
    Ref<RXSequence> eager = array->eagerSequence();
    std::vector<Ref<RXSequence>> same{array, unary, dynamic, eager};
    for (const auto& a : same) {
        for (const auto& b : same) {
            EXPECT_TRUE(a->isEqual(b)) << NSDescription(id(a))->str() << " vs " << NSDescription(id(b))->str();
            EXPECT_EQ(a->hash(), b->hash());
        }
    }
    Ref<RXSequence> longer = rx_sequence(arrayOf({1, 2}));
    EXPECT_FALSE(array->isEqual(longer));
    EXPECT_FALSE(longer->isEqual(array));
    EXPECT_FALSE(unary->isEqual(longer));
    EXPECT_FALSE(longer->isEqual(unary));

    Ref<RXSequence> emptyDynamic = RXSequence::sequenceWithHeadBlockTailBlock([] { return id(); }, nullptr);
    EXPECT_TRUE(RXSequence::empty()->isEqual(emptyDynamic));
    EXPECT_TRUE(emptyDynamic->isEqual(RXSequence::empty()));
    EXPECT_EQ(RXSequence::empty()->hash(), emptyDynamic->hash());
    EXPECT_FALSE(array->isEqual(arrayOf({1})));
}

TEST(RXSequence, EnumeratorsAndEagerAndLazyForms) {
    Ref<RXSequenceEnumerator> enumerator = rx_sequence(arrayOf({1, 2}))->objectEnumerator();
    EXPECT_EQ(unbox<int>(enumerator->nextObject()), 1);
    EXPECT_EQ(unbox<int>(enumerator->nextObject()), 2);
    EXPECT_FALSE(enumerator->nextObject());
    EXPECT_FALSE(enumerator->nextObject());

    Ref<RXSequence> eager = rx_sequence(arrayOf({1, 2, 3}))->eagerSequence();
    EXPECT_TRUE(cast<RXEagerSequence>(eager));
    EXPECT_EQ(eager->eagerSequence().get(), eager.get());
    EXPECT_TRUE(cast<RXEagerSequence>(eager->map([](const id& v) { return v; })));
    EXPECT_FALSE(cast<RXEagerSequence>(eager->lazySequence()));
    EXPECT_EQ(longs(eager->concat(rx_sequence(arrayOf({4})))), (std::vector<long>{1, 2, 3, 4}));
}

TEST(RXSequence, ArchivingGivesAnArraySequenceExceptForEmptyAndUnary) {
    auto roundTrip = [](const Ref<RXSequence>& sequence) {
        Ref<NSData> data = NSKeyedArchiver::archivedDataWithRootObject(sequence);
        return cast<RXSequence>(NSKeyedUnarchiver::unarchiveObjectWithData(data));
    };
    Ref<RXSequence> mapped = rx_sequence(arrayOf({1, 2}))->map([](const id& v) { return v; });
    Ref<RXSequence> decoded = roundTrip(mapped);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(cast<RXArraySequence>(decoded));
    EXPECT_TRUE(decoded->isEqual(mapped));
    EXPECT_EQ(roundTrip(RXSequence::empty()).get(), RXSequence::empty().get());
    Ref<RXSequence> unary = roundTrip(RXSequence::return_("x"_ns));
    EXPECT_TRUE(cast<RXUnarySequence>(unary));
    EXPECT_TRUE(unary->head()->isEqual("x"_ns));
}

TEST(RXSequence, ALongEvaluatedChainIsFreedWithoutDeepRecursion) {
    auto evaluated = std::make_shared<int>(0);
    {
        Ref<RXSequence> numbers = naturalsFrom(0, evaluated);
        NSUInteger seen = 0;
        for (Ref<RXSequence> s = numbers; seen < 200000; s = s->tail()) {
            s->head();
            ++seen;
        }
    }
    EXPECT_EQ(*evaluated, 200000);
}

class RXSequenceSignalTest : public PlatformTestCase {};

TEST_F(RXSequenceSignalTest, SignalsAndSequencesConvertBothWays) {
    Recorder r;
    auto scheduler = make<RXTestScheduler>();
    r.subscribe(rx_sequence(arrayOf({1, 2}))->signalWithScheduler(scheduler));
    EXPECT_TRUE(r.events().empty());
    scheduler->stepAll();
    EXPECT_EQ(r.events(), (Events{"1", "2", "completed"}));

    Ref<RXSequence> fromSignal = values({box(1), nullptr, box(3)})->sequence();
    EXPECT_TRUE(fromSignal->array()->isEqual(NSArray::arrayWithObjects({box(1), NSNull::null(), box(3)})));
    EXPECT_TRUE(fromSignal->tail()->head()->isEqual(NSNull::null()));
    EXPECT_EQ(unbox<int>(fromSignal->tail()->tail()->head()), 3);
    EXPECT_FALSE(fromSignal->tail()->tail()->tail()->head());
    EXPECT_FALSE(RXSignal::error(makeError(1))->sequence()->head());
}

TEST(RXSequenceDescription, DescriptionsNameTheirContents) {
    EXPECT_NE(rx_sequence(arrayOf({7}))->description()->str().find("array"), std::string::npos);
    Ref<RXSequence> dynamic = RXSequence::sequenceWithHeadBlockTailBlock([] { return id(box(1)); }, nullptr);
    EXPECT_NE(dynamic->description()->str().find("(unresolved)"), std::string::npos);
    dynamic->head();
    EXPECT_NE(dynamic->description()->str().find("head = 1"), std::string::npos);
}
