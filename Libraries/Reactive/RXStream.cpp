#include <Reactive/RXStream.h>

#include <Foundation/NSArray.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/RXTuple.h>
#include <Reactive/RXTupleNil.h>
#include <Runtime/ClassBuilder.h>

#include <atomic>
#include <cstdlib>
#include <deque>

NS_IMPLEMENT_CLASS(RXStream, NSObject) {
    b.property("name", &RXStream::name, &RXStream::setName);
}

namespace {
const Ref<NSString>& emptyName() {
    static const Ref<NSString> name = NSString::from("");
    return name;
}

std::atomic<bool>& debugNames() {
    static std::atomic<bool> enabled{std::getenv("RX_DEBUG_SIGNAL_NAMES") != nullptr};
    return enabled;
}

Ref<NSArray> arrayOf(const std::vector<Ref<RXStream>>& streams) {
    return NSArray::arrayWithRefs(streams);
}
} // namespace

RXStream::RXStream() = default;

Ref<NSString> RXStream::name() const {
    std::lock_guard<std::mutex> guard(nameLock_);
    return named_ ? name_ : emptyName();
}

void RXStream::setName(const Ref<NSString>& name) {
    Ref<NSString> copy = name ? cast<NSString>(name->copy()) : nullptr;
    std::lock_guard<std::mutex> guard(nameLock_);
    name_.swap(copy);
    named_ = true;
}

bool RXStream::debugSignalNamesEnabled() {
    return debugNames().load(std::memory_order_relaxed);
}

void RXStream::setDebugSignalNamesEnabled(bool enabled) {
    debugNames().store(enabled, std::memory_order_relaxed);
}

Ref<RXStream> RXStream::empty() {
    return nullptr;
}

Ref<RXStream> RXStream::return_(const id&) {
    return nullptr;
}

Ref<RXStream> RXStream::emptyStream() const {
    return nullptr;
}

Ref<RXStream> RXStream::returnStream(const id&) const {
    return nullptr;
}

Ref<RXStream> RXStream::bindStream(std::function<RXStreamBindBlock()>) {
    return nullptr;
}

Ref<RXStream> RXStream::concatStream(const Ref<RXStream>&) {
    return nullptr;
}

Ref<RXStream> RXStream::zipWithStream(const Ref<RXStream>&) {
    return nullptr;
}

// Each operator below returns nil when the receiver's class supplies no primitives.
#define RX_NAMED(result, ...)                                                                                          \
    do {                                                                                                               \
        if (result) {                                                                                                  \
            (result)->setNameWithFormat(__VA_ARGS__);                                                                  \
        }                                                                                                              \
    } while (0)

Ref<RXStream> RXStream::flattenMap(std::function<Ref<RXStream>(const id& value)> block) {
    Ref<RXStream> self(this);
    auto result = bind([self, block] {
        return RXStreamBindBlock([self, block](const id& value, bool*) -> Ref<RXStream> {
            Ref<RXStream> stream = block(value);
            return stream ? stream : self->emptyStream();
        });
    });
    RX_NAMED(result, "[%@] -flattenMap:", name());
    return result;
}

Ref<RXStream> RXStream::flatten() {
    auto result = flattenMap([](const id& value) -> Ref<RXStream> {
        if (value && !cast<RXStream>(value)) {
            NSException::raise(NSInvalidArgumentException,
                               "-flatten: the value " + NSDescription(value)->str() + " is not a stream");
        }
        return cast<RXStream>(value);
    });
    RX_NAMED(result, "[%@] -flatten", name());
    return result;
}

Ref<RXStream> RXStream::map(std::function<id(const id& value)> block) {
    Ref<RXStream> self(this);
    auto result = flattenMap([self, block](const id& value) { return self->returnStream(block(value)); });
    RX_NAMED(result, "[%@] -map:", name());
    return result;
}

Ref<RXStream> RXStream::mapReplace(const id& object) {
    auto result = map([object](const id&) { return object; });
    RX_NAMED(result, "[%@] -mapReplace: %@", name(), rx_description(object));
    return result;
}

Ref<RXStream> RXStream::filter(std::function<bool(const id& value)> block) {
    Ref<RXStream> self(this);
    auto result = flattenMap(
        [self, block](const id& value) { return block(value) ? self->returnStream(value) : self->emptyStream(); });
    RX_NAMED(result, "[%@] -filter:", name());
    return result;
}

Ref<RXStream> RXStream::ignore(const id& value) {
    auto result = filter([value](const id& next) {
        bool equal = next.get() == value.get() || (next && next->isEqual(value));
        return !equal;
    });
    RX_NAMED(result, "[%@] -ignore: %@", name(), rx_description(value));
    return result;
}

namespace {
id reduceTuple(const RXReduceBlock& block, const id& value, const char* operation) {
    auto tuple = cast<RXTuple>(value);
    if (!tuple) {
        NSException::raise(NSInvalidArgumentException, std::string(operation) + ": the value " +
                                                           NSDescription(value)->str() + " is not an RXTuple");
    }
    return RXBlockTrampoline::invokeBlockWithArguments(block, tuple);
}
} // namespace

Ref<RXStream> RXStream::reduceEach(RXReduceBlock block) {
    auto result = map([block](const id& value) { return reduceTuple(block, value, "-reduceEach:"); });
    RX_NAMED(result, "[%@] -reduceEach:", name());
    return result;
}

Ref<RXStream> RXStream::startWith(const id& value) {
    Ref<RXStream> first = returnStream(value);
    auto result = first ? first->concat(Ref<RXStream>(this)) : nullptr;
    RX_NAMED(result, "[%@] -startWith: %@", name(), rx_description(value));
    return result;
}

Ref<RXStream> RXStream::skip(NSUInteger count) {
    Ref<RXStream> self(this);
    auto result = bind([self, count] {
        return RXStreamBindBlock([self, count, skipped = NSUInteger(0)](const id& value, bool*) mutable {
            if (skipped < count) {
                ++skipped;
                return self->emptyStream();
            }
            return self->returnStream(value);
        });
    });
    RX_NAMED(result, "[%@] -skip: %lu", name(), count);
    return result;
}

Ref<RXStream> RXStream::take(NSUInteger count) {
    if (count == 0) {
        return emptyStream();
    }
    Ref<RXStream> self(this);
    auto result = bind([self, count] {
        return RXStreamBindBlock([self, count, taken = NSUInteger(0)](const id& value, bool* stop) mutable {
            if (++taken >= count) {
                *stop = true;
            }
            return self->returnStream(value);
        });
    });
    RX_NAMED(result, "[%@] -take: %lu", name(), count);
    return result;
}

Ref<RXStream>
RXStream::scanWithStartReduceWithIndex(const id& start,
                                       std::function<id(const id& running, const id& next, NSUInteger index)> block) {
    Ref<RXStream> self(this);
    auto result = bind([self, start, block] {
        return RXStreamBindBlock([self, block, running = start, index = NSUInteger(0)](const id& value, bool*) mutable {
            running = block(running, value, index++);
            return self->returnStream(running);
        });
    });
    RX_NAMED(result, "[%@] -scanWithStart: %@ reduceWithIndex:", name(), rx_description(start));
    return result;
}

Ref<RXStream> RXStream::scanWithStartReduce(const id& start,
                                            std::function<id(const id& running, const id& next)> block) {
    auto result = scanWithStartReduceWithIndex(
        start, [block](const id& running, const id& next, NSUInteger) { return block(running, next); });
    RX_NAMED(result, "[%@] -scanWithStart: %@ reduce:", name(), rx_description(start));
    return result;
}

Ref<RXStream> RXStream::scanWithStartCombine(const id& start,
                                             std::function<id(const id& running, const id& next)> block) {
    return scanWithStartReduce(start, std::move(block));
}

Ref<RXStream> RXStream::combinePreviousWithStartReduce(const id& start,
                                                       std::function<id(const id& previous, const id& current)> block) {
    auto scanned = scanWithStartReduce(RXTuple::tupleWithObjects({start}), [block](const id& running, const id& next) {
        id previous = cast<RXTuple>(running)->first();
        return id(RXTuple::tupleWithObjects({next, block(previous, next)}));
    });
    auto result = scanned ? scanned->map([](const id& pair) { return cast<RXTuple>(pair)->second(); }) : nullptr;
    RX_NAMED(result, "[%@] -combinePreviousWithStart: %@ reduce:", name(), rx_description(start));
    return result;
}

Ref<RXStream> RXStream::mapPreviousWithStartReduce(const id& start,
                                                   std::function<id(const id& previous, const id& current)> block) {
    return combinePreviousWithStartReduce(start, std::move(block));
}

Ref<RXStream> RXStream::takeUntilBlock(std::function<bool(const id& value)> predicate) {
    Ref<RXStream> self(this);
    auto result = bind([self, predicate] {
        return RXStreamBindBlock([self, predicate](const id& value, bool*) -> Ref<RXStream> {
            if (predicate(value)) {
                return nullptr;
            }
            return self->returnStream(value);
        });
    });
    RX_NAMED(result, "[%@] -takeUntilBlock:", name());
    return result;
}

Ref<RXStream> RXStream::takeWhileBlock(std::function<bool(const id& value)> predicate) {
    auto result = takeUntilBlock([predicate](const id& value) { return !predicate(value); });
    RX_NAMED(result, "[%@] -takeWhileBlock:", name());
    return result;
}

Ref<RXStream> RXStream::skipUntilBlock(std::function<bool(const id& value)> predicate) {
    Ref<RXStream> self(this);
    auto result = bind([self, predicate] {
        return RXStreamBindBlock([self, predicate, skipping = true](const id& value, bool*) mutable {
            if (skipping) {
                if (!predicate(value)) {
                    return self->emptyStream();
                }
                skipping = false;
            }
            return self->returnStream(value);
        });
    });
    RX_NAMED(result, "[%@] -skipUntilBlock:", name());
    return result;
}

Ref<RXStream> RXStream::skipWhileBlock(std::function<bool(const id& value)> predicate) {
    auto result = skipUntilBlock([predicate](const id& value) { return !predicate(value); });
    RX_NAMED(result, "[%@] -skipWhileBlock:", name());
    return result;
}

Ref<RXStream> RXStream::distinctUntilChanged() {
    Ref<RXStream> self(this);
    auto result = bind([self] {
        return RXStreamBindBlock([self, last = id(), first = true](const id& value, bool*) mutable {
            if (!first && (value.get() == last.get() || (value && value->isEqual(last)))) {
                return self->emptyStream();
            }
            first = false;
            last = value;
            return self->returnStream(value);
        });
    });
    RX_NAMED(result, "[%@] -distinctUntilChanged", name());
    return result;
}

Ref<RXStream> RXStream::sequenceMany(std::function<Ref<RXStream>()> block) {
    auto result = flattenMap([block](const id&) { return block(); });
    RX_NAMED(result, "[%@] -sequenceMany:", name());
    return result;
}

id RXStream::flattenJoinedTuple(const id& value) {
    std::deque<id> items;
    auto tuple = cast<RXTuple>(value);
    while (tuple) {
        items.push_front(RXTupleNil::wrap(tuple->last()));
        if (tuple->count() < 2) {
            break;
        }
        tuple = cast<RXTuple>(tuple->first());
    }
    return id(make<RXTuple>(make<NSArray>(std::vector<id>(items.begin(), items.end()))));
}

Ref<RXStream>
RXStream::joinBlock(const std::vector<Ref<RXStream>>& streams,
                    std::function<Ref<RXStream>(const Ref<RXStream>& left, const Ref<RXStream>& right)> block) {
    if (streams.empty() || !streams.front()) {
        return RXStream::empty();
    }
    Ref<RXStream> current;
    for (const auto& stream : streams) {
        if (!current) {
            current = stream->map([](const id& value) { return id(RXTuple::tupleWithObjects({value})); });
        } else {
            current = block(current, stream);
        }
        if (!current) {
            return nullptr;
        }
    }
    return current->map([](const id& value) { return flattenJoinedTuple(value); });
}

Ref<RXStream> RXStream::zip(const std::vector<Ref<RXStream>>& streams) {
    auto result =
        joinBlock(streams, [](const Ref<RXStream>& left, const Ref<RXStream>& right) { return left->zipWith(right); });
    RX_NAMED(result, "+zip: %@", arrayOf(streams));
    return result;
}

Ref<RXStream> RXStream::zipReduce(const std::vector<Ref<RXStream>>& streams, RXReduceBlock reduceBlock) {
    auto result = zip(streams);
    if (result && reduceBlock) {
        result = result->reduceEach(std::move(reduceBlock));
    }
    RX_NAMED(result, "+zip: %@ reduce:", arrayOf(streams));
    return result;
}

Ref<RXStream> RXStream::concat(const std::vector<Ref<RXStream>>& streams) {
    if (streams.empty() || !streams.front()) {
        return RXStream::empty();
    }
    Ref<RXStream> result = streams.front()->emptyStream();
    for (const auto& stream : streams) {
        if (!result) {
            return nullptr;
        }
        result = result->concat(stream);
    }
    RX_NAMED(result, "+concat: %@", arrayOf(streams));
    return result;
}
