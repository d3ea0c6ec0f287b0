#include <Networking/HCPropertyListRequestSerializer.h>

#include <Foundation/NSNumber.h>

NS_IMPLEMENT_CLASS(HCPropertyListRequestSerializer, HCHTTPRequestSerializer) {
    NSCodingRegister(b);
    b.property("format", &HCPropertyListRequestSerializer::format, &HCPropertyListRequestSerializer::setFormat);
    b.property("writeOptions", &HCPropertyListRequestSerializer::writeOptions,
               &HCPropertyListRequestSerializer::setWriteOptions);
}

HCPropertyListRequestSerializer::HCPropertyListRequestSerializer(NSCoder* coder) : HCHTTPRequestSerializer(coder) {
    format_ = static_cast<NSPropertyListFormat>(coder->decodeInt64ForKey("format"_ns));
    auto options = cast<NSNumber>(coder->decodeObjectOfClassForKey(NSNumber::class_(), "writeOptions"_ns));
    writeOptions_ = options ? options->unsignedIntegerValue() : 0;
}

Ref<HCPropertyListRequestSerializer> HCPropertyListRequestSerializer::serializer() {
    return serializerWithFormatWriteOptions(NSPropertyListXMLFormat_v1_0, 0);
}

Ref<HCPropertyListRequestSerializer>
HCPropertyListRequestSerializer::serializerWithFormatWriteOptions(NSPropertyListFormat format,
                                                                  NSPropertyListWriteOptions writeOptions) {
    auto serializer = make<HCPropertyListRequestSerializer>();
    serializer->setFormat(format);
    serializer->setWriteOptions(writeOptions);
    return serializer;
}

Ref<NSMutableURLRequest> HCPropertyListRequestSerializer::requestBySerializingRequestWithParametersError(
    const Ref<NSURLRequest>& request, const id& parameters, Ref<NSError>* error) {
    if (!request) {
        return nullptr;
    }
    if (encodesParametersInURI(request)) {
        return HCHTTPRequestSerializer::requestBySerializingRequestWithParametersError(request, parameters, error);
    }
    auto mutableRequest = requestWithDefaultHeaders(request);
    if (parameters) {
        Ref<NSError> writerError;
        auto body = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(parameters, format_,
                                                                                        writeOptions_, &writerError);
        if (!body) {
            if (error) {
                *error = writerError;
            }
            return nullptr;
        }
        if (!mutableRequest->valueForHTTPHeaderField("Content-Type"_ns)) {
            mutableRequest->setValueForHTTPHeaderField("application/x-plist"_ns, "Content-Type"_ns);
        }
        mutableRequest->setHTTPBody(body);
    }
    return mutableRequest;
}

void HCPropertyListRequestSerializer::encodeWithCoder(NSCoder* coder) {
    HCHTTPRequestSerializer::encodeWithCoder(coder);
    coder->encodeInt64ForKey(static_cast<int64_t>(format_), "format"_ns);
    coder->encodeObjectForKey(NSNumber::numberWithUnsignedInteger(writeOptions_), "writeOptions"_ns);
}

id HCPropertyListRequestSerializer::copy() const {
    auto other = make<HCPropertyListRequestSerializer>();
    copyStateInto(*other);
    other->format_ = format_;
    other->writeOptions_ = writeOptions_;
    return other;
}
