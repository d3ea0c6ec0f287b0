#include <Network/NSCache.h>
#include <Network/NSInputStream.h>
#include <Network/NSOutputStream.h>
#include <Network/UTType.h>

#include <Foundation/NSNumber.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {

std::string readAll(const Ref<NSInputStream>& stream, size_t chunk = 3) {
    std::string out;
    std::vector<uint8_t> buffer(chunk);
    for (;;) {
        NSInteger n = stream->readMaxLength(buffer.data(), buffer.size());
        if (n <= 0) {
            break;
        }
        out.append(reinterpret_cast<char*>(buffer.data()), static_cast<size_t>(n));
    }
    return out;
}

std::string temporaryFile(const std::string& content) {
    char path[] = "/tmp/celvix-stream-XXXXXX";
    int fd = mkstemp(path);
    [[maybe_unused]] ssize_t n = write(fd, content.data(), content.size());
    close(fd);
    return path;
}

} // namespace

TEST(Streams, MemoryInputReadsToTheEnd) {
    auto stream = NSInputStream::inputStreamWithData(NSData::dataWithString("abcdefg"));
    uint8_t byte;
    EXPECT_EQ(stream->readMaxLength(&byte, 1), -1); // not open yet
    EXPECT_EQ(stream->streamStatus(), NSStreamStatusNotOpen);
    stream->open();
    EXPECT_TRUE(stream->hasBytesAvailable());
    EXPECT_EQ(readAll(stream), "abcdefg");
    EXPECT_EQ(stream->streamStatus(), NSStreamStatusAtEnd);
    EXPECT_FALSE(stream->hasBytesAvailable());
    stream->close();
    EXPECT_EQ(stream->streamStatus(), NSStreamStatusClosed);
}

TEST(Streams, FileStreamsReadWriteAndReportOffsets) {
    auto path = temporaryFile("");
    auto output = NSOutputStream::outputStreamToFileAtPathAppend(NSString::from(path), false);
    output->open();
    EXPECT_EQ(output->writeMaxLength(reinterpret_cast<const uint8_t*>("hello "), 6), 6);
    EXPECT_EQ(output->writeMaxLength(reinterpret_cast<const uint8_t*>("world"), 5), 5);
    EXPECT_EQ(unbox<long long>(output->propertyForKey(NSStreamFileCurrentOffsetKey())), 11);
    output->close();

    auto input = NSInputStream::inputStreamWithURL(NSURL::fileURLWithPath(NSString::from(path)));
    input->setPropertyForKey(box(6ULL), NSStreamFileCurrentOffsetKey());
    input->open();
    EXPECT_EQ(readAll(input), "world");
    input->close();
    unlink(path.c_str());

    auto missing = NSInputStream::inputStreamWithFileAtPath("/nonexistent/file"_ns);
    missing->open();
    EXPECT_EQ(missing->streamStatus(), NSStreamStatusError);
    ASSERT_TRUE(missing->streamError());
    EXPECT_TRUE(missing->streamError()->domain()->isEqualToString(NSPOSIXErrorDomain()));
    EXPECT_FALSE(NSInputStream::inputStreamWithURL(NSURL::URLWithString("http://h/x"_ns)));
}

TEST(Streams, MemoryAndBufferOutputs) {
    auto memory = NSOutputStream::outputStreamToMemory();
    memory->open();
    memory->writeMaxLength(reinterpret_cast<const uint8_t*>("abc"), 3);
    memory->close();
    EXPECT_EQ(cast<NSData>(memory->propertyForKey(NSStreamDataWrittenToMemoryStreamKey()))->stringValue(), "abc");

    uint8_t buffer[4] = {};
    auto fixed = NSOutputStream::outputStreamToBufferCapacity(buffer, sizeof buffer);
    fixed->open();
    EXPECT_EQ(fixed->writeMaxLength(reinterpret_cast<const uint8_t*>("abcdef"), 6), 4);
    EXPECT_FALSE(fixed->hasSpaceAvailable());
    EXPECT_EQ(fixed->writeMaxLength(reinterpret_cast<const uint8_t*>("x"), 1), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "abcd");

    auto closed = NSOutputStream::outputStreamToMemory();
    EXPECT_EQ(closed->writeMaxLength(reinterpret_cast<const uint8_t*>("a"), 1), -1);
}

TEST(Streams, BoundPairCarriesBytesBetweenThreads) {
    Ref<NSInputStream> input;
    Ref<NSOutputStream> output;
    NSStream::getBoundStreamsWithBufferSize(16, &input, &output);
    input->open();
    output->open();
    std::string sent;
    for (int i = 0; i < 1000; ++i) {
        sent += static_cast<char>('a' + i % 26);
    }
    std::thread writer([&] {
        size_t at = 0;
        while (at < sent.size()) {
            NSInteger n = output->writeMaxLength(reinterpret_cast<const uint8_t*>(sent.data()) + at, sent.size() - at);
            ASSERT_GT(n, 0);
            at += static_cast<size_t>(n);
        }
        output->close();
    });
    EXPECT_EQ(readAll(input, 7), sent);
    writer.join();
    EXPECT_EQ(input->streamStatus(), NSStreamStatusAtEnd);
}

TEST(Streams, BoundPairTellsItsReaderWhenBytesArrive) {
    // Declared before the streams: closing the output stream at the end tells the reader once more.
    int notified = 0;
    Ref<NSInputStream> input;
    Ref<NSOutputStream> output;
    NSStream::getBoundStreamsWithBufferSize(8, &input, &output);
    EXPECT_TRUE(input->setAvailabilityHandler([&] { ++notified; }));
    input->open();
    output->open();
    EXPECT_FALSE(input->hasBytesAvailable());
    output->writeMaxLength(reinterpret_cast<const uint8_t*>("x"), 1);
    EXPECT_EQ(notified, 1);
    EXPECT_TRUE(input->hasBytesAvailable());
    EXPECT_FALSE(NSInputStream::inputStreamWithData(NSData::data())->setAvailabilityHandler([] {}));
}

TEST(MIMETypes, ExtensionsMapThroughTypeIdentifiers) {
    auto identifier = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension(), "PNG"_ns, nullptr);
    EXPECT_EQ(UTTypeCopyPreferredTagWithClass(identifier, kUTTagClassMIMEType())->str(), "image/png");
    EXPECT_EQ(NSMIMETypeForPathExtension("json"_ns)->str(), "application/json");
    auto unknown = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension(), "zzunknown"_ns, nullptr);
    ASSERT_TRUE(unknown);
    EXPECT_FALSE(UTTypeCopyPreferredTagWithClass(unknown, kUTTagClassMIMEType()));
    EXPECT_FALSE(NSMIMETypeForPathExtension(""_ns));
}

namespace {
class EvictionLog : public NSObject, public NSCacheDelegate {
public:
    void cacheWillEvictObject(NSCache*, const id& object) override { evicted.push_back(NSDescription(object)->str()); }
    std::vector<std::string> evicted;
};
} // namespace

TEST(Cache, EvictsLeastRecentlyUsedBeyondItsLimits) {
    auto cache = make<NSCache>();
    auto log = make<EvictionLog>();
    cache->setDelegate(log.get());
    cache->setCountLimit(2);
    cache->setObjectForKey("A"_ns, "a"_ns);
    cache->setObjectForKey("B"_ns, "b"_ns);
    EXPECT_TRUE(cache->objectForKey("a"_ns)); // a is now the most recent
    cache->setObjectForKey("C"_ns, "c"_ns);
    EXPECT_FALSE(cache->objectForKey("b"_ns));
    EXPECT_EQ(log->evicted, std::vector<std::string>{"B"});

    cache->setCountLimit(0);
    cache->setTotalCostLimit(10);
    cache->setObjectForKeyCost("D"_ns, "d"_ns, 9);
    EXPECT_EQ(cache->count(), 3u);
    cache->setObjectForKeyCost("F"_ns, "f"_ns, 5); // 14 > 10: the oldest go until the cost fits
    EXPECT_EQ(cache->count(), 1u);
    EXPECT_FALSE(cache->objectForKey("d"_ns));
    cache->setObjectForKeyCost("D"_ns, "d"_ns, 5);
    EXPECT_TRUE(cache->objectForKey("d"_ns));
    cache->setObjectForKey(nullptr, "d"_ns);
    EXPECT_FALSE(cache->objectForKey("d"_ns));
    cache->setObjectForKey("E"_ns, "e"_ns);
    cache->removeAllObjects();
    EXPECT_EQ(cache->count(), 0u);
}
