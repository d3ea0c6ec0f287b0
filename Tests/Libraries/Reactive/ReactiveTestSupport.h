// Helpers for the signal library's tests: an event recorder and a virtual-time scope.
#pragma once

#include <Dispatch/Dispatch.h>
#include <Foundation/Foundation.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSThread.h>
#include <Reactive/Reactive.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace rxtest {

// The text of a value: its description, "nil" for nil.
inline std::string text(const id& value) {
    if (!value) {
        return "nil";
    }
    if (auto tuple = cast<RXTuple>(value)) {
        std::string out = "(";
        bool first = true;
        for (const id& element : tuple->values()) {
            out += (first ? "" : ",") + text(element);
            first = false;
        }
        return out + ")";
    }
    return value->description()->str();
}

// Records the events of subscriptions as text: "1", "2", "completed", "error:<code>".
class Recorder {
public:
    RXNextBlock next() {
        auto self = this;
        return [self](const id& value) { self->add(text(value)); };
    }
    RXErrorBlock error() {
        auto self = this;
        return [self](const Ref<NSError>& error) {
            self->add("error:" + (error ? std::to_string(error->code()) : std::string("nil")));
        };
    }
    RXCompletedBlock completed() {
        auto self = this;
        return [self] { self->add("completed"); };
    }
    Ref<RXDisposable> subscribe(const Ref<RXSignal>& signal) {
        return signal->subscribeNextErrorCompleted(next(), error(), completed());
    }
    void add(const std::string& event) {
        std::lock_guard<std::mutex> guard(lock_);
        events_.push_back(event);
    }
    std::vector<std::string> events() const {
        std::lock_guard<std::mutex> guard(lock_);
        return events_;
    }
    size_t size() const {
        std::lock_guard<std::mutex> guard(lock_);
        return events_.size();
    }
    void clear() {
        std::lock_guard<std::mutex> guard(lock_);
        events_.clear();
    }

private:
    mutable std::mutex lock_;
    std::vector<std::string> events_;
};

using Events = std::vector<std::string>;

// Virtual time for the scope of a test; pending timers are dropped at the end.
class VirtualTime {
public:
    VirtualTime() { DispatchClock::useVirtualTime(); }
    ~VirtualTime() {
        DispatchClock::runUntilIdle();
        DispatchClock::discardPendingTimers();
        DispatchClock::useRealTime();
    }
    VirtualTime(const VirtualTime&) = delete;
    VirtualTime& operator=(const VirtualTime&) = delete;
};

inline Ref<NSError> makeError(NSInteger code) {
    return NSError::errorWithDomainCodeUserInfo("RXTestErrorDomain"_ns, code, nullptr);
}

// A signal that sends the values synchronously, then completes.
inline Ref<RXSignal> values(std::vector<id> items) {
    return RXSignal::createSignal([items](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        for (const id& item : items) {
            subscriber->sendNext(item);
        }
        subscriber->sendCompleted();
        return nullptr;
    });
}

// Disposal from another thread during delivery: a sender thread sends 0, 1, 2, ... while this
// thread disposes the subscription as soon as the subscriber received its first value. Nothing
// sent after the disposal may arrive.
class DisposalDuringDelivery {
public:
    // For the subscriber's block (which runs one value at a time).
    void received(const id& value) {
        seen_.push_back(unbox<int>(value));
        if (!announced_.exchange(true)) {
            firstValue_.set_value();
        }
    }
    // Sends the values with `send` on a thread of its own and disposes `subscription` once the
    // first arrived; returns when the sender is done.
    void run(const std::function<void(int)>& send, const Ref<RXDisposable>& subscription) {
        std::thread sender([&] {
            for (int i = 0; i < 3000; ++i) {
                if (disposed_.load() && firstSentAfterDisposal_.load() < 0) {
                    firstSentAfterDisposal_ = i;
                }
                send(i);
            }
        });
        firstValue_.get_future().wait();
        subscription->dispose();
        disposed_ = true;
        sender.join();
    }
    void expectNothingSentAfterTheDisposal() const {
        if (firstSentAfterDisposal_.load() >= 0) {
            for (int v : seen_) {
                ASSERT_LT(v, firstSentAfterDisposal_.load()) << "a value sent after the disposal arrived";
            }
        }
    }

private:
    std::promise<void> firstValue_;
    std::atomic<bool> announced_{false}, disposed_{false};
    std::atomic<int> firstSentAfterDisposal_{-1};
    std::vector<int> seen_; // written by the subscriber's block only
};

inline std::vector<id> numbers(std::initializer_list<int> list) {
    std::vector<id> out;
    for (int n : list) {
        out.push_back(box(n));
    }
    return out;
}

} // namespace rxtest
