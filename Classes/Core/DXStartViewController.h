// DXStartViewController: the instruction page shown before a test whose record asks for it: the
// test's icon, title, place in the run ("3/12") and instruction, and a start button that tells the
// delegate (DXStartViewControllerDelegate) to replace the page with the test screen.
//
// Its views come from the layout resource "DXStartViewController" (registered in code). Main thread
// only.
#pragma once

#include <Core/DXTestModel.h>
#include <Core/DXViewController.h>
#include <UIKit/UIImageView.h>

#include <functional>

// Required: `startViewController:withIndexOfDoItem:` (start screen, NSUInteger index). Sent by
// selector.
NS_DECLARE_PROTOCOL(DXStartViewControllerDelegate);

class DXStartViewController : public DXViewController {
    NS_OBJECT(DXStartViewController, DXViewController)
public:
    DXStartViewController() = default;
    // `initWithTestModel:indexOfTestModel:testModelCount:headerDelegate:`.
    DXStartViewController(const Ref<DXTestModel>& testModel, NSUInteger indexOfTestModel, NSUInteger testModelCount,
                          const id& headerDelegate);

    NS_PROPERTY(Ref<DXTestModel>, testModel, setTestModel)
    NS_PROPERTY(NSUInteger, indexOfDoItem, setIndexOfDoItem)
    NS_PROPERTY(NSUInteger, testModelCount, setTestModelCount)
    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    id headerDelegate() const { return headerDelegate_.lock(); }
    void setHeaderDelegate(const id& delegate) { headerDelegate_ = delegate; }
    NS_WEAK_PROPERTY(UIImageView, testImageView, setTestImageView)
    NS_WEAK_PROPERTY(UILabel, testTitleLabel, setTestTitleLabel)
    NS_WEAK_PROPERTY(UILabel, testProgressLabel, setTestProgressLabel)
    NS_WEAK_PROPERTY(UILabel, desc, setDesc)
    NS_WEAK_PROPERTY(UIButton, startButton, setStartButton)
    std::function<void()> startBlock;
    std::function<void()> activeSheetBlock;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    // Dismisses what the presenting chain shows, without animation, then runs startBlock.
    void dismiss(const id& sender);
    // Tells the delegate, when it answers, to start the record at indexOfDoItem.
    void start(const id& sender);

protected:
    void willDealloc() override;

private:
    Weak<NSObject> delegate_;
    Weak<NSObject> headerDelegate_;
};
