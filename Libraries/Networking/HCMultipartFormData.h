// The protocol of the object a multipart construction block receives: it appends parts (fields,
// data, files, streams) to a multipart/form-data body.
#pragma once

#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSURL.h>
#include <Network/NSInputStream.h>

class HCMultipartFormData {
public:
    virtual ~HCMultipartFormData() = default;
    // File name: the URL's last component; MIME type: from the extension, else
    // "application/octet-stream". NO (and nothing appended) for a URL that is no reachable file.
    virtual bool appendPartWithFileURLNameError(const Ref<NSURL>& fileURL, const Ref<NSString>& name,
                                                Ref<NSError>* error) = 0;
    virtual bool appendPartWithFileURLNameFileNameMimeTypeError(const Ref<NSURL>& fileURL, const Ref<NSString>& name,
                                                                const Ref<NSString>& fileName,
                                                                const Ref<NSString>& mimeType, Ref<NSError>* error) = 0;
    virtual void appendPartWithInputStreamNameFileNameLengthMimeType(const Ref<NSInputStream>& inputStream,
                                                                     const Ref<NSString>& name,
                                                                     const Ref<NSString>& fileName, int64_t length,
                                                                     const Ref<NSString>& mimeType) = 0;
    virtual void appendPartWithFileDataNameFileNameMimeType(const Ref<NSData>& data, const Ref<NSString>& name,
                                                            const Ref<NSString>& fileName,
                                                            const Ref<NSString>& mimeType) = 0;
    virtual void appendPartWithFormDataName(const Ref<NSData>& data, const Ref<NSString>& name) = 0;
    virtual void appendPartWithHeadersBody(const Ref<NSDictionary>& headers, const Ref<NSData>& body) = 0;
    virtual void throttleBandwidthWithPacketSizeDelay(NSUInteger numberOfBytes, double delay) = 0;
};
