// The operator answers only from what the device showed and did, and the structure says so: every
// source under Simulator/ (recursively, so a new file is covered the moment it exists) is read for
// its includes and its names, except the few files that set the device up and the operator's hands
// (OperatorHands.cpp), the one way the operator reaches the device. A checked source may include only
// the platform an app sees (Platform/ but Device/, and no faults header), the app (Classes/,
// Libraries/), other checked Simulator/ headers and the standard and third-party libraries; it may not
// name a Sim* class of the device, nor reach a member that only the device's classes have. The hands
// header declares only functions named by something a person does.
#include "DeviceFaults.h"
#include "ScriptedOperator.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
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

// The files under Simulator/ that set the simulated device up rather than answer its screens, each
// with why it reaches the device. Paths relative to Simulator/.
const std::map<std::string, std::string>& setUpFiles() {
    static const std::map<std::string, std::string> files = {
        {"main.cpp", "loads the device's profile and lists the part names an overlay may use"},
        {"DeviceFaults.h", "declares the reading of a faults overlay, with every state it breaks"},
        {"DeviceFaults.cpp", "reads and checks a faults overlay and has every domain of the device apply it"},
        {"DeviceSetup.cpp", "breaks the parts for a run and hands on only the looks of the casing"},
        {"ReceivingPhone.cpp", "puts the second phone the operator holds on the simulated carrier's network"},
        {"DeviceSession.cpp",
         "builds the back office's model list from the device profiles and gives the device-id lookup page "
         "the device's identifier"},
    };
    return files;
}

// The operator's body: the one operator source that reaches the device itself.
const std::string kHandsSource = "OperatorHands.cpp";
const std::string kHandsHeader = "OperatorHands.h";

// What a person does with a phone in hand or takes in of it; every function of the hands begins with one.
const std::vector<std::string> kVerbs = {"hold", "turn", "shake",  "lift",  "walk",   "cover", "press",
                                         "flip", "plug", "unplug", "speak", "listen", "look",  "feel"};

std::string readFile(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool isHeader(const fs::path& path) {
    static const std::set<std::string> extensions = {".h", ".hpp", ".hh", ".inc", ".ipp"};
    return extensions.count(path.extension().string()) != 0;
}

bool isSource(const fs::path& path) {
    static const std::set<std::string> extensions = {".cpp", ".cc", ".cxx", ".c"};
    return isHeader(path) || extensions.count(path.extension().string()) != 0;
}

// The source with its comments and the contents of its string and character literals (raw ones too)
// taken out, line breaks kept so that lines still count: a scan that must not trip over prose.
std::string codeOnly(const std::string& source) {
    std::string out;
    out.reserve(source.size());
    enum { Code, Line, Block, String, Char, Raw } mode = Code;
    std::string rawEnd; // ")delimiter\"" of the raw string being read
    for (size_t i = 0; i < source.size(); ++i) {
        char c = source[i];
        char next = i + 1 < source.size() ? source[i + 1] : '\0';
        switch (mode) {
        case Code:
            if (c == '/' && next == '/') {
                mode = Line;
                ++i;
            } else if (c == '/' && next == '*') {
                mode = Block;
                ++i;
            } else if (c == '"' && i > 0 && source[i - 1] == 'R') {
                auto open = source.find('(', i);
                if (open == std::string::npos) {
                    return out;
                }
                rawEnd = ")" + source.substr(i + 1, open - i - 1) + "\"";
                out += c;
                i = open;
                mode = Raw;
            } else {
                out += c;
                mode = c == '"' ? String : c == '\'' ? Char : Code;
            }
            break;
        case Line:
            if (c == '\n') {
                out += c;
                mode = Code;
            }
            break;
        case Block:
            if (c == '\n') {
                out += c;
            } else if (c == '*' && next == '/') {
                mode = Code;
                ++i;
            }
            break;
        case Raw:
            if (source.compare(i, rawEnd.size(), rawEnd) == 0) {
                out += '"';
                i += rawEnd.size() - 1;
                mode = Code;
            } else if (c == '\n') {
                out += c;
            }
            break;
        case String:
        case Char:
            if (c == '\\') {
                ++i;
            } else if ((mode == String && c == '"') || (mode == Char && c == '\'')) {
                out += c;
                mode = Code;
            } else if (c == '\n') {
                out += c;
            }
            break;
        }
    }
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

bool under(const fs::path& path, const fs::path& dir) {
    auto rel = path.lexically_relative(dir);
    return !rel.empty() && *rel.begin() != "..";
}

// Every identifier of some code: `all` of them, and `own`: those not reached as a member (not right
// after ".", "->" or "::"), which the code declares or names itself.
struct Identifiers {
    std::set<std::string> all;
    std::set<std::string> own;
};

void collectIdentifiers(const std::string& code, Identifiers& into) {
    auto starts = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; };
    auto goesOn = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (size_t at = 0; at < code.size();) {
        if (!starts(code[at]) || (at > 0 && goesOn(code[at - 1]))) {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < code.size() && goesOn(code[end])) {
            ++end;
        }
        size_t before = at;
        while (before > 0 && std::isspace(static_cast<unsigned char>(code[before - 1]))) {
            --before;
        }
        bool member = before > 0 && (code[before - 1] == '.' || code[before - 1] == ':' ||
                                     (before > 1 && code[before - 1] == '>' && code[before - 2] == '-'));
        auto name = code.substr(at, end - at);
        if (!member) {
            into.own.insert(name);
        }
        into.all.insert(std::move(name));
        at = end;
    }
}

void collectHeaders(const fs::path& dir, Identifiers& into, const fs::path& except = {}) {
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file() && isHeader(entry.path()) &&
            (except.empty() || !under(fs::weakly_canonical(entry.path()), except))) {
            collectIdentifiers(codeOnly(readFile(entry.path())), into);
        }
    }
}

// The names only the device's classes have: declared in Platform/Device and named nowhere in the
// platform an app sees, the app or its libraries. Reaching one is reaching into the device.
const std::set<std::string>& deviceOnlyNames() {
    static const std::set<std::string> names = [] {
        Identifiers device;
        Identifiers visible;
        collectHeaders(kSourceRoot / "Platform" / "Device", device);
        collectHeaders(kSourceRoot / "Platform", visible, kSourceRoot / "Platform" / "Device");
        collectHeaders(kSourceRoot / "Classes", visible);
        collectHeaders(kSourceRoot / "Libraries", visible);
        std::set<std::string> only;
        std::set_difference(device.own.begin(), device.own.end(), visible.all.begin(), visible.all.end(),
                            std::inserter(only, only.end()));
        return only;
    }();
    return names;
}

// Where an include leads, and whether a checked source may go there.
struct Included {
    fs::path path; // empty for a header outside the tree (the standard and third-party libraries)
    bool device = false;
};

Included resolve(const fs::path& file, const std::string& name, bool quoted, const fs::path& simulatorDir) {
    std::vector<fs::path> roots;
    if (quoted) {
        roots.push_back(file.parent_path());
    }
    for (const char* layer : {"Platform", "Libraries", "Classes"}) {
        roots.push_back(kSourceRoot / layer);
    }
    roots.push_back(simulatorDir);
    roots.push_back(kSourceRoot / "Simulator" / "TransactionService");
    for (const auto& root : roots) {
        auto candidate = root / name;
        if (fs::is_regular_file(candidate)) {
            return {fs::weakly_canonical(candidate), false};
        }
    }
    // Not in the tree by that path; a device header by its bare name is the device all the same.
    auto bare = fs::path(name).filename();
    return {{}, fs::exists(kSourceRoot / "Platform" / "Device" / bare)};
}

// What is wrong with one include of a checked source ("" when nothing).
std::string includeProblem(const Included& included, const std::string& name, const fs::path& simulatorDir) {
    static const std::regex faultsLike(R"(^Sim[A-Z]|Fault)");
    if (included.device) {
        return "includes " + name + ", a header of the device";
    }
    if (included.path.empty()) {
        return {}; // the standard or a third-party library
    }
    const auto& path = included.path;
    if (under(path, kSourceRoot / "Platform")) {
        auto rel = path.lexically_relative(kSourceRoot / "Platform");
        if (*rel.begin() == "Device" || std::regex_search(path.filename().string(), faultsLike)) {
            return "includes " + name + ", a header of the device";
        }
        return {};
    }
    if (under(path, kSourceRoot / "Classes") || under(path, kSourceRoot / "Libraries")) {
        return {};
    }
    for (const auto& dir : {simulatorDir, kSourceRoot / "Simulator"}) {
        if (under(path, dir)) {
            auto rel = path.lexically_relative(dir).generic_string();
            if (setUpFiles().count(rel) || rel == kHandsSource) {
                return "includes " + name + ", which sets the device up";
            }
            return {};
        }
    }
    return "includes " + name + ", which is neither the platform, the app nor the operator";
}

// Every place in a checked source (`source`, the text of `file`) that reaches past the screen and the
// hands: "line N: <what>". `declared`: the names the checked sources declare themselves (a member of
// the operator's own of the same name as one of the device's is the operator's).
std::vector<std::string> peeksIn(const std::string& source, const fs::path& file, const fs::path& simulatorDir,
                                 const std::set<std::string>& declared) {
    static const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]*)[>"])");
    static const std::regex includeDirective(R"(^\s*#\s*include\b)");
    static const std::regex deviceClass(R"(\bSim[A-Z]\w*)");
    static const std::regex member(R"((\.|->)\s*([A-Za-z_]\w*))");
    std::string code = codeOnly(source);
    auto raw = lines(source);
    auto stripped = lines(code);
    std::vector<std::string> found;
    for (size_t n = 0; n < stripped.size() && n < raw.size(); ++n) {
        auto where = "line " + std::to_string(n + 1) + ": ";
        const auto& line = stripped[n];
        std::smatch match;
        if (std::regex_search(line, includeDirective)) {
            if (!std::regex_search(raw[n], match, include)) {
                found.push_back(where + "an include the check cannot read");
            } else if (auto problem = includeProblem(resolve(file, match[2].str(), match[1] == "\"", simulatorDir),
                                                     match[2].str(), simulatorDir);
                       !problem.empty()) {
                found.push_back(where + problem);
            }
            continue;
        }
        for (auto it = std::sregex_iterator(line.begin(), line.end(), deviceClass); it != std::sregex_iterator();
             ++it) {
            found.push_back(where + "names " + it->str());
        }
        for (auto it = std::sregex_iterator(line.begin(), line.end(), member); it != std::sregex_iterator(); ++it) {
            auto name = (*it)[2].str();
            if (deviceOnlyNames().count(name) && !declared.count(name)) {
                found.push_back(where + "reaches " + name + ", which only the device has");
            }
        }
    }
    return found;
}

// The checked sources under `simulatorDir` (relative to it) and their text.
std::map<std::string, std::string> checkedSources(const fs::path& simulatorDir) {
    std::map<std::string, std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(simulatorDir)) {
        auto rel = entry.path().lexically_relative(simulatorDir).generic_string();
        if (entry.is_regular_file() && isSource(entry.path()) && !setUpFiles().count(rel) && rel != kHandsSource) {
            out[rel] = readFile(entry.path());
        }
    }
    return out;
}

// The names the checked sources under `simulatorDir` declare.
std::set<std::string> declaredIn(const std::map<std::string, std::string>& sources) {
    Identifiers names;
    for (const auto& [file, text] : sources) {
        collectIdentifiers(codeOnly(text), names);
    }
    return names.own;
}

// The checked sources under `simulatorDir`, relative to it, and what each reaches past the screen.
std::map<std::string, std::vector<std::string>> scan(const fs::path& simulatorDir) {
    auto dir = fs::weakly_canonical(simulatorDir);
    auto sources = checkedSources(dir);
    auto declared = declaredIn(sources);
    std::map<std::string, std::vector<std::string>> out;
    for (const auto& [file, text] : sources) {
        out[file] = peeksIn(text, dir / file, dir, declared);
    }
    return out;
}

// What a checked source of `source` would be found to reach, beside the real ones.
std::vector<std::string> peeksIn(const std::string& source) {
    auto dir = kSourceRoot / "Simulator";
    static const auto declared = declaredIn(checkedSources(dir));
    return peeksIn(source, dir / "Peek.cpp", dir, declared);
}

// The functions the hands header declares that are not named by a person's verb.
std::vector<std::string> unnamedByAVerb(const std::string& header) {
    static const std::regex declaration(R"(^\s*(?:(?:static|inline|constexpr|virtual|\[\[nodiscard\]\])\s+)*)"
                                        R"([A-Za-z_][\w:]*(?:<[^;()]*>)?[\s*&]+([A-Za-z_]\w*)\s*\()");
    std::vector<std::string> out;
    for (const auto& line : lines(codeOnly(header))) {
        std::smatch match;
        if (!std::regex_search(line, match, declaration)) {
            continue;
        }
        auto name = match[1].str();
        bool verb = std::any_of(kVerbs.begin(), kVerbs.end(), [&](const std::string& v) {
            return name.compare(0, v.size(), v) == 0 &&
                   (name.size() == v.size() || std::isupper(static_cast<unsigned char>(name[v.size()])));
        });
        if (!verb) {
            out.push_back(name);
        }
    }
    return out;
}

} // namespace

TEST(OperatorHonestyTest, NoCheckedSourceReachesPastTheScreenAndTheHands) {
    auto sources = scan(kSourceRoot / "Simulator");
    ASSERT_GE(sources.size(), 15u) << "the simulator's sources were not found under " << kSourceRoot;
    for (const auto& name : {"ScriptedOperator.cpp", "OperatorPowerRadio.cpp", "AppRoad.cpp", "RunSession.cpp",
                             "OperatorHands.h", "TransactionService/LoopbackTransactionService.cpp"}) {
        EXPECT_TRUE(sources.count(name)) << name << " is not checked";
    }
    for (const auto& [file, peeks] : sources) {
        for (const auto& peek : peeks) {
            ADD_FAILURE() << "Simulator/" << file << " " << peek;
        }
    }
}

TEST(OperatorHonestyTest, TheSetUpFilesAreThereAndAnswerNoScreen) {
    for (const auto& [file, why] : setUpFiles()) {
        auto path = kSourceRoot / "Simulator" / file;
        ASSERT_TRUE(fs::is_regular_file(path))
            << file << " is listed as setting the device up (" << why << ") but is not there";
        auto code = codeOnly(readFile(path));
        EXPECT_EQ(code.find("UITestDriver"), std::string::npos) << file << " sets the device up and answers screens";
    }
}

TEST(OperatorHonestyTest, TheHandsAreNamedByWhatAPersonDoes) {
    auto header = readFile(kSourceRoot / "Simulator" / kHandsHeader);
    ASSERT_FALSE(header.empty());
    EXPECT_EQ(unnamedByAVerb(header), std::vector<std::string>{});
    // A function that reads the device rather than senses it is named otherwise, and found.
    EXPECT_EQ(unnamedByAVerb(header + "\nnamespace hands {\ndouble batteryHealth();\nbool unplugged();\n}\n"),
              (std::vector<std::string>{"batteryHealth", "unplugged"}));
}

TEST(OperatorHonestyTest, TheCheckFindsThePeeksItIsFor) {
    // What an operator that peeks writes: each is found.
    EXPECT_FALSE(peeksIn("bool sound = SimPower::current().battery().health() > 0.8;\n").empty());
    EXPECT_FALSE(peeksIn("auto name = SimRadios::current().carrier();\n").empty());
    EXPECT_FALSE(peeksIn("bool gave = keys.presses().back().effective;\n").empty());
    EXPECT_FALSE(peeksIn("bool broken = camera.sessionStartFails();\n").empty());
    EXPECT_FALSE(peeksIn("#include \"../Platform/Device/SimPower.h\"\n").empty());
    EXPECT_FALSE(peeksIn("#include \"DeviceFaults.h\"\n").empty());
    EXPECT_FALSE(peeksIn("#include <SimRadios.h>\n").empty());
    // The platform an app sees, the app, the test driver, the hands and the standard library are not,
    // nor prose or texts about the device.
    EXPECT_EQ(peeksIn("#include \"OperatorHands.h\"\n#include <UIKit/UITestDriver.h>\n"
                      "#include <Core/DXTestModel.h>\n#include <vector>\n#include <nlohmann/json.hpp>\n"
                      "// SimDevice::current().battery().health() is never read\n"
                      "auto shown = \"SimTrayViewController\"; auto rf = screen->carrier();\n"
                      "double level = hands::listenTo(hands::Sound::Loudspeaker, from, now);\n"),
              std::vector<std::string>{});

    // A new file anywhere under the folder is checked without being listed: one that includes the
    // device's faults header is found.
    auto dir = fs::temp_directory_path() / ("operator-honesty-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "Later");
    std::ofstream(dir / "Later" / "OperatorShortcut.cpp") << "#include <Device/SimFaults.h>\n";
    std::ofstream(dir / "Plain.cpp") << "#include <UIKit/UITestDriver.h>\n";
    auto found = scan(dir);
    fs::remove_all(dir);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found["Later/OperatorShortcut.cpp"].size(), 1u);
    EXPECT_TRUE(found["Plain.cpp"].empty());
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
