#include <Network/NSStream.h>
#include <Network/StreamEndpoints.h>

#include <Runtime/ClassBuilder.h>

#include <cstring>

NS_IMPLEMENT_CLASS(NSStream, NSObject) {}

const Ref<NSString>& NSStreamDataWrittenToMemoryStreamKey() {
    static const Ref<NSString>& key = *new Ref<NSString>("kCFStreamPropertyDataWritten"_ns);
    return key;
}

const Ref<NSString>& NSStreamFileCurrentOffsetKey() {
    static const Ref<NSString>& key = *new Ref<NSString>("kCFStreamPropertyFileCurrentOffset"_ns);
    return key;
}

Protocol* NSCopyingProtocol() {
    static Protocol* protocol = objc_registerProtocol(new Protocol("NSCopying", {{SEL("copyWithZone:"), "@@:^v"}}, {}));
    return protocol;
}

void NSStream::open() {
    std::lock_guard lock(streamLock_);
    if (status_ == NSStreamStatusNotOpen) {
        status_ = NSStreamStatusOpen;
    }
}

void NSStream::close() {
    std::lock_guard lock(streamLock_);
    if (status_ != NSStreamStatusNotOpen) {
        status_ = NSStreamStatusClosed;
    }
}

NSStreamStatus NSStream::streamStatus() const {
    std::lock_guard lock(streamLock_);
    return status_;
}

Ref<NSError> NSStream::streamError() const {
    std::lock_guard lock(streamLock_);
    return error_;
}

NSObject* NSStream::delegate() const {
    std::lock_guard lock(streamLock_);
    return delegate_.lock().get();
}

void NSStream::setDelegate(NSObject* delegate) {
    std::lock_guard lock(streamLock_);
    delegate_ = delegate;
}

id NSStream::propertyForKey(const Ref<NSString>& key) const {
    return nullptr;
}

bool NSStream::setPropertyForKey(const id& property, const Ref<NSString>& key) {
    return false;
}

void NSStream::scheduleInRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode) {}

void NSStream::removeFromRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode) {}

void NSStream::setStatus(NSStreamStatus status) {
    std::lock_guard lock(streamLock_);
    status_ = status;
}

bool NSStream::openWith(const std::function<bool(Ref<NSError>*)>& openEndpoint) {
    Ref<NSError> error;
    {
        std::lock_guard lock(streamLock_);
        if (status_ != NSStreamStatusNotOpen) {
            return false;
        }
        if (openEndpoint(&error)) {
            status_ = NSStreamStatusOpen;
            error = nullptr;
        }
    }
    if (error) {
        failWithError(error);
        return false;
    }
    postEvent(NSStreamEventOpenCompleted);
    return true;
}

void NSStream::failWithError(const Ref<NSError>& error) {
    {
        std::lock_guard lock(streamLock_);
        status_ = NSStreamStatusError;
        error_ = error;
    }
    postEvent(NSStreamEventErrorOccurred);
}

void NSStream::postEvent(NSStreamEvent event) {}

void NSStream::getBoundStreamsWithBufferSize(NSUInteger bufferSize, Ref<NSInputStream>* inputStream,
                                             Ref<NSOutputStream>* outputStream) {
    auto buffer = std::make_shared<ns_stream::BoundBuffer>(bufferSize);
    if (inputStream) {
        *inputStream = make<NSInputStream>(ns_stream::boundSource(buffer));
    }
    if (outputStream) {
        *outputStream = make<NSOutputStream>(ns_stream::boundSink(buffer));
    }
}

namespace ns_stream {

Ref<NSError> posixError(int code) {
    return make<NSError>(
        NSPOSIXErrorDomain(), code,
        NSDictionary::dictionaryWithEntries({{NSLocalizedDescriptionKey(), NSString::from(strerror(code))}}));
}

void BoundBuffer::notifyReader(std::unique_lock<std::mutex>& lock) {
    changed.notify_all();
    auto handler = availabilityHandler;
    lock.unlock();
    if (handler) {
        handler();
    }
    lock.lock();
}

namespace {

struct BoundSource : NSInputStream::Source {
    explicit BoundSource(std::shared_ptr<BoundBuffer> b) : buffer(std::move(b)) {}
    ~BoundSource() override { close(); }
    bool open(Ref<NSError>*) override { return true; }
    NSInteger read(uint8_t* out, NSUInteger length, Ref<NSError>*) override {
        std::unique_lock lock(buffer->mutex);
        buffer->changed.wait(lock, [&] { return !buffer->bytes.empty() || buffer->writerClosed; });
        size_t n = std::min<size_t>(length, buffer->bytes.size());
        std::copy_n(buffer->bytes.begin(), n, out);
        buffer->bytes.erase(buffer->bytes.begin(), buffer->bytes.begin() + static_cast<std::ptrdiff_t>(n));
        buffer->changed.notify_all();
        return static_cast<NSInteger>(n);
    }
    bool hasBytesAvailable() override {
        std::lock_guard lock(buffer->mutex);
        return !buffer->bytes.empty() || buffer->writerClosed;
    }
    void close() override {
        std::lock_guard lock(buffer->mutex);
        buffer->readerClosed = true;
        buffer->availabilityHandler = nullptr;
        buffer->changed.notify_all();
    }
    bool setAvailabilityHandler(std::function<void()> handler) override {
        std::lock_guard lock(buffer->mutex);
        buffer->availabilityHandler = std::move(handler);
        return true;
    }
    std::shared_ptr<BoundBuffer> buffer;
};

struct BoundSink : NSOutputStream::Sink {
    explicit BoundSink(std::shared_ptr<BoundBuffer> b) : buffer(std::move(b)) {}
    ~BoundSink() override { close(); }
    bool open(Ref<NSError>*) override { return true; }
    NSInteger write(const uint8_t* in, NSUInteger length, Ref<NSError>* error) override {
        if (length == 0) {
            return 0;
        }
        std::unique_lock lock(buffer->mutex);
        buffer->changed.wait(lock, [&] { return buffer->bytes.size() < buffer->capacity || buffer->readerClosed; });
        if (buffer->readerClosed) {
            if (error) {
                *error = posixError(EPIPE);
            }
            return -1;
        }
        size_t n = std::min<size_t>(length, buffer->capacity - buffer->bytes.size());
        buffer->bytes.insert(buffer->bytes.end(), in, in + n);
        buffer->notifyReader(lock);
        return static_cast<NSInteger>(n);
    }
    bool hasSpaceAvailable() override {
        std::lock_guard lock(buffer->mutex);
        return buffer->bytes.size() < buffer->capacity || buffer->readerClosed;
    }
    void close() override {
        std::unique_lock lock(buffer->mutex);
        if (buffer->writerClosed) {
            return;
        }
        buffer->writerClosed = true;
        buffer->notifyReader(lock);
    }
    std::shared_ptr<BoundBuffer> buffer;
};

} // namespace

std::shared_ptr<NSInputStream::Source> boundSource(std::shared_ptr<BoundBuffer> buffer) {
    return std::make_shared<BoundSource>(std::move(buffer));
}

std::shared_ptr<NSOutputStream::Sink> boundSink(std::shared_ptr<BoundBuffer> buffer) {
    return std::make_shared<BoundSink>(std::move(buffer));
}

} // namespace ns_stream
