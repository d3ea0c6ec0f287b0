#include <CoreBluetooth/CBUUID.h>

#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cctype>
#include <functional>

NS_IMPLEMENT_CLASS(CBUUID, NSObject) {
    b.readonlyProperty("UUIDString", &CBUUID::UUIDString);
}

namespace {

constexpr const char* kBaseTail = "-0000-1000-8000-00805F9B34FB";

bool hexDigits(const std::string& s, size_t from, size_t count) {
    return std::all_of(s.begin() + static_cast<long>(from), s.begin() + static_cast<long>(from + count),
                       [](unsigned char c) { return std::isxdigit(c) != 0; });
}

} // namespace

std::string CBUUID::canonical(const std::string& text) {
    std::string s = text;
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if ((s.size() == 4 || s.size() == 8) && hexDigits(s, 0, s.size())) {
        return s;
    }
    if (s.size() != 36) {
        return {};
    }
    for (size_t i = 0; i < s.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? s[i] != '-' : !std::isxdigit(static_cast<unsigned char>(s[i]))) {
            return {};
        }
    }
    if (s.compare(8, std::string::npos, kBaseTail) == 0) {
        return s.compare(0, 4, "0000") == 0 ? s.substr(4, 4) : s.substr(0, 8);
    }
    return s;
}

Ref<CBUUID> CBUUID::UUIDWithString(const Ref<NSString>& string) {
    if (!string) {
        return nullptr;
    }
    auto text = canonical(string->str());
    if (text.empty()) {
        return nullptr;
    }
    auto uuid = make<CBUUID>();
    uuid->text_ = std::move(text);
    return uuid;
}

bool CBUUID::isEqual(const id& other) const {
    auto o = cast<CBUUID>(other);
    return o && o->text_ == text_;
}

NSUInteger CBUUID::hash() const {
    return std::hash<std::string>{}(text_);
}

id CBUUID::copy() const {
    return Ref<CBUUID>(const_cast<CBUUID*>(this)); // immutable
}
