// The small widgets: the name/value cell, the precision preview, the chooser and the test item record.
#include "ScreenTestCase.h"

#include <Core/ChooseViewController.h>
#include <Core/DetailViewController.h>
#include <Core/NormalTableViewCell.h>
#include <Core/TestBaseModel.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UINib.h>

#include <optional>

namespace {

class WifiItem : public TestBaseModel {
    NS_OBJECT(WifiItem, TestBaseModel)
public:
    WifiItem() = default;
};

class SmallWidgetsTests : public ScreenTestCase {};

} // namespace

NS_IMPLEMENT_CLASS(WifiItem, TestBaseModel) {}

TEST_F(SmallWidgetsTests, TestItemFilledByKey) {
    auto properties =
        NSDictionary::dictionaryWithEntries({{"name"_ns, "Wifi"_ns}, {"isAuto"_ns, box(1)}, {"success"_ns, box(2)}});
    auto item = make<TestBaseModel>(properties);
    EXPECT_EQ(item->name()->str(), "Wifi");
    EXPECT_TRUE(item->isAuto());
    EXPECT_EQ(item->success(), 2);
    EXPECT_FALSE(item->title());
    EXPECT_FALSE(item->selected());
    EXPECT_EQ(item->endTestCode(), 0);
    EXPECT_FALSE(item->header());

    auto bad = NSDictionary::dictionaryWithEntries({{"name"_ns, "Wifi"_ns}, {"noSuchKey"_ns, box(1)}});
    EXPECT_THROW(make<TestBaseModel>(bad), NSException);
    EXPECT_NO_THROW(make<TestBaseModel>(Ref<NSDictionary>()));

    auto sub = TestBaseModel::customClassWithProperties(WifiItem::class_(), properties);
    EXPECT_TRUE(sub->isKindOfClass(WifiItem::class_()));
    EXPECT_EQ(sub->success(), 2);
    EXPECT_FALSE(TestBaseModel::info());
}

TEST_F(SmallWidgetsTests, ValueColourTouchesOnlyTheValue) {
    auto objects = NormalTableViewCell::nib()->instantiateWithOwnerOptions(nullptr, nullptr);
    auto cell = cast<NormalTableViewCell>(objects->lastObject());
    ASSERT_TRUE(cell && cell->fieldName() && cell->fieldValue());
    auto nameColour = cell->fieldName()->textColor();
    cell->setValueColor(UIColor::redColor());
    EXPECT_TRUE(cell->fieldValue()->textColor()->isEqual(UIColor::redColor()));
    EXPECT_TRUE(NSObjectsEqual(cell->fieldName()->textColor(), nameColour));
}

TEST_F(SmallWidgetsTests, PrecisionPreviewShowsFiftyOnLoad) {
    auto detail = make<DetailViewController>();
    detail->loadViewIfNeeded();
    ASSERT_TRUE(detail->percentLabel());
    EXPECT_EQ(detail->percentLabel()->text()->str(), "Pressure: 50%");
    EXPECT_EQ(DetailViewController::precisionText(100)->str(), "Pressure: 100%");
}

TEST_F(SmallWidgetsTests, ChooserReportsByTagAndStays) {
    auto host = make<UIViewController>();
    UITestDriver::showRootViewController(host);
    std::optional<bool> choice;
    auto chooser = ChooseViewController::showChooseViewControllerOnChoose(host, [&](bool all) { choice = all; });
    advance(0.5);
    EXPECT_EQ(host->presentedViewController(), chooser);
    EXPECT_EQ(chooser->modalPresentationStyle(), UIModalPresentationOverCurrentContext);
    EXPECT_EQ(chooser->modalTransitionStyle(), UIModalTransitionStyleCrossDissolve);
    ASSERT_TRUE(chooser->allTestBtn() && chooser->individualBtn());
    EXPECT_EQ(chooser->allTestBtn()->layer()->borderWidth(), 1.0);
    EXPECT_EQ(chooser->allTestBtn()->layer()->cornerRadius(), 5.0);

    ASSERT_TRUE(UITestDriver::tapView(chooser->allTestBtn()));
    EXPECT_EQ(choice, std::optional<bool>(false)) << "tag 0";
    chooser->individualBtn()->setTag(7);
    ASSERT_TRUE(UITestDriver::tapView(chooser->individualBtn()));
    EXPECT_EQ(choice, std::optional<bool>(true)) << "any other tag";
    EXPECT_EQ(host->presentedViewController(), chooser) << "the chooser does not dismiss itself";

    chooser->setOnchoose(nullptr);
    EXPECT_TRUE(UITestDriver::tapView(chooser->allTestBtn()));
}
