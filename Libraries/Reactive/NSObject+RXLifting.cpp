#include <Reactive/NSObject+RXLifting.h>

#include <Foundation/NSArray.h>
#include <Reactive/NSObject+RXDeallocatingPrivate.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/RXInvocation.h>
#include <Reactive/RXTuple.h>
#include <Reactive/RXTupleNil.h>

namespace {

// A signal stays; RXTupleNil and nil become `+return:` nil; anything else `+return:` of it.
std::vector<Ref<RXSignal>> signalsOfArguments(const std::vector<id>& arguments) {
    std::vector<Ref<RXSignal>> signals;
    signals.reserve(arguments.size());
    for (const id& argument : arguments) {
        if (auto signal = cast<RXSignal>(argument)) {
            signals.push_back(signal);
        } else {
            signals.push_back(RXSignal::return_(RXTupleNil::unwrap(argument)));
        }
    }
    return signals;
}

void checkReceiver(const id& receiver, SEL selector) {
    if (!receiver) {
        NSException::raise(NSInvalidArgumentException, "rx_liftSelector: needs a receiver");
    }
    if (!selector.isNull() && !receiver->respondsToSelector(selector)) {
        receiver->doesNotRecognizeSelector(selector);
    }
}

} // namespace

Ref<RXSignal> rx_liftSelectorWithSignalOfArguments(const id& receiver, SEL selector, const Ref<RXSignal>& arguments) {
    checkReceiver(receiver, selector);
    std::string types = RXInvocation::methodTypesForSelector(receiver, selector);
    Weak<NSObject> weakReceiver(receiver);
    return arguments->takeUntil(rx_detail::deallocationSignal({receiver}))
        ->map([weakReceiver, selector, types](const id& value) -> id {
            Ref<NSObject> target = weakReceiver.lock();
            if (!target) {
                return nullptr;
            }
            auto invocation = make<RXInvocation>(selector, types);
            invocation->setRx_argumentsTuple(cast<RXTuple>(value));
            invocation->invokeWithTarget(target);
            return invocation->rx_returnValue();
        })
        ->replayLast()
        ->named("%@ -rx_liftSelector: %s withSignalsOfArguments: %@", rx_description(receiver), selector.c_str(),
                arguments);
}

Ref<RXSignal> rx_liftSelectorWithSignalsFromArray(const id& receiver, SEL selector, const Ref<NSArray>& signals) {
    return rx_liftSelectorWithSignalOfArguments(receiver, selector, RXSignal::combineLatest(signals))
        ->named("%@ -rx_liftSelector: %s withSignalsFromArray: %@", rx_description(receiver), selector.c_str(),
                signals);
}

Ref<RXSignal> rx_liftSelectorWithSignals(const id& receiver, SEL selector, const std::vector<Ref<RXSignal>>& signals) {
    Ref<NSArray> array = RXSignal::arrayOfSignals(signals);
    return rx_liftSelectorWithSignalOfArguments(receiver, selector, RXSignal::combineLatest(signals))
        ->named("%@ -rx_liftSelector: %s withSignals: %@", rx_description(receiver), selector.c_str(), array);
}

Ref<RXSignal> rx_liftSelectorWithObjects(const id& receiver, SEL selector, const std::vector<id>& arguments) {
    if (arguments.size() != selector.argumentCount()) {
        NSException::raise(NSInvalidArgumentException, "rx_liftSelector:withObjects: " + selector.name() + " takes " +
                                                           std::to_string(selector.argumentCount()) +
                                                           " arguments, not " + std::to_string(arguments.size()));
    }
    std::vector<id> wrapped;
    for (const id& argument : arguments) {
        wrapped.push_back(RXTupleNil::wrap(argument));
    }
    return rx_liftSelectorWithObjectsFromArray(receiver, selector, NSArray::arrayWithVector(std::move(wrapped)));
}

Ref<RXSignal> rx_liftSelectorWithObjectsFromArray(const id& receiver, SEL selector, const Ref<NSArray>& arguments) {
    std::vector<Ref<RXSignal>> signals = signalsOfArguments(arguments ? arguments->objects() : std::vector<id>{});
    return rx_liftSelectorWithSignalsFromArray(receiver, selector, RXSignal::arrayOfSignals(signals));
}

Ref<RXSignal> rx_liftBlockWithArguments(const id& receiver, RXReduceBlock block, const std::vector<id>& arguments) {
    std::vector<id> wrapped;
    for (const id& argument : arguments) {
        wrapped.push_back(RXTupleNil::wrap(argument));
    }
    return rx_liftBlockWithArgumentsFromArray(receiver, std::move(block), NSArray::arrayWithVector(std::move(wrapped)));
}

Ref<RXSignal> rx_liftBlockWithArgumentsFromArray(const id& receiver, RXReduceBlock block,
                                                 const Ref<NSArray>& arguments) {
    if (!receiver) {
        NSException::raise(NSInvalidArgumentException, "rx_liftBlock: needs a receiver");
    }
    std::vector<Ref<RXSignal>> signals = signalsOfArguments(arguments ? arguments->objects() : std::vector<id>{});
    return RXSignal::combineLatest(signals)
        ->reduceEach(std::move(block))
        ->takeUntil(rx_detail::deallocationSignal({receiver}))
        ->replayLast();
}
