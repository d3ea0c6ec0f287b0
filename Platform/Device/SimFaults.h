// SimFaults: what every domain of the simulated device shares about its parts: the tables of part
// and state names, and the reading of a faults overlay ({"part": "state", ...}). An overlay names the
// parts of every domain at once; each domain takes the pairs of its own parts and passes over the
// rest (the simulator checks the names against every domain). A pair of one of its parts with a
// state that is not a text, or that the part cannot be in, makes the whole overlay bad.
//
// Every domain refuses an overlay in the same words: "bad faults overlay: <reason>" for a text
// (`applyFaults`), "<path>: <reason>" for a file (`loadFaults`), where an unknown state's reason
// lists the part's states: unknown state "x" of "part" (its states: working, dead).
#pragma once

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim_faults {

// The enumerator whose name in `names` (indexed by the enumerator's value) is `name`.
template <class Enum, size_t N>
std::optional<Enum> named(const char* const (&names)[N], const std::string& name) {
    for (size_t i = 0; i < N; ++i) {
        if (name == names[i]) {
            return static_cast<Enum>(i);
        }
    }
    return std::nullopt;
}

// The names in `names` (indexed by the enumerator's value) of the states `allowed` takes.
template <class State, size_t N>
std::vector<std::string> namesOf(const char* const (&names)[N], const std::function<bool(State)>& allowed = nullptr) {
    std::vector<std::string> out;
    for (size_t i = 0; i < N; ++i) {
        if (!allowed || allowed(static_cast<State>(i))) {
            out.emplace_back(names[i]);
        }
    }
    return out;
}

// Reads the file at `path` into `text`; false with "no faults overlay at <path>" (or "<path> is a
// directory, not a faults overlay") in `error`.
bool readFile(const std::string& path, std::string& text, std::string* error);

// How deep the arrays and objects of a document read by parseDocument may nest: the platform's own
// JSON reader's bound. A real overlay nests two or three deep.
constexpr int kMaximumDepth = 512;

// The one JSON document that `text` holds, read to its last byte: false with the reason in `reason`
// ("a NUL byte at byte 12", "not JSON (a syntax error at byte 3)", "nested more than 512 levels
// deep") for anything else. Only blanks may follow the value, and a NUL byte is refused anywhere: the
// JSON reader would take it for the end of the text and read what came before it alone.
bool parseDocument(const std::string& text, nlohmann::ordered_json& root, std::string* reason);

// Whether the arrays and objects of a JSON text nest at most kMaximumDepth deep, counted over its
// brackets outside strings, before any reader builds it: parseDocument's bound, and the device
// profiles' (their documents are copied and walked once they are read).
bool nestsWithinBound(const std::string& text);

// A domain's refusal of an overlay text: "bad faults overlay: <reason>".
std::string refusal(const std::string& reason);

// The reason for a state a part cannot be in: unknown state "x" of "part" (its states: a, b).
std::string unknownState(const std::string& part, const std::string& state, const std::vector<std::string>& states);

// Reads the overlay at `path` and has `apply` take its text (a domain's applyFaults). A refusal names
// the file in place of "bad faults overlay": "<path>: <reason>".
bool load(const std::string& path, std::string* error,
          const std::function<bool(const std::string& text, std::string* error)>& apply);

// The (part, state) texts of an overlay, in the file's order; false with the reason in `error` when
// the text is not a JSON object or a state is not a text (of a part `isPart` knows; others are
// passed over unread).
bool parse(const std::string& text, const std::function<bool(const std::string&)>& isPart,
           std::vector<std::pair<std::string, std::string>>& pairs, std::string* error);

// The overlay's pairs for one domain, as its own enumerators: `partNamed` and `stateNamed` read the
// names, `states` lists the states a part may be in. False with the reason in `error` for a bad
// overlay; nothing is returned then.
template <class Part, class State>
bool changes(const std::string& text, std::optional<Part> (*partNamed)(const std::string&),
             std::optional<State> (*stateNamed)(const std::string&), std::vector<std::string> (*states)(Part),
             std::vector<std::pair<Part, State>>& out, std::string* error) {
    std::vector<std::pair<std::string, std::string>> pairs;
    if (!parse(
            text, [&](const std::string& name) { return partNamed(name).has_value(); }, pairs, error)) {
        return false;
    }
    std::vector<std::pair<Part, State>> result;
    for (const auto& [partText, stateText] : pairs) {
        Part part = *partNamed(partText);
        auto allowed = states(part);
        auto state = stateNamed(stateText);
        if (!state || std::find(allowed.begin(), allowed.end(), stateText) == allowed.end()) {
            if (error) {
                *error = refusal(unknownState(partText, stateText, allowed));
            }
            return false;
        }
        result.emplace_back(part, *state);
    }
    out = std::move(result);
    return true;
}

} // namespace sim_faults
