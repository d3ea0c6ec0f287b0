// The system's message composer as a person uses it: Send over a working carrier delivers the
// message and reports sent; Send without a network shows the failure notice and reports failed once
// the person has seen it; Cancel reports cancelled and sends nothing; nothing finishes by itself.
#include <Device/SimRadios.h>
#include <MessageUI/MFMessageComposeViewController.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UITestDriver.h>

#include <vector>

namespace {

// The application's side: dismisses the composer when it finishes, as the SMS screen does.
class ComposeTestDelegate : public NSObject {
    NS_OBJECT(ComposeTestDelegate, NSObject)
public:
    void didFinish(const Ref<MFMessageComposeViewController>& composer, const Ref<NSNumber>& result) {
        results.push_back(result->integerValue());
        composer->dismissViewControllerAnimatedCompletion(true);
    }
    std::vector<NSInteger> results;
};

} // namespace

NS_IMPLEMENT_CLASS(ComposeTestDelegate, NSObject) {
    b.method("messageComposeViewController:didFinishWithResult:", &ComposeTestDelegate::didFinish);
}

class MessageComposerTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        receiver = radios.addMessageReceiver([this](const SimRadios::Message& m) { delivered.push_back(m); });
        UITestDriver::showRootViewController(app);
    }
    void TearDown() override {
        radios.removeMessageReceiver(receiver);
        PlatformTestCase::TearDown();
    }
    void compose(const char* body = "Tessaly Test SMS", const char* to = "5551234567") {
        auto composer = make<MFMessageComposeViewController>();
        composer->setBody(NSString::from(body));
        composer->setRecipients(to ? NSArray::arrayWithObjects({NSString::from(to)}) : NSArray::array());
        composer->setMessageComposeDelegate(delegate);
        app->presentViewControllerAnimatedCompletion(composer, true);
        advance(1); // the composer slides up
    }
    static bool tap(const char* title) {
        bool tapped = UITestDriver::tapButtonTitled(title);
        UITestDriver::settle();
        return tapped;
    }
    std::vector<NSInteger> results() const { return delegate->results; }

    SimRadios& radios = SimRadios::current();
    Ref<UIViewController> app = make<UIViewController>();
    Ref<ComposeTestDelegate> delegate = make<ComposeTestDelegate>();
    std::vector<SimRadios::Message> delivered;
    uint64_t receiver = 0;
};

TEST_F(MessageComposerTests, ItWaitsForThePersonAndCancelSendsNothing) {
    compose();
    for (const char* text : {"New Message", "To: 5551234567", "Tessaly Test SMS"}) {
        EXPECT_TRUE(UITestDriver::isTextVisible(text)) << text << "\n" << UITestDriver::describeScreen();
    }
    advance(600);
    EXPECT_TRUE(results().empty());
    ASSERT_TRUE(tap("Cancel"));
    EXPECT_EQ(results(), std::vector<NSInteger>{MessageComposeResultCancelled});
    EXPECT_TRUE(radios.messages().empty());
    EXPECT_TRUE(delivered.empty());
}

TEST_F(MessageComposerTests, SendOverAWorkingCarrierDeliversTheMessage) {
    compose();
    ASSERT_TRUE(tap("Send"));
    EXPECT_EQ(results(), std::vector<NSInteger>{MessageComposeResultSent});
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].body, "Tessaly Test SMS");
    EXPECT_EQ(delivered[0].recipients, std::vector<std::string>{"5551234567"});
    advance(1);
    EXPECT_FALSE(app->presentedViewController());
}

TEST_F(MessageComposerTests, SendWithoutANetworkShowsTheFailureBeforeItFinishes) {
    radios.setState(SimRadios::Part::Carrier, SimRadios::State::Dead);
    compose();
    ASSERT_TRUE(tap("Send"));
    EXPECT_TRUE(UITestDriver::isTextVisible("Message Failed"));
    EXPECT_TRUE(UITestDriver::isTextVisible("Not Delivered"));
    EXPECT_FALSE(tap("Cancel"));
    advance(600);
    EXPECT_TRUE(results().empty()) << "the person has not seen the notice yet";
    ASSERT_TRUE(tap("OK"));
    EXPECT_EQ(results(), std::vector<NSInteger>{MessageComposeResultFailed});
    EXPECT_TRUE(delivered.empty());
    ASSERT_EQ(radios.messages().size(), 1u);
    EXPECT_FALSE(radios.messages()[0].sent);
}

TEST_F(MessageComposerTests, SendWaitsForARecipientAndAMessage) {
    // With nobody to send to, or nothing to send, Send stays dimmed and a tap on it sends nothing;
    // Cancel still closes the composer.
    const std::pair<const char*, const char*> incomplete[] = {
        {"Tessaly Test SMS", nullptr}, {"Tessaly Test SMS", ""}, {"", "5551234567"}};
    for (const auto& [body, to] : incomplete) {
        compose(body, to);
        auto send = UITestDriver::findButton("Send");
        ASSERT_TRUE(send) << UITestDriver::describeScreen();
        EXPECT_FALSE(send->isEnabled()) << "\"" << body << "\" to " << (to ? to : "nobody");
        UITestDriver::tapView(send);
        UITestDriver::settle();
        EXPECT_TRUE(results().empty());
        ASSERT_TRUE(tap("Cancel"));
        advance(1);
        ASSERT_EQ(results(), std::vector<NSInteger>{MessageComposeResultCancelled});
        delegate->results.clear();
    }
    EXPECT_TRUE(radios.messages().empty());
    EXPECT_TRUE(delivered.empty());
}
