// The operator answers only from what the device showed and did: no source of the operator
// (Simulator/Operator*, Simulator/ScriptedOperator*) reads the faults overlay or a part's state.
// The device's fault accessors (a part's state, the faults overlay, the flash's and the radio's own
// word on themselves) are listed here once; a source that names one fails, with the line.
#include "DeviceFaults.h"
#include "ScriptedOperator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The source with its comments and the contents of its string and character literals taken out
// (line breaks kept, so lines still count), for a scan that must not trip over prose.
std::string codeOnly(const std::string& source) {
    std::string out;
    out.reserve(source.size());
    enum { Code, Line, Block, String, Char } mode = Code;
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

// Every place in `source` that reads a fault: "line N: <what>".
std::vector<std::string> faultReadings(const std::string& source) {
    static const std::regex includes(R"(#\s*include\s*[<"]([^>"]*(SimFaults\.h|DeviceFaults\.h))[>"])");
    static const std::regex accessors(
        R"(\b(readFaults|loadFaults|applyFaults|loadDeviceFaults|readFaultsOverlay|faults_?|fitted|cameraState|)"
        R"(torchState|flashState|displayFault|backlightStuck|fireFlash|hasFlash|hasTorch|digitizerState|deadAreas|)"
        R"(forceState|keyState|signalBars|signalStrengthDBm|canSendText|carriesText|canEvaluateError|)"
        R"(bluetoothPoweredOn|interfaceTableReadable|isWorking|isPresent|senses|maximumTouches|hasForceTouch)\b)"
        R"(|(\.|->)\s*state\s*\()"
        R"(|\b(State|KeyState|CameraState|LightState|DigitizerState|ForceState|DisplayFault)::)");
    std::vector<std::string> found;
    std::istringstream raw(source);
    std::istringstream code(codeOnly(source));
    std::string rawLine;
    std::string codeLine;
    for (int n = 1; std::getline(raw, rawLine) && std::getline(code, codeLine); ++n) {
        std::smatch match;
        if (std::regex_search(rawLine, match, includes)) {
            found.push_back("line " + std::to_string(n) + ": includes " + match[1].str());
        }
        for (auto it = std::sregex_iterator(codeLine.begin(), codeLine.end(), accessors); it != std::sregex_iterator();
             ++it) {
            found.push_back("line " + std::to_string(n) + ": " + it->str());
        }
    }
    return found;
}

std::vector<std::filesystem::path> operatorSources() {
    std::vector<std::filesystem::path> sources;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(DX_SOURCE_DIR) + "/Simulator")) {
        auto name = entry.path().filename().string();
        auto extension = entry.path().extension().string();
        bool isOperator = name.rfind("Operator", 0) == 0 || name.rfind("ScriptedOperator", 0) == 0;
        if (isOperator && (extension == ".h" || extension == ".cpp")) {
            sources.push_back(entry.path());
        }
    }
    return sources;
}

} // namespace

TEST(OperatorHonestyTest, NoOperatorSourceReadsAFault) {
    auto sources = operatorSources();
    ASSERT_GE(sources.size(), 8u) << "the operator's sources were not found under " << DX_SOURCE_DIR;
    for (const auto& path : sources) {
        std::ifstream file(path);
        std::stringstream text;
        text << file.rdbuf();
        for (const auto& reading : faultReadings(text.str())) {
            ADD_FAILURE() << path.filename().string() << " reads a fault, " << reading;
        }
    }
}

TEST(OperatorHonestyTest, TheScanFindsThePeeksItIsFor) {
    // What an operator that peeks writes: each is found, prose and texts about faults are not.
    EXPECT_EQ(faultReadings("bool good = SimPower::current().state(SimPower::Part::Battery) != "
                            "SimPower::State::Dead;\n")
                  .size(),
              2u);
    EXPECT_EQ(faultReadings("lit = SimCamera::current().fireFlash();\n").size(), 1u);
    EXPECT_EQ(faultReadings("return tapAnswer(script, key, SimRadios::current().signalBars() > 0);\n").size(), 1u);
    EXPECT_EQ(faultReadings("auto fault = faults_.find(part);\n").size(), 1u);
    EXPECT_EQ(faultReadings("#include \"DeviceFaults.h\"\n").size(), 1u);
    EXPECT_EQ(faultReadings("keys.keyState(Key::Power) == SimTouchKeys::KeyState::Dead\n").size(), 2u);
    EXPECT_TRUE(faultReadings("// never from the faults overlay: state(x) is not read\n"
                              "/* fireFlash() */ auto s = \"faults\"; auto app = a->applicationState();\n")
                    .empty());
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
