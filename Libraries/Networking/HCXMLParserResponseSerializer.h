// HCXMLParserResponseSerializer: validates a reply and answers an XML parser over its body (not yet
// run) for "application/xml" and "text/xml".
#pragma once

#include <Foundation/NSXMLParser.h>
#include <Networking/HCHTTPResponseSerializer.h>

class HCXMLParserResponseSerializer : public HCHTTPResponseSerializer {
    NS_OBJECT(HCXMLParserResponseSerializer, HCHTTPResponseSerializer)
public:
    HCXMLParserResponseSerializer();
    explicit HCXMLParserResponseSerializer(NSCoder* coder) : HCHTTPResponseSerializer(coder) {}

    static Ref<HCXMLParserResponseSerializer> serializer();

    id responseObjectForResponseDataError(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
                                          Ref<NSError>* error) override;
    id copy() const override;
};
