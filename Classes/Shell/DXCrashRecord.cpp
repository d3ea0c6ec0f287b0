#include <Shell/DXCrashRecord.h>

#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLog.h>

#include <cstdlib>
#include <exception>

namespace {

std::terminate_handler previousTerminateHandler = nullptr;

[[noreturn]] void recordAndTerminate() {
    if (auto current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const NSException& exception) {
            uncaughtExceptionHandler(exception);
        } catch (const std::exception& exception) {
            uncaughtExceptionHandler(NSException("std::exception", exception.what()));
        } catch (...) {
            uncaughtExceptionHandler(NSException(NSGenericException, ""));
        }
    }
    if (previousTerminateHandler) {
        previousTerminateHandler();
    }
    std::abort();
}

} // namespace

Ref<NSString> DXCrashRecordPath() {
    return NSSandbox::documentsPath()->stringByAppendingPathComponent("crash.json"_ns);
}

bool DXWriteCrashRecord(const Ref<NSString>& reason, const Ref<NSString>& name, const Ref<NSArray>& callstack) {
    auto record = NSDictionary::dictionaryWithEntries({{"reason"_ns, reason ? reason : ""_ns},
                                                       {"name"_ns, name ? name : ""_ns},
                                                       {"callstack"_ns, callstack ? callstack : NSArray::array()}});
    auto data = NSJSONSerialization::dataWithJSONObjectOptionsError(record, NSJSONWritingPrettyPrinted, nullptr);
    if (!data) {
        NSLog("crash record: could not be serialised; the previous record stays");
        return false;
    }
    // An atomic write puts the new file in place of the old one: there is never a moment without a
    // record, and a write that fails keeps the old one.
    if (!data->writeToFileAtomically(DXCrashRecordPath(), true)) {
        NSLog("crash record: could not be written; the previous record stays");
        return false;
    }
    return true;
}

void uncaughtExceptionHandler(const NSException& exception) {
    auto reason = NSString::from(exception.reason());
    auto name = NSString::from(exception.name());
    auto frames = NSMutableArray::array();
    for (const auto& frame : exception.callStackSymbols()) {
        frames->addObject(NSString::from(frame));
    }
    NSLog("reason = %@", reason);
    NSLog("name = %@", name);
    NSLog("callstack = %@", frames);
    DXWriteCrashRecord(reason, name, frames);
}

void DXInstallUncaughtExceptionHandler() {
    auto previous = std::set_terminate(recordAndTerminate);
    if (previous != recordAndTerminate) {
        previousTerminateHandler = previous;
    }
}
