// Fuzzes the station file reader. The first byte chooses the form: the raw bytes as the whole file,
// or the bytes (as text) as the XML add/skip list inside a well-formed file, plain or Base64.
#include <Core/AdditionalTestManager.h>
#include <Foundation/NSData.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLog.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool ready = [] {
        NSSandbox::useTemporaryRoot();
        NSLogSetHook([](const std::string&) {});
        return true;
    }();
    (void)ready;
    if (size == 0) {
        return 0;
    }
    auto path = NSSandbox::documentsPath()->stringByAppendingPathComponent("quorvane_temp.txt"_ns);
    auto body = NSData::dataWithBytesLength(bytes + 1, size - 1);
    Ref<NSData> file;
    switch (bytes[0] % 3) {
    case 0:
        file = body;
        break;
    default: {
        auto text = NSString::stringWithDataEncoding(body, NSUTF8StringEncoding);
        if (!text) {
            return 0;
        }
        id list = bytes[0] % 3 == 1 ? id(text) : id(body->base64EncodedStringWithOptions(0));
        file = NSJSONSerialization::dataWithJSONObjectOptionsError(
            NSDictionary::dictionaryWithEntries({{"VT_dynamicQuorvane"_ns, list}}), 0, nullptr);
        break;
    }
    }
    if (!file || !file->writeToFileAtomically(path, false)) {
        return 0;
    }
    auto station = AdditionalTestManager::sharedInstance();
    size_t seen = 0;
    station->setParseCompleted([&](const Ref<NSString>&, const Ref<NSArray>& add, const Ref<NSArray>& skip) {
        seen = add->count() + skip->count();
    });
    bool ok = station->parse();
    // A refused document leaves no keys behind.
    if (!ok && (station->addKeys()->count() != 0 || station->removeKeys()->count() != 0)) {
        __builtin_trap();
    }
    if (ok && seen != station->addKeys()->count() + station->removeKeys()->count()) {
        __builtin_trap();
    }
    return 0;
}
