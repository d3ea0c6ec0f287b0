#include <Networking/HCStreamingMultipartFormData.h>

#include <Networking/HCURLRequestSerialization.h>

#include <Foundation/NSBundle.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSNumber.h>
#include <Network/UTType.h>
#include <Runtime/ClassBuilder.h>

#include <random>

NS_IMPLEMENT_CLASS(HCStreamingMultipartFormData, NSObject) {}

namespace {

uint32_t randomWord() {
    static thread_local std::random_device device;
    return device();
}

Ref<NSError> fileError(const char* message) {
    auto reason =
        NSBundle::mainBundle()->localizedStringForKeyValueTable(NSString::from(message), ""_ns, "HCNetworking"_ns);
    return make<NSError>(HCURLRequestSerializationErrorDomain(), NSURLErrorBadURL,
                         NSDictionary::dictionaryWithEntries({{NSLocalizedFailureReasonErrorKey(), reason}}));
}

Ref<NSString> mimeTypeForExtension(const Ref<NSString>& extension) {
    auto identifier = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension(), extension, nullptr);
    auto type = UTTypeCopyPreferredTagWithClass(identifier, kUTTagClassMIMEType());
    return type ? type : "application/octet-stream"_ns;
}

} // namespace

HCStreamingMultipartFormData::HCStreamingMultipartFormData(const Ref<NSMutableURLRequest>& request,
                                                           NSStringEncoding encoding)
    : request_(request ? cast<NSMutableURLRequest>(request->mutableCopy()) : make<NSMutableURLRequest>()),
      stringEncoding_(encoding), boundary_(NSString::stringWithFormat("Boundary+%08X%08X", randomWord(), randomWord())),
      bodyStream_(make<HCMultipartBodyStream>(encoding)) {}

bool HCStreamingMultipartFormData::appendPartWithFileURLNameError(const Ref<NSURL>& fileURL, const Ref<NSString>& name,
                                                                  Ref<NSError>* error) {
    auto fileName = fileURL ? fileURL->lastPathComponent() : nullptr;
    auto mimeType = mimeTypeForExtension(fileURL ? fileURL->pathExtension() : nullptr);
    return appendPartWithFileURLNameFileNameMimeTypeError(fileURL, name, fileName, mimeType, error);
}

bool HCStreamingMultipartFormData::appendPartWithFileURLNameFileNameMimeTypeError(const Ref<NSURL>& fileURL,
                                                                                  const Ref<NSString>& name,
                                                                                  const Ref<NSString>& fileName,
                                                                                  const Ref<NSString>& mimeType,
                                                                                  Ref<NSError>* error) {
    if (!fileURL || !fileURL->isFileURL()) {
        if (error) {
            *error = fileError("Expected URL to be a file URL");
        }
        return false;
    }
    auto manager = NSFileManager::defaultManager();
    if (!manager->fileExistsAtPath(fileURL->path())) {
        if (error) {
            *error = fileError("File URL not reachable.");
        }
        return false;
    }
    Ref<NSError> attributesError;
    auto attributes = manager->attributesOfItemAtPathError(fileURL->path(), &attributesError);
    if (!attributes) {
        if (error) {
            *error = attributesError;
        }
        return false;
    }
    auto headers = NSMutableDictionary::dictionary();
    headers->setObjectForKey(NSString::stringWithFormat("form-data; name=\"%@\"; filename=\"%@\"", name, fileName),
                             "Content-Disposition"_ns);
    headers->setObjectForKey(mimeType, "Content-Type"_ns);
    auto size = cast<NSNumber>(attributes->objectForKey(NSFileSize()));
    appendPart(headers, fileURL, size ? size->unsignedLongLongValue() : 0);
    return true;
}

void HCStreamingMultipartFormData::appendPartWithInputStreamNameFileNameLengthMimeType(
    const Ref<NSInputStream>& inputStream, const Ref<NSString>& name, const Ref<NSString>& fileName, int64_t length,
    const Ref<NSString>& mimeType) {
    auto headers = NSMutableDictionary::dictionary();
    headers->setObjectForKey(NSString::stringWithFormat("form-data; name=\"%@\"; filename=\"%@\"", name, fileName),
                             "Content-Disposition"_ns);
    headers->setObjectForKey(mimeType, "Content-Type"_ns);
    appendPart(headers, inputStream, static_cast<unsigned long long>(std::max<int64_t>(length, 0)));
}

void HCStreamingMultipartFormData::appendPartWithFileDataNameFileNameMimeType(const Ref<NSData>& data,
                                                                              const Ref<NSString>& name,
                                                                              const Ref<NSString>& fileName,
                                                                              const Ref<NSString>& mimeType) {
    auto headers = NSMutableDictionary::dictionary();
    headers->setObjectForKey(NSString::stringWithFormat("form-data; name=\"%@\"; filename=\"%@\"", name, fileName),
                             "Content-Disposition"_ns);
    headers->setObjectForKey(mimeType, "Content-Type"_ns);
    appendPartWithHeadersBody(headers, data);
}

void HCStreamingMultipartFormData::appendPartWithFormDataName(const Ref<NSData>& data, const Ref<NSString>& name) {
    auto headers = NSDictionary::dictionaryWithEntries(
        {{"Content-Disposition"_ns, NSString::stringWithFormat("form-data; name=\"%@\"", name)}});
    appendPartWithHeadersBody(headers, data);
}

void HCStreamingMultipartFormData::appendPartWithHeadersBody(const Ref<NSDictionary>& headers,
                                                             const Ref<NSData>& body) {
    appendPart(headers, body, body ? body->length() : 0);
}

void HCStreamingMultipartFormData::appendPart(const Ref<NSDictionary>& headers, const id& body,
                                              unsigned long long length) {
    auto part = make<HCHTTPBodyPart>();
    part->setStringEncoding(stringEncoding_);
    part->setHeaders(headers);
    part->setBoundary(boundary_);
    part->setBody(body);
    part->setBodyContentLength(length);
    bodyStream_->appendHTTPBodyPart(part);
}

void HCStreamingMultipartFormData::throttleBandwidthWithPacketSizeDelay(NSUInteger numberOfBytes, double delay) {
    bodyStream_->setNumberOfBytesInPacket(numberOfBytes);
    bodyStream_->setDelay(delay);
}

Ref<NSMutableURLRequest> HCStreamingMultipartFormData::requestByFinalizingMultipartFormData() {
    if (bodyStream_->isEmpty()) {
        return request_;
    }
    bodyStream_->setInitialAndFinalBoundaries();
    request_->setHTTPBodyStream(bodyStream_);
    request_->setValueForHTTPHeaderField(NSString::stringWithFormat("multipart/form-data; boundary=%@", boundary_),
                                         "Content-Type"_ns);
    request_->setValueForHTTPHeaderField(NSString::stringWithFormat("%llu", bodyStream_->contentLength()),
                                         "Content-Length"_ns);
    return request_;
}
