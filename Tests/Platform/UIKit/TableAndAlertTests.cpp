#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIActionSheet.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UIButton.h>
#include <UIKit/UILabel.h>
#include <UIKit/UITableView.h>
#include <UIKit/UITestDriver.h>

#include <string>
#include <vector>

namespace {

class ListScreen : public UIViewController {
    NS_OBJECT(ListScreen, UIViewController)
public:
    NSInteger rows(const Ref<UITableView>&, NSInteger) { return 20; }
    Ref<UITableViewCell> cell(const Ref<UITableView>& table, const Ref<NSIndexPath>& path) {
        auto c = table->dequeueReusableCellWithIdentifier("row"_ns);
        if (!c) {
            c = make<UITableViewCell>(UITableViewCellStyleDefault, "row"_ns);
            ++made;
        }
        c->textLabel()->setText(NSString::stringWithFormat("Row %ld", path->row()));
        return c;
    }
    void willDisplay(const Ref<UITableView>&, const Ref<UITableViewCell>&, const Ref<NSIndexPath>&) { ++displayed; }
    void didSelect(const Ref<UITableView>&, const Ref<NSIndexPath>& path) { selected.push_back(path->row()); }
    // Alert and sheet delegate.
    void clicked(const Ref<UIAlertView>&, NSInteger index) { events.push_back("clicked " + std::to_string(index)); }
    void didDismiss(const Ref<UIAlertView>&, NSInteger index) {
        events.push_back("dismissed " + std::to_string(index));
    }
    void sheetClicked(const Ref<UIActionSheet>&, NSInteger index) {
        events.push_back("sheet " + std::to_string(index));
    }
    int made = 0;
    int displayed = 0;
    std::vector<NSInteger> selected;
    std::vector<std::string> events;
};

} // namespace

NS_IMPLEMENT_CLASS(ListScreen, UIViewController) {
    b.method("tableView:numberOfRowsInSection:", &ListScreen::rows);
    b.method("tableView:cellForRowAtIndexPath:", &ListScreen::cell);
    b.method("tableView:willDisplayCell:forRowAtIndexPath:", &ListScreen::willDisplay);
    b.method("tableView:didSelectRowAtIndexPath:", &ListScreen::didSelect);
    b.method("alertView:clickedButtonAtIndex:", &ListScreen::clicked);
    b.method("alertView:didDismissWithButtonIndex:", &ListScreen::didDismiss);
    b.method("actionSheet:clickedButtonAtIndex:", &ListScreen::sheetClicked);
}

class TableAndAlertTests : public PlatformTestCase {};

TEST_F(TableAndAlertTests, TableMakesVisibleRowsAndReusesCells) {
    auto screen = make<ListScreen>();
    UITestDriver::showRootViewController(screen);
    auto table = make<UITableView>(CGRectMake(0, 0, 320, 440));
    table->setDataSource(screen);
    table->setDelegate(screen);
    screen->view()->addSubview(table);
    table->layoutIfNeeded();
    EXPECT_EQ(table->visibleCells()->count(), 10u) << "440 points of 44-point rows";
    EXPECT_EQ(screen->made, 10);
    EXPECT_EQ(screen->displayed, 10);
    table->setContentOffset(CGPointMake(0, 440));
    EXPECT_EQ(screen->made, 10) << "the rows scrolled in reuse the cells that left";
    EXPECT_EQ(cast<UITableViewCell>(table->visibleCells()->objectAtIndex(0))->textLabel()->text()->str(), "Row 10");
    EXPECT_EQ(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(0, 0)), nullptr);
    EXPECT_THROW(table->dequeueReusableCellWithIdentifierForIndexPath("unregistered"_ns,
                                                                      NSIndexPath::indexPathForRowInSection(0, 0)),
                 NSException);

    table->setContentOffset(CGPointZero);
    EXPECT_TRUE(UITestDriver::tapView(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(2, 0))));
    EXPECT_EQ(screen->selected, (std::vector<NSInteger>{2}));
    EXPECT_EQ(table->indexPathForSelectedRow()->row(), 2);
}

TEST_F(TableAndAlertTests, AlertButtonIndexesAndDelegateCalls) {
    auto screen = make<ListScreen>();
    auto alert = make<UIAlertView>("Celvix"_ns, "Skip?"_ns, screen, "NO"_ns, std::vector<Ref<NSString>>{"YES"_ns});
    alert->addButtonWithTitle("LATER"_ns);
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(2)->str(), "LATER");
    Weak<UIAlertView> weak(alert);
    alert->show();
    alert = nullptr;
    EXPECT_TRUE(weak.lock()) << "a shown alert is kept by the platform";
    EXPECT_TRUE(UITestDriver::isTextVisible("Skip?"));
    EXPECT_TRUE(UITestDriver::tapAlertButtonTitled("YES"));
    EXPECT_EQ(screen->events, (std::vector<std::string>{"clicked 1", "dismissed 1"}));
    EXPECT_FALSE(weak.lock());

    screen->events.clear();
    auto other = make<UIAlertView>("Celvix"_ns, nullptr, screen, "Cancel"_ns);
    other->show();
    other->dismissWithClickedButtonIndexAnimated(0, false);
    EXPECT_EQ(screen->events, (std::vector<std::string>{"dismissed 0"})) << "no click when dismissed in code";
    EXPECT_FALSE(UITestDriver::topAlert());
}

TEST_F(TableAndAlertTests, ActionSheetNumbersDestructiveOthersThenCancel) {
    auto screen = make<ListScreen>();
    UITestDriver::showRootViewController(screen);
    auto sheet = make<UIActionSheet>("Title"_ns, screen, "Cancel"_ns, "Exit"_ns, std::vector<Ref<NSString>>{"Back"_ns});
    sheet->addButtonWithTitle("Skip"_ns);
    EXPECT_EQ(sheet->destructiveButtonIndex(), 0);
    EXPECT_EQ(sheet->buttonTitleAtIndex(1)->str(), "Back");
    EXPECT_EQ(sheet->cancelButtonIndex(), 2);
    EXPECT_EQ(sheet->buttonTitleAtIndex(3)->str(), "Skip");
    sheet->showInView(screen->view());
    EXPECT_NE(UITestDriver::describeScreen().find("Sheet: \"Title\""), std::string::npos);
    EXPECT_TRUE(UITestDriver::tapSheetButtonTitled("Skip"));
    EXPECT_EQ(screen->events, (std::vector<std::string>{"sheet 3"}));
    EXPECT_FALSE(UITestDriver::topSheet());
}

// Cells as the sensor screens make them: a plain title, a name and a value in labels of the cell's
// own (one of them hidden), a label beside a button, and nothing at all.
TEST_F(TableAndAlertTests, TheTextPictureShowsTheTextsACellShows) {
    auto screen = make<ListScreen>();
    UITestDriver::showRootViewController(screen);
    auto cell = [&](std::vector<const char*> texts) {
        auto c = make<UITableViewCell>(UITableViewCellStyleDefault, "meter"_ns);
        c->setFrame(CGRectMake(0, 22 * screen->view()->subviewList().size(), 320, 22));
        CGFloat x = 0;
        for (const char* text : texts) {
            auto label = make<UILabel>(CGRectMake(x += 60, 0, 60, 22));
            label->setText(NSString::from(text));
            c->contentView()->addSubview(label);
        }
        screen->view()->addSubview(c);
        return c;
    };
    cell({})->textLabel()->setText("Compass"_ns);
    cell({"x", "-1.5", "hidden"})->contentView()->subviewList().back()->setHidden(true);
    auto retry = UIButton::buttonWithType(UIButtonTypeSystem);
    retry->setTitleForState("Retry"_ns, UIControlStateNormal);
    cell({"y"})->contentView()->addSubview(retry);
    cell({});
    auto picture = UITestDriver::describeScreen();
    auto at = [&](const std::string& line) { return picture.find(line + "\n"); };
    EXPECT_NE(at("Cell: \"Compass\""), std::string::npos) << picture;
    EXPECT_NE(at("Cell: \"x\" \"-1.5\""), std::string::npos) << picture;
    EXPECT_LT(at("Cell: \"y\""), at("Button: \"Retry\"")) << "the button keeps its own line, after its cell";
    EXPECT_NE(at("Cell: \"\""), std::string::npos) << "an empty cell still shows as one";
    EXPECT_EQ(picture.find("hidden"), std::string::npos);
    EXPECT_EQ(picture.find("Label: "), std::string::npos) << "a cell's labels are not told twice";
}
