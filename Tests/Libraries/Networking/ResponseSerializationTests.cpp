#include <Networking/HCCompoundResponseSerializer.h>
#include <Networking/HCImageResponseSerializer.h>
#include <Networking/HCJSONResponseSerializer.h>
#include <Networking/HCPropertyListResponseSerializer.h>
#include <Networking/HCXMLParserResponseSerializer.h>

#include <Foundation/NSNumber.h>

#include <gtest/gtest.h>

namespace {

Ref<NSHTTPURLResponse> reply(NSInteger status, const char* contentType) {
    std::vector<std::pair<std::string, std::string>> headers;
    if (contentType) {
        headers.emplace_back("Content-Type", contentType);
    }
    return make<NSHTTPURLResponse>(NSURL::URLWithString("http://127.0.0.1/r"_ns), status, "HTTP/1.1"_ns, headers);
}

Ref<NSData> bytes(std::string_view text) {
    return NSData::dataWithString(text);
}

// A 1x1 PNG.
Ref<NSData> png() {
    static const unsigned char image[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
        0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00,
        0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x60, 0x60, 0x60, 0xF8, 0x0F, 0x00, 0x01, 0x04, 0x01, 0x00,
        0x5F, 0xE5, 0xC3, 0x4B, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    return NSData::dataWithBytesLength(image, sizeof image);
}

} // namespace

TEST(HTTPResponseSerializer, ValidatesStatusAndKeepsTheData) {
    auto serializer = HCHTTPResponseSerializer::serializer();
    Ref<NSError> error;
    auto ok = serializer->responseObjectForResponseDataError(reply(204, nullptr), bytes("raw"), &error);
    EXPECT_FALSE(error);
    EXPECT_EQ(cast<NSData>(ok)->stringValue(), "raw");

    auto bad = serializer->responseObjectForResponseDataError(reply(404, "text/plain"), bytes("missing"), &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
    EXPECT_TRUE(error->domain()->isEqualToString(HCURLResponseSerializationErrorDomain()));
    EXPECT_EQ(error->localizedDescription()->str(), "Request failed: not found (404)");
    EXPECT_EQ(cast<NSData>(bad)->stringValue(), "missing"); // the data travels even when rejected
    EXPECT_TRUE(serializer->validateResponseDataError(nullptr, nullptr, nullptr));
}

TEST(JSONResponseSerializer, ParsesAcceptableReplies) {
    auto serializer = HCJSONResponseSerializer::serializer();
    Ref<NSError> error;
    auto object = serializer->responseObjectForResponseDataError(reply(200, "application/json; charset=utf-8"),
                                                                 bytes("{\"a\": null, \"b\": [1, null]}"), &error);
    EXPECT_FALSE(error);
    auto dictionary = cast<NSDictionary>(object);
    ASSERT_TRUE(dictionary);
    EXPECT_TRUE(dictionary->objectForKey("a"_ns)->isKindOfClass(NSNull::class_()));

    serializer->setRemovesKeysWithNullValues(true);
    dictionary = cast<NSDictionary>(serializer->responseObjectForResponseDataError(
        reply(200, "text/json"), bytes("{\"a\": null, \"b\": [1, null], \"c\": {\"d\": null}}"), &error));
    ASSERT_TRUE(dictionary);
    EXPECT_FALSE(dictionary->objectForKey("a"_ns));
    EXPECT_EQ(cast<NSArray>(dictionary->objectForKey("b"_ns))->count(), 2u); // nulls in arrays stay
    EXPECT_EQ(cast<NSDictionary>(dictionary->objectForKey("c"_ns))->count(), 0u);
}

TEST(JSONResponseSerializer, StatusErrorsKeepTheParsedBody) {
    auto serializer = HCJSONResponseSerializer::serializer();
    Ref<NSError> error;
    auto object = serializer->responseObjectForResponseDataError(reply(500, "application/json"),
                                                                 bytes("{\"reason\": \"down\"}"), &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
    EXPECT_TRUE(error->localizedDescription()->hasSuffix("(500)"_ns));
    ASSERT_TRUE(cast<NSDictionary>(object));
    EXPECT_TRUE(cast<NSDictionary>(object)->objectForKey("reason"_ns)->isEqual("down"_ns));
}

TEST(JSONResponseSerializer, WrongContentTypeIsRejectedUnlessTheBodyIsEmpty) {
    auto serializer = HCJSONResponseSerializer::serializer();
    Ref<NSError> error;
    EXPECT_FALSE(serializer->responseObjectForResponseDataError(reply(200, "text/html"), bytes("<html/>"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorCannotDecodeContentData);
    EXPECT_EQ(error->localizedDescription()->str(), "Request failed: unacceptable content-type: text/html");
    EXPECT_TRUE(HCErrorChainHasUndecodableContent(error));

    error = nullptr;
    EXPECT_FALSE(serializer->responseObjectForResponseDataError(reply(200, "text/html"), NSData::data(), &error));
    EXPECT_FALSE(error);

    // Both reasons are kept: the status error on top, the content type under it.
    EXPECT_FALSE(serializer->responseObjectForResponseDataError(reply(503, "text/html"), bytes("x"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
    ASSERT_TRUE(error->underlyingError());
    EXPECT_EQ(error->underlyingError()->code(), NSURLErrorCannotDecodeContentData);
}

TEST(JSONResponseSerializer, EmptySpaceAndMalformedBodies) {
    auto serializer = HCJSONResponseSerializer::serializer();
    Ref<NSError> error;
    EXPECT_FALSE(serializer->responseObjectForResponseDataError(reply(200, "application/json"), bytes(" "), &error));
    EXPECT_FALSE(error);
    EXPECT_FALSE(
        serializer->responseObjectForResponseDataError(reply(200, "application/json"), NSData::data(), &error));
    EXPECT_FALSE(error);

    EXPECT_FALSE(
        serializer->responseObjectForResponseDataError(reply(200, "application/json"), bytes("{\"a\":"), &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->domain()->isEqualToString(NSCocoaErrorDomain()));

    // Bytes that are no text in the reply's encoding are an error, not an empty success.
    error = nullptr;
    EXPECT_FALSE(
        serializer->responseObjectForResponseDataError(reply(200, "application/json"), bytes("\xFF\xFE{"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorCannotDecodeContentData);
}

TEST(JSONResponseSerializer, ReadsTheDeclaredCharset) {
    auto serializer = HCJSONResponseSerializer::serializer();
    Ref<NSError> error;
    auto object = serializer->responseObjectForResponseDataError(reply(200, "application/json; charset=ISO-8859-1"),
                                                                 bytes("{\"name\": \"Jos\xE9\"}"), &error);
    EXPECT_FALSE(error);
    ASSERT_TRUE(cast<NSDictionary>(object));
    EXPECT_EQ(cast<NSString>(cast<NSDictionary>(object)->objectForKey("name"_ns))->str(), "Jos\xC3\xA9");
}

TEST(JSONResponseSerializer, CopiesAndArchivesKeepTheSettings) {
    auto serializer = HCJSONResponseSerializer::serializerWithReadingOptions(NSJSONReadingMutableContainers);
    serializer->setRemovesKeysWithNullValues(true);
    serializer->setAcceptableContentTypes(NSSet::setWithObjects({"text/plain"_ns}));
    auto copy = cast<HCJSONResponseSerializer>(serializer->copy());
    EXPECT_EQ(copy->readingOptions(), NSJSONReadingMutableContainers);
    EXPECT_TRUE(copy->removesKeysWithNullValues());
    EXPECT_TRUE(copy->acceptableContentTypes()->containsObject("text/plain"_ns));

    auto data = NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(serializer, true, nullptr);
    auto restored = cast<HCJSONResponseSerializer>(
        NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(HCJSONResponseSerializer::class_(), data, nullptr));
    ASSERT_TRUE(restored);
    EXPECT_TRUE(restored->removesKeysWithNullValues());
    EXPECT_TRUE(restored->acceptableStatusCodes()->containsIndex(299));
    EXPECT_FALSE(restored->acceptableStatusCodes()->containsIndex(300));
}

TEST(PropertyListResponseSerializer, ReadsPropertyLists) {
    auto plist = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(
        NSDictionary::dictionaryWithEntries({{"k"_ns, box(1)}}), NSPropertyListXMLFormat_v1_0, 0, nullptr);
    Ref<NSError> error;
    auto object = HCPropertyListResponseSerializer::serializer()->responseObjectForResponseDataError(
        reply(200, "application/x-plist"), plist, &error);
    EXPECT_FALSE(error);
    EXPECT_TRUE(cast<NSDictionary>(object));
    EXPECT_FALSE(HCPropertyListResponseSerializer::serializer()->responseObjectForResponseDataError(
        reply(200, "application/x-plist"), bytes("garbage"), &error));
    EXPECT_TRUE(error);
}

TEST(XMLParserResponseSerializer, AnswersAParserForXML) {
    Ref<NSError> error;
    auto parser = HCXMLParserResponseSerializer::serializer()->responseObjectForResponseDataError(
        reply(200, "text/xml"), bytes("<a/>"), &error);
    EXPECT_TRUE(cast<NSXMLParser>(parser));
    EXPECT_FALSE(error);
}

TEST(CompoundResponseSerializer, FirstSerializerWithAnObjectWins) {
    auto compound = HCCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        NSArray::arrayWithObjects({HCJSONResponseSerializer::serializer(), HCImageResponseSerializer::serializer()}));
    Ref<NSError> error;
    EXPECT_TRUE(cast<UIImage>(compound->responseObjectForResponseDataError(reply(200, "image/png"), png(), &error)));
    EXPECT_TRUE(cast<NSDictionary>(
        compound->responseObjectForResponseDataError(reply(200, "application/json"), bytes("{}"), &error)));
    error = nullptr;
    auto raw = compound->responseObjectForResponseDataError(reply(200, "text/plain"), bytes("plain"), &error);
    EXPECT_EQ(cast<NSData>(raw)->stringValue(), "plain");
    EXPECT_FALSE(error);
}
