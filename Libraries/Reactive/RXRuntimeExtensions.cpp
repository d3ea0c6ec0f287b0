#include <Reactive/RXRuntimeExtensions.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {
// Skips one type encoding; nullptr when it is malformed.
const char* skipType(const char* p) {
    while (*p && std::strchr("rnNoORV", *p)) { // qualifiers
        ++p;
    }
    switch (*p) {
    case '\0':
        return nullptr;
    case '@':
        ++p;
        if (*p == '?') { // a block
            ++p;
        }
        return p;
    case '^':
        return skipType(p + 1);
    case 'b':
        ++p;
        while (std::isdigit(static_cast<unsigned char>(*p))) {
            ++p;
        }
        return p;
    case '[': {
        ++p;
        while (std::isdigit(static_cast<unsigned char>(*p))) {
            ++p;
        }
        p = skipType(p);
        return (p && *p == ']') ? p + 1 : nullptr;
    }
    case '{':
    case '(': {
        const char close = *p == '{' ? '}' : ')';
        ++p;
        while (*p && *p != '=' && *p != close) {
            ++p;
        }
        if (*p == '=') {
            ++p;
            while (*p && *p != close) {
                if (*p == '"') { // a field name
                    const char* end = std::strchr(p + 1, '"');
                    if (!end) {
                        return nullptr;
                    }
                    p = end + 1;
                    continue;
                }
                p = skipType(p);
                if (!p) {
                    return nullptr;
                }
            }
        }
        return *p == close ? p + 1 : nullptr;
    }
    default:
        if (std::strchr("cislqCISLQfdBv#:*?", *p)) {
            return p + 1;
        }
        return nullptr;
    }
}

std::string capitalized(const char* name) {
    std::string out(name);
    if (!out.empty()) {
        out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
    }
    return out;
}
} // namespace

std::unique_ptr<rx_propertyAttributes> rx_parsePropertyAttributes(const char* attributes, const char* name) {
    if (!name) {
        name = "";
    }
    if (!attributes) {
        std::fprintf(stderr, "ERROR: Could not get attribute string from property %s\n", name);
        return nullptr;
    }
    if (attributes[0] != 'T') {
        std::fprintf(stderr, "ERROR: Expected attribute string \"%s\" for property %s to start with 'T'\n", attributes,
                     name);
        return nullptr;
    }
    const char* typeString = attributes + 1;
    const char* next = skipType(typeString);
    if (!next) {
        std::fprintf(stderr, "ERROR: Could not read past type in attribute string \"%s\" for property %s\n", attributes,
                     name);
        return nullptr;
    }
    if (next == typeString) {
        std::fprintf(stderr, "ERROR: Invalid type in attribute string \"%s\" for property %s\n", attributes, name);
        return nullptr;
    }
    auto result = std::make_unique<rx_propertyAttributes>();
    result->type.assign(typeString, static_cast<size_t>(next - typeString));

    if (typeString[0] == '@' && typeString[1] == '"') {
        const char* className = typeString + 2;
        next = std::strchr(className, '"');
        if (!next) {
            std::fprintf(stderr, "ERROR: Could not read class name in attribute string \"%s\" for property %s\n",
                         attributes, name);
            return nullptr;
        }
        if (next != className) {
            result->objectClass = NSClassFromString(std::string_view(className, static_cast<size_t>(next - className)));
        }
        ++next; // past the closing quote
    }
    if (*next != '\0') {
        next = std::strchr(next, ',');
    }
    while (next && *next == ',') {
        char flag = next[1];
        next += (flag == '\0') ? 1 : 2;
        switch (flag) {
        case '\0':
            break;
        case 'R':
            result->readonly = true;
            break;
        case 'N':
            result->nonatomic = true;
            break;
        case 'W':
            result->weak = true;
            break;
        case 'P':
            result->canBeCollected = true;
            break;
        case 'D':
            result->dynamic = true;
            result->ivar.reset();
            break;
        case 'C':
            result->memoryPolicy = RXPropertyPolicyCopy;
            break;
        case '&':
            result->memoryPolicy = RXPropertyPolicyRetain;
            break;
        case 'G':
        case 'S': {
            const char* end = std::strchr(next, ',');
            if (end == next) {
                std::fprintf(stderr,
                             "ERROR: Found zero length selector name in attribute string \"%s\" for property %s\n",
                             attributes, name);
                return nullptr;
            }
            std::string selector = end ? std::string(next, static_cast<size_t>(end - next)) : std::string(next);
            (flag == 'G' ? result->getter : result->setter) = SEL(selector);
            next = end;
            break;
        }
        case 'V':
            if (*next == '\0') {
                result->ivar.reset();
            } else {
                result->ivar = std::string(next);
                next += std::strlen(next);
            }
            break;
        case 't':
            std::fprintf(stderr,
                         "ERROR: Old-style type encoding is unsupported in attribute string \"%s\" for property %s\n",
                         attributes, name);
            next = std::strchr(next, ',');
            break;
        default:
            std::fprintf(stderr,
                         "ERROR: Unrecognized attribute string flag '%c' in attribute string \"%s\" for property %s\n",
                         flag, attributes, name);
            break;
        }
    }
    if (next && *next != '\0') {
        std::fprintf(stderr, "Warning: Unparsed data \"%s\" in attribute string \"%s\" for property %s\n", next,
                     attributes, name);
    }
    if (result->getter.isNull()) {
        result->getter = SEL(name);
    }
    if (result->setter.isNull()) {
        result->setter = SEL("set" + capitalized(name) + ":");
    }
    return result;
}

std::string rx_propertyAttributeString(const ObjCProperty& property) {
    std::string attributes = "T" + property.type;
    if (property.type == "@" && !property.className.empty()) {
        attributes += "\"" + property.className + "\"";
    }
    if (property.readonly) {
        attributes += ",R";
    }
    if (property.copy) {
        attributes += ",C";
    } else if (property.weak) {
        attributes += ",W";
    } else if (property.type == "@") {
        attributes += ",&";
    }
    attributes += ",N,V_" + property.name;
    return attributes;
}

std::unique_ptr<rx_propertyAttributes> rx_parsePropertyAttributes(const ObjCProperty* property) {
    if (!property) {
        std::fprintf(stderr, "ERROR: Could not get attribute string from property %s\n", "(null)");
        return nullptr;
    }
    return rx_parsePropertyAttributes(rx_propertyAttributeString(*property).c_str(), property->name.c_str());
}

const ObjCMethod* rx_findOwnInstanceMethod(Class cls, SEL selector) {
    return cls ? cls->ownInstanceMethod(selector) : nullptr;
}
