#include <Networking/HCXMLParserResponseSerializer.h>

NS_IMPLEMENT_CLASS(HCXMLParserResponseSerializer, HCHTTPResponseSerializer) {
    NSCodingRegister(b);
}

HCXMLParserResponseSerializer::HCXMLParserResponseSerializer() {
    acceptableContentTypes_ = NSSet::setWithObjects({"application/xml"_ns, "text/xml"_ns});
}

Ref<HCXMLParserResponseSerializer> HCXMLParserResponseSerializer::serializer() {
    return make<HCXMLParserResponseSerializer>();
}

id HCXMLParserResponseSerializer::responseObjectForResponseDataError(const Ref<NSURLResponse>& response,
                                                                     const Ref<NSData>& data, Ref<NSError>* error) {
    if (!validateForParsing(response, data, error)) {
        return nullptr;
    }
    return make<NSXMLParser>(data ? data : NSData::data());
}

id HCXMLParserResponseSerializer::copy() const {
    auto other = make<HCXMLParserResponseSerializer>();
    other->acceptableStatusCodes_ = acceptableStatusCodes_;
    other->acceptableContentTypes_ = acceptableContentTypes_;
    return other;
}
