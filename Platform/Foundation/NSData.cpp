#include <Foundation/NSData.h>
#include <Foundation/NSError.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

NS_IMPLEMENT_CLASS(NSData, NSObject) {
    b.readonlyProperty("length", &NSData::length);
}
NS_IMPLEMENT_CLASS(NSMutableData, NSData) {}

namespace {
constexpr NSUInteger kNotFound = static_cast<NSUInteger>(NSNotFound);

[[noreturn]] void raiseRange(const char* op, NSRange range, NSUInteger length) {
    NSException::raise(NSRangeException, std::string("-[NSData ") + op + "]: range {" + std::to_string(range.location) +
                                             ", " + std::to_string(range.length) + "} exceeds data length " +
                                             std::to_string(length));
}

void checkRange(const char* op, NSRange range, NSUInteger length) {
    if (range.location > length || range.length > length - range.location) {
        raiseRange(op, range, length);
    }
}

Ref<NSError> fileError(NSInteger code, int posixError, const Ref<NSString>& path) {
    auto underlying = NSError::errorWithDomainCodeUserInfo(
        NSPOSIXErrorDomain(), posixError,
        NSDictionary::dictionaryWithEntries(
            {{NSLocalizedDescriptionKey(), NSString::from(std::strerror(posixError))}}));
    return NSError::errorWithDomainCodeUserInfo(
        NSCocoaErrorDomain(), code,
        NSDictionary::dictionaryWithEntries(
            {{NSFilePathErrorKey(), path ? id(path) : id(NSString::string())}, {NSUnderlyingErrorKey(), underlying}}));
}

NSInteger readErrorCode(int e) {
    switch (e) {
    case ENOENT:
    case ENOTDIR:
        return NSFileReadNoSuchFileError;
    case EACCES:
    case EPERM:
        return NSFileReadNoPermissionError;
    case ENAMETOOLONG:
        return NSFileReadInvalidFileNameError;
    case EFBIG:
        return NSFileReadTooLargeError;
    default:
        return NSFileReadUnknownError;
    }
}

NSInteger writeErrorCode(int e) {
    switch (e) {
    case ENOENT:
    case ENOTDIR:
        return NSFileNoSuchFileError;
    case EACCES:
    case EPERM:
        return NSFileWriteNoPermissionError;
    case ENAMETOOLONG:
        return NSFileWriteInvalidFileNameError;
    case EEXIST:
        return NSFileWriteFileExistsError;
    case ENOSPC:
    case EDQUOT:
        return NSFileWriteOutOfSpaceError;
    case EROFS:
        return NSFileWriteVolumeReadOnlyError;
    default:
        return NSFileWriteUnknownError;
    }
}

// Writes all bytes to an open descriptor; false with errno set on failure.
bool writeAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// A sibling of `path` that does not exist yet, created exclusively.
int createTemporarySibling(const std::string& path, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[40];
        std::snprintf(suffix, sizeof suffix, ".tmp-%08x%04x", rd(), counter.fetch_add(1) & 0xFFFF);
        tempPath = path + suffix;
        int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

std::string base64Encode(const std::vector<uint8_t>& in, NSDataBase64EncodingOptions options) {
    std::string raw;
    raw.reserve((in.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        uint32_t v = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8) | in[i + 2];
        raw += kAlphabet[(v >> 18) & 63];
        raw += kAlphabet[(v >> 12) & 63];
        raw += kAlphabet[(v >> 6) & 63];
        raw += kAlphabet[v & 63];
    }
    if (i + 1 == in.size()) {
        uint32_t v = uint32_t(in[i]) << 16;
        raw += kAlphabet[(v >> 18) & 63];
        raw += kAlphabet[(v >> 12) & 63];
        raw += "==";
    } else if (i + 2 == in.size()) {
        uint32_t v = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8);
        raw += kAlphabet[(v >> 18) & 63];
        raw += kAlphabet[(v >> 12) & 63];
        raw += kAlphabet[(v >> 6) & 63];
        raw += '=';
    }
    size_t lineLength = (options & NSDataBase64Encoding64CharacterLineLength)   ? 64
                        : (options & NSDataBase64Encoding76CharacterLineLength) ? 76
                                                                                : 0;
    if (lineLength == 0 || raw.size() <= lineLength) {
        return raw;
    }
    std::string ending;
    if (options & NSDataBase64EncodingEndLineWithCarriageReturn) {
        ending += '\r';
    }
    if (options & NSDataBase64EncodingEndLineWithLineFeed) {
        ending += '\n';
    }
    if (ending.empty()) {
        ending = "\r\n";
    }
    std::string out;
    out.reserve(raw.size() + raw.size() / lineLength * ending.size());
    for (size_t pos = 0; pos < raw.size(); pos += lineLength) {
        if (pos) {
            out += ending;
        }
        out.append(raw, pos, lineLength);
    }
    return out;
}

// Strict decoding: groups of four alphabet characters, "=" padding only at the very end (one or
// two, completing the last group). With `ignoreUnknown`, characters outside the alphabet and "="
// are skipped; "=" still ends the data.
bool base64Decode(std::string_view text, bool ignoreUnknown, std::vector<uint8_t>& out) {
    uint32_t acc = 0;
    int have = 0; // sextets in acc
    size_t padding = 0;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '=') {
            ++padding;
            continue;
        }
        int v = base64Value(c);
        if (v < 0) {
            if (ignoreUnknown) {
                continue;
            }
            return false;
        }
        if (padding) {
            return false; // data after padding
        }
        acc = (acc << 6) | static_cast<uint32_t>(v);
        if (++have == 4) {
            out.push_back(static_cast<uint8_t>(acc >> 16));
            out.push_back(static_cast<uint8_t>(acc >> 8));
            out.push_back(static_cast<uint8_t>(acc));
            acc = 0;
            have = 0;
        }
    }
    switch (have) {
    case 0:
        return padding == 0;
    case 2:
        if (padding != 2) {
            return false;
        }
        out.push_back(static_cast<uint8_t>(acc >> 4));
        return true;
    case 3:
        if (padding != 1) {
            return false;
        }
        out.push_back(static_cast<uint8_t>(acc >> 10));
        out.push_back(static_cast<uint8_t>(acc >> 2));
        return true;
    default:
        return false;
    }
}
} // namespace

NSData::NSData(const void* bytes, NSUInteger length) {
    if (length) {
        if (!bytes) {
            NSException::raise(NSInvalidArgumentException, "-[NSData initWithBytes:length:]: NULL bytes");
        }
        bytes_.assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + length);
    }
}

Ref<NSData> NSData::data() {
    return make<NSData>();
}
Ref<NSData> NSData::dataWithBytesLength(const void* bytes, NSUInteger length) {
    return make<NSData>(bytes, length);
}
Ref<NSData> NSData::dataWithVector(std::vector<uint8_t> bytes) {
    return make<NSData>(std::move(bytes));
}
Ref<NSData> NSData::dataWithData(const Ref<NSData>& other) {
    return make<NSData>(other ? other->bytes_ : std::vector<uint8_t>());
}
Ref<NSData> NSData::dataWithString(std::string_view utf8) {
    return make<NSData>(std::vector<uint8_t>(utf8.begin(), utf8.end()));
}

Ref<NSData> NSData::dataWithContentsOfFile(const Ref<NSString>& path) {
    return dataWithContentsOfFileOptionsError(path, 0, nullptr);
}

Ref<NSData> NSData::dataWithContentsOfFileOptionsError(const Ref<NSString>& path, NSDataReadingOptions,
                                                       Ref<NSError>* error) {
    auto fail = [&](int e) -> Ref<NSData> {
        if (error) {
            *error = fileError(readErrorCode(e), e, path);
        }
        return nullptr;
    };
    if (!path || path->str().empty()) {
        return fail(ENOENT);
    }
    int fd = ::open(path->UTF8String(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return fail(errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return fail(EISDIR);
    }
    std::vector<uint8_t> bytes;
    if (st.st_size > 0) {
        bytes.reserve(static_cast<size_t>(st.st_size));
    }
    uint8_t buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            int e = errno;
            ::close(fd);
            return fail(e);
        }
        if (n == 0) {
            break;
        }
        bytes.insert(bytes.end(), buf, buf + n);
    }
    ::close(fd);
    return make<NSData>(std::move(bytes));
}

Ref<NSData> NSData::dataWithBase64EncodedStringOptions(const Ref<NSString>& base64,
                                                       NSDataBase64DecodingOptions options) {
    if (!base64) {
        return nullptr;
    }
    std::vector<uint8_t> out;
    out.reserve(base64->str().size() / 4 * 3);
    if (!base64Decode(base64->str(), options & NSDataBase64DecodingIgnoreUnknownCharacters, out)) {
        return nullptr;
    }
    return make<NSData>(std::move(out));
}

void NSData::getBytesLength(void* buffer, NSUInteger length) const {
    NSUInteger n = std::min<NSUInteger>(length, bytes_.size());
    if (n) {
        std::memcpy(buffer, bytes_.data(), n);
    }
}

void NSData::getBytesRange(void* buffer, NSRange range) const {
    checkRange("getBytes:range:", range, bytes_.size());
    if (range.length) {
        std::memcpy(buffer, bytes_.data() + range.location, range.length);
    }
}

Ref<NSData> NSData::subdataWithRange(NSRange range) const {
    checkRange("subdataWithRange:", range, bytes_.size());
    auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(range.location);
    return make<NSData>(std::vector<uint8_t>(first, first + static_cast<std::ptrdiff_t>(range.length)));
}

NSRange NSData::rangeOfDataOptionsRange(const Ref<NSData>& needle, NSUInteger, NSRange range) const {
    checkRange("rangeOfData:options:range:", range, bytes_.size());
    if (!needle || needle->bytes_.empty()) {
        return {kNotFound, 0};
    }
    auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(range.location);
    auto last = first + static_cast<std::ptrdiff_t>(range.length);
    auto hit = std::search(first, last, needle->bytes_.begin(), needle->bytes_.end());
    if (hit == last) {
        return {kNotFound, 0};
    }
    return {static_cast<NSUInteger>(hit - bytes_.begin()), needle->bytes_.size()};
}

bool NSData::isEqualToData(const Ref<NSData>& other) const noexcept {
    return other && other->bytes_ == bytes_;
}

Ref<NSString> NSData::base64EncodedStringWithOptions(NSDataBase64EncodingOptions options) const {
    return NSString::from(base64Encode(bytes_, options));
}

Ref<NSData> NSData::base64EncodedDataWithOptions(NSDataBase64EncodingOptions options) const {
    return dataWithString(base64Encode(bytes_, options));
}

bool NSData::writeToFileAtomically(const Ref<NSString>& path, bool atomically) const {
    return writeToFileOptionsError(path, atomically ? NSDataWritingAtomic : 0, nullptr);
}

bool NSData::writeToFileOptionsError(const Ref<NSString>& path, NSDataWritingOptions options,
                                     Ref<NSError>* error) const {
    auto fail = [&](int e) {
        if (error) {
            *error = fileError(writeErrorCode(e), e, path);
        }
        return false;
    };
    if (!path || path->str().empty()) {
        return fail(ENOENT);
    }
    const std::string target = path->str();
    if (options & NSDataWritingWithoutOverwriting) {
        int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            return fail(errno);
        }
        bool ok = writeAll(fd, bytes_.data(), bytes_.size());
        int e = errno;
        if (::close(fd) != 0 && ok) {
            ok = false;
            e = errno;
        }
        if (!ok) {
            ::unlink(target.c_str());
            return fail(e);
        }
        return true;
    }
    if (!(options & NSDataWritingAtomic)) {
        int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            return fail(errno);
        }
        bool ok = writeAll(fd, bytes_.data(), bytes_.size());
        int e = errno;
        if (::close(fd) != 0 && ok) {
            ok = false;
            e = errno;
        }
        return ok ? true : fail(e);
    }
    // Atomic: write a sibling temporary file, flush it, then rename it over the target.
    std::string temp;
    int fd = createTemporarySibling(target, temp);
    if (fd < 0) {
        return fail(errno);
    }
    bool ok = writeAll(fd, bytes_.data(), bytes_.size()) && ::fsync(fd) == 0;
    int e = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        e = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return fail(e);
    }
    return true;
}

bool NSData::isEqual(const id& other) const {
    auto d = cast<NSData>(other);
    return d && isEqualToData(d);
}

NSUInteger NSData::hash() const {
    return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()));
}

Ref<NSString> NSData::description() const {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 + bytes_.size() * 2 + bytes_.size() / 4);
    out += '<';
    for (size_t i = 0; i < bytes_.size(); ++i) {
        if (i && i % 4 == 0) {
            out += ' ';
        }
        out += hex[bytes_[i] >> 4];
        out += hex[bytes_[i] & 15];
    }
    out += '>';
    return NSString::from(out);
}

id NSData::copy() const {
    if (getClass() == NSData::class_()) {
        return id(const_cast<NSData*>(this));
    }
    return make<NSData>(bytes_);
}

id NSData::mutableCopy() const {
    return make<NSMutableData>(bytes_);
}

// MARK: - NSMutableData

Ref<NSMutableData> NSMutableData::data() {
    return make<NSMutableData>();
}
Ref<NSMutableData> NSMutableData::dataWithCapacity(NSUInteger capacity) {
    auto d = make<NSMutableData>();
    d->bytes_.reserve(capacity);
    return d;
}
Ref<NSMutableData> NSMutableData::dataWithLength(NSUInteger length) {
    return make<NSMutableData>(std::vector<uint8_t>(length, 0));
}
Ref<NSMutableData> NSMutableData::dataWithData(const Ref<NSData>& other) {
    return make<NSMutableData>(other ? other->vector() : std::vector<uint8_t>());
}
Ref<NSMutableData> NSMutableData::dataWithBytesLength(const void* bytes, NSUInteger length) {
    return make<NSMutableData>(bytes, length);
}

void NSMutableData::appendData(const Ref<NSData>& other) {
    if (other) {
        // Copy first: `other` may be this object.
        std::vector<uint8_t> copy = other->vector();
        bytes_.insert(bytes_.end(), copy.begin(), copy.end());
    }
}

void NSMutableData::appendBytesLength(const void* bytes, NSUInteger length) {
    if (length == 0) {
        return;
    }
    if (!bytes) {
        NSException::raise(NSInvalidArgumentException, "-[NSMutableData appendBytes:length:]: NULL bytes");
    }
    std::vector<uint8_t> copy(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + length);
    bytes_.insert(bytes_.end(), copy.begin(), copy.end());
}

void NSMutableData::setLength(NSUInteger length) {
    bytes_.resize(length, 0);
}

void NSMutableData::increaseLengthBy(NSUInteger extraLength) {
    bytes_.resize(bytes_.size() + extraLength, 0);
}

void NSMutableData::replaceBytesInRangeWithBytes(NSRange range, const void* bytes) {
    checkRange("replaceBytesInRange:withBytes:", range, bytes_.size());
    if (range.length && !bytes) {
        NSException::raise(NSInvalidArgumentException, "-[NSMutableData replaceBytesInRange:withBytes:]: NULL bytes");
    }
    if (range.length) {
        std::memmove(bytes_.data() + range.location, bytes, range.length);
    }
}

void NSMutableData::replaceBytesInRangeWithBytesLength(NSRange range, const void* bytes, NSUInteger length) {
    checkRange("replaceBytesInRange:withBytes:length:", range, bytes_.size());
    if (length && !bytes) {
        NSException::raise(NSInvalidArgumentException, "-[NSMutableData replaceBytesInRange:withBytes:length:]: NULL");
    }
    std::vector<uint8_t> replacement;
    if (length) {
        replacement.assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + length);
    }
    auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(range.location);
    bytes_.erase(first, first + static_cast<std::ptrdiff_t>(range.length));
    bytes_.insert(bytes_.begin() + static_cast<std::ptrdiff_t>(range.location), replacement.begin(), replacement.end());
}

void NSMutableData::resetBytesInRange(NSRange range) {
    checkRange("resetBytesInRange:", range, bytes_.size());
    std::fill_n(bytes_.begin() + static_cast<std::ptrdiff_t>(range.location), range.length, 0);
}

void NSMutableData::setData(const Ref<NSData>& other) {
    bytes_ = other ? other->vector() : std::vector<uint8_t>();
}

id NSMutableData::copy() const {
    return make<NSData>(bytes_);
}
