// HCJSONRequestSerializer: parameters of body methods become a JSON body ("application/json").
#pragma once

#include <Foundation/NSJSONSerialization.h>
#include <Networking/HCHTTPRequestSerializer.h>

class HCJSONRequestSerializer : public HCHTTPRequestSerializer {
    NS_OBJECT(HCJSONRequestSerializer, HCHTTPRequestSerializer)
public:
    HCJSONRequestSerializer() = default;
    explicit HCJSONRequestSerializer(NSCoder* coder);

    static Ref<HCJSONRequestSerializer> serializer();
    static Ref<HCJSONRequestSerializer> serializerWithWritingOptions(NSJSONWritingOptions writingOptions);

    NSJSONWritingOptions writingOptions() const noexcept { return writingOptions_; }
    void setWritingOptions(NSJSONWritingOptions options) { writingOptions_ = options; }

    // Parameters that are no JSON give nil and the writer's error: no request without its body.
    Ref<NSMutableURLRequest> requestBySerializingRequestWithParametersError(const Ref<NSURLRequest>& request,
                                                                            const id& parameters,
                                                                            Ref<NSError>* error) override;
    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

private:
    NSJSONWritingOptions writingOptions_ = 0;
};
