#include <Foundation/NSFileHandle.h>
#include <Foundation/NSFileManager.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

NS_IMPLEMENT_CLASS(NSFileHandle, NSObject) {}

namespace {
Ref<NSFileHandle> openAt(const Ref<NSString>& path, int flags) {
    if (!path) {
        return nullptr;
    }
    int fd = ::open(path->UTF8String(), flags | O_CLOEXEC);
    return fd < 0 ? nullptr : make<NSFileHandle>(fd, true);
}

Ref<NSError> ioError(int err) {
    auto underlying = make<NSError>(NSPOSIXErrorDomain(), err);
    return make<NSError>(NSCocoaErrorDomain(), NSFileReadUnknownError,
                         NSDictionary::dictionaryWithEntries(
                             {{NSLocalizedDescriptionKey(), NSString::from(std::string("File handle operation "
                                                                                       "failed: ") +
                                                                           std::strerror(err))},
                              {NSUnderlyingErrorKey(), underlying}}));
}

[[noreturn]] void raiseFor(const Ref<NSError>& error, const char* method) {
    NSException::raise(NSFileHandleOperationException,
                       std::string("-[NSFileHandle ") + method +
                           "]: " + (error ? error->localizedDescription()->str() : std::string("failed")));
}
} // namespace

NSFileHandle::NSFileHandle(int fileDescriptor, bool closeOnDealloc)
    : fd_(fileDescriptor), closeOnDealloc_(closeOnDealloc) {}

NSFileHandle::~NSFileHandle() {
    if (closeOnDealloc_ && fd_ >= 0) {
        ::close(fd_);
    }
}

Ref<NSFileHandle> NSFileHandle::fileHandleForReadingAtPath(const Ref<NSString>& path) {
    return openAt(path, O_RDONLY);
}

Ref<NSFileHandle> NSFileHandle::fileHandleForWritingAtPath(const Ref<NSString>& path) {
    return openAt(path, O_WRONLY);
}

Ref<NSFileHandle> NSFileHandle::fileHandleForUpdatingAtPath(const Ref<NSString>& path) {
    return openAt(path, O_RDWR);
}

Ref<NSFileHandle> NSFileHandle::fileHandleWithStandardInput() {
    return make<NSFileHandle>(STDIN_FILENO, false);
}

Ref<NSFileHandle> NSFileHandle::fileHandleWithStandardOutput() {
    return make<NSFileHandle>(STDOUT_FILENO, false);
}

Ref<NSFileHandle> NSFileHandle::fileHandleWithStandardError() {
    return make<NSFileHandle>(STDERR_FILENO, false);
}

Ref<NSFileHandle> NSFileHandle::fileHandleWithNullDevice() {
    return openAt(NSString::from("/dev/null"), O_RDWR);
}

int NSFileHandle::fileDescriptor() const {
    std::lock_guard lock(lock_);
    return fd_;
}

bool NSFileHandle::checkOpen(Ref<NSError>* error) const {
    if (fd_ >= 0) {
        return true;
    }
    ns_file::setError(error, ioError(EBADF));
    return false;
}

Ref<NSData> NSFileHandle::read(size_t limit, bool untilEnd, bool onlyAvailable, Ref<NSError>* error) {
    std::lock_guard lock(lock_);
    if (!checkOpen(error)) {
        return nullptr;
    }
    struct stat st {};
    bool regular = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
    if (onlyAvailable && regular) {
        untilEnd = true;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    while (bytes.size() < limit) {
        size_t want = std::min(sizeof chunk, limit - bytes.size());
        ssize_t n = ::read(fd_, chunk, want);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ns_file::setError(error, ioError(errno));
            return nullptr;
        }
        if (n == 0) {
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (onlyAvailable && !untilEnd) {
            break;
        }
    }
    return NSData::dataWithVector(std::move(bytes));
}

Ref<NSData> NSFileHandle::orRaise(Ref<NSData> data, const Ref<NSError>& error, const char* method) {
    if (!data) {
        raiseFor(error, method);
    }
    return data;
}

Ref<NSData> NSFileHandle::readDataToEndOfFile() {
    Ref<NSError> error;
    return orRaise(readDataToEndOfFileAndReturnError(&error), error, "readDataToEndOfFile");
}

Ref<NSData> NSFileHandle::readDataToEndOfFileAndReturnError(Ref<NSError>* error) {
    return read(SIZE_MAX, true, false, error);
}

Ref<NSData> NSFileHandle::readDataOfLength(NSUInteger length) {
    Ref<NSError> error;
    return orRaise(readDataUpToLengthError(length, &error), error, "readDataOfLength:");
}

Ref<NSData> NSFileHandle::readDataUpToLengthError(NSUInteger length, Ref<NSError>* error) {
    return read(length, false, false, error);
}

Ref<NSData> NSFileHandle::availableData() {
    Ref<NSError> error;
    return orRaise(availableDataError(&error), error, "availableData");
}

Ref<NSData> NSFileHandle::availableDataError(Ref<NSError>* error) {
    return read(SIZE_MAX, false, true, error);
}

void NSFileHandle::writeData(const Ref<NSData>& data) {
    Ref<NSError> error;
    if (!writeDataError(data, &error)) {
        raiseFor(error, "writeData:");
    }
}

bool NSFileHandle::writeDataError(const Ref<NSData>& data, Ref<NSError>* error) {
    std::lock_guard lock(lock_);
    if (!checkOpen(error)) {
        return false;
    }
    size_t length = data ? data->length() : 0, done = 0;
    while (done < length) {
        ssize_t n = ::write(fd_, data->bytes() + done, length - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ns_file::setError(error, ioError(errno));
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

unsigned long long NSFileHandle::offsetInFile() {
    std::lock_guard lock(lock_);
    off_t at = fd_ >= 0 ? ::lseek(fd_, 0, SEEK_CUR) : -1;
    if (at < 0) {
        raiseFor(ioError(fd_ >= 0 ? errno : EBADF), "offsetInFile");
    }
    return static_cast<unsigned long long>(at);
}

unsigned long long NSFileHandle::seekToEndOfFile() {
    std::lock_guard lock(lock_);
    off_t at = fd_ >= 0 ? ::lseek(fd_, 0, SEEK_END) : -1;
    if (at < 0) {
        raiseFor(ioError(fd_ >= 0 ? errno : EBADF), "seekToEndOfFile");
    }
    return static_cast<unsigned long long>(at);
}

void NSFileHandle::seekToFileOffset(unsigned long long offset) {
    std::lock_guard lock(lock_);
    if (fd_ < 0 || ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
        raiseFor(ioError(fd_ >= 0 ? errno : EBADF), "seekToFileOffset:");
    }
}

void NSFileHandle::truncateFileAtOffset(unsigned long long offset) {
    std::lock_guard lock(lock_);
    if (fd_ < 0 || ::ftruncate(fd_, static_cast<off_t>(offset)) != 0 ||
        ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
        raiseFor(ioError(fd_ >= 0 ? errno : EBADF), "truncateFileAtOffset:");
    }
}

void NSFileHandle::synchronizeFile() {
    std::lock_guard lock(lock_);
    if (fd_ < 0 || (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS)) {
        raiseFor(ioError(fd_ >= 0 ? errno : EBADF), "synchronizeFile");
    }
}

void NSFileHandle::closeFile() {
    Ref<NSError> error;
    (void)closeAndReturnError(&error); // closeFile reports nothing
}

bool NSFileHandle::closeAndReturnError(Ref<NSError>* error) {
    std::lock_guard lock(lock_);
    if (fd_ < 0) {
        return true;
    }
    int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0 && errno != EINTR) {
        ns_file::setError(error, ioError(errno));
        return false;
    }
    return true;
}
