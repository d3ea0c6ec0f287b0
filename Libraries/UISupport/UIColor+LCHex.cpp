#include <UISupport/UIColor+LCHex.h>

#include <UISupport/NSString+LCPadding.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

// The text as one character per UTF-16-ish unit: ASCII as it is, any other character as '?',
// which is no hexadecimal digit.
std::string asciiUnits(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (unsigned char c : utf8) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if ((c & 0xC0) != 0x80) {
            out.push_back('?');
        }
    }
    return out;
}

int hexDigit(char c) {
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

// The leading run of hexadecimal digits of a two-character channel text, masked to one byte; 0
// when the text starts with no digit.
unsigned channelValue(const std::string& text) {
    unsigned value = 0;
    for (char c : text) {
        int d = hexDigit(c);
        if (d < 0) {
            break;
        }
        value = value * 16 + static_cast<unsigned>(d);
    }
    return value & 0xFF;
}

unsigned componentByte(CGFloat component) {
    if (!std::isfinite(component)) {
        component = 0;
    }
    component = std::clamp<CGFloat>(component, 0.0, 1.0);
    float scaled = static_cast<float>(component * 255.0);
    return static_cast<unsigned>(std::lround(scaled)) & 0xFF;
}

} // namespace

Ref<UIColor> colorWithCSS(const Ref<NSString>& css) {
    if (!css || css->length() == 0) {
        return UIColor::blackColor();
    }
    std::string text = asciiUnits(css->UTF8String());
    if (!text.empty() && text[0] == '#') {
        text.erase(0, 1);
    }
    switch (text.size()) {
    case 0:
    case 1:
    case 2:
        text = std::string(3 - text.size(), '0') + text;
        break;
    case 5:
    case 7:
        text = "0" + text;
        break;
    default:
        if (text.size() > 8) {
            text = text.substr(text.size() - 8);
        }
        break;
    }
    std::string a = "ff", r, g, b;
    auto twice = [](char c) { return std::string(2, c); };
    switch (text.size()) {
    case 3:
        r = twice(text[0]), g = twice(text[1]), b = twice(text[2]);
        break;
    case 4:
        a = twice(text[0]), r = twice(text[1]), g = twice(text[2]), b = twice(text[3]);
        break;
    case 6:
        r = text.substr(0, 2), g = text.substr(2, 2), b = text.substr(4, 2);
        break;
    default: // 8
        a = text.substr(0, 2), r = text.substr(2, 2), g = text.substr(4, 2), b = text.substr(6, 2);
        break;
    }
    auto unit = [](const std::string& channel) { return static_cast<CGFloat>(channelValue(channel) / 255.0f); };
    return UIColor::colorWithRedGreenBlueAlpha(unit(r), unit(g), unit(b), unit(a));
}

Ref<UIColor> colorWithHex(uint64_t hex) {
    CGFloat red = static_cast<CGFloat>((hex >> 16) & 0xFF) / 255.0;
    CGFloat green = static_cast<CGFloat>((hex >> 8) & 0xFF) / 255.0;
    CGFloat blue = static_cast<CGFloat>(hex & 0xFF) / 255.0;
    CGFloat alpha = (hex >> 24) != 0 ? static_cast<CGFloat>((hex >> 24) & 0xFF) / 255.0 : 1.0;
    return UIColor::colorWithRedGreenBlueAlpha(red, green, blue, alpha);
}

uint32_t hex(const Ref<UIColor>& color) {
    if (!color) {
        return 0;
    }
    CGFloat red = 0, green = 0, blue = 0, alpha = 0;
    if (!color->getRedGreenBlueAlpha(&red, &green, &blue, &alpha)) {
        CGFloat white = 0;
        if (!color->getWhiteAlpha(&white, &alpha)) {
            return 0;
        }
        red = green = blue = white;
    }
    return (componentByte(alpha) << 24) | (componentByte(red) << 16) | (componentByte(green) << 8) |
           componentByte(blue);
}

Ref<NSString> hexString(const Ref<UIColor>& color) {
    return NSString::stringWithFormat("0x%08x", static_cast<unsigned>(hex(color)));
}

Ref<NSString> cssString(const Ref<UIColor>& color) {
    uint32_t value = hex(color);
    if ((value >> 24) < 0xFF) {
        return NSString::stringWithFormat("#%08x", static_cast<unsigned>(value));
    }
    return NSString::stringWithFormat("#%06x", static_cast<unsigned>(value & 0xFFFFFF));
}
