// HCMultipartBodyStream: the request body stream of a multipart form; it reads its parts out one
// after the other as the connection asks for bytes, never holding a file or stream whole.
#pragma once

#include <Foundation/NSArray.h>
#include <Network/NSOutputStream.h>
#include <Networking/HCHTTPBodyPart.h>

#include <cstdint>

class HCMultipartBodyStream : public NSInputStream, public NSStreamDelegate {
    NS_OBJECT(HCMultipartBodyStream, NSInputStream)
public:
    // `initWithStringEncoding:`.
    explicit HCMultipartBodyStream(NSStringEncoding encoding);

    NSStringEncoding stringEncoding() const noexcept { return stringEncoding_; }
    const Ref<NSMutableArray>& HTTPBodyParts() const noexcept { return parts_; }
    uint64_t numberOfBytesInPacket() const noexcept { return numberOfBytesInPacket_; }
    void setNumberOfBytesInPacket(uint64_t bytes) { numberOfBytesInPacket_ = bytes; }
    double delay() const noexcept { return delay_; }
    void setDelay(double seconds) { delay_ = seconds; }

    void setInitialAndFinalBoundaries();
    void appendHTTPBodyPart(const Ref<HCHTTPBodyPart>& part);
    bool isEmpty() const;
    unsigned long long contentLength() const;

    void open() override;
    void close() override;
    NSInteger readMaxLength(uint8_t* buffer, NSUInteger length) override;
    bool getBufferLength(uint8_t** buffer, NSUInteger* length) override { return false; }
    bool hasBytesAvailable() override;
    NSStreamStatus streamStatus() const override;
    Ref<NSError> streamError() const override;
    id propertyForKey(const Ref<NSString>& key) const override { return nullptr; }
    bool setPropertyForKey(const id& property, const Ref<NSString>& key) override { return false; }
    void scheduleInRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode) override {}
    void removeFromRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode) override {}

    // A fresh, unread stream over copies of the parts (packet size and delay back to their defaults).
    id copy() const override;

private:
    NSStringEncoding stringEncoding_;
    Ref<NSMutableArray> parts_;
    NSUInteger nextPart_ = 0; // the enumerator over the parts
    bool enumerating_ = false;
    Ref<HCHTTPBodyPart> currentPart_;
    uint64_t numberOfBytesInPacket_ = INT64_MAX;
    double delay_ = 0;
    Ref<NSError> streamError_;
};
