// Sending a message or running a block on another thread's run loop (the platform's
// performSelector:onThread:... family, a category on NSObject: free functions, receiver first).
//
// The message (or block) runs on the target thread in a later turn of its run loop, in the given
// modes (by default the common modes), in the order the requests were made. The receiver and the
// argument are held until then. With `waitUntilDone` the caller blocks until it has run (when the
// target is the calling thread, it runs at once instead), and an exception it raises is raised
// again in the caller. A thread that has finished raises NSInvalidArgumentException.
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <functional>

class NSArray;
class NSThread;

void performSelectorOnThreadWithObjectWaitUntilDone(NSObject* receiver, SEL selector, const Ref<NSThread>& thread,
                                                    const id& argument, bool waitUntilDone);
void performSelectorOnThreadWithObjectWaitUntilDoneModes(NSObject* receiver, SEL selector, const Ref<NSThread>& thread,
                                                         const id& argument, bool waitUntilDone,
                                                         const Ref<NSArray>& modes);
void performSelectorOnMainThreadWithObjectWaitUntilDone(NSObject* receiver, SEL selector, const id& argument,
                                                        bool waitUntilDone);
void performSelectorOnMainThreadWithObjectWaitUntilDoneModes(NSObject* receiver, SEL selector, const id& argument,
                                                             bool waitUntilDone, const Ref<NSArray>& modes);

// The block form: `modes` nil means the common modes.
void performBlockOnThreadWaitUntilDone(const Ref<NSThread>& thread, std::function<void()> block, bool waitUntilDone,
                                       const Ref<NSArray>& modes = nullptr);
