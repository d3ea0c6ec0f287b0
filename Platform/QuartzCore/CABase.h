// The media clock: seconds on the process's monotonic clock (DispatchClock::uptime), so virtual in
// tests. Display-link timestamps use it.
#pragma once

double CACurrentMediaTime();
