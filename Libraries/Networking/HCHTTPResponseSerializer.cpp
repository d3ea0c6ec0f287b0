#include <Networking/HCHTTPResponseSerializer.h>

#include <Foundation/NSNumber.h>

NS_IMPLEMENT_CLASS(HCHTTPResponseSerializer, NSObject) {
    NSCodingRegister(b);
    b.property("acceptableStatusCodes", &HCHTTPResponseSerializer::acceptableStatusCodes,
               &HCHTTPResponseSerializer::setAcceptableStatusCodes);
    b.property("acceptableContentTypes", &HCHTTPResponseSerializer::acceptableContentTypes,
               &HCHTTPResponseSerializer::setAcceptableContentTypes);
    b.classMethod("supportsSecureCoding", [] { return true; });
}

HCHTTPResponseSerializer::HCHTTPResponseSerializer()
    : acceptableStatusCodes_(NSIndexSet::indexSetWithIndexesInRange(NSMakeRange(200, 100))) {}

HCHTTPResponseSerializer::HCHTTPResponseSerializer(NSCoder* coder) : HCHTTPResponseSerializer() {
    // Index sets are archived as their ranges: location, length, location, length...
    auto ranges = cast<NSArray>(
        coder->decodeObjectOfClassesForKey({NSArray::class_(), NSNumber::class_()}, "acceptableStatusCodes"_ns));
    acceptableStatusCodes_ = nullptr;
    if (ranges) {
        auto codes = NSMutableIndexSet::indexSet();
        for (NSUInteger i = 0; i + 1 < ranges->count(); i += 2) {
            codes->addIndexesInRange(NSMakeRange(cast<NSNumber>(ranges->objectAtIndex(i))->unsignedIntegerValue(),
                                                 cast<NSNumber>(ranges->objectAtIndex(i + 1))->unsignedIntegerValue()));
        }
        acceptableStatusCodes_ = codes;
    }
    acceptableContentTypes_ = cast<NSSet>(
        coder->decodeObjectOfClassesForKey({NSSet::class_(), NSString::class_()}, "acceptableContentTypes"_ns));
}

Ref<HCHTTPResponseSerializer> HCHTTPResponseSerializer::serializer() {
    return make<HCHTTPResponseSerializer>();
}

bool HCHTTPResponseSerializer::validateResponseDataError(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
                                                         Ref<NSError>* error) {
    auto http = cast<NSHTTPURLResponse>(response);
    if (!http) {
        if (error) {
            *error = nullptr;
        }
        return true;
    }
    bool valid = true;
    Ref<NSError> validationError;
    bool hasData = data && data->length() > 0;
    if (acceptableContentTypes_ && !(http->MIMEType() && acceptableContentTypes_->containsObject(http->MIMEType()))) {
        valid = false;
        if (hasData && http->URL()) {
            auto info = NSMutableDictionary::dictionary();
            info->setObjectForKey(
                NSString::stringWithFormat(HCLocalizedString("Request failed: unacceptable content-type: %@")->str(),
                                           http->MIMEType()),
                NSLocalizedDescriptionKey());
            info->setObjectForKey(http->URL(), NSURLErrorFailingURLErrorKey());
            info->setObjectForKey(http, HCNetworkingOperationFailingURLResponseErrorKey());
            info->setObjectForKey(data, HCNetworkingOperationFailingURLResponseDataErrorKey());
            validationError =
                make<NSError>(HCURLResponseSerializationErrorDomain(), NSURLErrorCannotDecodeContentData, info);
        }
    }
    if (acceptableStatusCodes_ && http->statusCode() >= 0 &&
        !acceptableStatusCodes_->containsIndex(static_cast<NSUInteger>(http->statusCode())) && http->URL()) {
        valid = false;
        auto info = NSMutableDictionary::dictionary();
        info->setObjectForKey(
            NSString::stringWithFormat(HCLocalizedString("Request failed: %@ (%ld)")->str(),
                                       NSHTTPURLResponse::localizedStringForStatusCode(http->statusCode()),
                                       static_cast<long>(http->statusCode())),
            NSLocalizedDescriptionKey());
        info->setObjectForKey(http->URL(), NSURLErrorFailingURLErrorKey());
        info->setObjectForKey(http, HCNetworkingOperationFailingURLResponseErrorKey());
        if (hasData) {
            info->setObjectForKey(data, HCNetworkingOperationFailingURLResponseDataErrorKey());
        }
        validationError = HCChainUnderlyingError(
            make<NSError>(HCURLResponseSerializationErrorDomain(), NSURLErrorBadServerResponse, info), validationError);
    }
    if (error) {
        *error = valid ? nullptr : validationError;
    }
    return valid;
}

bool HCHTTPResponseSerializer::validateForParsing(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
                                                  Ref<NSError>* error) {
    Ref<NSError> validationError;
    bool valid = validateResponseDataError(response, data, &validationError);
    if (error) {
        *error = validationError;
    }
    return valid || (error && !HCErrorChainHasUndecodableContent(validationError));
}

id HCHTTPResponseSerializer::responseObjectForResponseDataError(const Ref<NSURLResponse>& response,
                                                                const Ref<NSData>& data, Ref<NSError>* error) {
    validateResponseDataError(response, data, error);
    return data;
}

void HCHTTPResponseSerializer::encodeWithCoder(NSCoder* coder) {
    Ref<NSMutableArray> ranges;
    if (acceptableStatusCodes_) {
        ranges = NSMutableArray::array();
        for (const auto& range : acceptableStatusCodes_->ranges()) {
            ranges->addObject(NSNumber::numberWithUnsignedInteger(range.location));
            ranges->addObject(NSNumber::numberWithUnsignedInteger(range.length));
        }
    }
    coder->encodeObjectForKey(ranges, "acceptableStatusCodes"_ns);
    coder->encodeObjectForKey(acceptableContentTypes_, "acceptableContentTypes"_ns);
}

id HCHTTPResponseSerializer::copy() const {
    auto other = make<HCHTTPResponseSerializer>();
    other->acceptableStatusCodes_ = acceptableStatusCodes_ ? cast<NSIndexSet>(acceptableStatusCodes_->copy()) : nullptr;
    other->acceptableContentTypes_ = acceptableContentTypes_ ? cast<NSSet>(acceptableContentTypes_->copy()) : nullptr;
    return other;
}
