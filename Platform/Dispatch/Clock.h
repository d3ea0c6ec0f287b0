// The one clock behind timers, dispatch_after, NSDate, NSTimer, display links and the schedulers.
// Real time by default; tests switch it to virtual time and advance it.
#pragma once

class DispatchClock {
public:
    // Seconds since the reference date (1 January 2001, 00:00:00 UTC) on the process clock.
    static double now();
};
