// Session links from QR texts and typed entries.
#include <Shell/DXSessionLink.h>

#include <gtest/gtest.h>

#include <string>

namespace {

DXSessionLink scanned(const std::string& text) {
    return DXSessionLinkFromScannedText(NSString::from(text));
}
DXSessionLink typed(const std::string& server, const std::string& session = "S1") {
    return DXSessionLinkFromTypedEntry(NSString::from(server), NSString::from(session));
}
std::string webservice(const DXSessionLink& link) {
    return link.isValid() ? link.webservice->str() : "<invalid>";
}

} // namespace

TEST(ScannedSessionLink, ServerAndIdOfAnAcceptedLink) {
    auto link = scanned("https://tx.example.com/download_app/?sessionid=ab12");
    ASSERT_TRUE(link.isValid());
    EXPECT_EQ(link.webservice->str(), "https://tx.example.com");
    EXPECT_EQ(link.sessionid->str(), "ab12");
    EXPECT_FALSE(link.refusal);
    // Plain http stays plain http, with a port; surrounding line ends do not matter.
    link = scanned("  http://10.0.0.5:8000/download_app/?sessionid=77\n");
    EXPECT_EQ(webservice(link), "http://10.0.0.5:8000");
    EXPECT_EQ(webservice(scanned("http://[::1]:8080/download_app/?sessionid=1")), "http://[::1]:8080");
}

TEST(ScannedSessionLink, AnIdWithAHyphenIsKeptWhole) {
    auto link = scanned("https://tx.example/download_app/?sessionid=ab-12-cd");
    ASSERT_TRUE(link.isValid());
    EXPECT_EQ(link.sessionid->str(), "ab-12-cd");
}

TEST(ScannedSessionLink, TextsThatAreNotExactlyOneLinkAreIgnored) {
    for (const char* text : {
             "",
             "hello",
             "HTTPS://tx.example/download_app/?sessionid=1", // scheme in capitals
             "https://tx.example/download_app/?sessionid=",  // no id
             "https://tx.example/download_app?sessionid=1",  // path without "/"
             "ftp://tx.example/download_app/?sessionid=1",
             "https://tx.example/download_app/?sessionid=1\nhttps://other.example/download_app/?sessionid=2",
             "https://good.example/download_app/?sessionid=1 2", // white space inside the id
             "https://good.example@evil.example/download_app/?sessionid=1",
             "https://good.example/download_app/?sessionid=1 https://evil.example/download_app/?sessionid=2",
             "https:///download_app/?sessionid=1",
         }) {
        auto link = scanned(text);
        EXPECT_FALSE(link.isValid()) << text;
        EXPECT_FALSE(link.refusal) << text;
    }
    EXPECT_FALSE(DXSessionLinkFromScannedText(nullptr).isValid());
    // Bytes that are not UTF-8, and other non-ASCII text, found by the fuzzer.
    EXPECT_FALSE(scanned("imei=35&meise\xf2&proS%2\xe5\xa6%20X&productPiouciPuciPheone").isValid());
    EXPECT_FALSE(scanned("https://t\xc3\xa9st.example/download_app/?sessionid=1").isValid());
    EXPECT_FALSE(scanned(std::string(5000, 'a')).isValid());
}

TEST(ScannedSessionLink, TheLinkIsFoundAnywhereAndItsIdRunsToTheEndOfItsLine) {
    auto link = scanned("label: https://tx.example/download_app/?sessionid=ab-12");
    ASSERT_TRUE(link.isValid());
    EXPECT_EQ(link.webservice->str(), "https://tx.example");
    EXPECT_EQ(link.sessionid->str(), "ab-12");
    link = scanned("Session\nhttps://tx.example/download_app/?sessionid=a1&x=2;y\r\nStore 7\n");
    ASSERT_TRUE(link.isValid());
    EXPECT_EQ(link.sessionid->str(), "a1&x=2;y");
    // The host the device talks to is the host that was accepted: a link in capitals before it is
    // only a label.
    link = scanned("HTTP://evil.example/download_app/?sessionid=x https://good.example/download_app/?sessionid=y");
    EXPECT_EQ(webservice(link), "https://good.example");
    // Text that is not ASCII (or not even UTF-8) around the link does not matter; in it, it does.
    link = scanned("S\xc3\xa9"
                   "ance \xff: https://tx.example/download_app/?sessionid=9");
    ASSERT_TRUE(link.isValid());
    EXPECT_EQ(link.sessionid->str(), "9");
    EXPECT_FALSE(scanned("https://tx.example/download_app/?sessionid=9\xc3\xa9").isValid());
    EXPECT_FALSE(scanned("https://tx.example/download_app/?sessionid=9\xff").isValid());
}

TEST(TypedSession, ServerIsTrimmedAndGetsOneScheme) {
    EXPECT_EQ(webservice(typed("  tx.example.com \n")), "https://tx.example.com");
    EXPECT_EQ(webservice(typed("https://tx.example.com")), "https://tx.example.com");
    EXPECT_EQ(webservice(typed("http://tx.example.com")), "http://tx.example.com");
    EXPECT_EQ(webservice(typed("HTTPS://tx.example.com/")), "HTTPS://tx.example.com");
    EXPECT_EQ(webservice(typed("tx.example.com/download_app/")), "https://tx.example.com");
    EXPECT_EQ(webservice(typed("tx.example.com/download_app")), "https://tx.example.com");
    EXPECT_EQ(webservice(typed("tx.example.com:8443")), "https://tx.example.com:8443");
    EXPECT_EQ(webservice(typed("[2001:db8::1]:8443")), "https://[2001:db8::1]:8443");
    auto link = typed("tx.example.com", "  ab-12 \t");
    ASSERT_TRUE(link.isValid());
    EXPECT_EQ(link.sessionid->str(), "ab-12");
}

TEST(TypedSession, UnusableEntriesNameTheirReason) {
    for (const std::string& server :
         {std::string(""), std::string("   "), std::string("tx example.com"), std::string("ftp://tx.example.com"),
          std::string("https://"), std::string("user:pw@tx.example.com"), std::string("tx.example.com?x=1"),
          std::string("tx.example.com/download_app/?sessionid=1"), std::string("2001:db8::1"), std::string(2000, 'a'),
          std::string("tx.example.com#frag")}) {
        auto link = typed(server);
        EXPECT_FALSE(link.isValid()) << server;
        ASSERT_TRUE(link.refusal) << server;
        EXPECT_EQ(link.refusal->str(), kDXSessionServerRefusal) << server;
    }
    for (const char* session : {"", "   ", "a b"}) {
        auto link = typed("tx.example.com", session);
        ASSERT_TRUE(link.refusal) << session;
        EXPECT_EQ(link.refusal->str(), kDXSessionIdRefusal);
    }
}
