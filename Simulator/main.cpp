// The simulator is the app on a simulated device. Without arguments it walks the whole road against
// a loopback transaction service: launch, the URL-scheme entry with the device identifiers, Start,
// the typed session, the start transaction, the run with a scripted operator, the result screen and
// the final transaction, then prints a table of the results (see --help). With --list it prints
// this device's test list; with --run it walks a run of question tests without the session road.
// The app's own log goes to a file beside the run (AppLog.h) unless --verbose asks for it here.
#include "AppLog.h"
#include "AppRoad.h"
#include "DeviceFaults.h"
#include "Drive.h"
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
#include <Foundation/NSUUID.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

const char* const kUsage =
    "usage: Simulator [--device ID] [--faults FILE] [--operator FILE] [--server URL] [--screenshots DIR]\n"
    "                 [--real-time] [--evaluate] [--verbose]\n"
    "       Simulator --list [--device ID] [--verbose] | --list-devices\n"
    "       Simulator --run KEY,KEY,... [--answers KEY=yes|no,...] [--faults FILE] [--screenshots DIR] [--evaluate]\n"
    "                 [--verbose]\n"
    "\n"
    "Runs the app on a simulated device and walks the whole road: the app is launched, opened by its\n"
    "enoxm:// URL with the device identifiers, Start is pressed, the session is typed in, the start\n"
    "transaction goes to the transaction service, every test of the session runs with a scripted\n"
    "operator, the result screen sends the final transaction (trade-in), and a table of the results\n"
    "(test, result, time) and the transaction the service received are printed. Exit status 0 when\n"
    "the road completed and the service received the final transaction, 1 when it did not, a screen\n"
    "asked for an image the bundle lacks (named with its screen) or a picture could not be written\n"
    "(named), 2 for bad input (an unknown device, part or test key, a --screenshots folder that takes\n"
    "no file) or a sandbox that another run is using.\n"
    "Each device keeps its own sandbox, $XDG_DATA_HOME/celvix/<device> or\n"
    "~/.local/share/celvix/<device> ($DX_SANDBOX_ROOT names another), and a run holds it while it\n"
    "runs: a second run on it (--list too) is refused at once.\n"
    "The app's own log (its NSLog lines) goes to app.log in the sandbox, or in the --screenshots\n"
    "folder when there is one (the run before's log is kept as app.log.1); the last line printed\n"
    "names the file.\n"
    "\n"
    "  --device ID        the device to run on, by its id (--list-devices names them)\n"
    "  --faults FILE      a faults overlay over the device profile, e.g. {\"screen\": \"cracked\",\n"
    "                     \"speaker\": \"dead\"}: the operator answers NO to a question about a broken\n"
    "                     part; a part of the device itself (sensors, audio, cameras and display,\n"
    "                     touch and keys, power and radios) breaks on the device, and the operator\n"
    "                     finds out by trying it. The part names are listed below; their states\n"
    "                     are in docs/device.md\n"
    "  --operator FILE    scripted answers by test key, {\"DECORATION_TEST\": \"no\"}, over the faults;\n"
    "                     \"none\" leaves that test's screen alone (a test with a time limit then\n"
    "                     times out)\n"
    "  --server URL       a real transaction service instead of the loopback one: what it received is\n"
    "                     not seen, so \"accepted\" then says only that it answered so\n"
    "  --screenshots DIR  write a PNG of every new screen once it has settled (\"<n>-<Controller>.png\")\n"
    "                     and of each question, overlay, alert, sheet or prompt that comes on it\n"
    "                     (\"<n>-<Controller>-question.png\", ...), and a text picture of the screen at\n"
    "                     every step into DIR\n"
    "  --real-time        run on the wall clock (default: virtual time, a run takes seconds)\n"
    "  --evaluate         send an evaluation instead of a trade-in\n"
    "  --verbose          print the app's own log on the terminal (standard error), as the device's\n"
    "                     console shows it, instead of into app.log\n"
    "  --list             print this device's test list\n"
    "  --run KEYS         walk a run of the given question, sensor, touch and key tests only (no session road)\n"
    "  --help             this text\n";

// The usage text, then every part name a faults overlay may use.
void printUsage(FILE* out) {
    std::fprintf(out, "%s\nparts:", kUsage);
    size_t column = 6;
    for (const auto& part : knownFaultParts()) {
        if (column + part.size() + 1 > 100) {
            std::fprintf(out, "\n      ");
            column = 6;
        }
        std::fprintf(out, " %s", part.c_str());
        column += part.size() + 1;
    }
    std::fprintf(out, "\n");
}

int usage() {
    printUsage(stderr);
    return 2;
}

std::string text(const Ref<NSString>& s) {
    return s ? s->str() : std::string();
}

// Whether a file can be made in `folder`, tried by making one: the only answer that holds for every
// user and file system (a permission check passes for root in the kernel's own file systems, which
// refuse every new file all the same). The reason in `reason` when not.
bool canWriteInto(const std::string& folder, std::string& reason) {
    auto probe = NSString::from(folder + "/.write-check-" + text(NSUUID::UUID()->UUIDString()));
    Ref<NSError> error;
    if (!NSData::data()->writeToFileOptionsError(probe, NSDataWritingWithoutOverwriting, &error)) {
        auto underlying = error ? cast<NSError>(error->userInfo()->objectForKey(NSUnderlyingErrorKey())) : nullptr;
        reason = text(underlying ? underlying->localizedDescription()
                      : error    ? error->localizedDescription()
                                 : "not writable"_ns);
        return false;
    }
    Ref<NSError> ignored;
    (void)NSFileManager::defaultManager()->removeItemAtPathError(probe, &ignored);
    return true;
}

// Runs the app on the loaded device as asked: the list, a run of chosen tests, or the whole road.
int runApp(bool list, const RunOptions& run, const RoadOptions& road) {
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
    if (!list) {
        return runAppRoad(road);
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
    driveUntil([&] { return done; }, 30);
    if (!done) {
        std::fprintf(stderr, "the test list was not built in time\n");
        return 1;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    std::string device = SimDevice::defaultProfile;
    RunOptions run;
    RoadOptions road;
    bool list = false;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            printUsage(stdout);
            return 0;
        } else if (!std::strcmp(argv[i], "--list")) {
            list = true;
        } else if (!std::strcmp(argv[i], "--operator") && i + 1 < argc) {
            road.operatorFile = argv[++i];
        } else if (!std::strcmp(argv[i], "--server") && i + 1 < argc) {
            road.server = argv[++i];
        } else if (!std::strcmp(argv[i], "--screenshots") && i + 1 < argc) {
            road.screenshotsDir = argv[++i];
        } else if (!std::strcmp(argv[i], "--verbose")) {
            verbose = true;
        } else if (!std::strcmp(argv[i], "--real-time")) {
            road.realTime = true;
        } else if (!std::strcmp(argv[i], "--device") && i + 1 < argc) {
            device = argv[++i];
        } else if (!std::strcmp(argv[i], "--run") && i + 1 < argc) {
            run.keys = splitList(argv[++i]);
        } else if (!std::strcmp(argv[i], "--answers") && i + 1 < argc) {
            if (!parseAnswers(argv[++i], run.answers)) {
                return usage();
            }
        } else if (!std::strcmp(argv[i], "--faults") && i + 1 < argc) {
            run.faultsFile = argv[++i];
            road.faultsFile = run.faultsFile;
        } else if (!std::strcmp(argv[i], "--evaluate")) {
            run.evaluate = true;
            road.evaluate = true;
        } else if (!std::strcmp(argv[i], "--list-devices")) {
            for (const auto& name : SimDevice::availableProfiles()) {
                std::printf("%s\n", name.c_str());
            }
            return 0;
        } else {
            return usage();
        }
    }

    // The session road's own options mean nothing to a run of chosen tests, and answers by key only
    // to such a run: a mix is refused rather than half ignored.
    if (!run.keys.empty() && (!road.operatorFile.empty() || !road.server.empty() || road.realTime)) {
        std::fprintf(stderr, "--operator, --server and --real-time are for the session road; --run takes --answers\n");
        return 2;
    }
    if (run.keys.empty() && !run.answers.empty()) {
        std::fprintf(stderr, "--answers goes with --run; the session road takes --operator FILE\n");
        return 2;
    }
    run.screenshotsDir = road.screenshotsDir;

    dispatch_adopt_current_thread_as_main();
    auto profiles = SimDevice::availableProfiles();
    if (std::find(profiles.begin(), profiles.end(), device) == profiles.end()) {
        // A device id only: a path to a profile file of one's own is not a shipped device.
        std::fprintf(stderr, "unknown device \"%s\": --device takes a device id (--list-devices names them)\n",
                     device.c_str());
        return 2;
    }
    if (!road.screenshotsDir.empty()) {
        // A folder that takes no picture is refused now, not found out after a whole run.
        std::error_code failed;
        std::filesystem::create_directories(road.screenshotsDir, failed);
        std::string reason = failed ? failed.message() : "not a folder";
        if (!failed && std::filesystem::is_directory(road.screenshotsDir) &&
            !canWriteInto(road.screenshotsDir, reason)) {
            reason = "no file can be made in it (" + reason + ")";
            failed = std::make_error_code(std::errc::permission_denied);
        }
        if (failed || !std::filesystem::is_directory(road.screenshotsDir)) {
            std::fprintf(stderr, "cannot write screenshots to \"%s\": %s\n", road.screenshotsDir.c_str(),
                         reason.c_str());
            return 2;
        }
    }
    if (!list && (!run.keys.empty() || !road.realTime)) {
        // A run on virtual time starts its clock before the device is made: nothing is stamped with the
        // machine's own time, so the clock starts at the same reading and every run computes the same.
        startVirtualClock();
    }
    // The device first: the default sandbox is the device's own, fixed when it is first asked for.
    std::string error;
    if (!SimDevice::current().loadProfile(device, &error)) {
        std::fprintf(stderr, "cannot load device %s: %s\n", device.c_str(), error.c_str());
        return 2;
    }
    // One run at a time on a sandbox: two would read and replace each other's files (the stored run,
    // the user defaults with the service's address, the recordings). The list holds it too, since its
    // log goes into the sandbox. Nothing is written there before this.
    if (Ref<NSError> held; !NSSandbox::holdRoot(&held)) {
        bool busy = held && held->code() == EBUSY;
        std::fprintf(stderr, "%s: %s\n", busy ? "another run is using this sandbox" : "cannot use the sandbox",
                     text(held ? held->localizedDescription() : NSSandbox::rootPath()).c_str());
        if (busy) {
            std::fprintf(stderr, "one run at a time on a sandbox: wait for it to end, or set DX_SANDBOX_ROOT to "
                                 "another folder (each device has its own by default)\n");
        }
        return 2;
    }
    // Two runs with sandboxes of their own may still be given one pictures folder: they would number
    // their pictures over each other's and share its app.log. The folder is held as the sandbox is.
    if (Ref<NSError> held;
        !road.screenshotsDir.empty() && !NSSandbox::holdFolder(NSString::from(road.screenshotsDir), &held)) {
        bool busy = held && held->code() == EBUSY;
        std::fprintf(stderr, "%s: %s\n",
                     busy ? "another run is writing its screenshots there" : "cannot use the screenshots folder",
                     text(held ? held->localizedDescription() : NSString::from(road.screenshotsDir)).c_str());
        return 2;
    }
    // The app's log goes beside the run: with the road's screenshots when there are any, else in the
    // sandbox. The last line printed names it, however the run ends (short of a crash).
    std::string appLog;
    if (!verbose) {
        appLog =
            writeAppLogTo(!list && !road.screenshotsDir.empty() ? road.screenshotsDir : text(NSSandbox::rootPath()));
    }
    int status = runApp(list, run, road);
    printAppLogPath(appLog);
    return status;
}
