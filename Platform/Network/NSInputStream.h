// NSInputStream: bytes read from memory, a file or the other end of a bound pair. Subclasses
// that produce their own bytes (such as a multipart body) override the reading operations.
#pragma once

#include <Foundation/NSData.h>
#include <Foundation/NSURL.h>
#include <Network/NSStream.h>

#include <cstdint>
#include <functional>
#include <memory>

class NSInputStream : public NSStream {
    NS_OBJECT(NSInputStream, NSStream)
public:
    // Where the bytes of a stream come from. Internal to the streams of this folder.
    struct Source;

    NSInputStream() = default;
    // `initWithData:`: the stream reads the data's bytes (taken as they are now).
    explicit NSInputStream(const Ref<NSData>& data);
    // `initWithFileAtPath:`: opening fails (with a POSIX error) when the file cannot be read.
    explicit NSInputStream(const Ref<NSString>& path);
    explicit NSInputStream(std::shared_ptr<Source> source) : source_(std::move(source)) {}
    ~NSInputStream() override;

    static Ref<NSInputStream> inputStreamWithData(const Ref<NSData>& data);
    static Ref<NSInputStream> inputStreamWithFileAtPath(const Ref<NSString>& path);
    // A file URL gives a file stream; any other URL gives nil.
    static Ref<NSInputStream> inputStreamWithURL(const Ref<NSURL>& url);

    void open() override;
    void close() override;
    // The number of bytes read (0 at the end), or -1 on an error or when the stream is not open.
    virtual NSInteger readMaxLength(uint8_t* buffer, NSUInteger length);
    // Never offers its internal buffer.
    virtual bool getBufferLength(uint8_t** buffer, NSUInteger* length);
    // YES when a read would not wait, or must be tried to learn whether there is more.
    virtual bool hasBytesAvailable();

    // NSStreamFileCurrentOffsetKey for file streams (read and set).
    id propertyForKey(const Ref<NSString>& key) const override;
    bool setPropertyForKey(const id& property, const Ref<NSString>& key) override;

    // Called, on any thread, whenever bytes may have become available (a bound pair's writer wrote
    // or closed). For the URL loading system, which reads bodies without a run loop. Answers NO for
    // a stream that never waits for bytes (a stream without bytes available is then at its end).
    bool setAvailabilityHandler(std::function<void()> handler);

protected:
    std::shared_ptr<Source> source_;
};
