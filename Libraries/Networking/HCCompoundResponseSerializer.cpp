#include <Networking/HCCompoundResponseSerializer.h>

NS_IMPLEMENT_CLASS(HCCompoundResponseSerializer, HCHTTPResponseSerializer) {
    NSCodingRegister(b);
    b.property("responseSerializers", &HCCompoundResponseSerializer::responseSerializers,
               &HCCompoundResponseSerializer::setResponseSerializers);
}

HCCompoundResponseSerializer::HCCompoundResponseSerializer(NSCoder* coder) : HCHTTPResponseSerializer(coder) {
    responseSerializers_ = cast<NSArray>(coder->decodeObjectOfClassesForKey(
        {NSArray::class_(), HCHTTPResponseSerializer::class_()}, "responseSerializers"_ns));
}

Ref<HCCompoundResponseSerializer>
HCCompoundResponseSerializer::compoundSerializerWithResponseSerializers(const Ref<NSArray>& serializers) {
    auto serializer = make<HCCompoundResponseSerializer>();
    serializer->setResponseSerializers(serializers);
    return serializer;
}

void HCCompoundResponseSerializer::setResponseSerializers(const Ref<NSArray>& serializers) {
    responseSerializers_ = serializers ? NSArray::arrayWithArray(serializers) : nullptr;
}

id HCCompoundResponseSerializer::responseObjectForResponseDataError(const Ref<NSURLResponse>& response,
                                                                    const Ref<NSData>& data, Ref<NSError>* error) {
    if (responseSerializers_) {
        for (const auto& item : *responseSerializers_) {
            auto serializer = cast<HCHTTPResponseSerializer>(item);
            if (!serializer) {
                continue;
            }
            Ref<NSError> serializerError;
            if (id object = serializer->responseObjectForResponseDataError(response, data, &serializerError)) {
                if (error) {
                    *error = HCChainUnderlyingError(serializerError, *error);
                }
                return object;
            }
        }
    }
    return HCHTTPResponseSerializer::responseObjectForResponseDataError(response, data, error);
}

void HCCompoundResponseSerializer::encodeWithCoder(NSCoder* coder) {
    HCHTTPResponseSerializer::encodeWithCoder(coder);
    coder->encodeObjectForKey(responseSerializers_, "responseSerializers"_ns);
}

id HCCompoundResponseSerializer::copy() const {
    auto other = make<HCCompoundResponseSerializer>();
    other->acceptableStatusCodes_ = acceptableStatusCodes_;
    other->acceptableContentTypes_ = acceptableContentTypes_;
    other->setResponseSerializers(responseSerializers_);
    return other;
}
