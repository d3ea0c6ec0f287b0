#include <Networking/MMReflection.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

void MMPropertyAttributesDeleter::operator()(mm_propertyAttributes* attributes) const noexcept {
    if (attributes) {
        attributes->~mm_propertyAttributes();
        free(attributes);
    }
}

static const char* skipTypeEncodingDepth(const char* type, int depth);

namespace {

const char* skipDigits(const char* p) {
    while (*p >= '0' && *p <= '9') {
        ++p;
    }
    return p;
}

// Skips a struct or union body up to its closing character; nullptr when it never closes.
const char* skipAggregate(const char* p, char close, int depth) {
    // The name runs to '=' or to the closing character.
    while (*p && *p != '=' && *p != close) {
        if (*p == '{' || *p == '(' || *p == '[') {
            return nullptr; // a name does not nest
        }
        ++p;
    }
    if (*p == '=') {
        ++p;
        while (*p && *p != close) {
            if (*p == '"') { // a named member
                const char* end = std::strchr(p + 1, '"');
                if (!end) {
                    return nullptr;
                }
                p = end + 1;
                continue;
            }
            const char* next = nullptr;
            if (depth < 64) {
                next = skipTypeEncodingDepth(p, depth + 1);
            }
            if (!next || next == p) {
                return nullptr;
            }
            p = next;
        }
    }
    return *p == close ? p + 1 : nullptr;
}

} // namespace

static const char* skipTypeEncodingDepth(const char* type, int depth) {
    if (!type) {
        return nullptr;
    }
    const char* p = type;
    // Qualifiers: const, in, inout, out, bycopy, byref, oneway, atomic.
    while (*p && std::strchr("rnNoORVA", *p)) {
        ++p;
    }
    switch (*p) {
    case '\0':
        return nullptr;
    case 'c':
    case 'i':
    case 's':
    case 'l':
    case 'q':
    case 'C':
    case 'I':
    case 'S':
    case 'L':
    case 'Q':
    case 'f':
    case 'd':
    case 'D':
    case 'B':
    case 'v':
    case '*':
    case '#':
    case ':':
    case '?':
    case 't':
    case 'T':
        return skipDigits(p + 1);
    case '@':
        ++p;
        if (*p == '?') { // a block
            return skipDigits(p + 1);
        }
        if (*p == '"') {
            const char* end = std::strchr(p + 1, '"');
            return end ? end + 1 : nullptr;
        }
        return skipDigits(p);
    case '^':
        if (depth > 64) {
            return nullptr;
        }
        return skipTypeEncodingDepth(p + 1, depth + 1);
    case 'b': {
        const char* end = skipDigits(p + 1);
        return end == p + 1 ? nullptr : end;
    }
    case '[': {
        const char* q = skipDigits(p + 1);
        if (depth > 64) {
            return nullptr;
        }
        const char* end = skipTypeEncodingDepth(q, depth + 1);
        return end && *end == ']' ? skipDigits(end + 1) : nullptr;
    }
    case '{':
        if (depth > 64) {
            return nullptr;
        }
        {
            const char* end = skipAggregate(p + 1, '}', depth);
            return end ? skipDigits(end) : nullptr;
        }
    case '(':
        if (depth > 64) {
            return nullptr;
        }
        {
            const char* end = skipAggregate(p + 1, ')', depth);
            return end ? skipDigits(end) : nullptr;
        }
    default:
        return p; // not a type: the end is the start
    }
}

const char* mm_skipTypeEncoding(const char* type) {
    return skipTypeEncodingDepth(type, 0);
}

mm_propertyAttributes* mm_parsePropertyAttributes(const ObjCProperty* property) {
    const char* name = property ? property_getName(property) : "(null)";
    const char* attrString = property ? property_getAttributes(property) : nullptr;
    if (!attrString) {
        std::fprintf(stderr, "ERROR: Could not get attribute string from property %s\n", name);
        return nullptr;
    }
    if (attrString[0] != 'T') {
        std::fprintf(stderr, "ERROR: Expected attribute string \"%s\" for property %s to start with 'T'\n", attrString,
                     name);
        return nullptr;
    }
    const char* typeString = attrString + 1;
    const char* next = mm_skipTypeEncoding(typeString);
    if (!next) {
        std::fprintf(stderr, "ERROR: Could not read past type in attribute string \"%s\" for property %s\n", attrString,
                     name);
        return nullptr;
    }
    size_t typeLength = static_cast<size_t>(next - typeString);
    if (typeLength == 0) {
        std::fprintf(stderr, "ERROR: Invalid type in attribute string \"%s\" for property %s\n", attrString, name);
        return nullptr;
    }
    void* memory = std::calloc(1, sizeof(mm_propertyAttributes) + typeLength + 1);
    if (!memory) {
        std::fprintf(stderr,
                     "ERROR: Could not allocate mm_propertyAttributes structure for attribute string \"%s\" for "
                     "property %s\n",
                     attrString, name);
        return nullptr;
    }
    MMPropertyAttributesPtr attributes(new (memory) mm_propertyAttributes{});
    std::memcpy(attributes->typeEncoding, typeString, typeLength);
    attributes->typeEncoding[typeLength] = '\0';

    if (typeString[0] == '@' && typeString[1] == '"') {
        const char* className = typeString + 2;
        const char* close = std::strchr(className, '"');
        if (!close) {
            std::fprintf(stderr, "ERROR: Could not read class name in attribute string \"%s\" for property %s\n",
                         attrString, name);
            return nullptr;
        }
        if (close > className) {
            attributes->objectClass = NSClassFromString(std::string_view(className, close - className));
        }
        next = close + 1; // the scan goes on after the closing quote
    }

    if (*next != '\0') {
        const char* comma = std::strchr(next, ',');
        next = comma ? comma : next + std::strlen(next);
    }
    while (*next == ',') {
        char flag = next[1];
        next += *next ? 1 : 0;
        if (flag == '\0') {
            break;
        }
        next += 1;
        switch (flag) {
        case 'R':
            attributes->readonly = true;
            break;
        case 'N':
            attributes->nonatomic = true;
            break;
        case 'W':
            attributes->weak = true;
            break;
        case 'P':
            attributes->collectable = true;
            break;
        case 'C':
            attributes->memoryPolicy = mm_propertyMemoryManagementPolicyCopy;
            break;
        case '&':
            attributes->memoryPolicy = mm_propertyMemoryManagementPolicyRetain;
            break;
        case 'D':
            attributes->dynamic = true;
            attributes->ivarName = nullptr;
            break;
        case 'G':
        case 'S': {
            const char* end = std::strchr(next, ',');
            if (!end) {
                end = next + std::strlen(next);
            }
            if (end == next) {
                std::fprintf(stderr,
                             "ERROR: Found zero length selector name in attribute string \"%s\" for property %s\n",
                             attrString, name);
                return nullptr;
            }
            SEL selector(std::string_view(next, end - next));
            (flag == 'G' ? attributes->getter : attributes->setter) = selector;
            next = end;
            break;
        }
        case 'V':
            attributes->ivarName = *next ? next : nullptr;
            next += std::strlen(next);
            break;
        case 't': {
            std::fprintf(stderr,
                         "ERROR: Old-style type encoding is unsupported in attribute string \"%s\" for property %s\n",
                         attrString, name);
            const char* end = std::strchr(next, ',');
            next = end ? end : next + std::strlen(next);
            break;
        }
        default:
            std::fprintf(stderr,
                         "ERROR: Unrecognized attribute string flag '%c' in attribute string \"%s\" for property %s\n",
                         flag, attrString, name);
            break;
        }
    }
    if (*next != '\0') {
        std::fprintf(stderr, "Warning: Unparsed data \"%s\" in attribute string \"%s\" for property %s\n", next,
                     attrString, name);
    }
    if (attributes->getter.isNull()) {
        attributes->getter = SEL(name);
    }
    if (attributes->setter.isNull()) {
        std::string setter = "set";
        setter += name;
        if (setter.size() > 3) {
            setter[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(setter[3])));
        }
        setter += ':';
        attributes->setter = SEL(setter);
    }
    return attributes.release();
}

SEL MMSelectorFromKeyAndSuffix(const Ref<NSString>& key, const char* suffix) {
    if (!key) {
        return SEL();
    }
    std::string name = key->str();
    name += suffix ? suffix : "";
    return SEL(name);
}

SEL MMSelectorFromPrefixKeyAndSuffix(const char* prefix, const Ref<NSString>& key, const char* suffix) {
    if (!key) {
        return SEL();
    }
    std::string name = prefix ? prefix : "";
    if (key->length() > 0) {
        Ref<NSString> first = key->substringToIndex(1)->uppercaseString();
        name += first->str();
        name += key->substringFromIndex(1)->str();
    }
    name += suffix ? suffix : "";
    return SEL(name);
}
