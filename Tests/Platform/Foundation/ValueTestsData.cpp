// NSData / NSMutableData: bytes, ranges, files, Base64 and description.
#include <Foundation/Foundation.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/dx-data-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    Ref<NSString> file(const char* name) const { return NSString::from(path_ + "/" + name); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

Ref<NSData> bytes(std::initializer_list<uint8_t> b) {
    return NSData::dataWithVector(std::vector<uint8_t>(b));
}
} // namespace

TEST(NSDataTest, BytesRangesAndEquality) {
    auto d = bytes({0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f});
    EXPECT_EQ(d->length(), 6u);
    EXPECT_EQ(d->description()->str(), "<0a1b2c3d 4e5f>");
    EXPECT_EQ(NSData::data()->description()->str(), "<>");
    EXPECT_TRUE(d->subdataWithRange({1, 2})->isEqualToData(bytes({0x1b, 0x2c})));
    EXPECT_THROW(d->subdataWithRange({5, 2}), NSException);
    EXPECT_THROW(d->subdataWithRange({static_cast<NSUInteger>(-1), 2}), NSException);
    EXPECT_TRUE(d->isEqual(bytes({0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f})));
    EXPECT_EQ(d->hash(), bytes({0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f})->hash());
    EXPECT_FALSE(d->isEqual(bytes({0x0a})));
    EXPECT_TRUE(d->isEqual(d->mutableCopy())); // a mutable copy with the same bytes is equal
    EXPECT_EQ(d->rangeOfDataOptionsRange(bytes({0x3d, 0x4e}), 0, {0, 6}), NSMakeRange(3, 2));
    EXPECT_EQ(d->rangeOfDataOptionsRange(bytes({0x3d, 0x4e}), 0, {0, 4}).location, static_cast<NSUInteger>(NSNotFound));
    uint8_t buf[2] = {};
    d->getBytesRange(buf, {4, 2});
    EXPECT_EQ(buf[0], 0x4e);
}

TEST(NSDataTest, MutableData) {
    auto m = NSMutableData::data();
    m->appendBytesLength("ab", 2);
    m->appendData(NSData::dataWithString("cd"));
    m->appendData(m); // appending itself doubles it
    EXPECT_EQ(m->stringValue(), "abcdabcd");
    m->setLength(3);
    EXPECT_EQ(m->stringValue(), "abc");
    m->increaseLengthBy(2);
    EXPECT_EQ(m->description()->str(), "<61626300 00>");
    m->replaceBytesInRangeWithBytesLength({1, 2}, "XYZ", 3);
    EXPECT_EQ(m->length(), 6u);
    EXPECT_EQ(m->subdataWithRange({0, 4})->stringValue(), "aXYZ");
    m->replaceBytesInRangeWithBytes({0, 1}, "Q");
    EXPECT_EQ(m->mutableBytes()[0], 'Q');
    m->replaceBytesInRangeWithBytesLength({0, 4}, nullptr, 0);
    EXPECT_EQ(m->length(), 2u);
    EXPECT_THROW(m->replaceBytesInRangeWithBytesLength({1, 5}, "x", 1), NSException);
    auto frozen = cast<NSData>(m->copy());
    m->appendBytesLength("!", 1);
    EXPECT_EQ(frozen->length(), 2u);
    EXPECT_FALSE(cast<NSMutableData>(frozen));
}

TEST(NSDataTest, Base64RoundTrips) {
    const char* samples[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
    const char* encoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (size_t i = 0; i < std::size(samples); ++i) {
        auto d = NSData::dataWithString(samples[i]);
        auto text = d->base64EncodedStringWithOptions(0);
        EXPECT_EQ(text->str(), encoded[i]);
        auto back = NSData::dataWithBase64EncodedStringOptions(text, 0);
        ASSERT_TRUE(back) << encoded[i];
        EXPECT_TRUE(back->isEqualToData(d));
    }
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<uint8_t>(i);
    }
    auto binary = NSData::dataWithVector(all);
    auto text = binary->base64EncodedStringWithOptions(0);
    EXPECT_EQ(text->str().find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
    EXPECT_TRUE(NSData::dataWithBase64EncodedStringOptions(text, 0)->isEqualToData(binary));
}

TEST(NSDataTest, Base64LineLengths) {
    auto d = NSData::dataWithVector(std::vector<uint8_t>(100, 0xAB));
    auto plain = d->base64EncodedStringWithOptions(0)->str();
    ASSERT_EQ(plain.size(), 136u);
    auto lines64 = d->base64EncodedStringWithOptions(NSDataBase64Encoding64CharacterLineLength)->str();
    EXPECT_EQ(lines64, plain.substr(0, 64) + "\r\n" + plain.substr(64, 64) + "\r\n" + plain.substr(128));
    auto lines76 = d->base64EncodedStringWithOptions(NSDataBase64Encoding76CharacterLineLength |
                                                     NSDataBase64EncodingEndLineWithLineFeed)
                       ->str();
    EXPECT_EQ(lines76, plain.substr(0, 76) + "\n" + plain.substr(76));
    auto cr = d->base64EncodedStringWithOptions(NSDataBase64Encoding76CharacterLineLength |
                                                NSDataBase64EncodingEndLineWithCarriageReturn)
                  ->str();
    EXPECT_EQ(cr, plain.substr(0, 76) + "\r" + plain.substr(76));
    // Lines are accepted back only when unknown characters are ignored.
    EXPECT_FALSE(NSData::dataWithBase64EncodedStringOptions(NSString::from(lines64), 0));
    EXPECT_TRUE(
        NSData::dataWithBase64EncodedStringOptions(NSString::from(lines64), NSDataBase64DecodingIgnoreUnknownCharacters)
            ->isEqualToData(d));
}

TEST(NSDataTest, MalformedBase64IsRejected) {
    auto decode = [](const char* text, NSDataBase64DecodingOptions options = 0) {
        return NSData::dataWithBase64EncodedStringOptions(NSString::from(text), options);
    };
    EXPECT_FALSE(decode("Zm9v!"));      // outside the alphabet
    EXPECT_FALSE(decode("Zm9v YmFy"));  // a space
    EXPECT_FALSE(decode("Zm9vYg"));     // missing padding
    EXPECT_FALSE(decode("Zm9vY==="));   // bad padding
    EXPECT_FALSE(decode("Zg==Zg=="));   // data after padding
    EXPECT_FALSE(decode("Z"));          // a lone character
    EXPECT_FALSE(decode("Zm9-"));       // URL-safe alphabet is not the standard one
    EXPECT_FALSE(decode("{\"a\": 1}")); // JSON text
    EXPECT_FALSE(decode("="));
    EXPECT_FALSE(NSData::dataWithBase64EncodedStringOptions(nullptr, 0));
    EXPECT_EQ(decode("Zm9v YmFy\n", NSDataBase64DecodingIgnoreUnknownCharacters)->stringValue(), "foobar");
    EXPECT_EQ(decode("Zm*9v", NSDataBase64DecodingIgnoreUnknownCharacters)->stringValue(), "foo");
    EXPECT_FALSE(decode("Zm9vYg", NSDataBase64DecodingIgnoreUnknownCharacters));
}

TEST(NSDataTest, FilesAreWrittenAndReadBack) {
    TempFolder dir;
    auto path = dir.file("out.bin");
    auto d = bytes({1, 2, 3, 0, 255});
    EXPECT_TRUE(d->writeToFileAtomically(path, true));
    EXPECT_TRUE(NSData::dataWithContentsOfFile(path)->isEqualToData(d));
    EXPECT_TRUE(NSData::dataWithString("new")->writeToFileAtomically(path, true)); // replaces
    EXPECT_EQ(NSData::dataWithContentsOfFile(path)->stringValue(), "new");
    EXPECT_TRUE(NSData::dataWithString("plain")->writeToFileAtomically(path, false));
    EXPECT_EQ(NSData::dataWithContentsOfFile(path)->stringValue(), "plain");
    // No temporary files are left behind.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);

    Ref<NSError> error;
    EXPECT_FALSE(d->writeToFileOptionsError(path, NSDataWritingWithoutOverwriting, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSFileWriteFileExistsError);
}

TEST(NSDataTest, FileFailuresAreReported) {
    TempFolder dir;
    auto missingFolder = dir.file("no/such/folder/file.bin");
    EXPECT_FALSE(NSData::dataWithString("x")->writeToFileAtomically(missingFolder, true));
    EXPECT_FALSE(NSData::dataWithString("x")->writeToFileAtomically(missingFolder, false));
    EXPECT_FALSE(NSData::dataWithContentsOfFile(dir.file("missing")));
    EXPECT_FALSE(NSData::dataWithContentsOfFile(NSString::from(dir.path()))); // a folder
    Ref<NSError> error;
    EXPECT_FALSE(NSData::dataWithContentsOfFileOptionsError(dir.file("missing"), 0, &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->domain()->isEqualToString(NSCocoaErrorDomain()));
    EXPECT_EQ(error->code(), NSFileReadNoSuchFileError);
    EXPECT_TRUE(error->userInfo()->objectForKey(NSFilePathErrorKey())->isEqual(dir.file("missing")));
    EXPECT_EQ(error->underlyingError()->code(), ENOENT);
}
