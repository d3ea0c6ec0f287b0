#include <Dispatch/Clock.h>
#include <QuartzCore/CABase.h>

double CACurrentMediaTime() {
    return DispatchClock::uptime();
}
