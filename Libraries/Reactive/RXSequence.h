// RXSequence: an immutable list, lazy unless made eager, given by its first element (`head`) and
// the sequence of the rest (`tail`). The end of a sequence is a nil head (a nil tail ends it too);
// a sequence cannot hold nil, so sources that may hold nil give NSNull instead.
//
// A sequence is a stream: it supplies the stream primitives, so map, filter, flattenMap, take, skip
// and the other stream operators work on sequences unchanged (the versions below return
// RXSequence). Lazy operators evaluate nothing until a head, a tail, an enumeration or `array` asks,
// and each element is computed once.
//
// Walking: range-for (fast enumeration, in batches), `objectEnumerator`, `array`, `signal`, and the
// folds. Sequences may be shared between threads.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Reactive/RXStream.h>

#include <array>
#include <functional>
#include <iterator>

class RXScheduler;
class RXSequenceEnumerator;
class RXSignal;
class RXSequence;

// The state of a fast enumeration (`countByEnumeratingWithState:objects:count:`).
struct RXSequenceEnumerationState {
    // 0 before the first call, RXSequenceEnumerationFinished at the end; otherwise the class's own
    // position (the absolute array position of an array sequence, the element position of an index
    // set sequence).
    unsigned long state = 0;
    // The sequence still to walk (the generic enumeration).
    Ref<RXSequence> remaining;
};
inline constexpr unsigned long RXSequenceEnumerationFinished = ~0UL;

class RXSequence : public RXStream, public NSCoding {
    NS_OBJECT(RXSequence, RXStream)
public:
    RXSequence() = default;

    // ---- The list ----
    // The first element; nil at the end. Abstract here: nil.
    virtual id head() const;
    // The rest; nil or empty at the end. Abstract here: nil.
    virtual Ref<RXSequence> tail() const;

    // ---- Making sequences ----
    // A lazy sequence whose head and tail are each computed once, on first use.
    static Ref<RXSequence> sequenceWithHeadBlockTailBlock(std::function<id()> headBlock,
                                                          std::function<Ref<RXSequence>()> tailBlock);
    // The shared empty sequence.
    static Ref<RXSequence> empty();
    // A one-element sequence.
    static Ref<RXSequence> return_(const id& value);

    // ---- Primitives ----
    Ref<RXSequence> bind(std::function<RXStreamBindBlock()> block);
    // The values of `passthrough` first, then those of binding the receiver's values.
    virtual Ref<RXSequence> bindPassingThroughValuesFromSequence(RXStreamBindBlock bindBlock,
                                                                 const Ref<RXSequence>& passthrough);
    virtual Ref<RXSequence> concat(const Ref<RXSequence>& sequence);
    // Tuples of the elements of both, as long as the shorter.
    Ref<RXSequence> zipWith(const Ref<RXSequence>& sequence);

    // ---- Conversions ----
    // Every element (evaluates the whole sequence).
    virtual Ref<NSArray> array() const;
    Ref<RXSequenceEnumerator> objectEnumerator() const;
    // `signalWithScheduler` on a new background scheduler.
    Ref<RXSignal> signal();
    // Each subscription sends the elements one per scheduled run on the scheduler, then completes.
    Ref<RXSignal> signalWithScheduler(const Ref<RXScheduler>& scheduler);
    // An RXEagerSequence of every element (evaluates the whole sequence).
    virtual Ref<RXSequence> eagerSequence();
    // The receiver (an eager sequence answers an array sequence).
    virtual Ref<RXSequence> lazySequence();

    // ---- Folds and tests ----
    id foldLeftWithStartReduce(const id& start, std::function<id(const id& accumulator, const id& value)> reduce) const;
    // reduce(head, rest) where rest is a lazy one-element sequence holding the tail folded right:
    // a block that never reads rest's head stops the fold.
    virtual id foldRightWithStartReduce(const id& start,
                                        std::function<id(const id& first, const Ref<RXSequence>& rest)> reduce) const;
    id foldLeftWithStartCombine(const id& start,
                                std::function<id(const id& accumulator, const id& value)> combine) const {
        return foldLeftWithStartReduce(start, std::move(combine));
    }
    id foldRightWithStartCombine(const id& start,
                                 std::function<id(const id& first, const Ref<RXSequence>& rest)> combine) const {
        return foldRightWithStartReduce(start, std::move(combine));
    }
    // Whether some element passes (stops at the first) / every element passes (walks the whole
    // sequence, calling the predicate until the first failure).
    bool any(std::function<bool(const id& value)> predicate) const;
    bool all(std::function<bool(const id& value)> predicate) const;
    // The first element that passes, or nil; elements after it are not tested.
    id objectPassingTest(std::function<bool(const id& value)> predicate) const;

    // ---- Identity, coding and enumeration ----
    // A sequence is immutable: the receiver.
    id copy() const override;
    // Two sequences are equal when their elements are equal in order, whatever their classes; the
    // hash is the head's (0 when empty), so equal sequences hash alike.
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    // Archived as an RXArraySequence of `array` under "array" (the empty and unary sequences archive
    // as themselves).
    void encodeWithCoder(NSCoder* coder) override;
    Class classForCoder() const override;

    // Fills `buffer` with up to `length` elements and answers how many; 0 at the end.
    virtual NSUInteger countByEnumeratingWithStateObjectsCount(RXSequenceEnumerationState& state, id* buffer,
                                                               NSUInteger length) const;

    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = id;
        using difference_type = std::ptrdiff_t;
        using pointer = const id*;
        using reference = const id&;

        iterator() = default;
        explicit iterator(const RXSequence* sequence);
        reference operator*() const { return buffer_[index_]; }
        pointer operator->() const { return &buffer_[index_]; }
        iterator& operator++();
        bool operator==(const iterator& other) const { return atEnd() == other.atEnd(); }

    private:
        bool atEnd() const { return !sequence_ || index_ >= count_; }
        void fill();
        Ref<RXSequence> sequence_;
        RXSequenceEnumerationState state_;
        std::array<id, 16> buffer_;
        NSUInteger index_ = 0;
        NSUInteger count_ = 0;
    };
    iterator begin() const { return iterator(this); }
    iterator end() const { return iterator(); }

    // ---- The stream operators, typed for sequences ----
    Ref<RXSequence> flattenMap(std::function<Ref<RXStream>(const id& value)> block) {
        return typed(RXStream::flattenMap(std::move(block)));
    }
    Ref<RXSequence> flatten() { return typed(RXStream::flatten()); }
    Ref<RXSequence> map(std::function<id(const id& value)> block) { return typed(RXStream::map(std::move(block))); }
    Ref<RXSequence> mapReplace(const id& object) { return typed(RXStream::mapReplace(object)); }
    Ref<RXSequence> filter(std::function<bool(const id& value)> block) {
        return typed(RXStream::filter(std::move(block)));
    }
    Ref<RXSequence> ignore(const id& value) { return typed(RXStream::ignore(value)); }
    Ref<RXSequence> reduceEach(RXReduceBlock block) { return typed(RXStream::reduceEach(std::move(block))); }
    Ref<RXSequence> startWith(const id& value) { return typed(RXStream::startWith(value)); }
    Ref<RXSequence> skip(NSUInteger count) { return typed(RXStream::skip(count)); }
    Ref<RXSequence> take(NSUInteger count) { return typed(RXStream::take(count)); }
    Ref<RXSequence> scanWithStartReduce(const id& start, std::function<id(const id& running, const id& next)> block) {
        return typed(RXStream::scanWithStartReduce(start, std::move(block)));
    }
    Ref<RXSequence> takeUntilBlock(std::function<bool(const id& value)> predicate) {
        return typed(RXStream::takeUntilBlock(std::move(predicate)));
    }
    Ref<RXSequence> takeWhileBlock(std::function<bool(const id& value)> predicate) {
        return typed(RXStream::takeWhileBlock(std::move(predicate)));
    }
    Ref<RXSequence> skipUntilBlock(std::function<bool(const id& value)> predicate) {
        return typed(RXStream::skipUntilBlock(std::move(predicate)));
    }
    Ref<RXSequence> skipWhileBlock(std::function<bool(const id& value)> predicate) {
        return typed(RXStream::skipWhileBlock(std::move(predicate)));
    }
    Ref<RXSequence> distinctUntilChanged() { return typed(RXStream::distinctUntilChanged()); }

    // Helpers for the sequence classes: a name set with setNameWithFormat, the result returned.
    template <class... Args>
    Ref<RXSequence> named(std::string_view format, const Args&... args) {
        setNameWithFormat(format, args...);
        return Ref<RXSequence>(this);
    }
    // A sequence that takes its parent's name whether naming is on or not.
    Ref<RXSequence> withNameOf(const RXSequence* parent);

protected:
    Ref<RXStream> emptyStream() const override;
    Ref<RXStream> returnStream(const id& value) const override;
    Ref<RXStream> bindStream(std::function<RXStreamBindBlock()> block) override;
    Ref<RXStream> concatStream(const Ref<RXStream>& stream) override;
    Ref<RXStream> zipWithStream(const Ref<RXStream>& stream) override;

    // The sequence a stream answered (raises NSInvalidArgumentException for another kind of stream).
    static Ref<RXSequence> asSequence(const Ref<RXStream>& stream, const char* operation);

private:
    static Ref<RXSequence> typed(const Ref<RXStream>& stream) { return asSequence(stream, "sequence operator"); }
};
