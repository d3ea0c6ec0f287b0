// The operator answers only from what the device showed and did. The build holds most of it: the
// operator's sources compile in a target of their own (SimulatorOperator) whose include roots hold
// the platform as an app sees it, and neither the device, the set-up (Simulator/Setup) nor the inside
// of the hands (Simulator/Hands); the road (SimulatorRoad) sees the set-up's two headers besides. This
// test holds the rest on what the compiler made rather than on how the sources are spelled:
//   - a device include, however it is written, does not compile in the operator's own settings;
//   - the headers the compiler recorded for each object of the operator and the road lie outside the
//     device, the set-up and the hands' inside (which catches a path through "..");
//   - the symbols each object names (nm: a class name pasted by a macro, a call in an .inl file are
//     there like any other): nothing the device, the set-up or the hands' inside defines, no platform
//     class that holds the device's state, no file read;
//   - the hands reach only the parts a person's hand and senses reach, each named with why.
// docs/device.md, "The operator's honesty", says what each rule is for.
#include "DeviceFaults.h"
#include "ScriptedOperator.h"
#include "SimulatorBuild.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kSourceRoot = fs::weakly_canonical(DX_SOURCE_DIR);
const fs::path kBuildRoot = fs::weakly_canonical(DX_BUILD_DIR);

// ---- Reading the build -------------------------------------------------------------------------

std::vector<std::string> split(const std::string& list, char by) {
    std::vector<std::string> out;
    std::stringstream in(list);
    for (std::string item; std::getline(in, item, by);) {
        if (!item.empty()) {
            out.push_back(item);
        }
    }
    return out;
}

std::string readFile(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string shellQuoted(const std::string& arg) {
    std::string out = "'";
    for (char c : arg) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Runs a shell command; its standard output and error, and its exit status in `status`.
std::string run(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        *status = -1;
        return "cannot run: " + command;
    }
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, n);
    }
    int raw = ::pclose(pipe);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

// One symbol an object file names: defined in it or not, and, when defined, whether strongly (a
// function or datum of its own, not an inline or template copy that every user of a header has).
struct Symbol {
    std::string name; // demangled
    bool defined = false;
    bool strong = false;
};

// `options`: "--defined-only -g" for what an object gives others.
std::vector<Symbol> symbolsOf(const std::string& object, const std::string& options = "") {
    int status = 0;
    auto out = run(shellQuoted(DX_NM) + " -C " + options + " " + shellQuoted(object), &status);
    std::vector<Symbol> symbols;
    if (status != 0) {
        ADD_FAILURE() << "nm could not read " << object << ":\n" << out;
        return symbols;
    }
    for (size_t at = 0; at < out.size();) {
        size_t end = out.find('\n', at);
        if (end == std::string::npos) {
            end = out.size();
        }
        // "<address> <kind> <name>", or "                 U <name>": the kind is the first field of
        // one letter.
        size_t field = out.find_first_not_of(' ', at);
        size_t fieldEnd = out.find(' ', field);
        if (field < end && fieldEnd < end && fieldEnd - field != 1) {
            field = fieldEnd + 1;
            fieldEnd = out.find(' ', field);
        }
        if (field < end && fieldEnd < end && fieldEnd - field == 1) {
            char kind = out[field];
            bool defined = kind != 'U' && kind != 'w' && kind != 'v';
            bool strong = defined && std::isupper(static_cast<unsigned char>(kind)) && kind != 'W' && kind != 'V';
            symbols.push_back({out.substr(fieldEnd + 1, end - fieldEnd - 1), defined, strong});
        }
        at = end + 1;
    }
    return symbols;
}

// The names the objects define for others (strongly, globally).
std::set<std::string> exportedBy(const std::vector<std::string>& objects) {
    std::set<std::string> names;
    for (const auto& object : objects) {
        for (auto& symbol : symbolsOf(object, "--defined-only -g")) {
            if (symbol.strong) {
                names.insert(std::move(symbol.name));
            }
        }
    }
    return names;
}

// The headers the compiler recorded for `object`, resolved (links followed, ".." taken away): from
// its dependency file, or, where Ninja has taken that in, from Ninja's record of it.
std::vector<fs::path> headersOf(const std::string& object) {
    std::vector<std::string> recorded;
    if (fs::exists(object + ".d")) {
        auto text = readFile(object + ".d");
        for (size_t at; (at = text.find("\\\n")) != std::string::npos;) {
            text.replace(at, 2, " ");
        }
        std::istringstream words(text);
        for (std::string word; words >> word;) {
            if (word.back() != ':') {
                recorded.push_back(word);
            }
        }
    } else if (std::string(DX_NINJA).empty()) {
        ADD_FAILURE() << "no dependency file for " << object << " and no Ninja to ask";
    } else {
        int status = 0;
        auto relative = fs::path(object).lexically_relative(kBuildRoot).string();
        auto out =
            run(shellQuoted(DX_NINJA) + " -C " + shellQuoted(kBuildRoot.string()) + " -t deps " + shellQuoted(relative),
                &status);
        auto lines = split(out, '\n');
        if (status != 0 || lines.empty() || lines[0].find("(VALID)") == std::string::npos) {
            ADD_FAILURE() << "Ninja has no valid record of the headers of " << object << ":\n" << out;
        }
        for (size_t i = 1; i < lines.size(); ++i) {
            if (lines[i].rfind("    ", 0) == 0) {
                recorded.push_back(lines[i].substr(4));
            }
        }
    }
    std::vector<fs::path> headers;
    for (const auto& path : recorded) {
        fs::path p(path);
        headers.push_back(fs::weakly_canonical(p.is_absolute() ? p : kBuildRoot / p));
    }
    return headers;
}

std::string sourceOf(const std::string& object) {
    return fs::path(object).stem().string(); // "ScriptedOperator.cpp" of "ScriptedOperator.cpp.o"
}

// A function's qualified name in a demangled symbol: "SimAudio::playedLevel" of
// "SimAudio::playedLevel(SimAudio::Part, double, double) const", "std::forward<X>" of
// "X&& std::forward<X>(...)".
std::string functionName(const std::string& symbol) {
    int depth = 0;
    size_t end = symbol.size();
    size_t start = 0;
    for (size_t i = 0; i < symbol.size(); ++i) {
        char c = symbol[i];
        if (c == '<') {
            ++depth;
        } else if (c == '>') {
            --depth;
        } else if (depth == 0 && c == '(' && symbol.compare(i > 8 ? i - 8 : 0, 8, "operator") != 0) {
            end = i;
            break;
        } else if (depth == 0 && c == ' ' && symbol.compare(i > 8 ? i - 8 : 0, 8, "operator") != 0) {
            start = i + 1; // what came before was the return type
        }
    }
    auto name = symbol.substr(start, end - start);
    for (size_t tag; (tag = name.find("[abi:")) != std::string::npos;) {
        name.erase(tag, name.find(']', tag) + 1 - tag);
    }
    return name;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool under(const fs::path& path, const fs::path& dir) {
    auto rel = path.lexically_relative(dir);
    return !rel.empty() && *rel.begin() != "..";
}

// ---- The rules ---------------------------------------------------------------------------------

// A symbol's words: its identifiers, and each "Scope::member" pair in it.
struct Words {
    std::string whole;
    std::vector<std::string> ids;
    std::vector<std::pair<std::string, std::string>> scoped;
};

Words wordsOf(const std::string& symbol) {
    Words w{symbol, {}, {}};
    auto isStart = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; };
    auto goesOn = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    std::string scope; // the identifier just before a "::"
    for (size_t i = 0; i < symbol.size();) {
        if (!isStart(symbol[i])) {
            if (symbol.compare(i, 2, "::") != 0) {
                scope.clear();
            }
            i += symbol.compare(i, 2, "::") == 0 ? 2 : 1;
            continue;
        }
        size_t end = i;
        while (end < symbol.size() && goesOn(symbol[end])) {
            ++end;
        }
        auto id = symbol.substr(i, end - i);
        if (!scope.empty()) {
            w.scoped.emplace_back(scope, id);
        }
        w.ids.push_back(id);
        scope = symbol.compare(end, 2, "::") == 0 ? id : std::string();
        i = end;
    }
    return w;
}

// One term of a rule: "Name" (an identifier), "Prefix*" (an identifier beginning so), "*Part*" (an
// identifier holding it), "Scope::" (any member of it), "Scope::member" or "Scope::prefix*",
// "Scope::-a,b" (a member beginning with neither), "=name" (the whole symbol: a C function).
class Term {
public:
    Term(const char* text) { // NOLINT: rules are written as lists of texts
        std::string t = text;
        if (t.front() == '=') {
            whole_ = t.substr(1);
            return;
        }
        auto colons = t.find("::");
        if (colons == std::string::npos) {
            word_ = Pattern(t);
            return;
        }
        scoped_ = true;
        word_ = Pattern(t.substr(0, colons));
        auto member = t.substr(colons + 2);
        if (!member.empty() && member.front() == '-') {
            excluded_ = split(member.substr(1), ',');
        } else if (!member.empty()) {
            member_ = Pattern(member);
        }
    }

    bool matches(const Words& w) const {
        if (!whole_.empty()) {
            return w.whole == whole_ || startsWith(w.whole, whole_ + "@");
        }
        if (!scoped_) {
            return std::any_of(w.ids.begin(), w.ids.end(), [&](const std::string& id) { return word_.fits(id); });
        }
        return std::any_of(w.scoped.begin(), w.scoped.end(), [&](const auto& pair) {
            if (!word_.fits(pair.first)) {
                return false;
            }
            if (!excluded_.empty()) {
                return std::none_of(excluded_.begin(), excluded_.end(),
                                    [&](const std::string& a) { return startsWith(pair.second, a); });
            }
            return member_.text.empty() || member_.fits(pair.second);
        });
    }

private:
    struct Pattern {
        enum Kind { Exact, Prefix, Infix } kind = Exact;
        std::string text;
        Pattern() = default;
        explicit Pattern(const std::string& p) : text(p) {
            if (p.size() > 1 && p.front() == '*' && p.back() == '*') {
                kind = Infix;
                text = p.substr(1, p.size() - 2);
            } else if (!p.empty() && p.back() == '*') {
                kind = Prefix;
                text = p.substr(0, p.size() - 1);
            }
        }
        bool fits(const std::string& word) const {
            switch (kind) {
            case Prefix:
                return startsWith(word, text);
            case Infix:
                return word.find(text) != std::string::npos;
            case Exact:
                break;
            }
            return word == text;
        }
    };
    std::string whole_;
    bool scoped_ = false;
    Pattern word_, member_;
    std::vector<std::string> excluded_;
};

struct Rule {
    std::vector<Term> terms;
    std::string why;

    bool matches(const Words& w) const {
        return std::any_of(terms.begin(), terms.end(), [&](const Term& t) { return t.matches(w); });
    }
};

// The platform classes (and the app's own readers over them) that hold the state of the device or of
// the app behind the screen. The operator learns what a person learns: what the screens show (the test
// driver, the screens' views and records) and what the hands sense. Views stay open to it (the status
// bar's battery mark is what a person sees), and so do the screen's size (UIScreen's bounds) and
// whether the app is in front (UIApplication): a person sees those too.
const std::vector<Rule>& stateReaders() {
    static const std::vector<Rule> rules = {
        {{"UIDevice"}, "the device's battery, orientation, proximity and model (UIDevice)"},
        {{"UIScreen::brightness", "UIScreen::setBrightness", "UIScreenBrightnessDidChangeNotification"},
         "the brightness the screen is set to, not the light a person sees (hands::lookAtScreenBrightness)"},
        {{"UIImagePickerController::isSourceTypeAvailable", "UIImagePickerController::isCameraDeviceAvailable",
          "UIImagePickerController::isFlashAvailableForCameraDevice",
          "UIImagePickerController::availableMediaTypesForSourceType",
          "UIImagePickerController::availableCaptureModesForCameraDevice"},
         "which cameras and flash the device has, which a person finds out by using the camera screen"},
        {{"CMMotionManager", "CMAltimeter", "CMSampleStream"}, "the motion sensors' readings (CoreMotion)"},
        {{"CLLocationManager"}, "the position and heading (CoreLocation)"},
        {{"CTTelephonyNetworkInfo", "CTCarrier"}, "the cellular carrier (CoreTelephony)"},
        {{"CBCentralManager", "CBPeripheral", "GKSession", "EAAccessoryManager", "EAAccessory"},
         "the Bluetooth radio, its peers and the accessories (CoreBluetooth, GameKit, ExternalAccessory)"},
        {{"LAContext"}, "the biometric sensor's enrolment (LocalAuthentication)"},
        {{"AVAudioSession", "AVSystemVolume", "AVAudioRecorder", "AVCapture*", "audio_route::", "AudioSession*",
          "AudioServices*", "AudioUnit*", "MPMusicPlayerController"},
         "the audio route, the volume, the microphones and the cameras (AVFoundation, AudioToolbox)"},
        {{"SCNetworkReachability*", "CNCopy*", "IOService*", "IORegistry*", "IOPS*", "darwin::"},
         "the network interfaces, the power sources and the system's registers (SystemConfiguration, IOKit, "
         "Darwin)"},
        {{"NSProcessInfo"}, "the process's and the machine's state (NSProcessInfo)"},
        {{"NSNotificationCenter", "CFNotificationCenter*"},
         "the system's broadcasts of changes in the device (battery, route, lock), which a person does not hear"},
        {{"NSClassFromString", "NSSelectorFromString", "performSelector*", "valueForKey", "valueForKeyPath"},
         "a class or a property reached by its name, past what the compiler can see"},
        {{"SIAccessory",    "SIBattery",          "SICarrier",         "SIDisk",
          "SIHardware",     "SIJailbreak",        "SILocalization",    "SIMemory",
          "SINetwork",      "SIProcessor",        "SISystem",          "Reachability",
          "FunctionHelper", "BluetoothChecker",   "IOKitListener",     "PowerSourceListener",
          "CLMManager",     "MuteSwitchDetector", "MuteSwitchWatcher", "StationFile",
          "DXUtility"},
         "the app's own readers of the device (SystemInfo, the diagnostics' helpers)"},
        {{"DXProfileManager", "DXTestModelManager", "AdditionalTestManager", "NSUserDefaults"},
         "the app's stored profile, catalogue, station file, results and defaults"},
    };
    return rules;
}

// Reading a file, or the file system: the operator reads none (its script is read by the road).
const std::vector<Rule>& fileReaders() {
    static const std::vector<Rule> rules = {
        {{"=fopen",    "=fopen64",  "=freopen",    "=freopen64",  "=fdopen",  "=open",       "=open64",    "=openat",
          "=openat64", "=__open_2", "=__open64_2", "=__openat_2", "=creat",   "=opendir",    "=fdopendir", "=scandir",
          "=read",     "=pread",    "=pread64",    "=fread",      "=mmap",    "=mmap64",     "=readlink",  "=stat",
          "=stat64",   "=lstat",    "=fstatat",    "=statx",      "=__xstat", "=__fxstatat", "=access",    "=faccessat",
          "=popen",    "=system",   "=dlopen",     "=dlsym",      "=syscall"},
         "a file or the system, through the C library"},
        {{"std::basic_ifstream", "std::basic_fstream", "std::basic_filebuf", "std::filesystem"},
         "a file, through the C++ library"},
        {{"NSFileManager", "NSFileHandle", "NSInputStream", "NSURLSession*", "NSURLConnection", "*ContentsOfFile*",
          "*ContentsOfURL*", "NSKeyedUnarchiver::unarchiveObjectWithFile"},
         "a file, through the platform"},
    };
    return rules;
}

// What the road may not read: it reads the operator's script (through the set-up's readJSONObject),
// and opens files only to write them (the pictures, the app's log) or to hold them (a lock); it reads
// nothing of the app's or the device's.
const std::vector<Rule>& roadReaders() {
    static const std::vector<Rule> rules = {
        {{"=read", "=pread", "=pread64", "=fread", "=fgets", "=fgetc", "=getc", "=getline", "=getdelim", "=fscanf",
          "=__isoc99_fscanf", "=mmap", "=mmap64", "=popen", "=dlopen", "=dlsym", "=syscall"},
         "a file, through the C library"},
        {{"std::basic_ifstream", "std::basic_fstream"}, "a file, through the C++ library"},
        {{"NSFileHandle", "NSInputStream", "*ContentsOfFile*", "*ContentsOfURL*", "NSFileManager::contentsAtPath",
          "NSUserDefaults::-set,standardUserDefaults,synchronize"},
         "a file, or the app's defaults, through the platform"},
    };
    return rules;
}

// The set-up's functions the road calls, each with why. Anything else the set-up defines is out of
// the road's reach, so a function added to the set-up cannot carry the device's state to the operator.
const std::map<std::string, std::string>& setUpForTheRoad() {
    static const std::map<std::string, std::string> functions = {
        {"loadFaultsForRun", "breaks the device's parts for the run and hands on only the looks of the casing"},
        {"readJSONObject", "reads the operator's script, strictly"},
        {"catalogueKeys", "the test keys a script may name"},
        {"supportedSessionKeys", "the tests of the back office's session on this device"},
        {"deviceHardwareIdentifier", "what the device-id lookup page answers"},
        {"shippedModelList", "the model list the back office serves"},
    };
    return functions;
}

// The set-up headers the road includes; the operator includes none.
const std::set<std::string> kRoadSetUpHeaders = {"DeviceSetup.h", "DeviceSession.h"};

// What the build's parts define for others, and the device's classes (those its definitions are
// members of: SimDevice, SimAudio, ...).
struct Exports {
    std::set<std::string> device, setUp, hands;

    std::set<std::string> deviceClasses() const {
        std::set<std::string> classes;
        for (const auto& name : device) {
            auto function = functionName(name);
            auto colons = function.find("::");
            if (colons != std::string::npos && startsWith(function, "Sim")) {
                classes.insert(function.substr(0, colons));
            }
        }
        return classes;
    }
};

const Exports& exports() {
    static const Exports e = {exportedBy(split(DX_DEVICE_OBJECTS, ';')), exportedBy(split(DX_SETUP_OBJECTS, ';')),
                              exportedBy(split(DX_HANDS_OBJECTS, ';'))};
    return e;
}

enum class Part { Operator, Road };

// Everything an object of the operator or the road (`symbols` it names, `headers` it was compiled
// from) reaches past the screen and the hands: "<what> (<why>)".
std::vector<std::string> peeks(Part part, const std::vector<Symbol>& symbols, const std::vector<fs::path>& headers,
                               const Exports& build) {
    std::set<std::string> found;
    for (const auto& header : headers) {
        auto name = header.filename().string();
        if (under(header, kSourceRoot / "Platform" / "Device")) {
            found.insert("includes " + name + " (a header of the device)");
        } else if (under(header, kSourceRoot / "Simulator" / "Hands")) {
            found.insert("includes " + name + " (the inside of the hands: only OperatorHands.h is theirs to give)");
        } else if (under(header, kSourceRoot / "Simulator" / "Setup") &&
                   (part == Part::Operator || !kRoadSetUpHeaders.count(name))) {
            found.insert("includes " + name + " (the device's set-up)");
        }
    }
    const auto& rules = part == Part::Operator ? stateReaders() : roadReaders();
    auto deviceClasses = build.deviceClasses();
    std::set<std::string> seen;
    for (const auto& symbol : symbols) {
        const auto& name = symbol.name;
        if (!seen.insert(name).second) {
            continue;
        }
        if (!symbol.defined && build.device.count(name)) {
            found.insert("reaches " + name + " (the device defines it)");
        }
        if (!symbol.defined && build.setUp.count(name) &&
            (part == Part::Operator || !setUpForTheRoad().count(functionName(name)))) {
            found.insert("calls " + name + " (the device's set-up)");
        }
        if (!symbol.defined && build.hands.count(name) && !startsWith(name, "hands::")) {
            found.insert("reaches " + name + " (the inside of the hands)");
        }
        auto words = wordsOf(name);
        for (const auto& r : rules) {
            if (r.matches(words)) {
                found.insert("names " + name + " (" + r.why + ")");
            }
        }
        if (std::any_of(words.ids.begin(), words.ids.end(), [&](const auto& id) { return deviceClasses.count(id); })) {
            found.insert("names " + name + " (the simulated device)");
        }
        if (part == Part::Operator) {
            for (const auto& r : fileReaders()) {
                if (r.matches(words)) {
                    found.insert("reads " + name + " (" + r.why + ")");
                }
            }
        }
    }
    return {found.begin(), found.end()};
}

std::vector<std::string> peeksOfObject(Part part, const std::string& object) {
    return peeks(part, symbolsOf(object), headersOf(object), exports());
}

// Planted symbols, undefined in the object (called, not made).
std::vector<Symbol> named(std::initializer_list<const char*> names) {
    std::vector<Symbol> out;
    for (const char* name : names) {
        out.push_back({name, false, false});
    }
    return out;
}

// ---- The hands ---------------------------------------------------------------------------------

// What a person does with a phone in hand or takes in of it; every function of the hands begins with one.
const std::vector<std::string> kVerbs = {"hold", "turn", "shake",  "lift",  "walk",   "cover", "press",
                                         "flip", "plug", "unplug", "speak", "listen", "look",  "feel"};

// The members of the device the hands (and the phone in the other hand) reach, each with what a
// person does or takes in by it. Anything else (the battery's health, a part's state, the record of
// calls) is out of their reach.
const std::map<std::string, std::string>& handsReach() {
    static const std::map<std::string, std::string> members = {
        {"SimSensors::current", "the device's body and the world around it"},
        {"SimSensors::lieFlat", "hold it flat"},
        {"SimSensors::rotate", "turn it"},
        {"SimSensors::shake", "shake it"},
        {"SimSensors::climb", "lift it"},
        {"SimSensors::walk", "walk with it"},
        {"SimSensors::scriptProximity", "cover the proximity sensor with a finger"},
        {"SimSensors::setAmbientLight", "carry it into a light"},
        {"SimSensors::ambientLight", "look at the room's light (the light falling on it, not a sensor's reading)"},
        {"SimSensors::motorRuns", "feel it vibrate (only a run that shook the body)"},
        {"SimTouchKeys::current", "the device's keys and switch"},
        {"SimTouchKeys::pressKey", "press a key"},
        {"SimTouchKeys::pressScreenshotChord", "press two keys together"},
        {"SimTouchKeys::toggleRingerSwitch", "flip the switch"},
        {"SimAudio::current", "the device's sound parts"},
        {"SimAudio::pressHeadsetKey", "press a key of the headset"},
        {"SimAudio::plugHeadset", "plug the headset in or out"},
        {"SimAudio::scheduleHeadset", "plug the headset in a moment later"},
        {"SimAudio::speak", "speak to the phone"},
        {"SimAudio::playedLevel", "listen: how loud a transducer sounded over a span (what reached the ear)"},
        {"SimCamera::current", "the device's cameras and screen"},
        {"SimCamera::setScene", "hold the camera to a surface"},
        {"SimCamera::setQRCode", "hold a card before the camera"},
        {"SimCamera::torchLit", "look: light shining from the torch"},
        {"SimCamera::displayLuminance", "look: the light leaving the screen"},
        {"SimPower::current", "the sockets and the pad"},
        {"SimPower::plug", "plug a feed in"},
        {"SimPower::unplug", "take a feed out"},
        {"SimDevice::current", "the device in hand"},
        {"SimDevice::profileJSON", "look at the box: the model's name and the battery's rating printed on it"},
        {"SimDevice::storage", "look at the box: the storage printed on it"},
        {"SimRadios::current", "the biometric sensor and the carrier's network"},
        {"SimRadios::presentToSensor", "hold the face or a finger to the sensor"},
        {"SimRadios::addMessageReceiver", "the phone in the other hand joins the carrier's network"},
        {"SimRadios::addCallReceiver", "the phone in the other hand joins the carrier's network"},
    };
    return members;
}

// The device's members among `symbols` (those of one of its `classes`), constructors, destructors and
// assignments of its value types left out.
std::set<std::string> deviceMembers(const std::vector<Symbol>& symbols, const std::set<std::string>& classes) {
    std::set<std::string> out;
    for (const auto& symbol : symbols) {
        auto name = functionName(symbol.name);
        std::vector<std::string> parts;
        for (size_t at = 0;;) {
            auto colons = name.find("::", at);
            parts.push_back(name.substr(at, colons == std::string::npos ? std::string::npos : colons - at));
            if (colons == std::string::npos) {
                break;
            }
            at = colons + 2;
        }
        if (parts.size() < 2 || !classes.count(parts[0])) {
            continue;
        }
        const auto& last = parts.back();
        if (last == parts[parts.size() - 2] || last.empty() || last[0] == '~' || startsWith(last, "operator")) {
            continue;
        }
        out.insert(name);
    }
    return out;
}

// The functions the hands header declares that are not named by a person's verb.
std::vector<std::string> unnamedByAVerb(const std::string& header) {
    static const std::regex declaration(R"(^\s*(?:(?:static|inline|constexpr|virtual|\[\[nodiscard\]\])\s+)*)"
                                        R"([A-Za-z_][\w:]*(?:<[^;()]*>)?[\s*&]+([A-Za-z_]\w*)\s*\()");
    std::vector<std::string> out;
    std::istringstream in(header);
    for (std::string line; std::getline(in, line);) {
        if (auto comment = line.find("//"); comment != std::string::npos) {
            line.erase(comment);
        }
        std::smatch match;
        if (!std::regex_search(line, match, declaration)) {
            continue;
        }
        auto name = match[1].str();
        bool verb = std::any_of(kVerbs.begin(), kVerbs.end(), [&](const std::string& v) {
            return startsWith(name, v) &&
                   (name.size() == v.size() || std::isupper(static_cast<unsigned char>(name[v.size()])));
        });
        if (!verb) {
            out.push_back(name);
        }
    }
    return out;
}

// ---- The set-up --------------------------------------------------------------------------------

// The files that set the simulated device up rather than answer its screens, each with why it reaches
// the device: main.cpp, and Simulator/Setup, which holds these and nothing else.
const std::map<std::string, std::string>& setUpFiles() {
    static const std::map<std::string, std::string> files = {
        {"main.cpp", "loads the device's profile and lists the part names an overlay may use"},
        {"Setup/DeviceFaults.h", "declares the reading of a faults overlay, with every state it breaks"},
        {"Setup/DeviceFaults.cpp", "reads and checks a faults overlay and has every domain of the device apply it"},
        {"Setup/DeviceSetup.h", "what the road may ask of the set-up: a run's faults and the strict reading of a "
                                "script"},
        {"Setup/DeviceSetup.cpp", "breaks the parts for a run and hands on only the looks of the casing"},
        {"Setup/DeviceSession.h", "what the back office knows of the device, for the road"},
        {"Setup/DeviceSession.cpp",
         "builds the back office's model list from the device profiles and gives the device-id lookup page "
         "the device's identifier"},
    };
    return files;
}

// ---- Compiling in the operator's settings ------------------------------------------------------

// The arguments of a compile command, split as the shell would (quotes and backslashes).
std::vector<std::string> arguments(const std::string& command) {
    std::vector<std::string> out;
    std::string current;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < command.size(); ++i) {
        char c = command[i];
        if (quote) {
            if (c == quote) {
                quote = 0;
            } else if (c == '\\' && quote == '"' && i + 1 < command.size()) {
                current += command[++i];
            } else {
                current += c;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < command.size()) {
            current += command[++i];
            inWord = true;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            if (inWord) {
                out.push_back(current);
            }
            current.clear();
            inWord = false;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord) {
        out.push_back(current);
    }
    return out;
}

// The command that compiled the operator's ScriptedOperator.cpp, as a syntax check of a text read
// from standard input in the operator's folder: the operator's very include roots, definitions,
// options and precompiled header.
std::vector<std::string> operatorCheckCommand() {
    std::ifstream file(kBuildRoot / "compile_commands.json");
    auto commands = nlohmann::json::parse(file, nullptr, false);
    auto source = (kSourceRoot / "Simulator" / "ScriptedOperator.cpp").string();
    for (const auto& entry : commands.is_array() ? commands : nlohmann::json::array()) {
        if (!entry.is_object() || fs::weakly_canonical(entry.value("file", std::string())).string() != source) {
            continue;
        }
        std::vector<std::string> args;
        if (entry.contains("arguments")) {
            args = entry["arguments"].get<std::vector<std::string>>();
        } else {
            args = arguments(entry.value("command", std::string()));
        }
        std::vector<std::string> out;
        static const std::set<std::string> withValue = {"-o", "-c", "-MT", "-MF", "-MQ"};
        for (size_t i = 0; i < args.size(); ++i) {
            if (withValue.count(args[i])) {
                ++i;
            } else if (args[i] != "-MD" && args[i] != "-MMD" && args[i] != source) {
                out.push_back(args[i]);
            }
        }
        for (const char* extra : {"-fsyntax-only", "-x", "c++", "-"}) {
            out.emplace_back(extra);
        }
        return out;
    }
    return {};
}

struct Compiled {
    int status = 0;
    std::string output;
};

Compiled compileAsOperator(const std::string& text) {
    static const auto command = operatorCheckCommand();
    if (command.empty()) {
        return {-1, "no compile command for Simulator/ScriptedOperator.cpp in compile_commands.json"};
    }
    auto input = fs::temp_directory_path() / ("operator-source-" + std::to_string(::getpid()) + ".cpp");
    std::ofstream(input) << text << "\n";
    std::string line = "cd " + shellQuoted((kSourceRoot / "Simulator").string()) + " &&";
    for (const auto& arg : command) {
        line += " " + shellQuoted(arg);
    }
    Compiled result;
    result.output = run(line + " < " + shellQuoted(input.string()), &result.status);
    fs::remove(input);
    return result;
}

} // namespace

TEST(OperatorHonestyTest, NoCheckedSourceReachesPastTheScreenAndTheHands) {
    auto operatorObjects = split(DX_OPERATOR_OBJECTS, ';');
    auto roadObjects = split(DX_ROAD_OBJECTS, ';');
    std::set<std::string> sources;
    for (const auto& object : operatorObjects) {
        sources.insert(sourceOf(object));
    }
    for (const char* name : {"ScriptedOperator.cpp", "OperatorPowerRadio.cpp", "OperatorCameraDisplay.cpp",
                             "OperatorAudio.cpp", "OperatorTouchKeys.cpp", "OperatorPatience.cpp", "Drive.cpp"}) {
        EXPECT_TRUE(sources.count(name)) << name << " is not compiled as the operator's";
    }
    ASSERT_EQ(roadObjects.size(), 4u) << "the road is AppRoad, RunSession, RoadPictures and AppLog";
    ASSERT_FALSE(exports().device.empty()) << "the device's objects define nothing: " << DX_DEVICE_OBJECTS;
    ASSERT_FALSE(exports().setUp.empty());
    ASSERT_FALSE(exports().hands.empty());
    for (const auto& object : operatorObjects) {
        auto headers = headersOf(object);
        EXPECT_GT(headers.size(), 10u) << "no record of the headers of " << object;
        for (const auto& peek : peeks(Part::Operator, symbolsOf(object), headers, exports())) {
            ADD_FAILURE() << "the operator's " << sourceOf(object) << " " << peek;
        }
    }
    for (const auto& object : roadObjects) {
        for (const auto& peek : peeksOfObject(Part::Road, object)) {
            ADD_FAILURE() << "the road's " << sourceOf(object) << " " << peek;
        }
    }
}

TEST(OperatorHonestyTest, TheCheckFindsThePeeksItIsFor) {
    Exports build;
    build.device = {"SimPower::current()", "SimPower::battery() const", "sim_faults::parseDocument(...)"};
    build.setUp = {"readFaultsOverlay(std::string const&)", "loadFaultsForRun(std::string const&)",
                   "batteryHealthForRun()"};
    build.hands = {"hands::plug(hands::Feed)", "ReceivingPhone::inHand()"};
    auto operatorPeeks = [&](std::initializer_list<const char*> names, std::vector<fs::path> headers = {}) {
        return peeks(Part::Operator, named(names), headers, build);
    };
    // What the planted peeks compile to: each is found, whether it was spelled out, pasted by a macro
    // or written in an .inl file.
    for (const char* symbol :
         {"UIDevice::currentDevice()",
          "UIDevice::batteryState() const",
          "typeinfo for CMMotionManager",
          "Ref<CLLocationManager>::~Ref()",
          "CTTelephonyNetworkInfo::subscriberCellularProvider() const",
          "LAContext::canEvaluatePolicyError(LAPolicy, Ref<NSError>*)",
          "AVAudioSession::sharedInstance()",
          "AVCaptureDevice::defaultDeviceWithMediaType(Ref<NSString> const&)",
          "UIScreen::brightness() const",
          "UIImagePickerController::isFlashAvailableForCameraDevice(UIImagePickerControllerCameraDevice)",
          "NSProcessInfo::processInfo()",
          "darwin::sysctlbyname(char const*, void*, unsigned long*)",
          "IOServiceGetMatchingService",
          "SIBattery::batteryLevel()",
          "NSUserDefaults::standardUserDefaults()",
          "DXProfileManager::sharedManager()",
          "NSClassFromString(Ref<NSString> const&)",
          "NSNotificationCenter::defaultCenter()",
          "fopen",
          "open64",
          "__open_2",
          "read",
          "dlsym",
          "std::basic_ifstream<char, std::char_traits<char> >::basic_ifstream(std::string const&, "
          "std::_Ios_Openmode)",
          "std::filesystem::status(std::filesystem::__cxx11::path const&)",
          "NSData::dataWithContentsOfFile(Ref<NSString> const&)",
          "NSString::stringWithContentsOfFileEncodingError(Ref<NSString> const&, unsigned long, Ref<NSError>*)",
          "NSFileManager::defaultManager()",
          "SimPower::current()",
          "readFaultsOverlay(std::string const&)",
          "loadFaultsForRun(std::string const&)",
          "ReceivingPhone::inHand()"}) {
        EXPECT_FALSE(operatorPeeks({symbol}).empty()) << symbol;
    }
    // A device header reached through "..", an absolute path or a link; the set-up's and the hands'
    // insides.
    for (const auto& header :
         {kSourceRoot / "Platform" / "Device" / "SimPower.h", kSourceRoot / "Platform" / "Device" / "SimFaults.h",
          kSourceRoot / "Simulator" / "Setup" / "DeviceFaults.h", kSourceRoot / "Simulator" / "Setup" / "DeviceSetup.h",
          kSourceRoot / "Simulator" / "Hands" / "ReceivingPhone.h"}) {
        EXPECT_FALSE(operatorPeeks({}, {header}).empty()) << header;
    }
    // The screen, the app's screens, the hands, the clock and the standard library are not.
    EXPECT_EQ(operatorPeeks({"UITestDriver::topViewController()", "UIScreen::mainScreen()", "UIScreen::bounds() const",
                             "UIApplication::sharedApplication()", "BatteryViewController::rowTexts()",
                             "UIStatusBarBatteryItemView::class_()", "hands::plug(hands::Feed)",
                             "DispatchClock::uptime()", "DXLocalizedString(char const*)", "memcpy", "__isoc99_sscanf",
                             "typeinfo for UIDeviceOrientationWatcher", "std::vector<int>::~vector()"},
                            {kSourceRoot / "Platform" / "UIKit" / "UIView.h",
                             kSourceRoot / "Simulator" / "OperatorHands.h", fs::path("/usr/include/c++/12/vector")}),
              std::vector<std::string>{});
    // The road may call the set-up's listed functions, include its two headers, write the pictures and
    // the log and hold a lock; not call a new set-up function or the faults reader, reach the device, nor
    // read a file.
    auto roadPeeks = [&](std::initializer_list<const char*> names, std::vector<fs::path> headers = {}) {
        return peeks(Part::Road, named(names), headers, build);
    };
    EXPECT_EQ(roadPeeks({"loadFaultsForRun(std::string const&)", "std::filesystem::create_directories(path const&)",
                         "open", "flock", "std::basic_ofstream<char>::basic_ofstream(std::string const&)",
                         "NSUserDefaults::setObjectForKey(Ref<NSObject> const&, Ref<NSString> const&)",
                         "NSUserDefaults::standardUserDefaults()", "hands::plug(hands::Feed)"},
                        {kSourceRoot / "Simulator" / "Setup" / "DeviceSetup.h",
                         kSourceRoot / "Simulator" / "Setup" / "DeviceSession.h"}),
              std::vector<std::string>{});
    for (const char* symbol : {"batteryHealthForRun()", "readFaultsOverlay(std::string const&)", "SimPower::current()",
                               "SimPower::battery() const", "fread", "std::basic_ifstream<char>::open(char const*)",
                               "NSUserDefaults::objectForKey(Ref<NSString> const&)", "ReceivingPhone::inHand()"}) {
        EXPECT_FALSE(roadPeeks({symbol}).empty()) << symbol;
    }
    EXPECT_FALSE(roadPeeks({}, {kSourceRoot / "Simulator" / "Setup" / "DeviceFaults.h"}).empty());
}

TEST(OperatorHonestyTest, ADeviceIncludeDoesNotCompileInTheOperator) {
    // The operator's own settings compile the operator's headers, the platform an app sees and the app.
    auto plain = compileAsOperator("#include \"OperatorHands.h\"\n#include <UIKit/UITestDriver.h>\n"
                                   "#include <Diagnostics/PowerRadio/BatteryViewController.h>\n");
    ASSERT_EQ(plain.status, 0) << plain.output;
    auto inl = fs::temp_directory_path() / ("operator-peek-" + std::to_string(::getpid()) + ".inl");
    std::ofstream(inl) << "#include <Device/SimPower.h>\n";
    struct Planted {
        std::string text;
        const char* missing; // the header the compiler cannot find
    };
    const std::vector<Planted> planted = {
        {"#include <Device/SimPower.h>", "Device/SimPower.h"},
        {"#include_next <Device/SimRadios.h>", "Device/SimRadios.h"},
        {"#define DEVICE_HEADER(name) <Device/name.h>\n#include DEVICE_HEADER(SimAudio)", "Device/SimAudio.h"},
        {"#include \"" + inl.string() + "\"", "Device/SimPower.h"},
        {"#include <SimFaults.h>", "SimFaults.h"},
        {"#include \"DeviceFaults.h\"", "DeviceFaults.h"},
        {"#include \"DeviceSetup.h\"", "DeviceSetup.h"},
        {"#include \"ReceivingPhone.h\"", "ReceivingPhone.h"},
        {"#include <AVFoundation/AVFoundationInternal.h>", "Device/SimDevice.h"},
    };
    for (const auto& peek : planted) {
        auto compiled = compileAsOperator(peek.text);
        EXPECT_NE(compiled.status, 0) << peek.text << " compiled in the operator's settings";
        bool notFound = compiled.output.find("No such file") != std::string::npos ||
                        compiled.output.find("file not found") != std::string::npos;
        EXPECT_TRUE(notFound && compiled.output.find(peek.missing) != std::string::npos)
            << peek.text << " failed otherwise than by not finding " << peek.missing << ":\n"
            << compiled.output;
    }
    fs::remove(inl);
}

TEST(OperatorHonestyTest, TheSetUpFilesAreThereAndAnswerNoScreen) {
    for (const auto& [file, why] : setUpFiles()) {
        EXPECT_TRUE(fs::is_regular_file(kSourceRoot / "Simulator" / file))
            << file << " is listed as setting the device up (" << why << ") but is not there";
    }
    // Simulator/Setup holds the listed files and nothing else: a new one comes with its reason.
    for (const auto& entry : fs::recursive_directory_iterator(kSourceRoot / "Simulator" / "Setup")) {
        auto rel = entry.path().lexically_relative(kSourceRoot / "Simulator").generic_string();
        EXPECT_TRUE(!entry.is_regular_file() || setUpFiles().count(rel)) << rel << " sets the device up, for no "
                                                                         << "reason given here";
    }
    // The set-up answers no screen, and the road calls only the set-up's listed functions (the
    // objects' symbols say which), so a function added to the set-up reaches neither.
    for (const auto& object : split(DX_SETUP_OBJECTS, ';')) {
        for (const auto& symbol : symbolsOf(object)) {
            EXPECT_FALSE(startsWith(symbol.name, "UITestDriver::")) << sourceOf(object) << " answers screens";
        }
    }
    std::set<std::string> called;
    for (const auto& object : split(DX_ROAD_OBJECTS, ';')) {
        for (const auto& symbol : symbolsOf(object)) {
            if (!symbol.defined && exports().setUp.count(symbol.name)) {
                called.insert(functionName(symbol.name));
            }
        }
    }
    for (const auto& [function, why] : setUpForTheRoad()) {
        EXPECT_TRUE(called.count(function))
            << "the road no longer calls " << function << " (" << why << "): take it off the list";
    }
}

TEST(OperatorHonestyTest, TheHandsAreNamedByWhatAPersonDoes) {
    auto header = readFile(kSourceRoot / "Simulator" / "OperatorHands.h");
    ASSERT_FALSE(header.empty());
    EXPECT_EQ(unnamedByAVerb(header), std::vector<std::string>{});
    // A function that reads the device rather than senses it is named otherwise, and found.
    EXPECT_EQ(unnamedByAVerb(header + "\nnamespace hands {\ndouble batteryHealth();\nbool unplugged();\n}\n"),
              (std::vector<std::string>{"batteryHealth", "unplugged"}));
}

TEST(OperatorHonestyTest, TheHandsReachOnlyWhatAPersonMovesOrSenses) {
    // A verb does not make a sense: a function of the hands named "feelBatteryHealth" that reads the
    // battery's health reaches a member of the device no person reaches, and is found by its symbols.
    std::vector<Symbol> symbols;
    for (const auto& object : split(DX_HANDS_OBJECTS, ';')) {
        auto mine = symbolsOf(object);
        symbols.insert(symbols.end(), mine.begin(), mine.end());
        std::set<std::string> seen;
        for (const auto& symbol : mine) {
            if (!seen.insert(symbol.name).second) {
                continue;
            }
            auto words = wordsOf(symbol.name);
            for (const auto* rules : {&stateReaders(), &fileReaders()}) {
                for (const auto& r : *rules) {
                    if (r.matches(words)) {
                        ADD_FAILURE() << "the hands' " << sourceOf(object) << " names " << symbol.name << " (" << r.why
                                      << ")";
                    }
                }
            }
        }
    }
    auto classes = exports().deviceClasses();
    auto reached = deviceMembers(symbols, classes);
    EXPECT_GT(reached.size(), 20u) << "the hands' objects name no member of the device";
    for (const auto& member : reached) {
        EXPECT_TRUE(handsReach().count(member))
            << "the hands reach " << member << ", which no person's hand or sense reaches";
    }
    EXPECT_EQ(deviceMembers(named({"SimPower::battery() const", "SimRadios::calls() const",
                                   "SimRadios::Message::~Message()", "SimRadios::Call::operator=(SimRadios::Call&&)",
                                   "SimRadios::Call&& std::forward<SimRadios::Call>(SimRadios::Call&)",
                                   "SimAudio::playedLevel(SimAudio::Part, double, double) const"}),
                            classes),
              (std::set<std::string>{"SimAudio::playedLevel", "SimPower::battery", "SimRadios::calls"}));
}

TEST(OperatorHonestyTest, TheOperatorIsHandedOnlyTheLooksOfTheCasing) {
    std::map<std::string, std::string> overlay = {
        {"screen", "cracked"}, {"speaker", "dead"}, {"battery", "worn"}, {"engraving", "engraved"}};
    EXPECT_EQ(casingLooks(overlay),
              (std::map<std::string, std::string>{{"screen", "cracked"}, {"engraving", "engraved"}}));
    // Handed a part of the device all the same, the operator does not answer from it.
    ScriptedOperator person({{"powerButton", "broken"}, {"accessory", "attached"}}, {});
    EXPECT_TRUE(person.answer("POWER_ON_OFF_TEST", "PowerOnOffViewController"));
    EXPECT_TRUE(person.answer("REMOVE_ACCESSORY_TEST", "RemoveAttachedViewController"));
}
