// NSData and NSMutableData: byte buffers, with files, Base64 and the platform's "<0a1b2c3d ...>"
// description.
#pragma once

#include <Foundation/NSString.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class NSError;

using NSDataBase64EncodingOptions = NSUInteger;
// Insert line endings after every 64 or 76 characters; CR, LF or both (CR LF when neither is
// chosen with a line length).
inline constexpr NSDataBase64EncodingOptions NSDataBase64Encoding64CharacterLineLength = 1UL << 0;
inline constexpr NSDataBase64EncodingOptions NSDataBase64Encoding76CharacterLineLength = 1UL << 1;
inline constexpr NSDataBase64EncodingOptions NSDataBase64EncodingEndLineWithCarriageReturn = 1UL << 4;
inline constexpr NSDataBase64EncodingOptions NSDataBase64EncodingEndLineWithLineFeed = 1UL << 5;

using NSDataBase64DecodingOptions = NSUInteger;
// Skip characters outside the Base64 alphabet (line endings, spaces, anything else) instead of
// failing.
inline constexpr NSDataBase64DecodingOptions NSDataBase64DecodingIgnoreUnknownCharacters = 1UL << 0;

using NSDataWritingOptions = NSUInteger;
inline constexpr NSDataWritingOptions NSDataWritingAtomic = 1UL << 0;
inline constexpr NSDataWritingOptions NSDataWritingWithoutOverwriting = 1UL << 1;

using NSDataReadingOptions = NSUInteger;

class NSData : public NSObject {
    NS_OBJECT(NSData, NSObject)
public:
    NSData() = default;
    NSData(const void* bytes, NSUInteger length);
    explicit NSData(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    static Ref<NSData> data();
    static Ref<NSData> dataWithBytesLength(const void* bytes, NSUInteger length);
    static Ref<NSData> dataWithVector(std::vector<uint8_t> bytes);
    static Ref<NSData> dataWithData(const Ref<NSData>& other);
    // The bytes of a string's UTF-8 text (a convenience for tests and fixtures).
    static Ref<NSData> dataWithString(std::string_view utf8);
    // nil when the file cannot be read.
    static Ref<NSData> dataWithContentsOfFile(const Ref<NSString>& path);
    static Ref<NSData> dataWithContentsOfFileOptionsError(const Ref<NSString>& path, NSDataReadingOptions options,
                                                          Ref<NSError>* error);
    // `initWithBase64EncodedString:options:` (a factory, since it can fail): nil for malformed input (characters
    // outside the standard alphabet, bad padding, a truncated group) unless unknown characters are ignored.
    static Ref<NSData> dataWithBase64EncodedStringOptions(const Ref<NSString>& base64,
                                                          NSDataBase64DecodingOptions options);

    NSUInteger length() const noexcept { return bytes_.size(); }
    const uint8_t* bytes() const noexcept { return bytes_.data(); }
    const std::vector<uint8_t>& vector() const noexcept { return bytes_; }
    // The bytes as a std::string (any bytes, not necessarily UTF-8).
    std::string stringValue() const { return std::string(bytes_.begin(), bytes_.end()); }
    void getBytesLength(void* buffer, NSUInteger length) const;
    // Raises NSRangeException for a range past the end.
    void getBytesRange(void* buffer, NSRange range) const;
    Ref<NSData> subdataWithRange(NSRange range) const;
    // The first occurrence of `needle` within `range`, {NSNotFound, 0} when absent.
    NSRange rangeOfDataOptionsRange(const Ref<NSData>& needle, NSUInteger options, NSRange range) const;
    bool isEqualToData(const Ref<NSData>& other) const noexcept;

    Ref<NSString> base64EncodedStringWithOptions(NSDataBase64EncodingOptions options) const;
    Ref<NSData> base64EncodedDataWithOptions(NSDataBase64EncodingOptions options) const;

    // Writes the bytes; `atomically` writes a temporary file in the same folder and renames it over
    // the target, so readers see the old or the new content, never a torn file. False on failure.
    [[nodiscard]] bool writeToFileAtomically(const Ref<NSString>& path, bool atomically) const;
    [[nodiscard]] bool writeToFileOptionsError(const Ref<NSString>& path, NSDataWritingOptions options,
                                               Ref<NSError>* error) const;

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    // "<0a1b2c3d 4e5f>": lower-case hex, a space after every four bytes.
    Ref<NSString> description() const override;
    id copy() const override;
    id mutableCopy() const override;

protected:
    std::vector<uint8_t> bytes_;
};

class NSMutableData : public NSData {
    NS_OBJECT(NSMutableData, NSData)
public:
    NSMutableData() = default;
    NSMutableData(const void* bytes, NSUInteger length) : NSData(bytes, length) {}
    explicit NSMutableData(std::vector<uint8_t> bytes) : NSData(std::move(bytes)) {}

    static Ref<NSMutableData> data();
    static Ref<NSMutableData> dataWithCapacity(NSUInteger capacity);
    // `length` zero bytes.
    static Ref<NSMutableData> dataWithLength(NSUInteger length);
    static Ref<NSMutableData> dataWithData(const Ref<NSData>& other);
    static Ref<NSMutableData> dataWithBytesLength(const void* bytes, NSUInteger length);

    uint8_t* mutableBytes() noexcept { return bytes_.data(); }
    std::vector<uint8_t>& mutableVector() noexcept { return bytes_; }

    void appendData(const Ref<NSData>& other);
    void appendBytesLength(const void* bytes, NSUInteger length);
    // New bytes are zero.
    void setLength(NSUInteger length);
    void increaseLengthBy(NSUInteger extraLength);
    // Raise NSRangeException for a range past the end.
    void replaceBytesInRangeWithBytes(NSRange range, const void* bytes);
    void replaceBytesInRangeWithBytesLength(NSRange range, const void* bytes, NSUInteger length);
    void resetBytesInRange(NSRange range);
    void setData(const Ref<NSData>& other);

    id copy() const override;
};
