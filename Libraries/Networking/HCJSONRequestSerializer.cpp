#include <Networking/HCJSONRequestSerializer.h>

NS_IMPLEMENT_CLASS(HCJSONRequestSerializer, HCHTTPRequestSerializer) {
    NSCodingRegister(b);
    b.property("writingOptions", &HCJSONRequestSerializer::writingOptions, &HCJSONRequestSerializer::setWritingOptions);
}

HCJSONRequestSerializer::HCJSONRequestSerializer(NSCoder* coder) : HCHTTPRequestSerializer(coder) {
    writingOptions_ = static_cast<NSJSONWritingOptions>(coder->decodeInt64ForKey("writingOptions"_ns));
}

Ref<HCJSONRequestSerializer> HCJSONRequestSerializer::serializer() {
    return serializerWithWritingOptions(0);
}

Ref<HCJSONRequestSerializer>
HCJSONRequestSerializer::serializerWithWritingOptions(NSJSONWritingOptions writingOptions) {
    auto serializer = make<HCJSONRequestSerializer>();
    serializer->setWritingOptions(writingOptions);
    return serializer;
}

Ref<NSMutableURLRequest>
HCJSONRequestSerializer::requestBySerializingRequestWithParametersError(const Ref<NSURLRequest>& request,
                                                                        const id& parameters, Ref<NSError>* error) {
    if (!request) {
        return nullptr;
    }
    if (encodesParametersInURI(request)) {
        return HCHTTPRequestSerializer::requestBySerializingRequestWithParametersError(request, parameters, error);
    }
    auto mutableRequest = requestWithDefaultHeaders(request);
    if (parameters) {
        Ref<NSError> writerError;
        auto body = NSJSONSerialization::dataWithJSONObjectOptionsError(parameters, writingOptions_, &writerError);
        if (!body) {
            if (error) {
                *error = writerError;
            }
            return nullptr;
        }
        if (!mutableRequest->valueForHTTPHeaderField("Content-Type"_ns)) {
            mutableRequest->setValueForHTTPHeaderField("application/json"_ns, "Content-Type"_ns);
        }
        mutableRequest->setHTTPBody(body);
    }
    return mutableRequest;
}

void HCJSONRequestSerializer::encodeWithCoder(NSCoder* coder) {
    HCHTTPRequestSerializer::encodeWithCoder(coder);
    coder->encodeInt64ForKey(static_cast<int64_t>(writingOptions_), "writingOptions"_ns);
}

id HCJSONRequestSerializer::copy() const {
    auto other = make<HCJSONRequestSerializer>();
    copyStateInto(*other);
    other->writingOptions_ = writingOptions_;
    return other;
}
