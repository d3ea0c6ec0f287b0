#include <Networking/HCJSONRequestSerializer.h>
#include <Networking/HCPropertyListRequestSerializer.h>
#include <Networking/HCQueryStringPair.h>

#include <Foundation/NSNumber.h>
#include <Foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

namespace {

Ref<NSDictionary> dict(std::initializer_list<NSDictionary::Entry> entries) {
    return NSDictionary::dictionaryWithEntries(entries);
}

std::string bodyOf(const Ref<NSURLRequest>& request) {
    return request->HTTPBody() ? request->HTTPBody()->stringValue() : std::string("<nil>");
}

std::string header(const Ref<NSURLRequest>& request, const char* field) {
    auto value = request->valueForHTTPHeaderField(NSString::from(field));
    return value ? value->str() : std::string("<nil>");
}

} // namespace

TEST(QueryString, FlattensSortsAndEscapesNestedParameters) {
    auto parameters = dict({{"c"_ns, dict({{"d"_ns, "x y"_ns}})},
                            {"b"_ns, NSArray::arrayWithObjects({box(1), box(2)})},
                            {"a"_ns, box(1)}});
    EXPECT_EQ(HCJoinQueryPairs(parameters)->str(), "a=1&b%5B%5D=1&b%5B%5D=2&c%5Bd%5D=x%20y");
    EXPECT_EQ(HCJoinQueryPairs(dict({{"n"_ns, NSNull::null()}}))->str(), "n");
    EXPECT_EQ(HCJoinQueryPairs(dict({{"s"_ns, NSSet::setWithObjects({box(3), box(1), box(2)})}}))->str(),
              "s=1&s=2&s=3");
}

TEST(QueryString, EscapesDelimitersButKeepsSlashAndQuestionMark) {
    EXPECT_EQ(HCEscapeQueryComponent("a/b?c"_ns)->str(), "a/b?c");
    EXPECT_EQ(HCEscapeQueryComponent("&=+#%"_ns)->str(), "%26%3D%2B%23%25");
    EXPECT_EQ(HCEscapeQueryComponent("-._~"_ns)->str(), "-._~");
    EXPECT_EQ(HCEscapeQueryComponent(""_ns)->str(), "");
    EXPECT_EQ(HCEscapeQueryComponent("é"_ns)->str(), "%C3%A9");
}

TEST(QueryString, LongValuesNeverSplitAComposedCharacter) {
    // 49 letters, then an emoji made of two UTF-16 units straddling the 50-unit slice boundary.
    std::string text(49, 'a');
    text += "\xF0\x9F\x98\x80";
    text += "bcd";
    auto escaped = HCEscapeQueryComponent(NSString::from(text))->str();
    EXPECT_EQ(escaped, std::string(49, 'a') + "%F0%9F%98%80bcd");
    // A letter with a combining mark at the boundary stays whole too.
    std::string accented(49, 'a');
    accented += "e\xCC\x81z";
    EXPECT_EQ(HCEscapeQueryComponent(NSString::from(accented))->str(), std::string(49, 'a') + "e%CC%81z");
}

TEST(HTTPRequestSerializer, ParametersGoIntoTheURLForGETHeadAndDelete) {
    auto serializer = HCHTTPRequestSerializer::serializer();
    auto get = serializer->requestWithMethodURLStringParameters("get"_ns, "http://h/p"_ns, dict({{"a"_ns, box(1)}}));
    EXPECT_EQ(get->URL()->absoluteString()->str(), "http://h/p?a=1");
    EXPECT_FALSE(get->HTTPBody());
    auto withQuery =
        serializer->requestWithMethodURLStringParameters("GET"_ns, "http://h/p?x=0"_ns, dict({{"a"_ns, box(1)}}));
    EXPECT_EQ(withQuery->URL()->absoluteString()->str(), "http://h/p?x=0&a=1");
    auto empty =
        serializer->requestWithMethodURLStringParameters("DELETE"_ns, "http://h/p"_ns, NSDictionary::dictionary());
    EXPECT_EQ(empty->URL()->absoluteString()->str(), "http://h/p?");
    auto none = serializer->requestWithMethodURLStringParameters("HEAD"_ns, "http://h/p"_ns, nullptr);
    EXPECT_EQ(none->URL()->absoluteString()->str(), "http://h/p");
    EXPECT_EQ(none->HTTPMethod()->str(), "HEAD");
}

TEST(HTTPRequestSerializer, BodyMethodsGetAFormBody) {
    auto serializer = HCHTTPRequestSerializer::serializer();
    auto post = serializer->requestWithMethodURLStringParameters("POST"_ns, "http://h/p"_ns,
                                                                 dict({{"name"_ns, "a b&c"_ns}, {"n"_ns, box(2)}}));
    EXPECT_EQ(bodyOf(post), "n=2&name=a%20b%26c");
    EXPECT_EQ(header(post, "Content-Type"), "application/x-www-form-urlencoded");
    auto bare = serializer->requestWithMethodURLStringParameters("POST"_ns, "http://h/p"_ns, nullptr);
    EXPECT_EQ(bodyOf(bare), "");
    EXPECT_EQ(header(bare, "Content-Type"), "application/x-www-form-urlencoded");
}

TEST(HTTPRequestSerializer, HeadersOnTheRequestWin) {
    auto serializer = HCHTTPRequestSerializer::serializer();
    serializer->setValueForHTTPHeaderField("default"_ns, "X-Thing"_ns);
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString("http://h/"_ns));
    request->setHTTPMethod("POST"_ns);
    request->setValueForHTTPHeaderField("mine"_ns, "x-thing"_ns);
    request->setValueForHTTPHeaderField("text/plain"_ns, "Content-Type"_ns);
    auto serialized =
        serializer->requestBySerializingRequestWithParametersError(request, dict({{"a"_ns, box(1)}}), nullptr);
    EXPECT_EQ(header(serialized, "X-Thing"), "mine");
    EXPECT_EQ(header(serialized, "Content-Type"), "text/plain");
    EXPECT_NE(header(serialized, "User-Agent"), "<nil>");
}

TEST(HTTPRequestSerializer, AssignedRequestSettingsReachEveryRequest) {
    auto serializer = HCHTTPRequestSerializer::serializer();
    auto plain = serializer->requestWithMethodURLStringParameters("GET"_ns, "http://h/"_ns, nullptr);
    EXPECT_EQ(plain->timeoutInterval(), NSURLRequestDefaultTimeoutInterval);
    EXPECT_EQ(serializer->mutableObservedChangedKeyPaths()->count(), 0u);

    serializer->setTimeoutInterval(15.0);
    serializer->setAllowsCellularAccess(true); // its current value still counts as assigned
    auto request = serializer->requestWithMethodURLStringParameters("GET"_ns, "http://h/"_ns, nullptr);
    EXPECT_EQ(request->timeoutInterval(), 15.0);
    EXPECT_TRUE(serializer->mutableObservedChangedKeyPaths()->containsObject("timeoutInterval"_ns));
    EXPECT_TRUE(serializer->mutableObservedChangedKeyPaths()->containsObject("allowsCellularAccess"_ns));
    EXPECT_EQ(serializer->valueForKey("timeoutInterval"_ns)->description()->str(), "15");
}

TEST(HTTPRequestSerializer, CopyKeepsTheTimeOutAndHeaders) {
    auto serializer = HCJSONRequestSerializer::serializer();
    serializer->setTimeoutInterval(10.0);
    serializer->setValueForHTTPHeaderField("v"_ns, "X-Custom"_ns);
    auto copy = cast<HCJSONRequestSerializer>(serializer->copy());
    ASSERT_TRUE(copy);
    auto request = copy->requestWithMethodURLStringParameters("POST"_ns, "http://h/"_ns, dict({{"a"_ns, box(1)}}));
    EXPECT_EQ(request->timeoutInterval(), 10.0);
    EXPECT_EQ(header(request, "X-Custom"), "v");
    EXPECT_EQ(header(request, "Content-Type"), "application/json");
}

TEST(HTTPRequestSerializer, ArchiveKeepsHeadersStyleAndTimeOut) {
    auto serializer = HCJSONRequestSerializer::serializer();
    serializer->setTimeoutInterval(12.0);
    serializer->setAuthorizationHeaderFieldWithToken("t"_ns);
    Ref<NSError> error;
    auto data = NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(serializer, true, &error);
    ASSERT_TRUE(data) << NSDescription(error)->str();
    auto restored = cast<HCJSONRequestSerializer>(
        NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(HCJSONRequestSerializer::class_(), data, &error));
    ASSERT_TRUE(restored) << NSDescription(error)->str();
    EXPECT_EQ(restored->valueForHTTPHeaderField("Authorization"_ns)->str(), "Token token=\"t\"");
    EXPECT_EQ(restored->requestWithMethodURLStringParameters("GET"_ns, "http://h/"_ns, nullptr)->timeoutInterval(),
              12.0);
}

TEST(HTTPRequestSerializer, AuthorizationHeaders) {
    auto serializer = HCHTTPRequestSerializer::serializer();
    serializer->setAuthorizationHeaderFieldWithUsernamePassword("user"_ns, "pässword"_ns);
    EXPECT_EQ(serializer->valueForHTTPHeaderField("Authorization"_ns)->str(), "Basic dXNlcjpww6Rzc3dvcmQ=");
    serializer->setAuthorizationHeaderFieldWithToken("abc"_ns);
    EXPECT_EQ(serializer->valueForHTTPHeaderField("Authorization"_ns)->str(), "Token token=\"abc\"");
    serializer->clearAuthorizationHeader();
    EXPECT_FALSE(serializer->valueForHTTPHeaderField("Authorization"_ns));
}

TEST(HTTPRequestSerializer, AcceptLanguageListsAtMostSixLanguages) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey(
        NSArray::arrayWithObjects({"en"_ns, "fr"_ns, "de"_ns, "it"_ns, "es"_ns, "nl"_ns, "sv"_ns, "da"_ns}),
        "AppleLanguages"_ns);
    EXPECT_EQ(HCHTTPRequestSerializer::serializer()->valueForHTTPHeaderField("Accept-Language"_ns)->str(),
              "en;q=1, fr;q=0.9, de;q=0.8, it;q=0.7, es;q=0.6, nl;q=0.5");
    defaults->setObjectForKey(NSArray::array(), "AppleLanguages"_ns);
    EXPECT_EQ(HCHTTPRequestSerializer::serializer()->valueForHTTPHeaderField("Accept-Language"_ns)->str(), "");
}

TEST(HTTPRequestSerializer, QueryStringBlockErrorsMakeNoRequest) {
    auto serializer = HCHTTPRequestSerializer::serializer();
    serializer->setQueryStringSerializationWithBlock([](const Ref<NSURLRequest>&, const id&, Ref<NSError>* error) {
        *error = make<NSError>("test"_ns, 7);
        return Ref<NSString>();
    });
    Ref<NSError> error;
    EXPECT_FALSE(serializer->requestWithMethodURLStringParametersError("POST"_ns, "http://h/"_ns,
                                                                       dict({{"a"_ns, box(1)}}), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 7);

    serializer->setQueryStringSerializationWithBlock(
        [](const Ref<NSURLRequest>&, const id&, Ref<NSError>*) { return "custom=1"_ns; });
    auto request = serializer->requestWithMethodURLStringParameters("GET"_ns, "http://h/"_ns, dict({{"a"_ns, box(1)}}));
    EXPECT_EQ(request->URL()->absoluteString()->str(), "http://h/?custom=1");
    serializer->setQueryStringSerializationWithStyle(HCHTTPRequestQueryStringDefaultStyle);
    request = serializer->requestWithMethodURLStringParameters("GET"_ns, "http://h/"_ns, dict({{"a"_ns, box(1)}}));
    EXPECT_EQ(request->URL()->absoluteString()->str(), "http://h/?a=1");
}

TEST(JSONRequestSerializer, WritesJSONBodiesForBodyMethodsOnly) {
    auto serializer = HCJSONRequestSerializer::serializer();
    serializer->setTimeoutInterval(15.0);
    auto post = serializer->requestWithMethodURLStringParameters("POST"_ns, "http://h/t"_ns,
                                                                 dict({{"session"_ns, "S1"_ns}, {"n"_ns, box(3)}}));
    EXPECT_EQ(bodyOf(post), "{\"session\":\"S1\",\"n\":3}");
    EXPECT_EQ(header(post, "Content-Type"), "application/json");
    EXPECT_NE(header(post, "Accept-Language"), "<nil>");
    EXPECT_EQ(post->timeoutInterval(), 15.0);

    auto get = serializer->requestWithMethodURLStringParameters("GET"_ns, "http://h/t"_ns, dict({{"a"_ns, box(1)}}));
    EXPECT_EQ(get->URL()->absoluteString()->str(), "http://h/t?a=1");
    EXPECT_FALSE(get->HTTPBody());

    auto bare = serializer->requestWithMethodURLStringParameters("POST"_ns, "http://h/t"_ns, nullptr);
    EXPECT_FALSE(bare->HTTPBody());
    EXPECT_EQ(header(bare, "Content-Type"), "<nil>");
}

TEST(JSONRequestSerializer, ParametersThatAreNoJSONMakeNoRequest) {
    auto serializer = HCJSONRequestSerializer::serializer();
    Ref<NSError> error;
    auto request = serializer->requestWithMethodURLStringParametersError(
        "POST"_ns, "http://h/t"_ns, dict({{"bad"_ns, box(std::numeric_limits<double>::infinity())}}), &error);
    EXPECT_FALSE(request);
    EXPECT_TRUE(error);
}

TEST(PropertyListRequestSerializer, WritesXMLPropertyLists) {
    auto serializer = HCPropertyListRequestSerializer::serializer();
    auto request =
        serializer->requestWithMethodURLStringParameters("PUT"_ns, "http://h/t"_ns, dict({{"k"_ns, "v"_ns}}));
    EXPECT_EQ(header(request, "Content-Type"), "application/x-plist");
    auto plist =
        NSPropertyListSerialization::propertyListWithDataOptionsFormatError(request->HTTPBody(), 0, nullptr, nullptr);
    EXPECT_TRUE(plist && plist->isEqual(dict({{"k"_ns, "v"_ns}})));
    EXPECT_NE(bodyOf(request).find("<?xml"), std::string::npos);

    Ref<NSError> error;
    EXPECT_FALSE(serializer->requestWithMethodURLStringParametersError("POST"_ns, "http://h/"_ns,
                                                                       dict({{"k"_ns, NSNull::null()}}), &error));
    EXPECT_TRUE(error);
}
