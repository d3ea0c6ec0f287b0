// The crash record: when an uncaught exception ends the process, "crash.json" in the documents
// folder holds its "reason", "name" and "callstack" (one text per frame), as pretty-printed JSON.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSString.h>
#include <Runtime/Runtime.h>

// The record's path in the documents folder.
Ref<NSString> DXCrashRecordPath();

// Writes the record. The new record replaces the old one in one atomic step, so a failed write
// leaves the previous record in place rather than none. Answers whether it was written.
bool DXWriteCrashRecord(const Ref<NSString>& reason, const Ref<NSString>& name, const Ref<NSArray>& callstack);

// The handler: logs the exception and writes its record. It does not end the process.
void uncaughtExceptionHandler(const NSException& exception);

// Installs the handler for the process: an exception that nothing catches is recorded, then the
// process ends as it would have without the handler.
void DXInstallUncaughtExceptionHandler();
