// The descriptions of arrays, dictionaries and sets (see CollectionDescription.h).
#include <Foundation/CollectionDescription.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSSet.h>
#include <Foundation/NSString.h>

namespace foundation_detail {

namespace {

constexpr const char kStep[] = "    ";
constexpr size_t kStepSize = sizeof kStep - 1;

void appendIndented(std::string& out, const std::string& text, const std::string& indent) {
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        out.append(text, start, end + 1 - start);
        out += indent;
        start = end + 1;
    }
    out.append(text, start, std::string::npos);
}

} // namespace

void appendDescription(std::string& out, const id& object, std::string& indent) {
    if (auto array = cast<NSArray>(object)) {
        out += "(\n";
        indent += kStep;
        NSUInteger count = array->count();
        NSUInteger i = 0;
        for (const auto& item : *array) {
            out += indent;
            appendDescription(out, item, indent);
            out += ++i < count ? ",\n" : "\n";
        }
        indent.resize(indent.size() - kStepSize);
        out += indent;
        out += ")";
    } else if (auto dictionary = cast<NSDictionary>(object)) {
        // A key's own line breaks are not indented a step further, as its value's are.
        out += "{\n";
        for (const auto& [key, value] : *dictionary) {
            out += indent;
            out += kStep;
            appendDescription(out, key, indent);
            out += " = ";
            indent += kStep;
            appendDescription(out, value, indent);
            indent.resize(indent.size() - kStepSize);
            out += ";\n";
        }
        out += indent;
        out += "}";
    } else if (auto set = cast<NSSet>(object)) {
        // Nor are a set's elements'.
        out += "{(\n";
        NSUInteger count = set->count();
        NSUInteger i = 0;
        for (const auto& item : *set) {
            out += indent;
            out += kStep;
            appendDescription(out, item, indent);
            out += ++i < count ? ",\n" : "\n";
        }
        out += indent;
        out += ")}";
    } else {
        appendIndented(out, NSDescription(object)->str(), indent);
    }
}

} // namespace foundation_detail
