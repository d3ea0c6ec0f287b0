// Internal: the byte sources behind input streams and the sinks behind output streams.
#pragma once

#include <Network/NSInputStream.h>
#include <Network/NSOutputStream.h>

#include <condition_variable>
#include <deque>
#include <mutex>

struct NSInputStream::Source {
    virtual ~Source() = default;
    // False with an error when the source cannot be opened.
    virtual bool open(Ref<NSError>* error) = 0;
    // Bytes read; 0 at the end; -1 with an error.
    virtual NSInteger read(uint8_t* buffer, NSUInteger length, Ref<NSError>* error) = 0;
    virtual bool hasBytesAvailable() = 0;
    virtual void close() = 0;
    virtual id property(const Ref<NSString>& key) { return nullptr; }
    virtual bool setProperty(const id& value, const Ref<NSString>& key) { return false; }
    // False for a source that never waits for bytes.
    virtual bool setAvailabilityHandler(std::function<void()> handler) { return false; }
};

struct NSOutputStream::Sink {
    virtual ~Sink() = default;
    virtual bool open(Ref<NSError>* error) = 0;
    // Bytes written; 0 when the sink is full for good; -1 with an error.
    virtual NSInteger write(const uint8_t* buffer, NSUInteger length, Ref<NSError>* error) = 0;
    virtual bool hasSpaceAvailable() = 0;
    virtual void close() = 0;
    virtual id property(const Ref<NSString>& key) { return nullptr; }
};

namespace ns_stream {

Ref<NSError> posixError(int code);

// The shared buffer of a bound pair.
struct BoundBuffer {
    explicit BoundBuffer(size_t capacity) : capacity(capacity ? capacity : 1) {}
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<uint8_t> bytes;
    size_t capacity;
    bool writerClosed = false;
    bool readerClosed = false;
    std::function<void()> availabilityHandler;
    void notifyReader(std::unique_lock<std::mutex>& lock);
};

std::shared_ptr<NSInputStream::Source> boundSource(std::shared_ptr<BoundBuffer> buffer);
std::shared_ptr<NSOutputStream::Sink> boundSink(std::shared_ptr<BoundBuffer> buffer);

} // namespace ns_stream
