// Fuzzes the HTTP client's response serializers with what a server may send. The first byte picks
// the serializer and its settings, the second the status code and the content type; the rest is
// the body. An XML reply is also parsed to the end. Any reply must give an object, an error or
// both, never a crash or a leak; a JSON reply with a NUL byte anywhere (no place in a JSON text, nor
// its end) gives no object.
#include <Networking/HCCompoundResponseSerializer.h>
#include <Networking/HCHTTPResponseSerializer.h>
#include <Networking/HCImageResponseSerializer.h>
#include <Networking/HCJSONResponseSerializer.h>
#include <Networking/HCPropertyListResponseSerializer.h>
#include <Networking/HCXMLParserResponseSerializer.h>

#include <Foundation/NSData.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSURL.h>
#include <Foundation/NSXMLParser.h>
#include <Network/NSHTTPURLResponse.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

Ref<HCHTTPResponseSerializer> serializerFor(uint8_t choice) {
    switch (choice % 7) {
    case 0:
        return HCHTTPResponseSerializer::serializer();
    case 1:
        return HCJSONResponseSerializer::serializer();
    case 2: {
        auto json = HCJSONResponseSerializer::serializerWithReadingOptions(NSJSONReadingMutableContainers |
                                                                           NSJSONReadingAllowFragments);
        json->setRemovesKeysWithNullValues(true);
        return json;
    }
    case 3:
        return HCPropertyListResponseSerializer::serializer();
    case 4:
        return HCXMLParserResponseSerializer::serializer();
    case 5:
        return HCImageResponseSerializer::serializer();
    default:
        return HCCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
            NSArray::arrayWithObjects({HCJSONResponseSerializer::serializer(), HCImageResponseSerializer::serializer(),
                                       HCPropertyListResponseSerializer::serializer()}));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool ready = [] {
        NSLogSetHook([](const std::string&) {});
        return true;
    }();
    (void)ready;
    if (size < 2) {
        return 0;
    }
    static const std::array<const char*, 8> types = {"application/json",    "text/json; charset=utf-8",
                                                     "application/x-plist", "application/xml",
                                                     "image/png",           "image/jpeg",
                                                     "text/html",           ""};
    static const std::array<NSInteger, 4> statuses = {200, 204, 404, 500};
    auto serializer = serializerFor(bytes[0]);
    std::vector<std::pair<std::string, std::string>> headers;
    if (*types[bytes[1] % types.size()]) {
        headers.emplace_back("Content-Type", types[bytes[1] % types.size()]);
    }
    auto response = make<NSHTTPURLResponse>(NSURL::URLWithString("http://127.0.0.1/reply"_ns),
                                            statuses[(bytes[1] >> 3) % statuses.size()], "HTTP/1.1"_ns, headers);
    auto body = NSData::dataWithBytesLength(bytes + 2, size - 2);
    Ref<NSError> error;
    id object = serializer->responseObjectForResponseDataError(response, body, &error);
    bool json = bytes[0] % 7 == 1 || bytes[0] % 7 == 2;
    if (json && object && std::memchr(bytes + 2, 0, size - 2)) {
        __builtin_trap();
    }
    if (auto parser = cast<NSXMLParser>(object)) {
        parser->parse();
    }
    return 0;
}
