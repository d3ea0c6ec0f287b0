// NSObject(logProperties): writes the properties that the receiver's own class declares, with
// their values, to the log.
#pragma once

#include <Runtime/NSObject.h>

void logProperties(const id& receiver);
