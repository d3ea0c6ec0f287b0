#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

NS_IMPLEMENT_CLASS(NSJSONSerialization, NSObject) {}

namespace {

constexpr NSInteger kJSONErrorCode = 3840;

// The operator sees the platform's plain message; what the parser found stays in the debug
// description, for logs.
Ref<NSError> jsonError(const std::string& text, bool reading) {
    const char* plain = reading ? "The data couldn\u2019t be read because it isn\u2019t in the correct format."
                                : "The data couldn\u2019t be written because it isn\u2019t in the correct format.";
    return make<NSError>(NSCocoaErrorDomain(), kJSONErrorCode,
                         NSDictionary::dictionaryWithEntries({{NSDebugDescriptionErrorKey(), NSString::from(text)},
                                                              {NSLocalizedDescriptionKey(), NSString::from(plain)}}));
}

void setError(Ref<NSError>* out, const std::string& text, bool reading = true) {
    if (out) {
        *out = jsonError(text, reading);
    }
}

// MARK: - Reading

using JSON = nlohmann::ordered_json;

// Builds objects straight from the parser's events, with no intermediate document. The values
// (and keys) of every open container wait on one shared stack, so a finished container takes its
// elements in one move into storage of the exact size.
class Builder {
public:
    explicit Builder(NSJSONReadingOptions options)
        : mutableContainers_(options & NSJSONReadingMutableContainers),
          mutableLeaves_(options & NSJSONReadingMutableLeaves) {
        values_.reserve(64);
        keys_.reserve(64);
    }

    bool null() { return value(NSNull::null()); }
    bool boolean(bool v) { return value(NSNumber::numberWithBool(v)); }
    bool number_integer(JSON::number_integer_t v) { return value(NSNumber::numberWithLongLong(v)); }
    bool number_unsigned(JSON::number_unsigned_t v) {
        if (v <= static_cast<JSON::number_unsigned_t>(std::numeric_limits<long long>::max())) {
            return value(NSNumber::numberWithLongLong(static_cast<long long>(v)));
        }
        return value(NSNumber::numberWithUnsignedLongLong(v));
    }
    bool number_float(JSON::number_float_t v, const JSON::string_t&) {
        if (!std::isfinite(v)) {
            return fail("Number wound up as NaN or infinity.");
        }
        return value(NSNumber::numberWithDouble(v));
    }
    // The parser reuses its buffer for the next token, so the text is copied (to storage of its own
    // size) rather than moved out of it.
    bool string(JSON::string_t& v) {
        return value(mutableLeaves_ ? id(make<NSMutableString>(v)) : id(make<NSString>(v)));
    }
    bool binary(JSON::binary_t&) { return fail("Binary values are not JSON."); }
    bool start_object(std::size_t) { return open(true); }
    bool key(JSON::string_t& k) {
        keys_.push_back(makeKey(k));
        return true;
    }
    bool end_object() {
        const Frame frame = frames_.back();
        frames_.pop_back();
        const size_t count = values_.size() - frame.values;
        std::vector<NSDictionary::Entry> entries;
        entries.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            entries.emplace_back(std::move(keys_[frame.keys + i]), std::move(values_[frame.values + i]));
        }
        keys_.resize(frame.keys);
        values_.resize(frame.values);
        id dict = mutableContainers_ ? id(make<NSMutableDictionary>(std::move(entries)))
                                     : id(make<NSDictionary>(std::move(entries)));
        return value(std::move(dict));
    }
    bool start_array(std::size_t) { return open(false); }
    bool end_array() {
        const Frame frame = frames_.back();
        frames_.pop_back();
        const auto first = values_.begin() + static_cast<std::ptrdiff_t>(frame.values);
        std::vector<id> items(std::make_move_iterator(first), std::make_move_iterator(values_.end()));
        values_.erase(first, values_.end());
        id array =
            mutableContainers_ ? id(make<NSMutableArray>(std::move(items))) : id(make<NSArray>(std::move(items)));
        return value(std::move(array));
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) {
        if (message_.empty()) {
            std::string what = ex.what();
            // "[json.exception.parse_error.101] parse error at line 1, column 3: ..." -> the part after "] "
            auto bracket = what.find("] ");
            message_ = (bracket == std::string::npos ? what : what.substr(bracket + 2)) + " (around byte " +
                       std::to_string(position) + ")";
        }
        return false;
    }

    const std::string& message() const { return message_; }
    id result() const { return result_; }

private:
    // An open container: where its values (and, for an object, its keys) start on the stacks.
    struct Frame {
        size_t values;
        size_t keys;
    };

    // Keys repeat from record to record: each distinct short key is made once per document and
    // shared (keys are immutable strings, so sharing cannot be observed).
    id makeKey(const std::string& s) {
        if (s.size() > 64) {
            return make<NSString>(s);
        }
        auto it = keyCache_.find(s);
        if (it != keyCache_.end()) {
            return it->second;
        }
        auto key = make<NSString>(s);
        if (keyCache_.size() < 4096) {
            keyCache_.emplace(s, key);
        }
        return key;
    }

    bool open(bool isObject) {
        if (frames_.size() >= static_cast<size_t>(NSJSONSerialization::maximumDepth)) {
            return fail("Too many nested arrays or dictionaries.");
        }
        frames_.push_back(Frame{values_.size(), isObject ? keys_.size() : 0});
        return true;
    }

    bool value(id v) {
        if (frames_.empty()) {
            result_ = std::move(v);
        } else {
            values_.push_back(std::move(v));
        }
        return true;
    }

    bool fail(const std::string& text) {
        if (message_.empty()) {
            message_ = text;
        }
        return false;
    }

    bool mutableContainers_;
    bool mutableLeaves_;
    std::vector<Frame> frames_;
    std::vector<id> values_;
    std::vector<id> keys_;
    std::unordered_map<std::string, Ref<NSString>> keyCache_;
    id result_;
    std::string message_;
};

// MARK: - Writing

class Writer {
public:
    explicit Writer(NSJSONWritingOptions options)
        : pretty_(options & NSJSONWritingPrettyPrinted), sorted_(options & NSJSONWritingSortedKeys),
          escapeSlashes_(!(options & NSJSONWritingWithoutEscapingSlashes)) {}

    bool write(const id& object, int depth) {
        if (!object) {
            return fail("Invalid value (nil) in JSON write.");
        }
        NSObject* o = object.get();
        // The exact value classes first, by class identity; subclasses through dynamic_cast below.
        Class cls = o->getClass();
        if (cls == classes_.string || cls == classes_.mutableString) {
            writeString(static_cast<NSString*>(o)->str());
            return true;
        }
        if (cls == classes_.number) {
            return writeNumber(*static_cast<NSNumber*>(o));
        }
        if (cls == classes_.dictionary || cls == classes_.mutableDictionary) {
            return writeDictionary(*static_cast<NSDictionary*>(o), depth);
        }
        if (cls == classes_.array || cls == classes_.mutableArray) {
            return writeArray(*static_cast<NSArray*>(o), depth);
        }
        if (cls == classes_.null) {
            out_ += "null";
            return true;
        }
        if (auto* s = dynamic_cast<NSString*>(o)) {
            writeString(s->str());
            return true;
        }
        if (auto* n = dynamic_cast<NSNumber*>(o)) {
            return writeNumber(*n);
        }
        if (auto* d = dynamic_cast<NSDictionary*>(o)) {
            return writeDictionary(*d, depth);
        }
        if (auto* a = dynamic_cast<NSArray*>(o)) {
            return writeArray(*a, depth);
        }
        if (dynamic_cast<NSNull*>(o)) {
            out_ += "null";
            return true;
        }
        return fail("Invalid type in JSON write (" + object->getClass()->name() + ").");
    }

    std::string& output() { return out_; }
    const std::string& message() const { return message_; }

private:
    bool fail(const std::string& text) {
        if (message_.empty()) {
            message_ = text;
        }
        return false;
    }

    void newline(int depth) {
        if (pretty_) {
            out_ += '\n';
            out_.append(static_cast<size_t>(depth) * 2, ' ');
        }
    }

    bool writeNumber(const NSNumber& n) {
        char buffer[64];
        std::to_chars_result r{};
        if (n.isBool()) {
            out_ += n.boolValue() ? "true" : "false";
            return true;
        }
        if (n.isFloatingPoint()) {
            double d = n.doubleValue();
            if (!std::isfinite(d)) {
                return fail("Invalid number value (NaN or infinity) in JSON write.");
            }
            r = std::to_chars(buffer, buffer + sizeof buffer, d);
        } else if (n.isUnsigned()) {
            r = std::to_chars(buffer, buffer + sizeof buffer, n.unsignedLongLongValue());
        } else {
            r = std::to_chars(buffer, buffer + sizeof buffer, n.longLongValue());
        }
        out_.append(buffer, r.ptr);
        return true;
    }

    void writeString(const std::string& s) {
        static const char* hex = "0123456789abcdef";
        out_ += '"';
        size_t run = 0; // start of the pending run of bytes that need no escape
        for (size_t i = 0; i < s.size(); ++i) {
            auto c = static_cast<unsigned char>(s[i]);
            const char* escape = nullptr;
            char unicode[7];
            if (c == '"') {
                escape = "\\\"";
            } else if (c == '\\') {
                escape = "\\\\";
            } else if (c == '/' && escapeSlashes_) {
                escape = "\\/";
            } else if (c < 0x20) {
                switch (c) {
                case '\b':
                    escape = "\\b";
                    break;
                case '\f':
                    escape = "\\f";
                    break;
                case '\n':
                    escape = "\\n";
                    break;
                case '\r':
                    escape = "\\r";
                    break;
                case '\t':
                    escape = "\\t";
                    break;
                default:
                    unicode[0] = '\\';
                    unicode[1] = 'u';
                    unicode[2] = '0';
                    unicode[3] = '0';
                    unicode[4] = hex[c >> 4];
                    unicode[5] = hex[c & 0x0F];
                    unicode[6] = '\0';
                    escape = unicode;
                    break;
                }
            }
            if (escape) {
                out_.append(s, run, i - run);
                out_ += escape;
                run = i + 1;
            }
        }
        out_.append(s, run, s.size() - run);
        out_ += '"';
    }

    bool writeArray(const NSArray& a, int depth) {
        if (depth >= NSJSONSerialization::maximumDepth) {
            return fail("Too many nested arrays or dictionaries in JSON write.");
        }
        out_ += '[';
        bool first = true;
        const auto& items = a.objects();
        for (size_t i = 0; i < items.size(); ++i) {
            const id& item = items[i];
            if (i + 2 < items.size()) {
                __builtin_prefetch(items[i + 2].get()); // the objects are scattered in memory
            }
            if (!first) {
                out_ += ',';
            }
            first = false;
            newline(depth + 1);
            if (!write(item, depth + 1)) {
                return false;
            }
        }
        if (!first) {
            newline(depth);
        }
        out_ += ']';
        return true;
    }

    bool writeDictionary(const NSDictionary& d, int depth) {
        if (depth >= NSJSONSerialization::maximumDepth) {
            return fail("Too many nested arrays or dictionaries in JSON write.");
        }
        std::vector<const NSDictionary::Entry*> entries;
        entries.reserve(d.count());
        const auto& all = d.entries();
        for (size_t i = 0; i < all.size(); ++i) {
            if (i + 1 < all.size()) {
                __builtin_prefetch(all[i + 1].first.get());
                __builtin_prefetch(all[i + 1].second.get());
            }
            const auto& e = all[i];
            Class keyClass = e.first->getClass();
            if (keyClass != classes_.string && keyClass != classes_.mutableString &&
                !dynamic_cast<NSString*>(e.first.get())) {
                return fail("Invalid (non-string) key in JSON dictionary.");
            }
            entries.push_back(&e);
        }
        if (sorted_) {
            std::stable_sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) {
                return static_cast<NSString*>(a->first.get())->compare(cast<NSString>(b->first)) == NSOrderedAscending;
            });
        }
        out_ += '{';
        bool first = true;
        for (const auto* e : entries) {
            if (!first) {
                out_ += ',';
            }
            first = false;
            newline(depth + 1);
            writeString(static_cast<NSString*>(e->first.get())->str());
            out_ += pretty_ ? " : " : ":";
            if (!write(e->second, depth + 1)) {
                return false;
            }
        }
        if (!first) {
            newline(depth);
        }
        out_ += '}';
        return true;
    }

    struct ValueClasses {
        Class string = NSString::class_();
        Class mutableString = NSMutableString::class_();
        Class number = NSNumber::class_();
        Class dictionary = NSDictionary::class_();
        Class mutableDictionary = NSMutableDictionary::class_();
        Class array = NSArray::class_();
        Class mutableArray = NSMutableArray::class_();
        Class null = NSNull::class_();
    };

    bool pretty_;
    bool sorted_;
    bool escapeSlashes_;
    ValueClasses classes_;
    std::string out_;
    std::string message_;
};

bool isContainer(const id& object) {
    return cast<NSArray>(object) || cast<NSDictionary>(object);
}

} // namespace

bool NSJSONSerialization::isValidJSONObject(const id& object) {
    if (!isContainer(object)) {
        return false;
    }
    Writer writer(0);
    return writer.write(object, 0);
}

id NSJSONSerialization::JSONObjectWithDataOptionsError(const Ref<NSData>& data, NSJSONReadingOptions options,
                                                       Ref<NSError>* error) {
    if (!data) {
        setError(error, "No data.");
        return nullptr;
    }
    if (data->length() == 0) {
        setError(error, "Unable to parse empty data.");
        return nullptr;
    }
    Builder builder(options);
    const auto* first = reinterpret_cast<const char*>(data->bytes());
    // The parser takes a NUL byte for the end of its input and would accept what came before it
    // alone. JSON has no place for one (within a string it must be escaped), and the document ends at
    // its last byte: a NUL anywhere is an error.
    if (const void* nul = std::memchr(first, 0, data->length())) {
        setError(error,
                 "Unexpected NUL byte (around byte " + std::to_string(static_cast<const char*>(nul) - first) + ").");
        return nullptr;
    }
    bool ok = false;
    try {
        ok = JSON::sax_parse(first, first + data->length(), &builder);
    } catch (const std::exception& e) {
        setError(error, std::string("The data couldn\u2019t be read: ") + e.what());
        return nullptr;
    }
    if (!ok || !builder.result()) {
        setError(error, builder.message().empty() ? std::string("The data is not valid JSON.") : builder.message());
        return nullptr;
    }
    id result = builder.result();
    if (!(options & NSJSONReadingFragmentsAllowed) && !isContainer(result)) {
        setError(error, "JSON text did not start with array or object and option to allow fragments not set.");
        return nullptr;
    }
    return result;
}

Ref<NSData> NSJSONSerialization::dataWithJSONObjectOptionsError(const id& object, NSJSONWritingOptions options,
                                                                Ref<NSError>* error) {
    if (!(options & NSJSONWritingFragmentsAllowed) && !isContainer(object)) {
        setError(error, "Invalid top-level type in JSON write.", false);
        return nullptr;
    }
    Writer writer(options);
    try {
        if (!writer.write(object, 0)) {
            setError(error, writer.message(), false);
            return nullptr;
        }
    } catch (const std::exception& e) {
        setError(error, std::string("Invalid object in JSON write: ") + e.what(), false);
        return nullptr;
    }
    const std::string& text = writer.output();
    return NSData::dataWithBytesLength(text.data(), text.size());
}
