// HCJSONResponseSerializer: validates a reply and parses its body as JSON ("application/json",
// "text/json", "text/javascript").
#pragma once

#include <Foundation/NSJSONSerialization.h>
#include <Networking/HCHTTPResponseSerializer.h>

class HCJSONResponseSerializer : public HCHTTPResponseSerializer {
    NS_OBJECT(HCJSONResponseSerializer, HCHTTPResponseSerializer)
public:
    HCJSONResponseSerializer();
    explicit HCJSONResponseSerializer(NSCoder* coder);

    static Ref<HCJSONResponseSerializer> serializer();
    static Ref<HCJSONResponseSerializer> serializerWithReadingOptions(NSJSONReadingOptions readingOptions);

    NSJSONReadingOptions readingOptions() const noexcept { return readingOptions_; }
    void setReadingOptions(NSJSONReadingOptions options) { readingOptions_ = options; }
    bool removesKeysWithNullValues() const noexcept { return removesKeysWithNullValues_; }
    void setRemovesKeysWithNullValues(bool removes) { removesKeysWithNullValues_ = removes; }

    // An empty body and a body of one space give nil without error; a body that is no text in its
    // encoding, or no JSON, gives nil and an error.
    id responseObjectForResponseDataError(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
                                          Ref<NSError>* error) override;

    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

private:
    NSJSONReadingOptions readingOptions_ = 0;
    bool removesKeysWithNullValues_ = false;
};

// The object without dictionary entries whose value is null, recursively (null array elements stay).
id HCStripNullValues(const id& object, NSJSONReadingOptions readingOptions);
