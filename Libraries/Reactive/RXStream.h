// RXStream: the abstract base of signals and sequences. Its operators are written only in terms of
// five primitives that each concrete stream class supplies (`empty`, `return`, `bind`, `concat`,
// `zipWith`); on RXStream itself the primitives are abstract and answer nil. Every operator names
// its result, but names are only formed while debug names are on: from the start when the environment
// variable RX_DEBUG_SIGNAL_NAMES is set, or once setDebugSignalNamesEnabled switches them on.
//
// A concrete class supplies the primitives by overriding the protected hooks (emptyStream,
// returnStream, bindStream, concatStream, zipWithStream); it may also hide an operator with a
// version of its own that returns its own type (RXSignal does for all of them).
#pragma once

#include <Foundation/NSString.h>
#include <Reactive/RXBlockTrampoline.h>

#include <functional>
#include <mutex>
#include <string_view>
#include <vector>

class RXStream;

// A binding block: takes a value and a stop flag, returns a stream or nil.
using RXStreamBindBlock = std::function<Ref<RXStream>(const id& value, bool* stop)>;

class RXStream : public NSObject {
    NS_OBJECT(RXStream, NSObject)
public:
    RXStream();

    // The stream's debug name; the empty string by default.
    virtual Ref<NSString> name() const;
    virtual void setName(const Ref<NSString>& name);
    // Formats and stores the name only while debug names are on; returns the receiver.
    template <class... Args>
    RXStream* setNameWithFormat(std::string_view format, const Args&... args) {
        if (debugSignalNamesEnabled()) {
            setName(NSString::stringWithFormat(format, args...));
        }
        return this;
    }
    // Whether debug names are on. The environment variable RX_DEBUG_SIGNAL_NAMES (set to any value)
    // is read once, at the first call; streams are made on hot paths, which must not search the
    // environment each time.
    static bool debugSignalNamesEnabled();
    // Switches debug names on or off from now on, whatever the environment said.
    static void setDebugSignalNamesEnabled(bool enabled);

    // The primitives. Abstract here: nil.
    static Ref<RXStream> empty();
    static Ref<RXStream> return_(const id& value);
    Ref<RXStream> bind(std::function<RXStreamBindBlock()> block) { return bindStream(std::move(block)); }
    Ref<RXStream> concat(const Ref<RXStream>& stream) { return concatStream(stream); }
    Ref<RXStream> zipWith(const Ref<RXStream>& stream) { return zipWithStream(stream); }

    // The operators, built on the primitives of the receiver's class.
    Ref<RXStream> flattenMap(std::function<Ref<RXStream>(const id& value)> block);
    Ref<RXStream> flatten();
    Ref<RXStream> map(std::function<id(const id& value)> block);
    Ref<RXStream> mapReplace(const id& object);
    Ref<RXStream> filter(std::function<bool(const id& value)> block);
    Ref<RXStream> ignore(const id& value);
    Ref<RXStream> reduceEach(RXReduceBlock block);
    Ref<RXStream> startWith(const id& value);
    Ref<RXStream> skip(NSUInteger count);
    Ref<RXStream> take(NSUInteger count);
    Ref<RXStream>
    scanWithStartReduceWithIndex(const id& start,
                                 std::function<id(const id& running, const id& next, NSUInteger index)> block);
    Ref<RXStream> scanWithStartReduce(const id& start, std::function<id(const id& running, const id& next)> block);
    Ref<RXStream> scanWithStartCombine(const id& start, std::function<id(const id& running, const id& next)> block);
    Ref<RXStream> combinePreviousWithStartReduce(const id& start,
                                                 std::function<id(const id& previous, const id& current)> block);
    Ref<RXStream> mapPreviousWithStartReduce(const id& start,
                                             std::function<id(const id& previous, const id& current)> block);
    Ref<RXStream> takeUntilBlock(std::function<bool(const id& value)> predicate);
    Ref<RXStream> takeWhileBlock(std::function<bool(const id& value)> predicate);
    Ref<RXStream> skipUntilBlock(std::function<bool(const id& value)> predicate);
    Ref<RXStream> skipWhileBlock(std::function<bool(const id& value)> predicate);
    Ref<RXStream> distinctUntilChanged();
    Ref<RXStream> sequenceMany(std::function<Ref<RXStream>()> block);

    // Class operations over a collection of streams of one class; the first stream's class supplies
    // the primitives (an empty collection has no class: nil).
    static Ref<RXStream>
    joinBlock(const std::vector<Ref<RXStream>>& streams,
              std::function<Ref<RXStream>(const Ref<RXStream>& left, const Ref<RXStream>& right)> block);
    static Ref<RXStream> zip(const std::vector<Ref<RXStream>>& streams);
    static Ref<RXStream> zipReduce(const std::vector<Ref<RXStream>>& streams, RXReduceBlock reduceBlock);
    static Ref<RXStream> concat(const std::vector<Ref<RXStream>>& streams);

protected:
    // `[[self class] empty]` and `[[self class] return:]`.
    virtual Ref<RXStream> emptyStream() const;
    virtual Ref<RXStream> returnStream(const id& value) const;
    virtual Ref<RXStream> bindStream(std::function<RXStreamBindBlock()> block);
    virtual Ref<RXStream> concatStream(const Ref<RXStream>& stream);
    virtual Ref<RXStream> zipWithStream(const Ref<RXStream>& stream);

    // Flattens the left-nested pairs of a join into one flat tuple.
    static id flattenJoinedTuple(const id& value);

private:
    mutable std::mutex nameLock_;
    Ref<NSString> name_;
    bool named_ = false; // until setName, the name is the shared empty string (not retained here)
};
