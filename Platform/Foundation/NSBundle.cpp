#include <Foundation/NSBundle.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Foundation/NSURL.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

NS_IMPLEMENT_CLASS(NSBundle, NSObject) {
    b.method("localizedStringForKey:value:table:", &NSBundle::localizedStringForKeyValueTable);
    b.readonlyProperty("bundlePath", &NSBundle::bundlePath);
}

namespace fs = std::filesystem;

namespace {

std::mutex globalLock;
Ref<NSString>& overrideLanguage() {
    static Ref<NSString> language;
    return language;
}
std::map<std::string, Ref<NSBundle>>& bundles() {
    static std::map<std::string, Ref<NSBundle>> all;
    return all;
}

bool exists(const std::string& path, bool* isDirectory = nullptr) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    if (isDirectory) {
        *isDirectory = S_ISDIR(st.st_mode);
    }
    return true;
}

std::string normalised(const std::string& path) {
    std::string p = fs::path(path).lexically_normal().string();
    while (p.size() > 1 && p.back() == '/') {
        p.pop_back();
    }
    return p;
}

// MARK: - .strings tables

// UTF-16 text (after its byte-order mark) as UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUTF8(const std::string& bytes, size_t start, bool bigEndian) {
    std::string out;
    auto unit = [&](size_t i) -> char16_t {
        auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    for (size_t i = start; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        NSAppendUTF8(out, c);
    }
    return out;
}

class StringsParser {
public:
    explicit StringsParser(const std::string& text) : s_(text) {}

    bool parse(std::unordered_map<std::string, std::string>& out, std::string& reason) {
        for (;;) {
            if (!skip()) {
                return fail(reason);
            }
            if (i_ >= s_.size()) {
                return true;
            }
            std::string key, value;
            if (!token(key)) {
                return fail(reason);
            }
            if (!skip()) {
                return fail(reason);
            }
            if (i_ < s_.size() && s_[i_] == ';') { // "key"; stands for "key" = "key";
                ++i_;
                out[key] = key;
                continue;
            }
            if (i_ >= s_.size() || s_[i_] != '=') {
                error_ = "expected '=' after a key";
                return fail(reason);
            }
            ++i_;
            if (!skip() || !token(value) || !skip()) {
                return fail(reason);
            }
            if (i_ >= s_.size() || s_[i_] != ';') {
                error_ = "expected ';' after a value";
                return fail(reason);
            }
            ++i_;
            out[key] = std::move(value);
        }
    }

private:
    bool fail(std::string& reason) {
        size_t line = 1 + static_cast<size_t>(std::count(
                              s_.begin(), s_.begin() + static_cast<std::ptrdiff_t>(std::min(i_, s_.size())), '\n'));
        reason = (error_.empty() ? std::string("unexpected text") : error_) + " on line " + std::to_string(line);
        return false;
    }

    // Skips white space and comments; false for an unterminated comment.
    bool skip() {
        while (i_ < s_.size()) {
            char c = s_[i_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++i_;
            } else if (c == '/' && i_ + 1 < s_.size() && s_[i_ + 1] == '*') {
                size_t end = s_.find("*/", i_ + 2);
                if (end == std::string::npos) {
                    error_ = "unterminated comment";
                    return false;
                }
                i_ = end + 2;
            } else if (c == '/' && i_ + 1 < s_.size() && s_[i_ + 1] == '/') {
                size_t end = s_.find('\n', i_);
                i_ = end == std::string::npos ? s_.size() : end + 1;
            } else {
                break;
            }
        }
        return true;
    }

    static bool unquotedChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("_$+/:.-").find(c) != std::string_view::npos;
    }

    static int hex(char c) {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }

    bool token(std::string& out) {
        if (i_ >= s_.size()) {
            error_ = "unexpected end of the table";
            return false;
        }
        if (s_[i_] != '"') {
            size_t start = i_;
            while (i_ < s_.size() && unquotedChar(s_[i_])) {
                ++i_;
            }
            if (i_ == start) {
                error_ = std::string("unexpected character '") + s_[i_] + "'";
                return false;
            }
            out = s_.substr(start, i_ - start);
            return true;
        }
        ++i_;
        char32_t pendingHigh = 0;
        auto flushHigh = [&] {
            if (pendingHigh) {
                NSAppendUTF8(out, 0xFFFD);
                pendingHigh = 0;
            }
        };
        while (i_ < s_.size()) {
            char c = s_[i_++];
            if (c == '"') {
                flushHigh();
                return true;
            }
            if (c != '\\') {
                flushHigh();
                out += c;
                continue;
            }
            if (i_ >= s_.size()) {
                break;
            }
            char e = s_[i_++];
            if (e == 'U' || e == 'u') {
                char32_t unit = 0;
                int digits = 0;
                while (digits < 4 && i_ < s_.size() && hex(s_[i_]) >= 0) {
                    unit = unit * 16 + static_cast<char32_t>(hex(s_[i_++]));
                    ++digits;
                }
                if (digits == 0) {
                    error_ = "\\U without hex digits";
                    return false;
                }
                if (unit >= 0xD800 && unit < 0xDC00) {
                    flushHigh();
                    pendingHigh = unit;
                } else if (unit >= 0xDC00 && unit < 0xE000) {
                    NSAppendUTF8(out,
                                 pendingHigh ? 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00) : 0xFFFD);
                    pendingHigh = 0;
                } else {
                    flushHigh();
                    NSAppendUTF8(out, unit);
                }
                continue;
            }
            flushHigh();
            if (e >= '0' && e <= '7') {
                unsigned value = static_cast<unsigned>(e - '0');
                for (int k = 0; k < 2 && i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '7'; ++k) {
                    value = value * 8 + static_cast<unsigned>(s_[i_++] - '0');
                }
                NSAppendUTF8(out, value & 0xFF);
                continue;
            }
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'v':
                out += '\v';
                break;
            default: // \" \\ \' and any other character stand for themselves
                out += e;
                break;
            }
        }
        error_ = "unterminated string";
        return false;
    }

    const std::string& s_;
    size_t i_ = 0;
    std::string error_;
};

} // namespace

bool NSBundle::parseStringsTable(const std::string& bytes, std::unordered_map<std::string, std::string>& out,
                                 std::string& reason) {
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        text = utf16ToUTF8(bytes, 2, false);
    } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
               static_cast<unsigned char>(bytes[1]) == 0xFF) {
        text = utf16ToUTF8(bytes, 2, true);
    } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = bytes.substr(3);
    } else {
        text = bytes;
    }
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos &&
        (text.compare(first, 5, "<?xml") == 0 || text.compare(first, 6, "<plist") == 0 ||
         text.compare(first, 9, "<!DOCTYPE") == 0 || text.compare(first, 6, "bplist") == 0)) {
        Ref<NSError> error;
        auto plist = NSPropertyListSerialization::propertyListWithDataOptionsFormatError(
            NSData::dataWithBytesLength(text.data() + first, text.size() - first), NSPropertyListImmutable, nullptr,
            &error);
        auto dict = cast<NSDictionary>(plist);
        if (!dict) {
            reason =
                error ? error->localizedDescription()->str() : std::string("the property list is not a dictionary");
            return false;
        }
        for (const auto& [k, v] : *dict) {
            auto key = cast<NSString>(k);
            auto value = cast<NSString>(v);
            if (key && value) {
                out[key->str()] = value->str();
            }
        }
        return true;
    }
    std::unordered_map<std::string, std::string> parsed;
    if (!StringsParser(text).parse(parsed, reason)) {
        return false;
    }
    out = std::move(parsed);
    return true;
}

// MARK: - NSBundle

NSBundle::NSBundle(Ref<NSString> path) : path_(std::move(path)) {}

Ref<NSBundle> NSBundle::bundleWithPath(const Ref<NSString>& path) {
    if (!path || path->length() == 0) {
        return nullptr;
    }
    std::string p = normalised(path->str());
    bool isDirectory = false;
    if (!exists(p, &isDirectory) || !isDirectory) {
        return nullptr;
    }
    std::lock_guard lock(globalLock);
    auto& bundle = bundles()[p];
    if (!bundle) {
        bundle = make<NSBundle>(NSString::from(p));
    }
    return bundle;
}

Ref<NSBundle> NSBundle::mainBundle() {
    // One bundle per path, whether its folder exists or not (a missing folder answers with no
    // resources): the last answer is kept for the path it was made for, since the localized-string
    // look-ups ask for the main bundle on every text.
    std::string raw = NSSandbox::bundlePath()->str();
    static std::string lastPath;
    static Ref<NSBundle> last;
    std::lock_guard lock(globalLock);
    if (last && raw == lastPath) {
        return last;
    }
    std::string p = normalised(raw);
    auto& bundle = bundles()[p];
    if (!bundle) {
        bundle = make<NSBundle>(NSString::from(p));
    }
    lastPath = raw;
    last = bundle;
    return bundle;
}

void NSBundle::setLanguageOverride(const Ref<NSString>& language) {
    std::lock_guard lock(globalLock);
    overrideLanguage() = language && language->length() ? cast<NSString>(language->copy()) : nullptr;
}

Ref<NSString> NSBundle::languageOverride() {
    std::lock_guard lock(globalLock);
    return overrideLanguage();
}

Ref<NSDictionary> NSBundle::infoDictionary() const {
    std::lock_guard lock(lock_);
    if (!info_) {
        info_ = NSDictionaryWithContentsOfFile(NSString::from(path_->str() + "/Info.plist"));
        if (!info_) {
            info_ = NSDictionary::dictionary();
        }
    }
    return info_;
}

id NSBundle::objectForInfoDictionaryKey(const Ref<NSString>& key) const {
    return infoDictionary()->objectForKey(key);
}

Ref<NSString> NSBundle::bundleIdentifier() const {
    return cast<NSString>(objectForInfoDictionaryKey(NSString::from("CFBundleIdentifier")));
}

Ref<NSString> NSBundle::developmentLocalization() const {
    auto region = cast<NSString>(objectForInfoDictionaryKey(NSString::from("CFBundleDevelopmentRegion")));
    return region && region->length() ? region : NSString::from("en");
}

std::string NSBundle::language() const {
    std::vector<std::string> candidates;
    std::string requested;
    if (auto o = languageOverride()) {
        requested = o->str();
        candidates.push_back(requested);
    }
    {
        std::lock_guard lock(lock_);
        if (auto it = languages_.find(requested); it != languages_.end()) {
            return it->second;
        }
    }
    auto found = [&]() -> std::string {
        candidates.push_back(developmentLocalization()->str());
        candidates.push_back("Base");
        for (const auto& language : candidates) {
            bool isDirectory = false;
            if (exists(path_->str() + "/" + language + ".lproj", &isDirectory) && isDirectory) {
                return language;
            }
        }
        return {};
    }();
    std::lock_guard lock(lock_);
    return languages_.try_emplace(requested, found).first->second;
}

Ref<NSArray> NSBundle::localizations() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(path_->str(), ec), end; !ec && it != end; it.increment(ec)) {
        auto name = it->path().filename().string();
        if (it->is_directory(ec) && name.size() > 6 && name.ends_with(".lproj")) {
            names.push_back(name.substr(0, name.size() - 6));
        }
    }
    std::sort(names.begin(), names.end());
    std::vector<id> items;
    for (auto& n : names) {
        items.push_back(NSString::from(n));
    }
    return NSArray::arrayWithVector(std::move(items));
}

Ref<NSArray> NSBundle::preferredLocalizations() const {
    std::string language = this->language();
    return language.empty() ? NSArray::array() : NSArray::arrayWithObjects({NSString::from(language)});
}

Ref<NSString> NSBundle::pathForResourceOfType(const Ref<NSString>& name, const Ref<NSString>& type) const {
    return pathForResourceOfTypeInDirectory(name, type, nullptr);
}

Ref<NSString> NSBundle::pathForResourceOfTypeInDirectory(const Ref<NSString>& name, const Ref<NSString>& type,
                                                         const Ref<NSString>& subpath) const {
    std::string ext = type ? type->str() : std::string();
    if (!ext.empty() && ext[0] == '.') {
        ext.erase(0, 1);
    }
    std::string folder = path_->str();
    if (subpath && subpath->length()) {
        folder += "/" + subpath->str();
    }
    std::vector<std::string> folders{folder};
    if (std::string language = this->language(); !language.empty()) {
        folders.push_back(folder + "/" + language + ".lproj");
    }
    if (!name || name->length() == 0) {
        if (ext.empty()) {
            return nullptr;
        }
        for (const auto& f : folders) {
            auto all =
                pathsForResourcesOfTypeInDirectory(NSString::from(ext), NSString::from(f.substr(path_->str().size())));
            if (all->count()) {
                return cast<NSString>(all->firstObject());
            }
        }
        return nullptr;
    }
    std::string file = name->str() + (ext.empty() ? std::string() : "." + ext);
    for (const auto& f : folders) {
        std::string candidate = f + "/" + file;
        if (exists(candidate)) {
            return NSString::from(candidate);
        }
    }
    return nullptr;
}

Ref<NSArray> NSBundle::pathsForResourcesOfTypeInDirectory(const Ref<NSString>& type,
                                                          const Ref<NSString>& subpath) const {
    std::string ext = type ? type->str() : std::string();
    if (!ext.empty() && ext[0] == '.') {
        ext.erase(0, 1);
    }
    std::string folder = path_->str();
    if (subpath && subpath->length()) {
        std::string sub = subpath->str();
        folder += sub[0] == '/' ? sub : "/" + sub;
    }
    std::vector<std::string> paths;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        auto p = it->path();
        if (ext.empty() || p.extension().string() == "." + ext) {
            paths.push_back(p.string());
        }
    }
    std::sort(paths.begin(), paths.end());
    std::vector<id> items;
    for (auto& p : paths) {
        items.push_back(NSString::from(p));
    }
    return NSArray::arrayWithVector(std::move(items));
}

Ref<NSURL> NSBundle::URLForResourceWithExtension(const Ref<NSString>& name, const Ref<NSString>& extension) const {
    auto path = pathForResourceOfType(name, extension);
    return path ? NSURL::fileURLWithPath(path) : nullptr;
}

std::shared_ptr<const NSBundle::Table> NSBundle::table(const std::string& file) const {
    {
        std::lock_guard lock(lock_);
        if (auto it = tables_.find(file); it != tables_.end()) {
            return it->second;
        }
    }
    std::shared_ptr<const Table> result;
    std::string bytes;
    if (ns_file::readFile(file, bytes, nullptr)) {
        auto parsed = std::make_shared<Table>();
        std::string reason;
        if (parseStringsTable(bytes, *parsed, reason)) {
            result = std::move(parsed);
        } else {
            NSLog("NSBundle: the string table %s is malformed (%s); its texts are not used", file, reason);
            result = std::make_shared<Table>();
        }
    }
    std::lock_guard lock(lock_);
    return tables_.try_emplace(file, result).first->second;
}

Ref<NSString> NSBundle::localizedStringForKeyValueTable(const Ref<NSString>& key, const Ref<NSString>& value,
                                                        const Ref<NSString>& tableName) const {
    if (!key) {
        return value ? value : NSString::string();
    }
    std::string tableFile =
        (tableName && tableName->length() ? tableName->str() : std::string("Localizable")) + ".strings";
    std::shared_ptr<const Table> found;
    if (std::string language = this->language(); !language.empty()) {
        found = table(path_->str() + "/" + language + ".lproj/" + tableFile);
    }
    if (!found) {
        found = table(path_->str() + "/" + tableFile);
    }
    if (found) {
        if (auto it = found->find(key->str()); it != found->end()) {
            return NSString::from(it->second);
        }
    }
    return value && value->length() ? value : key;
}

Ref<NSString> NSBundle::description() const {
    return NSString::stringWithFormat("NSBundle <%@>", path_);
}

Ref<NSString> NSLocalizedString(const Ref<NSString>& key, const Ref<NSString>&) {
    return NSBundle::mainBundle()->localizedStringForKeyValueTable(key, NSString::string(), nullptr);
}

Ref<NSString> NSLocalizedStringFromTable(const Ref<NSString>& key, const Ref<NSString>& table, const Ref<NSString>&) {
    return NSBundle::mainBundle()->localizedStringForKeyValueTable(key, NSString::string(), table);
}
