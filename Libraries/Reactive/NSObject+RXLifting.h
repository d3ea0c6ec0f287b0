// Lifting: calls a method of the receiver (or a block) each time a group of signals has produced a
// full set of arguments, and answers a signal of the results. Category methods of NSObject, as free
// functions taking the receiver first; the platform's nil-terminated argument lists are vectors:
//
//     rx_liftSelectorWithSignals(label, "setText:", {textSignal});
//     rx_liftSelectorWithSignals(self, "updateWidth:height:", {widthSignal, heightSignal});
//
// A lifted signal is subscribed at once and replays its latest result to later subscribers; it
// ends when the receiver begins to deallocate (the receiver is not retained) and passes on the
// first error of an argument signal. The method is called on the thread on which the argument that
// completed the set arrived. Arguments are checked against the method's parameter types
// (NSInvalidArgumentException on a mismatch).
#pragma once

#include <Reactive/RXBlockTrampoline.h>
#include <Reactive/RXSignal.h>

#include <vector>

// `-rx_liftSelector:withSignalOfArguments:`: the method called with each RXTuple of arguments; the
// signal of its boxed results (the unit value for a void method).
Ref<RXSignal> rx_liftSelectorWithSignalOfArguments(const id& receiver, SEL selector, const Ref<RXSignal>& arguments);
// `-rx_liftSelector:withSignalsFromArray:` and `-rx_liftSelector:withSignals:`: one signal per
// parameter, combined with combineLatest: the method runs once every signal has sent, then on each
// later value of any of them.
Ref<RXSignal> rx_liftSelectorWithSignalsFromArray(const id& receiver, SEL selector, const Ref<NSArray>& signals);
Ref<RXSignal> rx_liftSelectorWithSignals(const id& receiver, SEL selector, const std::vector<Ref<RXSignal>>& signals);
// `-rx_liftSelector:withObjects:` and `-rx_liftSelector:withObjectsFromArray:`: one argument per
// parameter, each a signal or a plain value (a constant; nil or RXTupleNil for nil).
Ref<RXSignal> rx_liftSelectorWithObjects(const id& receiver, SEL selector, const std::vector<id>& arguments);
Ref<RXSignal> rx_liftSelectorWithObjectsFromArray(const id& receiver, SEL selector, const Ref<NSArray>& arguments);
// `-rx_liftBlock:withArguments:` and `-rx_liftBlock:withArgumentsFromArray:`: the block called with
// the latest value of each argument (signals or plain values).
Ref<RXSignal> rx_liftBlockWithArguments(const id& receiver, RXReduceBlock block, const std::vector<id>& arguments);
Ref<RXSignal> rx_liftBlockWithArgumentsFromArray(const id& receiver, RXReduceBlock block,
                                                 const Ref<NSArray>& arguments);
