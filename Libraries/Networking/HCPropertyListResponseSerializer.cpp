#include <Networking/HCPropertyListResponseSerializer.h>

NS_IMPLEMENT_CLASS(HCPropertyListResponseSerializer, HCHTTPResponseSerializer) {
    NSCodingRegister(b);
    b.property("format", &HCPropertyListResponseSerializer::format, &HCPropertyListResponseSerializer::setFormat);
    b.property("readOptions", &HCPropertyListResponseSerializer::readOptions,
               &HCPropertyListResponseSerializer::setReadOptions);
}

HCPropertyListResponseSerializer::HCPropertyListResponseSerializer() {
    acceptableContentTypes_ = NSSet::setWithObjects({"application/x-plist"_ns});
}

HCPropertyListResponseSerializer::HCPropertyListResponseSerializer(NSCoder* coder) : HCHTTPResponseSerializer(coder) {
    format_ = static_cast<NSPropertyListFormat>(coder->decodeInt64ForKey("format"_ns));
    readOptions_ = static_cast<NSPropertyListReadOptions>(coder->decodeInt64ForKey("readOptions"_ns));
}

Ref<HCPropertyListResponseSerializer> HCPropertyListResponseSerializer::serializer() {
    return serializerWithFormatReadOptions(NSPropertyListXMLFormat_v1_0, 0);
}

Ref<HCPropertyListResponseSerializer>
HCPropertyListResponseSerializer::serializerWithFormatReadOptions(NSPropertyListFormat format,
                                                                  NSPropertyListReadOptions readOptions) {
    auto serializer = make<HCPropertyListResponseSerializer>();
    serializer->setFormat(format);
    serializer->setReadOptions(readOptions);
    return serializer;
}

id HCPropertyListResponseSerializer::responseObjectForResponseDataError(const Ref<NSURLResponse>& response,
                                                                        const Ref<NSData>& data, Ref<NSError>* error) {
    if (!validateForParsing(response, data, error)) {
        return nullptr;
    }
    Ref<NSError> validationError = error ? *error : nullptr;
    id object;
    Ref<NSError> readError;
    if (data) {
        object = NSPropertyListSerialization::propertyListWithDataOptionsFormatError(data, readOptions_, nullptr,
                                                                                     &readError);
    }
    if (error) {
        *error = HCChainUnderlyingError(readError, validationError);
    }
    return object;
}

void HCPropertyListResponseSerializer::encodeWithCoder(NSCoder* coder) {
    HCHTTPResponseSerializer::encodeWithCoder(coder);
    coder->encodeInt64ForKey(static_cast<int64_t>(format_), "format"_ns);
    coder->encodeInt64ForKey(static_cast<int64_t>(readOptions_), "readOptions"_ns);
}

id HCPropertyListResponseSerializer::copy() const {
    auto other = make<HCPropertyListResponseSerializer>();
    other->acceptableStatusCodes_ = acceptableStatusCodes_;
    other->acceptableContentTypes_ = acceptableContentTypes_;
    other->format_ = format_;
    other->readOptions_ = readOptions_;
    return other;
}
