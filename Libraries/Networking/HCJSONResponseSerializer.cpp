#include <Networking/HCJSONResponseSerializer.h>

#include <Foundation/NSNumber.h>

NS_IMPLEMENT_CLASS(HCJSONResponseSerializer, HCHTTPResponseSerializer) {
    NSCodingRegister(b);
    b.property("readingOptions", &HCJSONResponseSerializer::readingOptions,
               &HCJSONResponseSerializer::setReadingOptions);
    b.property("removesKeysWithNullValues", &HCJSONResponseSerializer::removesKeysWithNullValues,
               &HCJSONResponseSerializer::setRemovesKeysWithNullValues);
}

HCJSONResponseSerializer::HCJSONResponseSerializer() {
    acceptableContentTypes_ = NSSet::setWithObjects({"application/json"_ns, "text/json"_ns, "text/javascript"_ns});
}

HCJSONResponseSerializer::HCJSONResponseSerializer(NSCoder* coder) : HCHTTPResponseSerializer(coder) {
    readingOptions_ = static_cast<NSJSONReadingOptions>(coder->decodeInt64ForKey("readingOptions"_ns));
    removesKeysWithNullValues_ = coder->decodeBoolForKey("removesKeysWithNullValues"_ns);
}

Ref<HCJSONResponseSerializer> HCJSONResponseSerializer::serializer() {
    return serializerWithReadingOptions(0);
}

Ref<HCJSONResponseSerializer>
HCJSONResponseSerializer::serializerWithReadingOptions(NSJSONReadingOptions readingOptions) {
    auto serializer = make<HCJSONResponseSerializer>();
    serializer->setReadingOptions(readingOptions);
    return serializer;
}

id HCStripNullValues(const id& object, NSJSONReadingOptions readingOptions) {
    bool mutableContainers = (readingOptions & NSJSONReadingMutableContainers) != 0;
    if (auto array = cast<NSArray>(object)) {
        auto out = NSMutableArray::arrayWithCapacity(array->count());
        for (const auto& element : *array) {
            out->addObject(HCStripNullValues(element, readingOptions));
        }
        return mutableContainers ? id(out) : id(NSArray::arrayWithArray(out));
    }
    if (auto dictionary = cast<NSDictionary>(object)) {
        auto out = NSMutableDictionary::dictionaryWithDictionary(dictionary);
        for (const auto& [key, value] : *dictionary) {
            if (!value || value->isKindOfClass(NSNull::class_())) {
                out->removeObjectForKey(key);
            } else if (cast<NSArray>(value) || cast<NSDictionary>(value)) {
                out->setObjectForKey(HCStripNullValues(value, readingOptions), key);
            }
        }
        return mutableContainers ? id(out) : id(NSDictionary::dictionaryWithDictionary(out));
    }
    return object;
}

id HCJSONResponseSerializer::responseObjectForResponseDataError(const Ref<NSURLResponse>& response,
                                                                const Ref<NSData>& data, Ref<NSError>* error) {
    if (!validateForParsing(response, data, error)) {
        return nullptr;
    }
    Ref<NSError> validationError = error ? *error : nullptr;
    NSStringEncoding encoding = stringEncoding_;
    if (response) {
        if (NSStringEncoding named = HCStringEncodingForIANACharSetName(response->textEncodingName())) {
            encoding = named;
        }
    }
    if (!data || data->length() == 0) {
        return nullptr;
    }
    id object;
    Ref<NSError> parsingError;
    Ref<NSString> text = NSString::stringWithDataEncoding(data, encoding);
    if (!text) {
        // Bytes that are no text in the reply's encoding are a rejected reply, not an empty one.
        parsingError = make<NSError>(
            HCURLResponseSerializationErrorDomain(), NSURLErrorCannotDecodeContentData,
            NSDictionary::dictionaryWithEntries(
                {{NSLocalizedDescriptionKey(), HCLocalizedString("Data failed decoding as a UTF-8 string")},
                 {NSLocalizedFailureReasonErrorKey(),
                  HCLocalizedString("The response body is not valid text in its encoding")}}));
    } else if (!text->isEqualToString(" "_ns)) {
        Ref<NSData> utf8 = encoding == NSUTF8StringEncoding ? data : text->dataUsingEncoding(NSUTF8StringEncoding);
        if (!utf8) {
            parsingError = make<NSError>(
                HCURLResponseSerializationErrorDomain(), NSURLErrorCannotDecodeContentData,
                NSDictionary::dictionaryWithEntries(
                    {{NSLocalizedDescriptionKey(), HCLocalizedString("Data failed decoding as a UTF-8 string")},
                     {NSLocalizedFailureReasonErrorKey(),
                      NSString::stringWithFormat(HCLocalizedString("Could not decode string: %@")->str(), text)}}));
        } else if (utf8->length() == 0) {
            return nullptr;
        } else {
            object = NSJSONSerialization::JSONObjectWithDataOptionsError(utf8, readingOptions_, &parsingError);
        }
    }
    if (removesKeysWithNullValues_ && object) {
        object = HCStripNullValues(object, readingOptions_);
    }
    if (error) {
        *error = HCChainUnderlyingError(parsingError, validationError);
    }
    return object;
}

void HCJSONResponseSerializer::encodeWithCoder(NSCoder* coder) {
    HCHTTPResponseSerializer::encodeWithCoder(coder);
    coder->encodeInt64ForKey(static_cast<int64_t>(readingOptions_), "readingOptions"_ns);
    coder->encodeBoolForKey(removesKeysWithNullValues_, "removesKeysWithNullValues"_ns);
}

id HCJSONResponseSerializer::copy() const {
    auto other = make<HCJSONResponseSerializer>();
    other->acceptableStatusCodes_ = acceptableStatusCodes_;
    other->acceptableContentTypes_ = acceptableContentTypes_;
    other->readingOptions_ = readingOptions_;
    other->removesKeysWithNullValues_ = removesKeysWithNullValues_;
    return other;
}
