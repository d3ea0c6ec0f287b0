// Reading faults overlays, shared by every domain of the simulated device (see SimFaults.h).
#include <Device/SimFaults.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace sim_faults {

namespace {

constexpr const char kRefusal[] = "bad faults overlay: ";

} // namespace

bool readFile(const std::string& path, std::string& text, std::string* error) {
    // A directory opens as a file and reads as nothing, which would be reported as a JSON error.
    if (std::error_code ignored; std::filesystem::is_directory(path, ignored)) {
        if (error) {
            *error = path + " is a directory, not a faults overlay";
        }
        return false;
    }
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

bool nestsWithinBound(const std::string& text) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaximumDepth) {
                return false;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return true;
}

bool parseDocument(const std::string& text, nlohmann::ordered_json& root, std::string* reason) {
    if (auto nul = text.find('\0'); nul != std::string::npos) {
        if (reason) {
            *reason = "a NUL byte at byte " + std::to_string(nul + 1);
        }
        return false;
    }
    // The reader itself builds iteratively, but everything done with a document afterwards (copying,
    // comparing, writing it out for a message) recurses once per level: a document nested past the
    // bound is not read at all.
    if (!nestsWithinBound(text)) {
        if (reason) {
            *reason = "nested more than " + std::to_string(kMaximumDepth) + " levels deep";
        }
        return false;
    }
    try {
        root = nlohmann::ordered_json::parse(text);
    } catch (const nlohmann::ordered_json::parse_error& e) {
        if (reason) {
            *reason = "not JSON (a syntax error at byte " + std::to_string(e.byte) + ")";
        }
        return false;
    } catch (const nlohmann::ordered_json::exception&) {
        if (reason) {
            *reason = "not JSON (a number out of range)"; // the one other way the reader refuses a text
        }
        return false;
    }
    return true;
}

std::string refusal(const std::string& reason) {
    return kRefusal + reason;
}

std::string unknownState(const std::string& part, const std::string& state, const std::vector<std::string>& states) {
    std::string list;
    for (const auto& name : states) {
        list += (list.empty() ? "" : ", ") + name;
    }
    return "unknown state \"" + state + "\" of \"" + part + "\" (its states: " + list + ")";
}

bool load(const std::string& path, std::string* error,
          const std::function<bool(const std::string& text, std::string* error)>& apply) {
    std::string text;
    if (!readFile(path, text, error)) {
        return false;
    }
    std::string why;
    if (apply(text, &why)) {
        return true;
    }
    if (error) {
        *error = path + ": " + (why.starts_with(kRefusal) ? why.substr(sizeof kRefusal - 1) : why);
    }
    return false;
}

bool parse(const std::string& text, const std::function<bool(const std::string&)>& isPart,
           std::vector<std::pair<std::string, std::string>>& pairs, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) {
            *error = refusal(why);
        }
        return false;
    };
    nlohmann::ordered_json root;
    std::string why;
    if (!parseDocument(text, root, &why)) {
        return fail(why);
    }
    if (!root.is_object()) {
        return fail("not a JSON object of part names and states");
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
