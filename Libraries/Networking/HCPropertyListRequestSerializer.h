// HCPropertyListRequestSerializer: parameters of body methods become a property-list body
// ("application/x-plist").
#pragma once

#include <Foundation/NSPropertyListSerialization.h>
#include <Networking/HCHTTPRequestSerializer.h>

class HCPropertyListRequestSerializer : public HCHTTPRequestSerializer {
    NS_OBJECT(HCPropertyListRequestSerializer, HCHTTPRequestSerializer)
public:
    HCPropertyListRequestSerializer() = default;
    explicit HCPropertyListRequestSerializer(NSCoder* coder);

    static Ref<HCPropertyListRequestSerializer> serializer();
    static Ref<HCPropertyListRequestSerializer>
    serializerWithFormatWriteOptions(NSPropertyListFormat format, NSPropertyListWriteOptions writeOptions);

    NSPropertyListFormat format() const noexcept { return format_; }
    void setFormat(NSPropertyListFormat format) { format_ = format; }
    NSPropertyListWriteOptions writeOptions() const noexcept { return writeOptions_; }
    void setWriteOptions(NSPropertyListWriteOptions options) { writeOptions_ = options; }

    // Parameters that are no property list give nil and the writer's error.
    Ref<NSMutableURLRequest> requestBySerializingRequestWithParametersError(const Ref<NSURLRequest>& request,
                                                                            const id& parameters,
                                                                            Ref<NSError>* error) override;
    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

private:
    NSPropertyListFormat format_ = NSPropertyListXMLFormat_v1_0;
    NSPropertyListWriteOptions writeOptions_ = 0;
};
