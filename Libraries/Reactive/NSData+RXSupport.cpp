#include <Reactive/NSData+RXSupport.h>

#include <Foundation/NSError.h>
#include <Reactive/NSObject+RXDescription.h>

namespace {

// The file's bytes, or nil and the error.
Ref<NSData> readFileURL(const Ref<NSURL>& url, NSDataReadingOptions options, Ref<NSError>* error) {
    if (!url || !url->isFileURL()) {
        std::vector<NSDictionary::Entry> entries{
            {NSLocalizedDescriptionKey(), NSString::from("Only file URLs can be read.")}};
        if (url) {
            entries.emplace_back(NSURLErrorKey(), url);
        }
        *error = NSError::errorWithDomainCodeUserInfo(NSCocoaErrorDomain(), NSFileReadUnsupportedSchemeError,
                                                      make<NSDictionary>(entries));
        return nullptr;
    }
    return NSData::dataWithContentsOfFileOptionsError(url->path(), options, error);
}

} // namespace

Ref<RXReplaySubject> rx_readContentsOfURLOptionsScheduler(const Ref<NSURL>& url, NSDataReadingOptions options,
                                                          const Ref<RXScheduler>& scheduler) {
    auto subject = RXReplaySubject::subject();
    subject->setNameWithFormat("+rx_readContentsOfURL: %@ options: %lu scheduler: %@", url, options, scheduler);
    Ref<NSURL> source = url;
    scheduler->schedule([subject, source, options] {
        Ref<NSError> error;
        Ref<NSData> data = readFileURL(source, options, &error);
        if (!data) {
            subject->sendError(error);
            return;
        }
        subject->sendNext(data);
        subject->sendCompleted();
    });
    return subject;
}

Ref<RXReplaySubject> rx_readContentsOfURLUsedEncodingScheduler(const Ref<NSURL>& url, NSStringEncoding* usedEncoding,
                                                               const Ref<RXScheduler>& scheduler) {
    auto subject = RXReplaySubject::subject();
    subject->setNameWithFormat("+rx_readContentsOfURL: %@ usedEncoding:scheduler: %@", url, scheduler);
    Ref<NSURL> source = url;
    scheduler->schedule([subject, source, usedEncoding] {
        Ref<NSError> error;
        Ref<NSData> data = readFileURL(source, 0, &error);
        if (!data) {
            subject->sendError(error);
            return;
        }
        const uint8_t* bytes = data->bytes();
        NSUInteger length = data->length();
        NSStringEncoding encoding = NSUTF8StringEncoding;
        Ref<NSString> text;
        if (length >= 2 && ((bytes[0] == 0xFE && bytes[1] == 0xFF) || (bytes[0] == 0xFF && bytes[1] == 0xFE))) {
            encoding = NSUTF16StringEncoding;
            text = NSString::stringWithDataEncoding(data, encoding);
        } else if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            text = NSString::stringWithBytesLengthEncoding(bytes + 3, length - 3, encoding);
        } else {
            text = NSString::stringWithDataEncoding(data, encoding);
        }
        if (!text) {
            auto userInfo = NSDictionary::dictionaryWithEntries({
                {NSLocalizedDescriptionKey(), NSString::from("The file is not valid text in the encoding found.")},
                {NSStringEncodingErrorKey(), NSNumber::numberWithUnsignedInteger(encoding)},
                {NSURLErrorKey(), source},
            });
            subject->sendError(NSError::errorWithDomainCodeUserInfo(
                NSCocoaErrorDomain(), NSFileReadInapplicableStringEncodingError, userInfo));
            return;
        }
        if (usedEncoding) {
            *usedEncoding = encoding;
        }
        subject->sendNext(text);
        subject->sendCompleted();
    });
    return subject;
}
