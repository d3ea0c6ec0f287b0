// Signals made from delegate callbacks (alerts, action sheets, text views, image pickers) and from
// cell reuse.
#include "ReactiveTestSupport.h"

#include <Reactive/UIActionSheet+RXSignalSupport.h>
#include <Reactive/UIAlertView+RXSignalSupport.h>
#include <Reactive/UICollectionReusableView+RXSignalSupport.h>
#include <Reactive/UIImagePickerController+RXSignalSupport.h>
#include <Reactive/UITableViewCell+RXSignalSupport.h>
#include <Reactive/UITableViewHeaderFooterView+RXSignalSupport.h>
#include <Reactive/UITextView+RXSignalSupport.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UITableView.h>
#include <UIKit/UITestDriver.h>

using namespace rxtest;

namespace {

// A screen that is the delegate of its alerts, sheets, text views and pickers, and the data source
// of a table.
class RXDelegateScreen : public UIViewController {
    NS_OBJECT(RXDelegateScreen, UIViewController)
public:
    void alertClicked(const Ref<UIAlertView>&, NSInteger index) { calls.push_back("clicked " + std::to_string(index)); }
    void willPresentAlert(const Ref<UIAlertView>&) { calls.push_back("willPresent"); }
    void alertDidDismiss(const Ref<UIAlertView>&, NSInteger index) {
        calls.push_back("didDismiss " + std::to_string(index));
    }
    void sheetDidDismiss(const Ref<UIActionSheet>&, NSInteger index) {
        calls.push_back("sheetDidDismiss " + std::to_string(index));
    }
    bool textViewShouldChange(const Ref<UITextView>&, NSRange, const Ref<NSString>& text) {
        calls.push_back("shouldChange " + text->str());
        return text->str() != "!";
    }
    void pickerDidCancel(const Ref<UIImagePickerController>& picker) {
        calls.push_back("pickerDidCancel");
        picker->dismissViewControllerAnimatedCompletion(false);
    }
    NSInteger rows(const Ref<UITableView>&, NSInteger) { return 30; }
    Ref<UITableViewCell> cell(const Ref<UITableView>& table, const Ref<NSIndexPath>& path) {
        auto c = table->dequeueReusableCellWithIdentifier("row"_ns);
        if (!c) {
            c = make<UITableViewCell>(UITableViewCellStyleDefault, "row"_ns);
            made.push_back(c);
        }
        c->textLabel()->setText(NSString::stringWithFormat("Row %ld", path->row()));
        return c;
    }
    std::vector<std::string> calls;
    std::vector<Ref<UITableViewCell>> made;
};

} // namespace

NS_IMPLEMENT_CLASS(RXDelegateScreen, UIViewController) {
    b.method("alertView:clickedButtonAtIndex:", &RXDelegateScreen::alertClicked);
    b.method("willPresentAlertView:", &RXDelegateScreen::willPresentAlert);
    b.method("alertView:didDismissWithButtonIndex:", &RXDelegateScreen::alertDidDismiss);
    b.method("actionSheet:didDismissWithButtonIndex:", &RXDelegateScreen::sheetDidDismiss);
    b.method("textView:shouldChangeTextInRange:replacementText:", &RXDelegateScreen::textViewShouldChange);
    b.method("imagePickerControllerDidCancel:", &RXDelegateScreen::pickerDidCancel);
    b.method("tableView:numberOfRowsInSection:", &RXDelegateScreen::rows);
    b.method("tableView:cellForRowAtIndexPath:", &RXDelegateScreen::cell);
}

class RXDelegateSignalTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        screen_ = make<RXDelegateScreen>();
        UITestDriver::showRootViewController(screen_);
    }
    void TearDown() override {
        for (const auto& window : UIWindow::allWindows()) {
            window->setHidden(true); // when the tests share a process
        }
        screen_ = nullptr;
        PlatformTestCase::TearDown();
    }
    Ref<RXDelegateScreen> screen_;
};

TEST_F(RXDelegateSignalTests, AlertButtonSignalsKeepTheScreenAsTheRealDelegate) {
    auto alert = make<UIAlertView>("Celvix"_ns, "Skip?"_ns, screen_, "NO"_ns, std::vector<Ref<NSString>>{"YES"_ns});
    Recorder clicks;
    Recorder dismissals;
    clicks.subscribe(rx_buttonClickedSignal(alert));
    dismissals.subscribe(rx_willDismissSignal(alert));
    Ref<RXDelegateProxy> proxy = rx_delegateProxy(alert);
    EXPECT_EQ(alert->delegate(), proxy) << "the proxy stands in as the delegate";
    EXPECT_EQ(proxy->rx_proxiedDelegate(), screen_);
    EXPECT_EQ(rx_buttonClickedSignal(alert).get() != nullptr, true);
    EXPECT_EQ(proxy->rx_proxiedDelegate(), screen_) << "asking again installs nothing twice";

    Weak<UIAlertView> weak(alert);
    alert->show();
    alert = nullptr;
    ASSERT_TRUE(UITestDriver::tapAlertButtonTitled("YES"));
    EXPECT_EQ(clicks.events(), (Events{"1", "completed"})) << "the alert went once dismissed";
    EXPECT_EQ(dismissals.events(), (Events{"1", "completed"}));
    EXPECT_FALSE(weak.lock());
    EXPECT_EQ(screen_->calls, (std::vector<std::string>{"willPresent", "didDismiss 1"}))
        << "calls without a signal reach the screen; the ones with a signal go to the signal";
}

TEST_F(RXDelegateSignalTests, ActionSheetButtonSignal) {
    auto sheet =
        make<UIActionSheet>("Title"_ns, screen_, "Cancel"_ns, "Exit"_ns, std::vector<Ref<NSString>>{"Back"_ns});
    Recorder clicks;
    clicks.subscribe(rx_buttonClickedSignal(sheet));
    EXPECT_EQ(sheet->delegate(), rx_delegateProxy(sheet));
    sheet->showInView(screen_->view());
    ASSERT_TRUE(UITestDriver::tapSheetButtonTitled("Back"));
    EXPECT_EQ(clicks.events(), Events{"1"});
    EXPECT_EQ(screen_->calls, std::vector<std::string>{"sheetDidDismiss 1"});

    sheet->showInView(screen_->view());
    ASSERT_TRUE(UITestDriver::tapSheetButtonAtIndex(2));
    EXPECT_EQ(clicks.events(), (Events{"1", "2"}));
    sheet = nullptr;
    EXPECT_EQ(clicks.events().back(), "completed");
}

TEST_F(RXDelegateSignalTests, TextViewTextSignal) {
    auto view = make<UITextView>(CGRectMake(0, 100, 300, 200));
    screen_->view()->addSubview(view);
    view->setText("Hi"_ns);
    view->setDelegate(screen_);
    Recorder texts;
    texts.subscribe(rx_textSignal(view));
    EXPECT_EQ(texts.events(), Events{"Hi"}) << "the current text at once";
    ASSERT_TRUE(UITestDriver::typeIntoTextView(view, " !x"));
    EXPECT_EQ(texts.events(), (Events{"Hi", "Hi ", "Hi x"})) << "the screen still decides what may change";
    EXPECT_EQ(screen_->calls, (std::vector<std::string>{"shouldChange  ", "shouldChange !", "shouldChange x"}));

    Recorder second;
    second.subscribe(rx_textSignal(view));
    EXPECT_EQ(second.events(), Events{"Hi x"});
    EXPECT_EQ(rx_delegateProxy(view)->rx_proxiedDelegate(), screen_);

    view->resignFirstResponder();
    view->removeFromSuperview();
    view = nullptr;
    EXPECT_EQ(texts.events().back(), "completed");
    EXPECT_EQ(second.events().back(), "completed");
}

TEST_F(RXDelegateSignalTests, ReuseSignalsSendAtEveryPrepareForReuse) {
    auto table = make<UITableView>(CGRectMake(0, 0, 320, 440));
    table->setDataSource(screen_);
    screen_->view()->addSubview(table);
    table->layoutIfNeeded();
    ASSERT_FALSE(screen_->made.empty());
    Ref<UITableViewCell> first = screen_->made.front();
    Ref<RXSignal> reuse = rx_prepareForReuseSignal(first);
    EXPECT_EQ(reuse.get(), rx_prepareForReuseSignal(first).get()) << "one signal per view";
    std::vector<id> units;
    reuse->subscribeNext([&](const id& unit) { units.push_back(unit); });
    table->setContentOffset(CGPointMake(0, 440));
    ASSERT_EQ(units.size(), 1u) << "the cell scrolled out and was handed out again";
    EXPECT_EQ(units[0], RXUnit::defaultUnit());

    auto header = make<UITableViewHeaderFooterView>("header"_ns);
    auto supplementary = make<UICollectionReusableView>();
    Recorder headers;
    Recorder supplementaries;
    headers.subscribe(rx_prepareForReuseSignal(header));
    supplementaries.subscribe(rx_prepareForReuseSignal(supplementary));
    header->performSelector("prepareForReuse");
    supplementary->performSelector("prepareForReuse");
    supplementary->performSelector("prepareForReuse");
    EXPECT_EQ(headers.size(), 1u);
    EXPECT_EQ(supplementaries.size(), 2u);
    header = nullptr;
    supplementary = nullptr;
    EXPECT_EQ(headers.events().back(), "completed");
    EXPECT_EQ(supplementaries.events().back(), "completed");
}

TEST_F(RXDelegateSignalTests, ImagePickerSendsEachPictureAndEndsAtCancel) {
    auto picker = make<UIImagePickerController>();
    picker->setDelegate(screen_);
    Recorder pictures;
    std::vector<Ref<NSDictionary>> infos;
    Ref<RXSignal> selected = rx_imageSelectedSignal(picker);
    selected->subscribeNext([&](const id& info) { infos.push_back(cast<NSDictionary>(info)); });
    pictures.subscribe(selected);
    screen_->presentViewControllerAnimatedCompletion(picker, false);
    UITestDriver::settle();

    auto photo = make<UIImage>(CGSizeMake(100, 50), 2.0);
    ASSERT_TRUE(UITestDriver::takePicture(photo));
    ASSERT_EQ(infos.size(), 1u);
    EXPECT_EQ(infos[0]->objectForKey(UIImagePickerControllerOriginalImage()), photo);
    EXPECT_EQ(screen_->presentedViewController(), picker) << "the caller dismisses the picker";

    ASSERT_TRUE(UITestDriver::cancelImagePicker());
    EXPECT_EQ(pictures.events().back(), "completed");
    EXPECT_EQ(pictures.size(), 2u);
    EXPECT_TRUE(screen_->calls.empty()) << "the cancel call belongs to the signal now";
    EXPECT_EQ(screen_->presentedViewController(), picker) << "the caller dismisses the picker";
    screen_->dismissViewControllerAnimatedCompletion(false);

    auto another = make<UIImagePickerController>();
    Recorder never;
    never.subscribe(rx_imageSelectedSignal(another));
    another = nullptr;
    EXPECT_EQ(never.events(), Events{"completed"}) << "a picker that goes ends its signal";
}
