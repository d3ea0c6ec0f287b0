#include <Networking/HCHTTPBodyPart.h>

#include <Network/NSURLRequest.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>

#include <cstring>

NS_IMPLEMENT_CLASS(HCHTTPBodyPart, NSObject) {
    b.conformsTo(NSCopyingProtocol());
}

Ref<NSError> HCHTTPBodyPart::readError() const {
    return readError_;
}

Ref<NSError> HCHTTPBodyPart::lengthError(bool longer) const {
    auto text = NSString::stringWithFormat("A multipart body part %s its declared length (%llu bytes).",
                                           longer ? "yields more bytes than" : "ended before", bodyContentLength_);
    return make<NSError>(NSURLErrorDomain(), NSURLErrorRequestBodyStreamExhausted,
                         NSDictionary::dictionaryWithEntries({{NSLocalizedDescriptionKey(), text}}));
}

namespace {
enum Phase { EncapsulationBoundary = 1, Headers = 2, Body = 3, FinalBoundary = 4 };
constexpr const char* kCRLF = "\r\n";
} // namespace

HCHTTPBodyPart::HCHTTPBodyPart() {
    transitionToNextPhase();
}

HCHTTPBodyPart::~HCHTTPBodyPart() {
    if (inputStream_) {
        inputStream_->close();
    }
}

Ref<NSInputStream> HCHTTPBodyPart::inputStream() {
    if (!inputStream_) {
        if (auto data = cast<NSData>(body_)) {
            inputStream_ = NSInputStream::inputStreamWithData(data);
        } else if (auto url = cast<NSURL>(body_)) {
            inputStream_ = NSInputStream::inputStreamWithURL(url);
        } else if (auto stream = cast<NSInputStream>(body_)) {
            inputStream_ = stream;
        }
        if (!inputStream_) {
            inputStream_ = NSInputStream::inputStreamWithData(NSData::data());
        }
    }
    return inputStream_;
}

Ref<NSData> HCHTTPBodyPart::encapsulationBoundaryData() const {
    auto text = hasInitialBoundary_ ? NSString::stringWithFormat("--%@%s", boundary_, kCRLF)
                                    : NSString::stringWithFormat("%s--%@%s", kCRLF, boundary_, kCRLF);
    return text->dataUsingEncoding(stringEncoding_);
}

Ref<NSData> HCHTTPBodyPart::closingBoundaryData() const {
    if (!hasFinalBoundary_) {
        return NSData::data();
    }
    return NSString::stringWithFormat("%s--%@--%s", kCRLF, boundary_, kCRLF)->dataUsingEncoding(stringEncoding_);
}

Ref<NSString> HCHTTPBodyPart::stringForHeaders() const {
    auto text = NSMutableString::string();
    if (headers_) {
        for (const auto& [field, value] : *headers_) {
            text->appendFormat("%@: %@%s", field, value, kCRLF);
        }
    }
    text->appendString(NSString::from(kCRLF));
    return text;
}

unsigned long long HCHTTPBodyPart::contentLength() const {
    auto lengthOf = [](const Ref<NSData>& data) -> unsigned long long { return data ? data->length() : 0; };
    unsigned long long length = lengthOf(encapsulationBoundaryData());
    length += lengthOf(stringForHeaders()->dataUsingEncoding(stringEncoding_));
    length += bodyContentLength_;
    length += lengthOf(closingBoundaryData());
    return length;
}

bool HCHTTPBodyPart::hasBytesAvailable() {
    if (phase_ == FinalBoundary) {
        return true;
    }
    switch (inputStream()->streamStatus()) {
    case NSStreamStatusNotOpen:
    case NSStreamStatusOpening:
    case NSStreamStatusOpen:
    case NSStreamStatusReading:
    case NSStreamStatusWriting:
        return true;
    default:
        return false;
    }
}

NSInteger HCHTTPBodyPart::readMaxLength(uint8_t* buffer, NSUInteger length) {
    NSUInteger total = 0;
    if (phase_ == EncapsulationBoundary) {
        total += static_cast<NSUInteger>(readDataIntoBufferMaxLength(encapsulationBoundaryData(), buffer, length));
    }
    if (phase_ == Headers) {
        total += static_cast<NSUInteger>(readDataIntoBufferMaxLength(
            stringForHeaders()->dataUsingEncoding(stringEncoding_), buffer + total, length - total));
    }
    if (phase_ == Body) {
        // The content is read up to its declared length, which the request's Content-Length counts
        // on: a stream that has more, or ends early, fails the read rather than shift the body.
        unsigned long long left = bodyContentLength_ - std::min(bodyRead_, bodyContentLength_);
        NSInteger read = 0;
        if (length > total && left > 0) {
            read = inputStream()->readMaxLength(
                buffer + total, static_cast<NSUInteger>(std::min<unsigned long long>(length - total, left)));
        }
        if (read == -1) {
            readError_ = inputStream()->streamError();
            return -1;
        }
        total += static_cast<NSUInteger>(read);
        bodyRead_ += static_cast<unsigned long long>(read);
        NSStreamStatus status = inputStream()->streamStatus();
        if (status == NSStreamStatusError) {
            readError_ = inputStream()->streamError();
            return -1;
        }
        bool ended = status == NSStreamStatusAtEnd || status == NSStreamStatusClosed;
        if (!ended && bodyRead_ >= bodyContentLength_) {
            uint8_t probe = 0;
            NSInteger more = inputStream()->readMaxLength(&probe, 1);
            if (more != 0) {
                readError_ = more < 0 ? inputStream()->streamError() : lengthError(true);
                return -1;
            }
            ended = true;
        } else if (ended && bodyRead_ < bodyContentLength_) {
            readError_ = lengthError(false);
            return -1;
        }
        if (ended) {
            transitionToNextPhase();
        }
    }
    if (phase_ == FinalBoundary) {
        total +=
            static_cast<NSUInteger>(readDataIntoBufferMaxLength(closingBoundaryData(), buffer + total, length - total));
    }
    return static_cast<NSInteger>(total);
}

NSInteger HCHTTPBodyPart::readDataIntoBufferMaxLength(const Ref<NSData>& data, uint8_t* buffer, NSUInteger length) {
    unsigned long long available = data->length() > phaseReadOffset_ ? data->length() - phaseReadOffset_ : 0;
    NSUInteger count = static_cast<NSUInteger>(std::min<unsigned long long>(available, length));
    if (count > 0) {
        std::memcpy(buffer, data->bytes() + phaseReadOffset_, count);
    }
    phaseReadOffset_ += count;
    if (phaseReadOffset_ >= data->length()) {
        transitionToNextPhase();
    }
    return static_cast<NSInteger>(count);
}

// The body's stream needs no run loop here, so the phases change on the reading thread itself.
bool HCHTTPBodyPart::transitionToNextPhase() {
    switch (phase_) {
    case EncapsulationBoundary:
        phase_ = Headers;
        break;
    case Headers:
        inputStream()->open();
        phase_ = Body;
        break;
    case Body:
        inputStream()->close();
        phase_ = FinalBoundary;
        break;
    default:
        phase_ = EncapsulationBoundary;
        break;
    }
    phaseReadOffset_ = 0;
    return true;
}

id HCHTTPBodyPart::copy() const {
    auto part = make<HCHTTPBodyPart>();
    part->stringEncoding_ = stringEncoding_;
    part->headers_ = headers_;
    part->bodyContentLength_ = bodyContentLength_;
    part->body_ = body_;
    part->boundary_ = boundary_;
    return part;
}
