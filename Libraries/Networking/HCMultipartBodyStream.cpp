#include <Networking/HCMultipartBodyStream.h>

#include <Runtime/ClassBuilder.h>

#include <cerrno>
#include <chrono>
#include <thread>

NS_IMPLEMENT_CLASS(HCMultipartBodyStream, NSInputStream) {
    b.conformsTo(NSCopyingProtocol());
}

HCMultipartBodyStream::HCMultipartBodyStream(NSStringEncoding encoding)
    : stringEncoding_(encoding), parts_(NSMutableArray::array()) {}

void HCMultipartBodyStream::setInitialAndFinalBoundaries() {
    if (parts_->count() == 0) {
        return;
    }
    for (const auto& item : *parts_) {
        auto part = cast<HCHTTPBodyPart>(item);
        part->setHasInitialBoundary(false);
        part->setHasFinalBoundary(false);
    }
    cast<HCHTTPBodyPart>(parts_->firstObject())->setHasInitialBoundary(true);
    cast<HCHTTPBodyPart>(parts_->lastObject())->setHasFinalBoundary(true);
}

void HCMultipartBodyStream::appendHTTPBodyPart(const Ref<HCHTTPBodyPart>& part) {
    parts_->addObject(part);
}

bool HCMultipartBodyStream::isEmpty() const {
    return parts_->count() == 0;
}

unsigned long long HCMultipartBodyStream::contentLength() const {
    unsigned long long length = 0;
    for (const auto& item : *parts_) {
        length += cast<HCHTTPBodyPart>(item)->contentLength();
    }
    return length;
}

void HCMultipartBodyStream::open() {
    std::lock_guard lock(streamLock_);
    if (status_ == NSStreamStatusOpen) {
        return;
    }
    status_ = NSStreamStatusOpen;
    setInitialAndFinalBoundaries();
    nextPart_ = 0;
    enumerating_ = true;
    currentPart_ = nullptr;
}

void HCMultipartBodyStream::close() {
    std::lock_guard lock(streamLock_);
    status_ = NSStreamStatusClosed;
}

NSInteger HCMultipartBodyStream::readMaxLength(uint8_t* buffer, NSUInteger length) {
    if (streamStatus() == NSStreamStatusClosed) {
        return 0;
    }
    uint64_t cap = std::min<uint64_t>(length, numberOfBytesInPacket_);
    if (cap == 0) {
        return 0;
    }
    NSInteger total = 0;
    while (static_cast<uint64_t>(total) < cap) {
        if (!currentPart_ || !currentPart_->hasBytesAvailable()) {
            if (!enumerating_ || nextPart_ >= parts_->count()) {
                break;
            }
            currentPart_ = cast<HCHTTPBodyPart>(parts_->objectAtIndex(nextPart_++));
            continue;
        }
        NSInteger read = currentPart_->readMaxLength(buffer + total, static_cast<NSUInteger>(cap - total));
        if (read == -1) {
            auto error = currentPart_->readError();
            if (!error) {
                error = make<NSError>(NSPOSIXErrorDomain(), EIO);
            }
            // The body cannot go on: the stream fails, so that its reader stops at once.
            std::lock_guard lock(streamLock_);
            streamError_ = error;
            status_ = NSStreamStatusError;
            break;
        }
        total += read;
        if (delay_ > 0) {
            // Throttling: the caller asked for a pause after each part read.
            std::this_thread::sleep_for(std::chrono::duration<double>(delay_));
        }
    }
    return total;
}

bool HCMultipartBodyStream::hasBytesAvailable() {
    return streamStatus() == NSStreamStatusOpen;
}

NSStreamStatus HCMultipartBodyStream::streamStatus() const {
    std::lock_guard lock(streamLock_);
    return status_;
}

Ref<NSError> HCMultipartBodyStream::streamError() const {
    std::lock_guard lock(streamLock_);
    return streamError_;
}

id HCMultipartBodyStream::copy() const {
    auto stream = make<HCMultipartBodyStream>(stringEncoding_);
    for (const auto& part : *parts_) {
        stream->appendHTTPBodyPart(cast<HCHTTPBodyPart>(part->copy()));
    }
    stream->setInitialAndFinalBoundaries();
    return stream;
}
