#include <Network/NSInputStream.h>
#include <Network/StreamEndpoints.h>

#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

NS_IMPLEMENT_CLASS(NSInputStream, NSStream) {}

namespace {

struct DataSource : NSInputStream::Source {
    explicit DataSource(Ref<NSData> d) : data(d ? std::move(d) : NSData::data()) {}
    bool open(Ref<NSError>*) override { return true; }
    NSInteger read(uint8_t* buffer, NSUInteger length, Ref<NSError>*) override {
        size_t n = std::min<size_t>(length, data->length() - offset);
        if (n > 0) {
            std::memcpy(buffer, data->bytes() + offset, n);
        }
        offset += n;
        return static_cast<NSInteger>(n);
    }
    bool hasBytesAvailable() override { return offset < data->length(); }
    void close() override {}
    Ref<NSData> data;
    size_t offset = 0;
};

struct FileSource : NSInputStream::Source {
    explicit FileSource(std::string p) : path(std::move(p)) {}
    ~FileSource() override { close(); }
    bool open(Ref<NSError>* error) override {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            *error = ns_stream::posixError(errno);
            return false;
        }
        if (pendingOffset >= 0) {
            ::lseek(fd, pendingOffset, SEEK_SET);
        }
        return true;
    }
    NSInteger read(uint8_t* buffer, NSUInteger length, Ref<NSError>* error) override {
        ssize_t n;
        do {
            n = ::read(fd, buffer, length);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            *error = ns_stream::posixError(errno);
            return -1;
        }
        atEnd = n == 0 && length > 0;
        return n;
    }
    bool hasBytesAvailable() override { return fd >= 0 && !atEnd; }
    void close() override {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    id property(const Ref<NSString>& key) override {
        if (key->isEqualToString(NSStreamFileCurrentOffsetKey())) {
            off_t at = fd >= 0 ? ::lseek(fd, 0, SEEK_CUR) : std::max<off_t>(pendingOffset, 0);
            return at < 0 ? nullptr : id(NSNumber::numberWithUnsignedLongLong(static_cast<unsigned long long>(at)));
        }
        return nullptr;
    }
    bool setProperty(const id& value, const Ref<NSString>& key) override {
        auto number = cast<NSNumber>(value);
        if (!number || !key->isEqualToString(NSStreamFileCurrentOffsetKey())) {
            return false;
        }
        off_t at = static_cast<off_t>(number->unsignedLongLongValue());
        if (fd < 0) {
            pendingOffset = at;
            return true;
        }
        atEnd = false;
        return ::lseek(fd, at, SEEK_SET) == at;
    }
    std::string path;
    int fd = -1;
    bool atEnd = false;
    off_t pendingOffset = -1;
};

} // namespace

NSInputStream::NSInputStream(const Ref<NSData>& data) : source_(std::make_shared<DataSource>(data)) {}

NSInputStream::NSInputStream(const Ref<NSString>& path)
    : source_(std::make_shared<FileSource>(path ? path->str() : std::string())) {}

NSInputStream::~NSInputStream() {
    if (source_) {
        source_->close();
    }
}

Ref<NSInputStream> NSInputStream::inputStreamWithData(const Ref<NSData>& data) {
    return make<NSInputStream>(data);
}

Ref<NSInputStream> NSInputStream::inputStreamWithFileAtPath(const Ref<NSString>& path) {
    return make<NSInputStream>(path);
}

Ref<NSInputStream> NSInputStream::inputStreamWithURL(const Ref<NSURL>& url) {
    if (!url || !url->isFileURL()) {
        return nullptr;
    }
    return make<NSInputStream>(url->path());
}

void NSInputStream::open() {
    if (!openWith([this](Ref<NSError>* error) { return !source_ || source_->open(error); })) {
        return;
    }
    if (hasBytesAvailable()) {
        postEvent(NSStreamEventHasBytesAvailable);
    }
}

void NSInputStream::close() {
    std::lock_guard lock(streamLock_);
    if (status_ == NSStreamStatusNotOpen || status_ == NSStreamStatusClosed) {
        return;
    }
    if (source_) {
        source_->close();
    }
    status_ = NSStreamStatusClosed;
}

NSInteger NSInputStream::readMaxLength(uint8_t* buffer, NSUInteger length) {
    if (!source_) {
        return -1;
    }
    Ref<NSError> error;
    NSInteger n;
    {
        std::lock_guard lock(streamLock_);
        if (status_ == NSStreamStatusAtEnd) {
            return 0;
        }
        if (status_ != NSStreamStatusOpen || !buffer) {
            return -1;
        }
        status_ = NSStreamStatusReading;
    }
    // The read itself runs outside the lock: a bound pair's read waits for its writer.
    n = source_->read(buffer, length, &error);
    {
        std::lock_guard lock(streamLock_);
        if (status_ == NSStreamStatusReading) {
            status_ = n == 0 && length > 0 ? NSStreamStatusAtEnd : NSStreamStatusOpen;
        }
    }
    if (n < 0) {
        failWithError(error);
    } else if (n == 0 && length > 0) {
        postEvent(NSStreamEventEndEncountered);
    }
    return n;
}

bool NSInputStream::getBufferLength(uint8_t** buffer, NSUInteger* length) {
    return false;
}

bool NSInputStream::hasBytesAvailable() {
    std::lock_guard lock(streamLock_);
    return source_ && status_ == NSStreamStatusOpen && source_->hasBytesAvailable();
}

id NSInputStream::propertyForKey(const Ref<NSString>& key) const {
    std::lock_guard lock(streamLock_);
    return source_ && key ? source_->property(key) : nullptr;
}

bool NSInputStream::setPropertyForKey(const id& property, const Ref<NSString>& key) {
    std::lock_guard lock(streamLock_);
    return source_ && key && source_->setProperty(property, key);
}

bool NSInputStream::setAvailabilityHandler(std::function<void()> handler) {
    return source_ && source_->setAvailabilityHandler(std::move(handler));
}
