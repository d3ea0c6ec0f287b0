#include <Networking/HCHTTPRequestSerializer.h>
#include <Networking/HCStreamingMultipartFormData.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

// Reads a whole body stream with reads of at most `chunk` bytes.
std::string readAll(const Ref<NSInputStream>& stream, size_t chunk, size_t* largestRead = nullptr) {
    std::string out;
    std::vector<uint8_t> buffer(chunk);
    stream->open();
    for (int guard = 0; guard < 10000000; ++guard) {
        NSInteger n = stream->readMaxLength(buffer.data(), buffer.size());
        EXPECT_GE(n, 0);
        if (n <= 0) {
            break;
        }
        if (largestRead) {
            *largestRead = std::max(*largestRead, static_cast<size_t>(n));
        }
        out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(n));
    }
    stream->close();
    return out;
}

std::string boundaryOf(const Ref<NSURLRequest>& request) {
    auto type = request->valueForHTTPHeaderField("Content-Type"_ns)->str();
    auto at = type.find("boundary=");
    return at == std::string::npos ? std::string() : type.substr(at + 9);
}

class TemporaryFolder {
public:
    TemporaryFolder() {
        char pattern[] = "/tmp/celvix-multipart-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TemporaryFolder() { std::filesystem::remove_all(path_); }
    std::string write(const std::string& name, const std::string& content) const {
        std::string file = path_ + "/" + name;
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }

private:
    std::string path_;
};

Ref<NSMutableURLRequest> formRequest(const std::function<void(HCMultipartFormData*)>& block,
                                     const Ref<NSDictionary>& parameters = nullptr) {
    return HCHTTPRequestSerializer::serializer()
        ->multipartFormRequestWithMethodURLStringParametersConstructingBodyWithBlock(
            "POST"_ns, "http://127.0.0.1/upload"_ns, parameters, block);
}

} // namespace

TEST(MultipartBody, OneFieldReadsOutByteForByte) {
    auto request = formRequest(
        [](HCMultipartFormData* form) { form->appendPartWithFormDataName(NSData::dataWithString("x"), "a"_ns); });
    auto boundary = boundaryOf(request);
    ASSERT_EQ(boundary.size(), 9u + 16u);
    EXPECT_EQ(boundary.rfind("Boundary+", 0), 0u);
    std::string expected = "--" + boundary + "\r\n" + "Content-Disposition: form-data; name=\"a\"\r\n\r\n" + "x" +
                           "\r\n--" + boundary + "--\r\n";
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Length"_ns)->str(), std::to_string(expected.size()));
    auto stream = cast<HCMultipartBodyStream>(request->HTTPBodyStream());
    ASSERT_TRUE(stream);
    EXPECT_EQ(readAll(cast<NSInputStream>(stream->copy()), 4096), expected);
    // A buffer smaller than a boundary line still yields every byte, in order.
    for (size_t chunk : {1u, 2u, 3u, 7u, 13u}) {
        EXPECT_EQ(readAll(cast<NSInputStream>(stream->copy()), chunk), expected) << chunk;
    }
}

TEST(MultipartBody, ParametersFilesAndStreamsInOrder) {
    TemporaryFolder folder;
    std::string fileContent(200000, 'f');
    auto path = folder.write("photo.png", fileContent);
    auto request = formRequest(
        [&](HCMultipartFormData* form) {
            Ref<NSError> error;
            EXPECT_TRUE(
                form->appendPartWithFileURLNameError(NSURL::fileURLWithPath(NSString::from(path)), "file"_ns, &error));
            form->appendPartWithFileDataNameFileNameMimeType(NSData::data(), "empty"_ns, "e.bin"_ns,
                                                             "application/octet-stream"_ns);
            form->appendPartWithInputStreamNameFileNameLengthMimeType(
                NSInputStream::inputStreamWithData(NSData::dataWithString("streamed")), "s"_ns, "s.txt"_ns, 8,
                "text/plain"_ns);
        },
        NSDictionary::dictionaryWithEntries({{"title"_ns, "hi"_ns}}));
    auto b = boundaryOf(request);
    std::string expected = "--" + b + "\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\nhi" + "\r\n--" + b +
                           "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"photo.png\"\r\n"
                           "Content-Type: image/png\r\n\r\n" +
                           fileContent + "\r\n--" + b +
                           "\r\nContent-Disposition: form-data; name=\"empty\"; filename=\"e.bin\"\r\n"
                           "Content-Type: application/octet-stream\r\n\r\n" +
                           "\r\n--" + b +
                           "\r\nContent-Disposition: form-data; name=\"s\"; filename=\"s.txt\"\r\n"
                           "Content-Type: text/plain\r\n\r\nstreamed" +
                           "\r\n--" + b + "--\r\n";
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Length"_ns)->str(), std::to_string(expected.size()));
    EXPECT_EQ(readAll(request->HTTPBodyStream(), 1 << 20), expected);
}

TEST(MultipartBody, SmallAndLargeBuffersGiveTheSameBytes) {
    std::string big(70000, 'q');
    auto request = formRequest([&](HCMultipartFormData* form) {
        form->appendPartWithFormDataName(NSData::dataWithString(big), "big"_ns);
        form->appendPartWithFormDataName(NSData::dataWithString("y"), "small"_ns);
    });
    auto stream = cast<HCMultipartBodyStream>(request->HTTPBodyStream());
    auto reference = readAll(cast<NSInputStream>(stream->copy()), 1 << 20);
    EXPECT_EQ(reference.size(), stream->contentLength());
    for (size_t chunk : {1u, 5u, 64u, 1000u, 65536u}) {
        EXPECT_EQ(readAll(cast<NSInputStream>(stream->copy()), chunk), reference) << chunk;
    }
}

TEST(MultipartBody, ThrottlingCapsEveryRead) {
    auto request = formRequest([](HCMultipartFormData* form) {
        form->appendPartWithFormDataName(NSData::dataWithString(std::string(5000, 'z')), "z"_ns);
        form->throttleBandwidthWithPacketSizeDelay(1024, 0);
    });
    size_t largest = 0;
    auto body = readAll(request->HTTPBodyStream(), 1 << 16, &largest);
    EXPECT_LE(largest, 1024u);
    EXPECT_GT(body.size(), 5000u);
}

TEST(MultipartBody, NoPartsLeaveTheRequestAlone) {
    auto request = formRequest(nullptr);
    EXPECT_FALSE(request->HTTPBodyStream());
    EXPECT_FALSE(request->valueForHTTPHeaderField("Content-Length"_ns));
    EXPECT_FALSE(request->valueForHTTPHeaderField("Content-Type"_ns)->hasPrefix("multipart/"_ns));
}

TEST(MultipartBody, FileURLFailuresAppendNothing) {
    auto form = make<HCStreamingMultipartFormData>(
        NSMutableURLRequest::requestWithURL(NSURL::URLWithString("http://h/"_ns)), NSUTF8StringEncoding);
    Ref<NSError> error;
    EXPECT_FALSE(form->appendPartWithFileURLNameError(NSURL::URLWithString("http://h/file.txt"_ns), "f"_ns, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorBadURL);
    EXPECT_TRUE(error->domain()->isEqualToString(HCURLRequestSerializationErrorDomain()));
    EXPECT_EQ(error->localizedFailureReason()->str(), "Expected URL to be a file URL");

    EXPECT_FALSE(
        form->appendPartWithFileURLNameError(NSURL::fileURLWithPath("/nonexistent/file.txt"_ns), "f"_ns, &error));
    EXPECT_EQ(error->localizedFailureReason()->str(), "File URL not reachable.");
    EXPECT_FALSE(
        form->appendPartWithFileURLNameError(NSURL::fileURLWithPath("/nonexistent/file.txt"_ns), "f"_ns, nullptr));
    EXPECT_TRUE(form->bodyStream()->isEmpty());
}

TEST(MultipartBody, UnknownExtensionsAreOctetStreams) {
    TemporaryFolder folder;
    auto path = folder.write("data.zzunknown", "1");
    auto request = formRequest([&](HCMultipartFormData* form) {
        EXPECT_TRUE(
            form->appendPartWithFileURLNameError(NSURL::fileURLWithPath(NSString::from(path)), "f"_ns, nullptr));
    });
    auto body = readAll(request->HTTPBodyStream(), 4096);
    EXPECT_NE(body.find("Content-Type: application/octet-stream\r\n"), std::string::npos);
}

TEST(MultipartBody, ClosedStreamReadsNothing) {
    auto request = formRequest(
        [](HCMultipartFormData* form) { form->appendPartWithFormDataName(NSData::dataWithString("x"), "a"_ns); });
    auto stream = request->HTTPBodyStream();
    stream->open();
    stream->close();
    uint8_t buffer[16];
    EXPECT_EQ(stream->readMaxLength(buffer, sizeof buffer), 0);
}
