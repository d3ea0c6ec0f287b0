// HCCompoundResponseSerializer: asks its serializers in turn; the first object made wins, and
// without one the reply's data is answered as the base serializer does.
#pragma once

#include <Networking/HCHTTPResponseSerializer.h>

class HCCompoundResponseSerializer : public HCHTTPResponseSerializer {
    NS_OBJECT(HCCompoundResponseSerializer, HCHTTPResponseSerializer)
public:
    HCCompoundResponseSerializer() = default;
    explicit HCCompoundResponseSerializer(NSCoder* coder);

    static Ref<HCCompoundResponseSerializer> compoundSerializerWithResponseSerializers(const Ref<NSArray>& serializers);

    const Ref<NSArray>& responseSerializers() const noexcept { return responseSerializers_; }
    void setResponseSerializers(const Ref<NSArray>& serializers);

    id responseObjectForResponseDataError(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
                                          Ref<NSError>* error) override;
    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

private:
    Ref<NSArray> responseSerializers_;
};
