#include "ReactiveTestSupport.h"

using namespace rxtest;

TEST(RXTuple, ConvertingNullsMakesNilElements) {
    auto array = NSArray::arrayWithObjects({box(1), NSNull::null(), box(3)});
    auto converted = RXTuple::tupleWithObjectsFromArrayConvertNullsToNils(array, true);
    EXPECT_FALSE(converted->second());
    EXPECT_TRUE(converted->allObjects()->isEqual(array));
    auto plain = RXTuple::tupleWithObjectsFromArray(array);
    EXPECT_TRUE(cast<NSNull>(plain->second()));
}

TEST(RXTuple, AddingNilToAnEmptyTupleGivesOneNilElement) {
    auto tuple = make<RXTuple>()->tupleByAddingObject(nullptr);
    EXPECT_EQ(tuple->count(), 1u);
    EXPECT_FALSE(tuple->first());
}

TEST(RXTuple, OutOfRangeAndLastOfEmptyAreNil) {
    auto empty = make<RXTuple>();
    EXPECT_FALSE(empty->last());
    auto tuple = RXTuple::tupleWithObjects({box(1), nullptr, box(3)});
    EXPECT_FALSE(tuple->objectAtIndex(7));
    EXPECT_FALSE(tuple->second());
    EXPECT_EQ(unbox<int>(tuple->last()), 3);
    EXPECT_EQ(unbox<int>((*tuple)[0]), 1);
    int elements = 0;
    for (const id& element : *tuple) {
        (void)element;
        ++elements;
    }
    EXPECT_EQ(elements, 3);
}

TEST(RXTuple, EqualityHashAndCopy) {
    auto a = RXTuple::tupleWithObjects({box(1), "x"_ns, nullptr});
    auto b = RXTuple::tupleWithObjects({box(1), "x"_ns, nullptr});
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(RXTuple::tupleWithObjects({box(1)})));
    EXPECT_EQ(a->copy().get(), a.get());
    EXPECT_NE(a->description()->str().find("<RXTuple: "), std::string::npos);
}

TEST(RXTupleNil, IsOneSharedPlaceholder) {
    EXPECT_EQ(RXTupleNil::tupleNil().get(), RXTupleNil::tupleNil().get());
    EXPECT_EQ(RXTupleNil::tupleNil()->copy().get(), RXTupleNil::tupleNil().get());
}

TEST(RXTupleUnpackingTrampoline, AssignsElementsAndNilBeyondTheTuple) {
    id a, b, c = box(9);
    RXTupleUnpackingTrampoline::trampoline()->setObjectForKeyedSubscript(RXTuple::tupleWithObjects({box(1), box(2)}),
                                                                         {&a, &b, &c});
    EXPECT_EQ(unbox<int>(a), 1);
    EXPECT_EQ(unbox<int>(b), 2);
    EXPECT_FALSE(c);
}

TEST(RXEvent, KindsValuesAndEquality) {
    EXPECT_EQ(RXEvent::completedEvent().get(), RXEvent::completedEvent().get());
    EXPECT_TRUE(RXEvent::completedEvent()->isFinished());
    auto nilValue = RXEvent::eventWithValue(nullptr);
    EXPECT_EQ(nilValue->eventType(), RXEventTypeNext);
    EXPECT_FALSE(nilValue->value());
    EXPECT_FALSE(nilValue->isFinished());
    auto error = RXEvent::eventWithError(makeError(3));
    EXPECT_TRUE(error->isFinished());
    EXPECT_EQ(error->error()->code(), 3);
    EXPECT_FALSE(error->value());
    EXPECT_TRUE(RXEvent::eventWithValue(box(1))->isEqual(RXEvent::eventWithValue(box(1))));
    EXPECT_FALSE(RXEvent::eventWithValue(box(1))->isEqual(RXEvent::eventWithValue(box(2))));
    EXPECT_EQ(RXEvent::eventWithValue(box(1))->hash(), RXEvent::eventWithValue(box(1))->hash());
    EXPECT_NE(RXEvent::completedEvent()->description()->str().find("{ completed }"), std::string::npos);
    EXPECT_NE(RXEvent::eventWithValue(box(4))->description()->str().find("{ next = 4 }"), std::string::npos);
}

TEST(RXUnit, IsOneSharedValue) {
    EXPECT_EQ(RXUnit::defaultUnit().get(), RXUnit::defaultUnit().get());
}

TEST(RXValueTransformer, TransformsWithItsBlockOneWayOnly) {
    auto transformer = RXValueTransformer::transformerWithBlock([](const id& v) { return id(box(unbox<int>(v) + 1)); });
    EXPECT_EQ(unbox<int>(transformer->transformedValue(box(1))), 2);
    EXPECT_FALSE(RXValueTransformer::allowsReverseTransformation());
}

TEST(RXBlockTrampoline, CallsTheBlockWithTheTupleElements) {
    RXReduceBlock block = [](const id& a, const Ref<NSString>& b) { return NSString::stringWithFormat("%@-%@", a, b); };
    id result = RXBlockTrampoline::invokeBlockWithArguments(block, RXTuple::tupleWithObjects({nullptr, "b"_ns}));
    EXPECT_EQ(text(result), "(null)-b");
    auto trampoline = make<RXBlockTrampoline>(block);
    EXPECT_EQ(text(trampoline->invokeWithArguments(RXTuple::tupleWithObjects({"a"_ns, "b"_ns}))), "a-b");
}

TEST(RXBlockTrampoline, ScalarsAreUnboxedAndResultsBoxed) {
    RXReduceBlock sum = [](int a, double b, bool c) { return c ? a + b : 0.0; };
    id result =
        RXBlockTrampoline::invokeBlockWithArguments(sum, RXTuple::tupleWithObjects({box(2), box(0.5), box(true)}));
    EXPECT_DOUBLE_EQ(unbox<double>(result), 2.5);
    RXReduceBlock nothing = [](const id&) {};
    EXPECT_FALSE(RXBlockTrampoline::invokeBlockWithArguments(nothing, RXTuple::tupleWithObjects({box(1)})));
}

TEST(RXBlockTrampoline, AWrongCountOrTypeIsAClearError) {
    RXReduceBlock two = [](const id& a, const id&) { return a; };
    EXPECT_THROW(RXBlockTrampoline::invokeBlockWithArguments(two, RXTuple::tupleWithObjects({box(1)})), NSException);
    RXReduceBlock stringOnly = [](const Ref<NSString>& s) { return s; };
    EXPECT_THROW(RXBlockTrampoline::invokeBlockWithArguments(stringOnly, RXTuple::tupleWithObjects({box(1)})),
                 NSException);
    EXPECT_THROW(RXBlockTrampoline::invokeBlockWithArguments(RXReduceBlock(), make<RXTuple>()), NSException);
}

TEST(RXBlockTrampoline, MoreThanFifteenArgumentsAreFine) {
    RXReduceBlock many =
        RXReduceBlock::variadic([](const std::vector<id>& args) { return box(static_cast<int>(args.size())); });
    std::vector<id> twenty(20, box(1));
    EXPECT_EQ(
        unbox<int>(RXBlockTrampoline::invokeBlockWithArguments(many, RXTuple::tupleWithObjectsFromVector(twenty))), 20);
}

TEST(RXBlockTrampoline, SelectorsByCountAndCallsBySelector) {
    EXPECT_TRUE(RXBlockTrampoline::selectorForArgumentCount(0).isNull());
    EXPECT_EQ(RXBlockTrampoline::selectorForArgumentCount(1).name(), "performWith:");
    EXPECT_EQ(RXBlockTrampoline::selectorForArgumentCount(3).name(), "performWith:::");
    auto trampoline = make<RXBlockTrampoline>(RXReduceBlock([](const id& a, const id& b) { return b; }));
    id result = trampoline->performSelectorWithArguments(SEL("performWith::"), {box(1), box(2)});
    EXPECT_EQ(unbox<int>(result), 2);
}

TEST(RXTuple, EqualsItsArchivedAndUnarchivedCopy) {
    auto tuple = RXTuple::tupleWithObjects({box(1), nullptr, "x"_ns});
    Ref<NSData> data = NSKeyedArchiver::archivedDataWithRootObject(tuple);
    ASSERT_TRUE(data);
    auto copy = cast<RXTuple>(NSKeyedUnarchiver::unarchiveObjectWithData(data));
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->isEqual(tuple));
    EXPECT_FALSE(copy->second());
    EXPECT_EQ(copy->count(), 3u);
}
