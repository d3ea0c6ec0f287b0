// Reading faults overlays, shared by every domain of the simulated device (see SimFaults.h).
#include <Device/SimFaults.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace sim_faults {

bool readFile(const std::string& path, std::string& text, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) {
            *error = "no faults overlay at " + path;
        }
        return false;
    }
    std::stringstream contents;
    contents << in.rdbuf();
    text = contents.str();
    return true;
}

bool parse(const std::string& text, const std::function<bool(const std::string&)>& isPart,
           std::vector<std::pair<std::string, std::string>>& pairs, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) {
            *error = "bad faults overlay: " + why;
        }
        return false;
    };
    if (text.find('\0') != std::string::npos) {
        // The JSON reader would take it for the end of the text and read what came before alone.
        return fail("the faults overlay holds a NUL byte");
    }
    auto root = nlohmann::ordered_json::parse(text, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        return fail("the faults overlay is not a JSON object");
    }
    std::vector<std::pair<std::string, std::string>> result;
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (!isPart(it.key())) {
            continue;
        }
        if (!it->is_string()) {
            return fail("the state of \"" + it.key() + "\" is not a text");
        }
        result.emplace_back(it.key(), it->get<std::string>());
    }
    pairs = std::move(result);
    return true;
}

} // namespace sim_faults
