#include <Foundation/NSUUID.h>
#include <Runtime/ClassBuilder.h>

#include <random>
#include <sys/random.h>

NS_IMPLEMENT_CLASS(NSUUID, NSObject) {
    b.readonlyProperty("UUIDString", &NSUUID::UUIDString);
}

namespace {
void fillRandom(uint8_t* out, size_t n) {
    size_t done = 0;
    while (done < n) {
        ssize_t got = getrandom(out + done, n - done, 0);
        if (got <= 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    if (done < n) { // no kernel entropy interface: fall back to the library's source
        std::random_device device;
        for (; done < n; ++done) {
            out[done] = static_cast<uint8_t>(device());
        }
    }
}

int hexValue(char c) {
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
} // namespace

NSUUID::NSUUID() {
    fillRandom(bytes_.data(), bytes_.size());
    bytes_[6] = static_cast<uint8_t>((bytes_[6] & 0x0F) | 0x40); // version 4
    bytes_[8] = static_cast<uint8_t>((bytes_[8] & 0x3F) | 0x80); // RFC 4122 variant
}

Ref<NSUUID> NSUUID::UUID() {
    return make<NSUUID>();
}

Ref<NSUUID> NSUUID::UUIDWithUUIDString(const Ref<NSString>& string) {
    if (!string) {
        return nullptr;
    }
    const std::string& s = string->str();
    if (s.size() != 36) {
        return nullptr;
    }
    std::array<uint8_t, 16> bytes{};
    size_t k = 0;
    for (size_t i = 0; i < s.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (s[i] != '-') {
                return nullptr;
            }
            ++i;
            continue;
        }
        int hi = hexValue(s[i]), lo = hexValue(s[i + 1]);
        if (hi < 0 || lo < 0 || k >= 16) {
            return nullptr;
        }
        bytes[k++] = static_cast<uint8_t>(hi << 4 | lo);
        i += 2;
    }
    return k == 16 ? make<NSUUID>(bytes) : nullptr;
}

Ref<NSString> NSUUID::UUIDString() const {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            out += '-';
        }
        out += digits[bytes_[i] >> 4];
        out += digits[bytes_[i] & 0x0F];
    }
    return NSString::from(out);
}

bool NSUUID::isEqual(const id& other) const {
    auto u = cast<NSUUID>(other);
    return u && u->bytes_ == bytes_;
}

NSUInteger NSUUID::hash() const {
    NSUInteger h = 1469598103934665603ULL;
    for (auto b : bytes_) {
        h = (h ^ b) * 1099511628211ULL;
    }
    return h;
}

Ref<NSString> NSUUID::description() const {
    return UUIDString();
}

id NSUUID::copy() const {
    return Ref<NSObject>(const_cast<NSUUID*>(this));
}
