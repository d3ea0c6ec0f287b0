// The simulator: boots the platform on a simulated device and shows what the app can do so far:
// it loads a device profile, builds this device's test list from the bundle's test definitions and
// support list, prints it and shows it on the screen.
//
//   Simulator [--device IDENTIFIER] [--list-devices] [--screenshots DIR]
//
// With --screenshots, every screen shown is written to DIR as "<sequence>-<ControllerClass>.png".
#include <Categorys/NSBundleEx.h>
#include <Core/DXSectionModel.h>
#include <Core/DXTestModel.h>
#include <Core/DXTestModelManager.h>
#include <Device/SimDevice.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/Foundation.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSRunLoop.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UITableView.h>
#include <UIKit/UIWindow.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: Simulator [--device IDENTIFIER] [--list-devices] [--screenshots DIR]\n");
    return 2;
}

// The screen that shows the test list: a table of the sections' tests.
class TestListScreen : public UIViewController {
    NS_OBJECT(TestListScreen, UIViewController)
public:
    TestListScreen() = default;
    explicit TestListScreen(const Ref<NSArray>& list) {
        for (const auto& item : *list) {
            if (auto section = cast<DXSectionModel>(item)) {
                sections_.push_back({NSLocalizedString(section->label(), ""_ns), {}});
            } else if (auto test = cast<DXTestModel>(item)) {
                if (sections_.empty()) {
                    sections_.push_back({nullptr, {}});
                }
                sections_.back().tests.push_back(NSLocalizedString(test->title(), ""_ns));
            }
        }
    }
    void viewDidLoad() override {
        UIViewController::viewDidLoad();
        setTitle("Tests"_ns);
        view()->setBackgroundColor(UIColor::whiteColor());
        auto table = make<UITableView>(view()->bounds());
        table->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        table->setDataSource(Ref<TestListScreen>(this));
        view()->addSubview(table);
    }
    NSInteger sections(const Ref<UITableView>&) { return static_cast<NSInteger>(sections_.size()); }
    NSInteger rows(const Ref<UITableView>&, NSInteger section) {
        return static_cast<NSInteger>(sections_[static_cast<size_t>(section)].tests.size());
    }
    Ref<NSString> header(const Ref<UITableView>&, NSInteger section) {
        return sections_[static_cast<size_t>(section)].title;
    }
    Ref<UITableViewCell> cell(const Ref<UITableView>& table, const Ref<NSIndexPath>& path) {
        auto c = table->dequeueReusableCellWithIdentifier("test"_ns);
        if (!c) {
            c = make<UITableViewCell>(UITableViewCellStyleDefault, "test"_ns);
        }
        c->textLabel()->setText(
            sections_[static_cast<size_t>(path->section())].tests[static_cast<size_t>(path->row())]);
        return c;
    }

private:
    struct Section {
        Ref<NSString> title;
        std::vector<Ref<NSString>> tests;
    };
    std::vector<Section> sections_;
};

std::string text(const Ref<NSString>& s) {
    return s ? s->str() : std::string();
}

} // namespace

NS_IMPLEMENT_CLASS(TestListScreen, UIViewController) {
    b.method("numberOfSectionsInTableView:", &TestListScreen::sections);
    b.method("tableView:numberOfRowsInSection:", &TestListScreen::rows);
    b.method("tableView:titleForHeaderInSection:", &TestListScreen::header);
    b.method("tableView:cellForRowAtIndexPath:", &TestListScreen::cell);
}

int main(int argc, char** argv) {
    std::string device = SimDevice::defaultProfile;
    std::string screenshots;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--device") && i + 1 < argc) {
            device = argv[++i];
        } else if (!std::strcmp(argv[i], "--screenshots") && i + 1 < argc) {
            screenshots = argv[++i];
        } else if (!std::strcmp(argv[i], "--list-devices")) {
            for (const auto& name : SimDevice::availableProfiles()) {
                std::printf("%s\n", name.c_str());
            }
            return 0;
        } else {
            return usage();
        }
    }

    dispatch_adopt_current_thread_as_main();
    if (!screenshots.empty()) {
        UIScreenshotRecordToDirectory(screenshots);
    }
    std::string error;
    if (!SimDevice::current().loadProfile(device, &error)) {
        std::fprintf(stderr, "cannot load device profile %s: %s\n", device.c_str(), error.c_str());
        return 1;
    }
    auto identity = SimDevice::current().identity();
    auto screen = SimDevice::current().screen();
    std::printf("Celvix device diagnostics simulator\n");
    std::printf("device: %s (%s, %s %s), screen %.0fx%.0f @%.0fx\n", identity.hardwareIdentifier.c_str(),
                identity.model.c_str(), identity.systemName.c_str(), identity.systemVersion.c_str(), screen.width,
                screen.height, screen.scale);
    std::printf("sandbox: %s\n", text(NSSandbox::rootPath()).c_str());

    auto bundle = NSBundle::mainBundle();
    auto itemList = bundle->pathForResourceOfType("ItemList"_ns, "plist"_ns);
    auto models = bundle->pathForResourceOfType("models"_ns, "plist"_ns);
    std::printf("building the test list for this device...\n");

    bool done = false;
    int status = 0;
    Ref<UIWindow> window;
    DXTestModelManager::sharedInstrance()->loadTestModelWithPlistSupportmodelCompletion(
        itemList, models, [&](const Ref<NSArray>& list, const Ref<NSError>& err) {
            done = true;
            if (err) {
                std::fprintf(stderr, "cannot build the test list: %s\n", text(err->localizedDescription()).c_str());
                status = 1;
                return;
            }
            window = make<UIWindow>();
            window->setRootViewController(make<UINavigationController>(make<TestListScreen>(list)));
            window->makeKeyAndVisible();
            for (const auto& item : *list) {
                if (auto section = cast<DXSectionModel>(item)) {
                    std::printf("\n[%s]\n", text(NSLocalizedString(section->label(), ""_ns)).c_str());
                } else if (auto test = cast<DXTestModel>(item)) {
                    std::printf("  %-28s %s\n", text(test->profilekey()).c_str(),
                                text(NSLocalizedString(test->title(), ""_ns)).c_str());
                }
            }
        });
    auto runLoop = NSRunLoop::mainRunLoop();
    auto deadline = NSDate::dateWithTimeIntervalSinceNow(30);
    while (!done && NSDate::date()->compare(deadline) == NSOrderedAscending) {
        runLoop->runModeBeforeDate(NSDefaultRunLoopMode(), NSDate::dateWithTimeIntervalSinceNow(0.1));
    }
    if (!done) {
        std::fprintf(stderr, "the test list was not built in time\n");
        return 1;
    }
    // Lets the screen settle (layout, drawing, screenshots) before the simulator ends.
    auto settle = NSDate::dateWithTimeIntervalSinceNow(0.5);
    while (NSDate::date()->compare(settle) == NSOrderedAscending) {
        runLoop->runModeBeforeDate(NSDefaultRunLoopMode(), NSDate::dateWithTimeIntervalSinceNow(0.05));
    }
    for (const auto& file : UIScreenshotWrittenFiles()) {
        std::printf("screenshot: %s\n", file.c_str());
    }
    return status;
}
