#include <Network/UTType.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_map>

namespace {

constexpr const char* kIdentifierPrefix = "public.mime-type.";

struct MIMETable {
    std::unordered_map<std::string, std::string> typeForExtension;
    std::unordered_map<std::string, std::string> extensionForType;
};

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

const MIMETable& table() {
    static const MIMETable* loaded = [] {
        auto* t = new MIMETable();
        std::ifstream file("/etc/mime.types");
        std::string line;
        while (std::getline(file, line)) {
            if (line.empty() || line[0] == '#') {
                continue;
            }
            std::istringstream words(line);
            std::string type, extension;
            if (!(words >> type)) {
                continue;
            }
            type = lower(type);
            while (words >> extension) {
                extension = lower(extension);
                t->typeForExtension.emplace(extension, type); // the first line that names it wins
                t->extensionForType.emplace(type, extension);
            }
        }
        // A few types every system knows, for machines without the table.
        for (const auto& [extension, type] :
             std::initializer_list<std::pair<const char*, const char*>>{{"txt", "text/plain"},
                                                                        {"html", "text/html"},
                                                                        {"json", "application/json"},
                                                                        {"png", "image/png"},
                                                                        {"jpg", "image/jpeg"},
                                                                        {"jpeg", "image/jpeg"},
                                                                        {"gif", "image/gif"},
                                                                        {"pdf", "application/pdf"},
                                                                        {"xml", "application/xml"},
                                                                        {"zip", "application/zip"}}) {
            t->typeForExtension.emplace(extension, type);
            t->extensionForType.emplace(type, extension);
        }
        return t;
    }();
    return *loaded;
}

} // namespace

const Ref<NSString>& kUTTagClassFilenameExtension() {
    static const Ref<NSString>& value = *new Ref<NSString>("public.filename-extension"_ns);
    return value;
}

const Ref<NSString>& kUTTagClassMIMEType() {
    static const Ref<NSString>& value = *new Ref<NSString>("public.mime-type"_ns);
    return value;
}

Ref<NSString> NSMIMETypeForPathExtension(const Ref<NSString>& extension) {
    if (!extension || extension->length() == 0) {
        return nullptr;
    }
    const auto& types = table().typeForExtension;
    auto found = types.find(lower(extension->str()));
    return found == types.end() ? nullptr : NSString::from(found->second);
}

Ref<NSString> UTTypeCreatePreferredIdentifierForTag(const Ref<NSString>& tagClass, const Ref<NSString>& tag,
                                                    const Ref<NSString>& conformingToUTI) {
    if (!tagClass || !tag) {
        return nullptr;
    }
    if (tagClass->isEqualToString(kUTTagClassFilenameExtension())) {
        if (auto type = NSMIMETypeForPathExtension(tag)) {
            return NSString::stringWithFormat("%s%@", kIdentifierPrefix, type);
        }
        return NSString::stringWithFormat("dyn.ext.%@", tag->lowercaseString());
    }
    if (tagClass->isEqualToString(kUTTagClassMIMEType())) {
        return NSString::stringWithFormat("%s%@", kIdentifierPrefix, tag->lowercaseString());
    }
    return nullptr;
}

Ref<NSString> UTTypeCopyPreferredTagWithClass(const Ref<NSString>& identifier, const Ref<NSString>& tagClass) {
    if (!identifier || !tagClass || !identifier->hasPrefix(NSString::from(kIdentifierPrefix))) {
        return nullptr;
    }
    auto type = identifier->substringFromIndex(std::char_traits<char>::length(kIdentifierPrefix));
    if (tagClass->isEqualToString(kUTTagClassMIMEType())) {
        return type;
    }
    if (tagClass->isEqualToString(kUTTagClassFilenameExtension())) {
        const auto& extensions = table().extensionForType;
        auto found = extensions.find(type->str());
        return found == extensions.end() ? nullptr : NSString::from(found->second);
    }
    return nullptr;
}
