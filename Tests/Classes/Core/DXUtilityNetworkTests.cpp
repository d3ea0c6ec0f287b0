// The model-number look-up against a model-list server on 127.0.0.1 (real time).
#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Categorys/DXUtility.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSThread.h>

#include <httplib.h>

#include <gtest/gtest.h>

namespace {

class ModelNumberLookUpTest : public testing::Test {
protected:
    void SetUp() override { NSSandbox::useTemporaryRoot(); }

    // Looks the identifier up and waits for the one completion.
    Ref<NSString> lookUp(const char* identifier) {
        int calls = 0;
        bool onMain = false;
        Ref<NSString> number;
        DXUtility::deviceModelNumberWithInternalNameCompletion(NSString::from(identifier), [&](const Ref<NSString>& n) {
            ++calls;
            onMain = NSThread::isMainThread();
            number = n;
        });
        EXPECT_TRUE(runMainLoopUntil([&] { return calls > 0; }, 10.0));
        drainMainLoop(0.1);
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(onMain);
        return number;
    }

    void serve(const std::string& body, int status = 200) {
        server_.server().Get("/static/json/AppleModel.json",
                             [body, status](const httplib::Request&, httplib::Response& response) {
                                 response.status = status;
                                 response.set_content(body, "application/json");
                             });
        server_.start();
        DXUtility::setModelListServer(NSString::from(server_.url("")));
    }

    LoopbackServer server_;
};

} // namespace

TEST_F(ModelNumberLookUpTest, FindsTheLastMatchingGroup) {
    serve(R"json({"iOS": {"iPhone": [
        {"X": [{"identifier": "iPhone10,3", "devicenumber": "A1865"}]},
        {"X (2)": [{"identifier": "iPhone10,3", "devicenumber": "A1901"}]}]}})json");
    auto number = lookUp("iPhone10,3");
    ASSERT_TRUE(number);
    EXPECT_EQ(number->str(), "A1901");
    EXPECT_FALSE(lookUp("iPhone1,1"));
}

TEST_F(ModelNumberLookUpTest, ListWithoutIOSGivesNil) {
    serve(R"({"android": {}})");
    EXPECT_FALSE(lookUp("iPhone10,3"));
}

TEST_F(ModelNumberLookUpTest, ServerErrorsGiveNil) {
    serve("{}", 500);
    EXPECT_FALSE(lookUp("iPhone10,3"));
}

TEST_F(ModelNumberLookUpTest, UnreachableServerGivesNil) {
    // A port nobody listens on: take one from a server and stop it.
    server_.start();
    auto address = server_.url("");
    server_.stop();
    DXUtility::setModelListServer(NSString::from(address));
    EXPECT_FALSE(lookUp("iPhone10,3"));
}
