#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchTimerHeap.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSObject+NSThreadPerformAdditions.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSThread.h>

#include <exception>

using namespace dispatch_detail;

struct foundation_detail::RunLoopAccess {
    static Ref<NSRunLoop> of(const Ref<NSThread>& thread) { return thread->runLoop(); }
};

void performBlockOnThreadWaitUntilDone(const Ref<NSThread>& thread, std::function<void()> block, bool waitUntilDone,
                                       const Ref<NSArray>& modes) {
    if (!thread || !block) {
        NSException::raise(NSInvalidArgumentException,
                           "performSelector:onThread: the thread is nil or the block empty");
    }
    Ref<NSArray> runModes = modes ? modes : NSArray::arrayWithObjects({NSRunLoopCommonModes()});
    if (waitUntilDone && thread == NSThread::currentThread()) {
        block();
        return;
    }
    if (thread->isFinished()) {
        NSException::raise(NSInvalidArgumentException, "performSelector:onThread: the thread has finished");
    }
    auto runLoop = foundation_detail::RunLoopAccess::of(thread);
    if (!waitUntilDone) {
        runLoop->performInModesBlock(runModes, std::move(block));
        return;
    }
    struct Completion {
        WaiterRef waiter = std::make_shared<Waiter>();
        std::exception_ptr error;
    };
    auto completion = std::make_shared<Completion>();
    runLoop->performInModesBlock(runModes, [completion, block = std::move(block)] {
        struct Wake {
            Completion& c;
            ~Wake() { wake(c.waiter); }
        } wakeCaller{*completion};
        try {
            block();
        } catch (...) {
            completion->error = std::current_exception();
        }
    });
    park(completion->waiter, TimerHeap::kNever);
    // Taken out, so that the exception is released on this thread, not with the completion record.
    if (std::exception_ptr error = std::move(completion->error)) {
        std::rethrow_exception(error);
    }
}

void performSelectorOnThreadWithObjectWaitUntilDoneModes(NSObject* receiver, SEL selector, const Ref<NSThread>& thread,
                                                         const id& argument, bool waitUntilDone,
                                                         const Ref<NSArray>& modes) {
    if (!receiver) {
        NSException::raise(NSInvalidArgumentException, "performSelector:onThread: the receiver is nil");
    }
    id target(receiver);
    performBlockOnThreadWaitUntilDone(
        thread,
        [target, selector, argument] {
            if (selector.argumentCount() > 0) {
                target->performSelectorWithArguments(selector, {argument});
            } else {
                target->performSelectorWithArguments(selector, {});
            }
        },
        waitUntilDone, modes);
}

void performSelectorOnThreadWithObjectWaitUntilDone(NSObject* receiver, SEL selector, const Ref<NSThread>& thread,
                                                    const id& argument, bool waitUntilDone) {
    performSelectorOnThreadWithObjectWaitUntilDoneModes(receiver, selector, thread, argument, waitUntilDone, nullptr);
}

void performSelectorOnMainThreadWithObjectWaitUntilDone(NSObject* receiver, SEL selector, const id& argument,
                                                        bool waitUntilDone) {
    performSelectorOnThreadWithObjectWaitUntilDoneModes(receiver, selector, NSThread::mainThread(), argument,
                                                        waitUntilDone, nullptr);
}

void performSelectorOnMainThreadWithObjectWaitUntilDoneModes(NSObject* receiver, SEL selector, const id& argument,
                                                             bool waitUntilDone, const Ref<NSArray>& modes) {
    performSelectorOnThreadWithObjectWaitUntilDoneModes(receiver, selector, NSThread::mainThread(), argument,
                                                        waitUntilDone, modes);
}
