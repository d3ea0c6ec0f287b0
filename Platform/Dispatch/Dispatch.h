// Umbrella header of the dispatch stand-in: queues, groups, semaphores, once-only guards, timer
// sources, dispatch time and the clock.
#pragma once

#include <Dispatch/Clock.h>
#include <Dispatch/DispatchGroup.h>
#include <Dispatch/DispatchOnce.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchSemaphore.h>
#include <Dispatch/DispatchSource.h>
#include <Dispatch/DispatchTime.h>
