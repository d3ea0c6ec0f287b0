#include <Foundation/BinaryPropertyListShape.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Runtime/ClassBuilder.h>

#include <expat.h>
#include <plist/plist.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <ctime>
#include <limits>
#include <memory>

NS_IMPLEMENT_CLASS(NSPropertyListSerialization, NSObject) {}

namespace {

Ref<NSError> plistError(NSInteger code, const std::string& text) {
    return make<NSError>(NSCocoaErrorDomain(), code,
                         NSDictionary::dictionaryWithEntries({{NSDebugDescriptionErrorKey(), NSString::from(text)},
                                                              {NSLocalizedDescriptionKey(), NSString::from(text)}}));
}

// MARK: - Reading

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// Checks an XML property list with expat before libplist reads it: the document must be well
// formed (libplist itself is lenient), declare no entities, nest at most `limit` deep, have a
// <plist> root, and pair every dictionary key with a value. Expat reads iteratively, so no document
// can exhaust the stack here, and libplist then only sees documents of bounded depth.
class XMLCheck {
public:
    bool run(const char* bytes, size_t length, int limit, std::string& reason) {
        limit_ = limit;
        XML_Parser parser = XML_ParserCreate("UTF-8");
        if (!parser) {
            reason = "out of memory";
            return false;
        }
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, onStart, onEnd);
        XML_SetEntityDeclHandler(parser, onEntity);
        XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
        bool ok = length <= static_cast<size_t>(INT_MAX) &&
                  XML_Parse(parser, bytes, static_cast<int>(length), XML_TRUE) == XML_STATUS_OK;
        if (!ok && reason_.empty()) {
            reason_ = length > static_cast<size_t>(INT_MAX)
                          ? std::string("too large")
                          : std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
                                std::to_string(XML_GetCurrentLineNumber(parser));
        }
        XML_ParserFree(parser);
        if (ok && !sawRoot_) {
            ok = false;
            reason_ = "no <plist> element";
        }
        reason = reason_;
        return ok && reason_.empty();
    }

private:
    struct Frame {
        bool dict;
        bool expectValue; // inside a dict: a <key> was seen, its value is due
    };

    static void fail(void* data, const std::string& why) {
        auto* self = static_cast<XMLCheck*>(data);
        if (self->reason_.empty()) {
            self->reason_ = why;
        }
    }
    static void onStart(void* data, const XML_Char* name, const XML_Char**) {
        auto* self = static_cast<XMLCheck*>(data);
        std::string n(name);
        if (self->stack_.empty()) {
            if (n != "plist" || self->sawRoot_) {
                fail(data, "the root element is not <plist>");
            }
            self->sawRoot_ = true;
            self->stack_.push_back({false, false});
            return;
        }
        if (static_cast<int>(self->stack_.size()) > self->limit_) {
            fail(data, "too many nested elements");
            self->stack_.push_back({false, false});
            return;
        }
        Frame& parent = self->stack_.back();
        if (parent.dict) {
            if (n == "key") {
                if (parent.expectValue) {
                    fail(data, "a dictionary key without a value");
                }
                parent.expectValue = true;
            } else if (!parent.expectValue) {
                fail(data, "a dictionary value without a key");
            } else {
                parent.expectValue = false;
            }
        }
        self->stack_.push_back({n == "dict", false});
    }
    static void onEnd(void* data, const XML_Char*) {
        auto* self = static_cast<XMLCheck*>(data);
        if (!self->stack_.empty()) {
            if (self->stack_.back().dict && self->stack_.back().expectValue) {
                fail(data, "a dictionary key without a value");
            }
            self->stack_.pop_back();
        }
    }
    static void onEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                         const XML_Char*, const XML_Char*) {
        fail(data, "entity declarations are not accepted");
    }

    int limit_ = 0;
    bool sawRoot_ = false;
    std::vector<Frame> stack_;
    std::string reason_;
};

class Reader {
public:
    explicit Reader(NSPropertyListReadOptions options)
        : mutableContainers_(options != NSPropertyListImmutable),
          mutableLeaves_(options == NSPropertyListMutableContainersAndLeaves) {}

    id convert(plist_t node, int depth) {
        if (depth > NSPropertyListSerialization::maximumDepth) {
            return fail("Too many nested arrays or dictionaries.");
        }
        switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t b = 0;
            plist_get_bool_val(node, &b);
            return NSNumber::numberWithBool(b != 0);
        }
        case PLIST_UINT: {
            uint64_t v = 0;
            plist_get_uint_val(node, &v);
            return NSNumber::numberWithLongLong(static_cast<long long>(v));
        }
        case PLIST_REAL: {
            double d = 0;
            plist_get_real_val(node, &d);
            return NSNumber::numberWithDouble(d);
        }
        case PLIST_STRING: {
            uint64_t length = 0;
            const char* s = plist_get_string_ptr(node, &length);
            std::string text(s ? s : "", s ? length : 0);
            return mutableLeaves_ ? id(make<NSMutableString>(std::move(text))) : id(make<NSString>(std::move(text)));
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char* bytes = plist_get_data_ptr(node, &length);
            if (mutableLeaves_) {
                return NSMutableData::dataWithBytesLength(bytes, bytes ? length : 0);
            }
            return NSData::dataWithBytesLength(bytes, bytes ? length : 0);
        }
        case PLIST_DATE: {
            int32_t sec = 0, usec = 0;
            plist_get_date_val(node, &sec, &usec);
            return NSDate::dateWithTimeIntervalSinceReferenceDate(static_cast<double>(sec) +
                                                                  static_cast<double>(usec) / 1e6);
        }
        case PLIST_ARRAY: {
            uint32_t n = plist_array_get_size(node);
            std::vector<id> items;
            items.reserve(n);
            for (uint32_t i = 0; i < n; ++i) {
                id item = convert(plist_array_get_item(node, i), depth + 1);
                if (!item) {
                    return nullptr;
                }
                items.push_back(std::move(item));
            }
            return mutableContainers_ ? id(make<NSMutableArray>(std::move(items)))
                                      : id(make<NSArray>(std::move(items)));
        }
        case PLIST_DICT: {
            std::vector<NSDictionary::Entry> entries;
            entries.reserve(plist_dict_get_size(node));
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            for (;;) {
                char* key = nullptr;
                plist_t value = nullptr;
                plist_dict_next_item(node, it, &key, &value);
                if (!key) {
                    break;
                }
                Ref<NSString> k = NSString::from(key);
                free(key);
                if (!value) {
                    free(it);
                    return fail("A dictionary key has no value.");
                }
                id v = convert(value, depth + 1);
                if (!v) {
                    free(it);
                    return nullptr;
                }
                entries.emplace_back(std::move(k), std::move(v));
            }
            free(it);
            return mutableContainers_ ? id(make<NSMutableDictionary>(entries)) : id(make<NSDictionary>(entries));
        }
        case PLIST_UID:
            return fail("Keyed-archive UIDs are not property-list values.");
        default:
            return fail("Unknown value type.");
        }
    }

    const std::string& message() const { return message_; }

private:
    id fail(const std::string& text) {
        if (message_.empty()) {
            message_ = text;
        }
        return nullptr;
    }

    bool mutableContainers_;
    bool mutableLeaves_;
    std::string message_;
};

// MARK: - Writing

std::string invalidType(const id& object) {
    return "Property list invalid for format (property lists cannot contain objects of type '" +
           (object ? object->getClass()->name() : std::string("nil")) + "')";
}

void appendEscaped(std::string& out, const std::string& s) {
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
}

std::string isoDate(NSTimeInterval sinceReference) {
    double unixTime = std::floor(sinceReference + NSTimeIntervalSince1970);
    std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buffer;
}

std::string realText(double d) {
    if (std::isnan(d)) {
        return "nan";
    }
    if (std::isinf(d)) {
        return d > 0 ? "+infinity" : "-infinity";
    }
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, d);
    return std::string(buffer, r.ptr);
}

class XMLWriter {
public:
    bool write(const id& object, int depth) {
        if (depth > NSPropertyListSerialization::maximumDepth) {
            return fail("Too many nested arrays or dictionaries.");
        }
        indent(depth);
        if (auto s = cast<NSString>(object)) {
            out_ += "<string>";
            appendEscaped(out_, s->str());
            out_ += "</string>\n";
        } else if (auto n = cast<NSNumber>(object)) {
            if (n->isBool()) {
                out_ += n->boolValue() ? "<true/>\n" : "<false/>\n";
            } else if (n->isFloatingPoint()) {
                out_ += "<real>" + realText(n->doubleValue()) + "</real>\n";
            } else if (n->isUnsigned()) {
                out_ += "<integer>" + std::to_string(n->unsignedLongLongValue()) + "</integer>\n";
            } else {
                out_ += "<integer>" + std::to_string(n->longLongValue()) + "</integer>\n";
            }
        } else if (auto d = cast<NSData>(object)) {
            out_ += "<data>" + d->base64EncodedStringWithOptions(0)->str() + "</data>\n";
        } else if (auto date = cast<NSDate>(object)) {
            out_ += "<date>" + isoDate(date->timeIntervalSinceReferenceDate()) + "</date>\n";
        } else if (auto a = cast<NSArray>(object)) {
            if (a->count() == 0) {
                out_ += "<array/>\n";
                return true;
            }
            out_ += "<array>\n";
            for (const auto& item : *a) {
                if (!write(item, depth + 1)) {
                    return false;
                }
            }
            indent(depth);
            out_ += "</array>\n";
        } else if (auto dict = cast<NSDictionary>(object)) {
            if (dict->count() == 0) {
                out_ += "<dict/>\n";
                return true;
            }
            out_ += "<dict>\n";
            for (const auto& [k, v] : *dict) {
                auto key = cast<NSString>(k);
                if (!key) {
                    return fail("Property list invalid for format (dictionary keys must be strings)");
                }
                indent(depth + 1);
                out_ += "<key>";
                appendEscaped(out_, key->str());
                out_ += "</key>\n";
                if (!write(v, depth + 1)) {
                    return false;
                }
            }
            indent(depth);
            out_ += "</dict>\n";
        } else {
            return fail(invalidType(object));
        }
        return true;
    }

    std::string& output() { return out_; }
    const std::string& message() const { return message_; }

private:
    void indent(int depth) { out_.append(static_cast<size_t>(depth), '\t'); }
    bool fail(const std::string& text) {
        if (message_.empty()) {
            message_ = text;
        }
        return false;
    }

    std::string out_;
    std::string message_;
};

// A libplist tree for the binary writer; nullptr (and the message) for a non-property-list object.
plist_t toNode(const id& object, int depth, std::string& message) {
    if (depth > NSPropertyListSerialization::maximumDepth) {
        message = "Too many nested arrays or dictionaries.";
        return nullptr;
    }
    if (auto s = cast<NSString>(object)) {
        return plist_new_string(s->UTF8String());
    }
    if (auto n = cast<NSNumber>(object)) {
        if (n->isBool()) {
            return plist_new_bool(n->boolValue());
        }
        if (n->isFloatingPoint()) {
            return plist_new_real(n->doubleValue());
        }
        return plist_new_uint(n->isUnsigned() ? n->unsignedLongLongValue() : static_cast<uint64_t>(n->longLongValue()));
    }
    if (auto d = cast<NSData>(object)) {
        return plist_new_data(reinterpret_cast<const char*>(d->bytes()), d->length());
    }
    if (auto date = cast<NSDate>(object)) {
        double t = date->timeIntervalSinceReferenceDate();
        double whole = std::floor(t);
        if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max()) {
            message = "Property list invalid for format (a date out of range)";
            return nullptr;
        }
        return plist_new_date(static_cast<int32_t>(whole), static_cast<int32_t>(std::lround((t - whole) * 1e6)));
    }
    if (auto a = cast<NSArray>(object)) {
        plist_t node = plist_new_array();
        for (const auto& item : *a) {
            plist_t child = toNode(item, depth + 1, message);
            if (!child) {
                plist_free(node);
                return nullptr;
            }
            plist_array_append_item(node, child);
        }
        return node;
    }
    if (auto dict = cast<NSDictionary>(object)) {
        plist_t node = plist_new_dict();
        for (const auto& [k, v] : *dict) {
            auto key = cast<NSString>(k);
            plist_t child = key ? toNode(v, depth + 1, message) : nullptr;
            if (!child) {
                if (!key) {
                    message = "Property list invalid for format (dictionary keys must be strings)";
                }
                plist_free(node);
                return nullptr;
            }
            plist_dict_set_item(node, key->UTF8String(), child);
        }
        return node;
    }
    message = invalidType(object);
    return nullptr;
}

} // namespace

id NSPropertyListSerialization::propertyListWithDataOptionsFormatError(const Ref<NSData>& data,
                                                                       NSPropertyListReadOptions options,
                                                                       NSPropertyListFormat* format,
                                                                       Ref<NSError>* error) {
    auto fail = [&](const std::string& text) -> id {
        ns_file::setError(error, plistError(NSPropertyListReadCorruptError,
                                            "The data couldn\u2019t be read because it isn\u2019t in the correct "
                                            "format. (" +
                                                text + ")"));
        return nullptr;
    };
    if (!data || data->length() == 0) {
        return fail("no data");
    }
    if (data->length() > std::numeric_limits<uint32_t>::max()) {
        return fail("too large");
    }
    const auto* bytes = reinterpret_cast<const char*>(data->bytes());
    auto length = static_cast<uint32_t>(data->length());
    bool binary = plist_is_binary(bytes, length) != 0;
    plist_t root = nullptr;
    if (binary) {
        std::string reason;
        if (!foundation_detail::binaryPropertyListShapeIsSound(bytes, length, maximumDepth + 1, length, reason)) {
            return fail(reason);
        }
        plist_from_bin(bytes, length, &root);
    } else {
        std::string reason;
        if (!XMLCheck().run(bytes, length, maximumDepth + 2, reason)) {
            return fail(reason);
        }
        plist_from_xml(bytes, length, &root);
    }
    PlistPtr owner(root);
    if (!root) {
        return fail(binary ? "malformed binary property list" : "malformed XML property list");
    }
    Reader reader(options);
    id result = reader.convert(root, 0);
    if (!result) {
        return fail(reader.message());
    }
    if (format) {
        *format = binary ? NSPropertyListBinaryFormat_v1_0 : NSPropertyListXMLFormat_v1_0;
    }
    return result;
}

Ref<NSData> NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(const id& plist,
                                                                                NSPropertyListFormat format,
                                                                                NSPropertyListWriteOptions,
                                                                                Ref<NSError>* error) {
    auto fail = [&](const std::string& text) -> Ref<NSData> {
        ns_file::setError(error, plistError(NSPropertyListWriteInvalidError, text));
        return nullptr;
    };
    if (!plist) {
        return fail("Property list invalid for format (nil)");
    }
    if (format == NSPropertyListXMLFormat_v1_0) {
        XMLWriter writer;
        std::string& out = writer.output();
        out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\">\n";
        if (!writer.write(plist, 0)) {
            return fail(writer.message());
        }
        out += "</plist>\n";
        return NSData::dataWithBytesLength(out.data(), out.size());
    }
    if (format == NSPropertyListBinaryFormat_v1_0) {
        std::string message;
        PlistPtr root(toNode(plist, 0, message));
        if (!root) {
            return fail(message);
        }
        char* bytes = nullptr;
        uint32_t length = 0;
        plist_to_bin(root.get(), &bytes, &length);
        if (!bytes) {
            return fail("The binary property list could not be written.");
        }
        auto data = NSData::dataWithBytesLength(bytes, length);
        plist_to_bin_free(bytes);
        return data;
    }
    return fail("Property list format " + std::to_string(format) + " cannot be written.");
}

bool NSPropertyListSerialization::propertyListIsValidForFormat(const id& plist, NSPropertyListFormat format) {
    if (format != NSPropertyListXMLFormat_v1_0 && format != NSPropertyListBinaryFormat_v1_0) {
        return false;
    }
    XMLWriter writer;
    return plist && writer.write(plist, 0);
}

// MARK: - Collection files

namespace {
id readPlistFile(const Ref<NSString>& path) {
    std::string bytes;
    if (!path || !ns_file::readFile(path->str(), bytes, nullptr)) {
        return nullptr;
    }
    return NSPropertyListSerialization::propertyListWithDataOptionsFormatError(
        NSData::dataWithBytesLength(bytes.data(), bytes.size()), NSPropertyListImmutable, nullptr, nullptr);
}

bool writePlistFile(const id& plist, const Ref<NSString>& path, bool atomically) {
    auto data = NSPropertyListSerialization::dataWithPropertyListFormatOptionsError(plist, NSPropertyListXMLFormat_v1_0,
                                                                                    0, nullptr);
    if (!data || !path) {
        return false;
    }
    if (atomically) {
        return ns_file::writeAtomically(
            path->str(), std::string_view(reinterpret_cast<const char*>(data->bytes()), data->length()), nullptr);
    }
    return data->writeToFileAtomically(path, false);
}
} // namespace

Ref<NSDictionary> NSDictionaryWithContentsOfFile(const Ref<NSString>& path) {
    return cast<NSDictionary>(readPlistFile(path));
}

Ref<NSArray> NSArrayWithContentsOfFile(const Ref<NSString>& path) {
    return cast<NSArray>(readPlistFile(path));
}

bool NSDictionaryWriteToFileAtomically(const Ref<NSDictionary>& dictionary, const Ref<NSString>& path,
                                       bool atomically) {
    return dictionary && writePlistFile(dictionary, path, atomically);
}

bool NSArrayWriteToFileAtomically(const Ref<NSArray>& array, const Ref<NSString>& path, bool atomically) {
    return array && writePlistFile(array, path, atomically);
}
