// HCPropertyListResponseSerializer: validates a reply and reads its body as a property list
// ("application/x-plist").
#pragma once

#include <Foundation/NSPropertyListSerialization.h>
#include <Networking/HCHTTPResponseSerializer.h>

class HCPropertyListResponseSerializer : public HCHTTPResponseSerializer {
    NS_OBJECT(HCPropertyListResponseSerializer, HCHTTPResponseSerializer)
public:
    HCPropertyListResponseSerializer();
    explicit HCPropertyListResponseSerializer(NSCoder* coder);

    static Ref<HCPropertyListResponseSerializer> serializer();
    static Ref<HCPropertyListResponseSerializer> serializerWithFormatReadOptions(NSPropertyListFormat format,
                                                                                 NSPropertyListReadOptions readOptions);

    NSPropertyListFormat format() const noexcept { return format_; }
    void setFormat(NSPropertyListFormat format) { format_ = format; }
    NSPropertyListReadOptions readOptions() const noexcept { return readOptions_; }
    void setReadOptions(NSPropertyListReadOptions options) { readOptions_ = options; }

    id responseObjectForResponseDataError(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
                                          Ref<NSError>* error) override;
    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

private:
    NSPropertyListFormat format_ = NSPropertyListXMLFormat_v1_0;
    NSPropertyListReadOptions readOptions_ = 0;
};
