// RXSignal operators for aggregation and boolean logic.
#include <Reactive/RXSignal.h>

#include <Foundation/NSNumber.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/RXTuple.h>

Ref<RXSignal> RXSignal::aggregateWithStartReduceWithIndex(
    const id& start, std::function<id(const id& running, const id& next, NSUInteger index)> block) {
    return scanWithStartReduceWithIndex(start, std::move(block))
        ->startWith(start)
        ->takeLast(1)
        ->named("[%@] -aggregateWithStart: %@ reduceWithIndex:", name(), rx_description(start));
}

Ref<RXSignal> RXSignal::aggregateWithStartReduce(const id& start,
                                                 std::function<id(const id& running, const id& next)> block) {
    return aggregateWithStartReduceWithIndex(
               start, [block](const id& running, const id& next, NSUInteger) { return block(running, next); })
        ->named("[%@] -aggregateWithStart: %@ reduce:", name(), rx_description(start));
}

Ref<RXSignal> RXSignal::aggregateWithStartFactoryReduce(std::function<id()> startFactory,
                                                        std::function<id(const id& running, const id& next)> block) {
    Ref<RXSignal> self(this);
    return defer([self, startFactory, block] {
               return self->aggregateWithStartReduce(startFactory ? startFactory() : nullptr, block);
           })
        ->named("[%@] -aggregateWithStartFactory:reduce:", name());
}

namespace {
Ref<RXTuple> tupleOf(const id& value, const char* operation) {
    auto tuple = cast<RXTuple>(value);
    if (!tuple) {
        NSException::raise(NSInvalidArgumentException, std::string(operation) + ": the value " +
                                                           NSDescription(value)->str() + " is not an RXTuple");
    }
    return tuple;
}
} // namespace

Ref<RXSignal> RXSignal::not_() {
    return map([](const id& value) -> id { return NSNumber::numberWithInt(unbox<bool>(value) ? 0 : 1); })
        ->named("[%@] -not", name());
}

Ref<RXSignal> RXSignal::and_() {
    return map([](const id& value) -> id {
               for (const id& element : tupleOf(value, "-and")->values()) {
                   if (!unbox<bool>(element)) {
                       return NSNumber::numberWithBool(false);
                   }
               }
               return NSNumber::numberWithBool(true);
           })
        ->named("[%@] -and", name());
}

Ref<RXSignal> RXSignal::or_() {
    return map([](const id& value) -> id {
               for (const id& element : tupleOf(value, "-or")->values()) {
                   if (unbox<bool>(element)) {
                       return NSNumber::numberWithBool(true);
                   }
               }
               return NSNumber::numberWithBool(false);
           })
        ->named("[%@] -or", name());
}
