// Reading a file handle in the background into a replay subject. A category method of
// NSFileHandle, as a free function taking the handle first.
#pragma once

#include <Foundation/NSFileHandle.h>
#include <Reactive/RXReplaySubject.h>

// `-rx_readInBackground`: a replay subject that sends the handle's data in chunks as they become
// available, then completes at the end of the file. A read error is sent as an error (it does not
// pass for the end of the file). The reads run one after another on a background scheduler of
// their own; a read blocks that scheduler's worker while it waits (a pipe that is never closed keeps
// it waiting). The handle is held until the end.
Ref<RXReplaySubject> rx_readInBackground(const Ref<NSFileHandle>& handle);
