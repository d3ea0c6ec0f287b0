#include <Network/NSOutputStream.h>
#include <Network/StreamEndpoints.h>

#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

NS_IMPLEMENT_CLASS(NSOutputStream, NSStream) {}

namespace {

struct MemorySink : NSOutputStream::Sink {
    bool open(Ref<NSError>*) override { return true; }
    NSInteger write(const uint8_t* buffer, NSUInteger length, Ref<NSError>*) override {
        std::lock_guard lock(mutex);
        bytes.insert(bytes.end(), buffer, buffer + length);
        return static_cast<NSInteger>(length);
    }
    bool hasSpaceAvailable() override { return true; }
    void close() override {}
    id property(const Ref<NSString>& key) override {
        if (!key->isEqualToString(NSStreamDataWrittenToMemoryStreamKey())) {
            return nullptr;
        }
        std::lock_guard lock(mutex);
        return NSData::dataWithVector(bytes);
    }
    std::mutex mutex;
    std::vector<uint8_t> bytes;
};

struct BufferSink : NSOutputStream::Sink {
    BufferSink(uint8_t* b, NSUInteger c) : buffer(b), capacity(c) {}
    bool open(Ref<NSError>*) override { return true; }
    NSInteger write(const uint8_t* in, NSUInteger length, Ref<NSError>*) override {
        size_t n = std::min<size_t>(length, capacity - used);
        if (n > 0) {
            std::memcpy(buffer + used, in, n);
        }
        used += n;
        return static_cast<NSInteger>(n);
    }
    bool hasSpaceAvailable() override { return used < capacity; }
    void close() override {}
    uint8_t* buffer;
    size_t capacity;
    size_t used = 0;
};

struct FileSink : NSOutputStream::Sink {
    FileSink(std::string p, bool a) : path(std::move(p)), append(a) {}
    ~FileSink() override { close(); }
    bool open(Ref<NSError>* error) override {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0644);
        if (fd < 0) {
            *error = ns_stream::posixError(errno);
            return false;
        }
        return true;
    }
    NSInteger write(const uint8_t* buffer, NSUInteger length, Ref<NSError>* error) override {
        ssize_t n;
        do {
            n = ::write(fd, buffer, length);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            *error = ns_stream::posixError(errno);
            return -1;
        }
        return n;
    }
    bool hasSpaceAvailable() override { return fd >= 0; }
    void close() override {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    id property(const Ref<NSString>& key) override {
        if (!key->isEqualToString(NSStreamFileCurrentOffsetKey()) || fd < 0) {
            return nullptr;
        }
        off_t at = ::lseek(fd, 0, SEEK_CUR);
        return at < 0 ? nullptr : id(NSNumber::numberWithUnsignedLongLong(static_cast<unsigned long long>(at)));
    }
    std::string path;
    bool append;
    int fd = -1;
};

} // namespace

NSOutputStream::~NSOutputStream() {
    if (sink_) {
        sink_->close();
    }
}

Ref<NSOutputStream> NSOutputStream::outputStreamToMemory() {
    return make<NSOutputStream>(std::make_shared<MemorySink>());
}

Ref<NSOutputStream> NSOutputStream::outputStreamToBufferCapacity(uint8_t* buffer, NSUInteger capacity) {
    return make<NSOutputStream>(std::make_shared<BufferSink>(buffer, buffer ? capacity : 0));
}

Ref<NSOutputStream> NSOutputStream::outputStreamToFileAtPathAppend(const Ref<NSString>& path, bool append) {
    return make<NSOutputStream>(std::make_shared<FileSink>(path ? path->str() : std::string(), append));
}

Ref<NSOutputStream> NSOutputStream::outputStreamWithURLAppend(const Ref<NSURL>& url, bool append) {
    if (!url || !url->isFileURL()) {
        return nullptr;
    }
    return outputStreamToFileAtPathAppend(url->path(), append);
}

void NSOutputStream::open() {
    if (!openWith([this](Ref<NSError>* error) { return !sink_ || sink_->open(error); })) {
        return;
    }
    postEvent(NSStreamEventHasSpaceAvailable);
}

void NSOutputStream::close() {
    std::lock_guard lock(streamLock_);
    if (status_ == NSStreamStatusNotOpen || status_ == NSStreamStatusClosed) {
        return;
    }
    if (sink_) {
        sink_->close();
    }
    status_ = NSStreamStatusClosed;
}

NSInteger NSOutputStream::writeMaxLength(const uint8_t* buffer, NSUInteger length) {
    if (!sink_) {
        return -1;
    }
    {
        std::lock_guard lock(streamLock_);
        if (status_ == NSStreamStatusAtEnd) {
            return 0;
        }
        if (status_ != NSStreamStatusOpen || (!buffer && length > 0)) {
            return -1;
        }
        status_ = NSStreamStatusWriting;
    }
    Ref<NSError> error;
    // Outside the lock: a bound pair's write waits for its reader.
    NSInteger n = length == 0 ? 0 : sink_->write(buffer, length, &error);
    bool full = false;
    {
        std::lock_guard lock(streamLock_);
        if (status_ == NSStreamStatusWriting) {
            full = n >= 0 && !sink_->hasSpaceAvailable() && !dynamic_cast<MemorySink*>(sink_.get());
            status_ = full && dynamic_cast<BufferSink*>(sink_.get()) ? NSStreamStatusAtEnd : NSStreamStatusOpen;
        }
    }
    if (n < 0) {
        failWithError(error);
    }
    return n;
}

bool NSOutputStream::hasSpaceAvailable() {
    std::lock_guard lock(streamLock_);
    return sink_ && status_ == NSStreamStatusOpen && sink_->hasSpaceAvailable();
}

id NSOutputStream::propertyForKey(const Ref<NSString>& key) const {
    std::lock_guard lock(streamLock_);
    return sink_ && key ? sink_->property(key) : nullptr;
}
