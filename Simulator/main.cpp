// The simulator: boots the platform on a simulated device and shows what the app can do so far:
// it loads a device profile, builds this device's test list from the bundle's test definitions and
// support list, and prints it. With --run it walks a run of question tests with a scripted operator
// (answers from --answers, else from the --faults overlay), shows the result screen, sends the final
// transaction to a loopback transaction service and prints each test's result.
//
//   Simulator [--device IDENTIFIER] [--list-devices]
//             [--run KEY,KEY,... [--answers KEY=yes|no,...] [--faults FILE] [--evaluate]]
#include "RunSession.h"

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

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: Simulator [--device IDENTIFIER] [--list-devices]\n"
                 "                 [--run KEY,KEY,... [--answers KEY=yes|no,...] [--faults FILE] [--evaluate]]\n");
    return 2;
}

std::string text(const Ref<NSString>& s) {
    return s ? s->str() : std::string();
}

} // namespace

int main(int argc, char** argv) {
    std::string device = SimDevice::defaultProfile;
    RunOptions run;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--device") && i + 1 < argc) {
            device = argv[++i];
        } else if (!std::strcmp(argv[i], "--run") && i + 1 < argc) {
            run.keys = splitList(argv[++i]);
        } else if (!std::strcmp(argv[i], "--answers") && i + 1 < argc) {
            if (!parseAnswers(argv[++i], run.answers)) {
                return usage();
            }
        } else if (!std::strcmp(argv[i], "--faults") && i + 1 < argc) {
            run.faultsFile = argv[++i];
        } else if (!std::strcmp(argv[i], "--evaluate")) {
            run.evaluate = true;
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

    if (!run.keys.empty()) {
        return runQuestionTests(run);
    }

    auto bundle = NSBundle::mainBundle();
    auto itemList = bundle->pathForResourceOfType("ItemList"_ns, "plist"_ns);
    auto models = bundle->pathForResourceOfType("models"_ns, "plist"_ns);
    std::printf("building the test list for this device...\n");

    bool done = false;
    int status = 0;
    DXTestModelManager::sharedInstrance()->loadTestModelWithPlistSupportmodelCompletion(
        itemList, models, [&](const Ref<NSArray>& list, const Ref<NSError>& err) {
            done = true;
            if (err) {
                std::fprintf(stderr, "cannot build the test list: %s\n", text(err->localizedDescription()).c_str());
                status = 1;
                return;
            }
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
    return status;
}
