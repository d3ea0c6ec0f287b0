// NSOutputStream: bytes written to memory, a caller's buffer, a file or the reading end of a bound
// pair.
#pragma once

#include <Foundation/NSData.h>
#include <Foundation/NSURL.h>
#include <Network/NSStream.h>

#include <cstdint>
#include <memory>

class NSOutputStream : public NSStream {
    NS_OBJECT(NSOutputStream, NSStream)
public:
    // Where written bytes go. Internal to the streams of this folder.
    struct Sink;

    NSOutputStream() = default;
    explicit NSOutputStream(std::shared_ptr<Sink> sink) : sink_(std::move(sink)) {}
    ~NSOutputStream() override;

    // The written bytes collect in memory (NSStreamDataWrittenToMemoryStreamKey).
    static Ref<NSOutputStream> outputStreamToMemory();
    // At most `capacity` bytes into the caller's buffer; a full buffer ends the stream.
    static Ref<NSOutputStream> outputStreamToBufferCapacity(uint8_t* buffer, NSUInteger capacity);
    static Ref<NSOutputStream> outputStreamToFileAtPathAppend(const Ref<NSString>& path, bool append);
    // A file URL gives a file stream; any other URL gives nil.
    static Ref<NSOutputStream> outputStreamWithURLAppend(const Ref<NSURL>& url, bool append);

    void open() override;
    void close() override;
    // The number of bytes written, which may be fewer than asked; 0 when a fixed buffer is full;
    // -1 on an error or when the stream is not open.
    virtual NSInteger writeMaxLength(const uint8_t* buffer, NSUInteger length);
    virtual bool hasSpaceAvailable();

    // NSStreamDataWrittenToMemoryStreamKey (memory streams, also after closing) and
    // NSStreamFileCurrentOffsetKey (file streams).
    id propertyForKey(const Ref<NSString>& key) const override;

protected:
    std::shared_ptr<Sink> sink_;
};
