#include <Reactive/RXSequence.h>

#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/RXArraySequence.h>
#include <Reactive/RXDynamicSequence.h>
#include <Reactive/RXEagerSequence.h>
#include <Reactive/RXEmptySequence.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXSequenceEnumerator.h>
#include <Reactive/RXSignal.h>
#include <Reactive/RXTuple.h>
#include <Reactive/RXUnarySequence.h>
#include <Runtime/ClassBuilder.h>

#include <memory>

NS_IMPLEMENT_CLASS(RXSequence, RXStream) {
    b.readonlyProperty("head", &RXSequence::head);
    b.readonlyProperty("tail", &RXSequence::tail);
    b.readonlyProperty("array", &RXSequence::array);
    b.classMethod("empty", [] { return RXSequence::empty(); });
    b.classMethod("return:", [](const id& value) { return RXSequence::return_(value); });
}

id RXSequence::head() const {
    return nullptr;
}

Ref<RXSequence> RXSequence::tail() const {
    return nullptr;
}

Ref<RXSequence> RXSequence::sequenceWithHeadBlockTailBlock(std::function<id()> headBlock,
                                                           std::function<Ref<RXSequence>()> tailBlock) {
    return RXDynamicSequence::sequenceWithHeadBlockTailBlock(std::move(headBlock), std::move(tailBlock))
        ->named("+sequenceWithHeadBlock:tailBlock:");
}

Ref<RXSequence> RXSequence::empty() {
    return RXEmptySequence::empty();
}

Ref<RXSequence> RXSequence::return_(const id& value) {
    return RXUnarySequence::return_(value);
}

Ref<RXSequence> RXSequence::asSequence(const Ref<RXStream>& stream, const char* operation) {
    auto sequence = cast<RXSequence>(stream);
    if (stream && !sequence) {
        NSException::raise(NSInvalidArgumentException,
                           std::string(operation) + ": " + NSDescription(id(stream))->str() + " is not a sequence");
    }
    return sequence;
}

Ref<RXSequence> RXSequence::withNameOf(const RXSequence* parent) {
    if (parent) {
        setName(parent->name());
    }
    return Ref<RXSequence>(this);
}

// ---- Stream hooks ----

Ref<RXStream> RXSequence::emptyStream() const {
    return RXSequence::empty();
}

Ref<RXStream> RXSequence::returnStream(const id& value) const {
    return RXSequence::return_(value);
}

Ref<RXStream> RXSequence::bindStream(std::function<RXStreamBindBlock()> block) {
    return bind(std::move(block));
}

Ref<RXStream> RXSequence::concatStream(const Ref<RXStream>& stream) {
    return concat(asSequence(stream, "-concat:"));
}

Ref<RXStream> RXSequence::zipWithStream(const Ref<RXStream>& stream) {
    return zipWith(asSequence(stream, "-zipWith:"));
}

// ---- Primitives ----

Ref<RXSequence> RXSequence::bind(std::function<RXStreamBindBlock()> block) {
    RXStreamBindBlock bindBlock = block ? block() : nullptr;
    Ref<RXSequence> result = bindPassingThroughValuesFromSequence(std::move(bindBlock), nullptr);
    if (result && result != RXSequence::empty()) {
        result->setNameWithFormat("[%@] -bind:", name());
    }
    return result;
}

namespace {
// The cells that the blocks of one bound dynamic sequence share. They are only touched by those
// blocks, which run under the dynamic sequence's lock.
struct BindCells {
    Ref<RXSequence> outer; // the values still to bind
    Ref<RXSequence> inner; // the sequence whose values come out now
    bool stop = false;
};

// One bind block for the whole bound sequence: every tail calls this same instance, so a block
// that keeps state between calls (take's count, distinctUntilChanged's last value) sees every
// value once, in order.
using SharedBindBlock = std::shared_ptr<RXStreamBindBlock>;

Ref<RXSequence> bindLazily(const Ref<RXSequence>& receiver, const SharedBindBlock& bindBlock,
                           const Ref<RXSequence>& passthrough) {
    auto cells = std::make_shared<BindCells>();
    cells->outer = receiver;
    cells->inner = passthrough;
    return RXDynamicSequence::sequenceWithLazyDependencyHeadBlockTailBlock(
        [cells, bindBlock]() -> id {
            while (!cells->inner || !cells->inner->head()) {
                if (cells->stop) {
                    return nullptr;
                }
                id value = cells->outer ? cells->outer->head() : nullptr;
                if (!value || !*bindBlock) {
                    cells->stop = true;
                    return nullptr;
                }
                Ref<RXStream> bound = (*bindBlock)(value, &cells->stop);
                cells->inner = cast<RXSequence>(bound);
                if (bound && !cells->inner) {
                    NSException::raise(NSInvalidArgumentException, "-bind: the bind block returned " +
                                                                       NSDescription(id(bound))->str() +
                                                                       ", which is not a sequence");
                }
                if (!cells->inner) {
                    cells->stop = true;
                    return nullptr;
                }
                cells->outer = cells->outer->tail();
            }
            return nullptr;
        },
        [cells](const id&) -> id { return cells->inner ? cells->inner->head() : nullptr; },
        [cells, bindBlock](const id&) -> Ref<RXSequence> {
            if (!cells->inner || !cells->inner->head()) {
                return nullptr;
            }
            Ref<RXSequence> rest = cells->inner->tail();
            if (cells->stop || !cells->outer || cells->outer == RXSequence::empty()) {
                // No further value is bound (the bind block asked to stop with this inner sequence,
                // or the values ran out): the rest of the inner sequence still comes out, as eager
                // binding does.
                return rest;
            }
            return bindLazily(cells->outer, bindBlock, rest);
        });
}
} // namespace

Ref<RXSequence> RXSequence::bindPassingThroughValuesFromSequence(RXStreamBindBlock bindBlock,
                                                                 const Ref<RXSequence>& passthrough) {
    return bindLazily(Ref<RXSequence>(this), std::make_shared<RXStreamBindBlock>(std::move(bindBlock)), passthrough)
        ->withNameOf(this);
}

Ref<RXSequence> RXSequence::concat(const Ref<RXSequence>& sequence) {
    std::vector<id> both{id(this)};
    if (sequence) {
        both.push_back(sequence);
    }
    return RXArraySequence::sequenceWithArrayOffset(NSArray::arrayWithVector(std::move(both)), 0)
        ->flatten()
        ->named("[%@] -concat: %@", name(), sequence);
}

Ref<RXSequence> RXSequence::zipWith(const Ref<RXSequence>& sequence) {
    Ref<RXSequence> self(this);
    const Ref<RXSequence>& emptySequence = RXSequence::empty();
    return RXSequence::sequenceWithHeadBlockTailBlock(
               [self, sequence]() -> id {
                   id mine = self->head();
                   id theirs = sequence ? sequence->head() : nullptr;
                   if (!mine || !theirs) {
                       return nullptr;
                   }
                   return RXTuple::tupleWithObjects({mine, theirs});
               },
               [self, sequence, emptySequence]() -> Ref<RXSequence> {
                   Ref<RXSequence> mine = self->tail();
                   Ref<RXSequence> theirs = sequence ? sequence->tail() : nullptr;
                   if (!mine || mine == emptySequence || !theirs || theirs == emptySequence) {
                       return nullptr;
                   }
                   return mine->zipWith(theirs);
               })
        ->named("[%@] -zipWith: %@", name(), sequence);
}

// ---- Conversions ----

Ref<NSArray> RXSequence::array() const {
    std::vector<id> items;
    for (const id& item : *this) {
        items.push_back(item);
    }
    return NSArray::arrayWithVector(std::move(items));
}

Ref<RXSequenceEnumerator> RXSequence::objectEnumerator() const {
    return make<RXSequenceEnumerator>(Ref<RXSequence>(const_cast<RXSequence*>(this)));
}

Ref<RXSignal> RXSequence::signal() {
    return signalWithScheduler(RXScheduler::scheduler())->named("[%@] -signal", name());
}

Ref<RXSignal> RXSequence::signalWithScheduler(const Ref<RXScheduler>& scheduler) {
    Ref<RXSequence> self(this);
    return RXSignal::createSignal([self, scheduler](const Ref<RXSubscriber>& subscriber) {
               auto cursor = std::make_shared<Ref<RXSequence>>(self);
               return scheduler->scheduleRecursiveBlock([cursor, subscriber](const std::function<void()>& reschedule) {
                   id value = *cursor ? (*cursor)->head() : nullptr;
                   if (!value) {
                       *cursor = nullptr;
                       subscriber->sendCompleted();
                       return;
                   }
                   subscriber->sendNext(value);
                   *cursor = (*cursor)->tail();
                   reschedule();
               });
           })
        ->named("[%@] -signalWithScheduler: %@", name(), scheduler);
}

Ref<RXSequence> RXSequence::eagerSequence() {
    return RXEagerSequence::sequenceWithArrayOffset(array(), 0);
}

Ref<RXSequence> RXSequence::lazySequence() {
    return Ref<RXSequence>(this);
}

// ---- Folds and tests ----

id RXSequence::foldLeftWithStartReduce(const id& start,
                                       std::function<id(const id& accumulator, const id& value)> reduce) const {
    id accumulator = start;
    for (const id& value : *this) {
        accumulator = reduce(accumulator, value);
    }
    return accumulator;
}

id RXSequence::foldRightWithStartReduce(const id& start,
                                        std::function<id(const id& first, const Ref<RXSequence>& rest)> reduce) const {
    id first = head();
    if (!first) {
        return start;
    }
    Ref<RXSequence> remaining = tail();
    Ref<RXSequence> rest = RXSequence::sequenceWithHeadBlockTailBlock(
        [remaining, start, reduce]() -> id {
            return remaining ? remaining->foldRightWithStartReduce(start, reduce) : start;
        },
        nullptr);
    return reduce(first, rest);
}

bool RXSequence::any(std::function<bool(const id& value)> predicate) const {
    return objectPassingTest(std::move(predicate)) != nullptr;
}

bool RXSequence::all(std::function<bool(const id& value)> predicate) const {
    bool passing = true;
    for (const id& value : *this) {
        if (passing) {
            passing = predicate(value);
        }
    }
    return passing;
}

id RXSequence::objectPassingTest(std::function<bool(const id& value)> predicate) const {
    return const_cast<RXSequence*>(this)->filter(std::move(predicate))->head();
}

// ---- Identity, coding and enumeration ----

id RXSequence::copy() const {
    return id(const_cast<RXSequence*>(this));
}

bool RXSequence::isEqual(const id& other) const {
    if (other.get() == this) {
        return true;
    }
    auto theirs = cast<RXSequence>(other);
    if (!theirs) {
        return false;
    }
    for (const id& mine : *this) {
        id theirHead = theirs ? theirs->head() : nullptr;
        if (!theirHead || !theirHead->isEqual(mine)) {
            return false;
        }
        theirs = theirs->tail();
    }
    return !theirs || !theirs->head();
}

NSUInteger RXSequence::hash() const {
    id first = head();
    return first ? first->hash() : 0;
}

void RXSequence::encodeWithCoder(NSCoder* coder) {
    coder->encodeObjectForKey(array(), NSString::from("array"));
}

Class RXSequence::classForCoder() const {
    return RXArraySequence::class_();
}

NSUInteger RXSequence::countByEnumeratingWithStateObjectsCount(RXSequenceEnumerationState& state, id* buffer,
                                                               NSUInteger length) const {
    if (state.state == RXSequenceEnumerationFinished) {
        return 0;
    }
    if (state.state == 0) {
        state.state = 1;
        state.remaining = Ref<RXSequence>(const_cast<RXSequence*>(this));
    }
    NSUInteger count = 0;
    while (count < length) {
        id value = state.remaining ? state.remaining->head() : nullptr;
        if (!value) {
            state.remaining = nullptr;
            state.state = RXSequenceEnumerationFinished;
            break;
        }
        buffer[count++] = value;
        Ref<RXSequence> next = state.remaining->tail();
        if (!next) {
            state.remaining = nullptr;
            state.state = RXSequenceEnumerationFinished;
            break;
        }
        state.remaining = std::move(next);
    }
    return count;
}

RXSequence::iterator::iterator(const RXSequence* sequence) : sequence_(const_cast<RXSequence*>(sequence)) {
    fill();
}

RXSequence::iterator& RXSequence::iterator::operator++() {
    if (++index_ >= count_) {
        fill();
    }
    return *this;
}

void RXSequence::iterator::fill() {
    for (NSUInteger i = 0; i < count_; ++i) {
        buffer_[i] = nullptr;
    }
    index_ = 0;
    count_ = sequence_ ? sequence_->countByEnumeratingWithStateObjectsCount(state_, buffer_.data(), buffer_.size()) : 0;
    if (count_ == 0) {
        sequence_ = nullptr;
        state_.remaining = nullptr;
    }
}
