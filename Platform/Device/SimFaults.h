// SimFaults: what every domain of the simulated device shares about its parts: the tables of part
// and state names, and the reading of a faults overlay ({"part": "state", ...}). An overlay names the
// parts of every domain at once; each domain takes the pairs of its own parts and passes over the
// rest (the simulator checks the names against every domain). A pair of one of its parts with a
// state that is not a text, or that the part cannot be in, makes the whole overlay bad.
#pragma once

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

// Reads the file at `path` into `text`; false with "no faults overlay at <path>" in `error`.
bool readFile(const std::string& path, std::string& text, std::string* error);

// The (part, state) texts of an overlay, in the file's order; false with the reason in `error` when
// the text is not a JSON object or a state is not a text (of a part `isPart` knows; others are
// passed over unread).
bool parse(const std::string& text, const std::function<bool(const std::string&)>& isPart,
           std::vector<std::pair<std::string, std::string>>& pairs, std::string* error);

// The overlay's pairs for one domain, as its own enumerators: `partNamed` and `stateNamed` read the
// names, `allowed` says whether a part may be in a state (all states by default). False with the
// reason in `error` for a bad overlay; nothing is returned then.
template <class Part, class State>
bool changes(const std::string& text, std::optional<Part> (*partNamed)(const std::string&),
             std::optional<State> (*stateNamed)(const std::string&), std::vector<std::pair<Part, State>>& out,
             std::string* error, const std::function<bool(Part, State)>& allowed = nullptr) {
    std::vector<std::pair<std::string, std::string>> pairs;
    if (!parse(
            text, [&](const std::string& name) { return partNamed(name).has_value(); }, pairs, error)) {
        return false;
    }
    std::vector<std::pair<Part, State>> result;
    for (const auto& [partText, stateText] : pairs) {
        Part part = *partNamed(partText);
        auto state = stateNamed(stateText);
        if (!state || (allowed && !allowed(part, *state))) {
            if (error) {
                *error = "bad faults overlay: unknown state \"" + stateText + "\" of \"" + partText + "\"";
            }
            return false;
        }
        result.emplace_back(part, *state);
    }
    out = std::move(result);
    return true;
}

} // namespace sim_faults
