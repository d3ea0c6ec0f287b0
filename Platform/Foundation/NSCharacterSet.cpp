#include <Foundation/NSCharacterSet.h>
#include <Runtime/ClassBuilder.h>

#include <unicode/uset.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(NSCharacterSet, NSObject) {}
NS_IMPLEMENT_CLASS(NSMutableCharacterSet, NSCharacterSet) {}

namespace {
using Ranges = std::vector<NSCharacterSet::CodePointRange>;
constexpr char32_t kMaxCodePoint = 0x10FFFF;

// The code points of an ICU set pattern such as "[\p{L}\p{M}]".
Ranges rangesOfPattern(const char16_t* pattern) {
    UErrorCode status = U_ZERO_ERROR;
    USet* set = uset_openPattern(reinterpret_cast<const UChar*>(pattern), -1, &status);
    Ranges out;
    if (U_FAILURE(status)) {
        NSException::raise(NSInternalInconsistencyException, "NSCharacterSet: bad character class pattern");
    }
    int32_t n = uset_getItemCount(set);
    for (int32_t i = 0; i < n; ++i) {
        UChar32 start = 0, end = 0;
        status = U_ZERO_ERROR;
        if (uset_getItem(set, i, &start, &end, nullptr, 0, &status) == 0 && U_SUCCESS(status)) {
            out.emplace_back(static_cast<char32_t>(start), static_cast<char32_t>(end));
        }
    }
    uset_close(set);
    return out;
}

Ranges rangesOfASCII(std::string_view chars) {
    Ranges out;
    for (char c : chars) {
        out.emplace_back(static_cast<char32_t>(c), static_cast<char32_t>(c));
    }
    return out;
}

Ranges codePointsOf(const Ref<NSString>& string) {
    Ranges out;
    if (!string) {
        return out;
    }
    std::u16string u = string->utf16();
    for (size_t i = 0; i < u.size(); ++i) {
        char32_t c = u[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        }
        out.emplace_back(c, c);
    }
    return out;
}

Ranges rangesOfNSRange(NSRange range) {
    if (range.length == 0 || range.location > kMaxCodePoint) {
        return {};
    }
    NSUInteger last = std::min<NSUInteger>(kMaxCodePoint, range.location + range.length - 1);
    return {{static_cast<char32_t>(range.location), static_cast<char32_t>(last)}};
}

// A shared immutable standard set, made on first use.
template <class F>
Ref<NSCharacterSet> standardSet(F makeRanges) {
    return make<NSCharacterSet>(makeRanges());
}

constexpr std::string_view kUnreserved = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
constexpr std::string_view kSubDelims = "!$&'()*+,;=";
} // namespace

NSCharacterSet::NSCharacterSet(std::vector<CodePointRange> ranges) : ranges_(std::move(ranges)) {
    normalize();
}

void NSCharacterSet::normalize() {
    std::sort(ranges_.begin(), ranges_.end());
    Ranges merged;
    for (const auto& r : ranges_) {
        if (r.first > r.second) {
            continue;
        }
        if (!merged.empty() && r.first <= merged.back().second + 1) {
            merged.back().second = std::max(merged.back().second, r.second);
        } else {
            merged.push_back(r);
        }
    }
    ranges_ = std::move(merged);
}

void NSCharacterSet::addRanges(const std::vector<CodePointRange>& ranges) {
    ranges_.insert(ranges_.end(), ranges.begin(), ranges.end());
    normalize();
}

void NSCharacterSet::removeRanges(const std::vector<CodePointRange>& ranges) {
    for (const auto& cut : ranges) {
        Ranges out;
        for (const auto& r : ranges_) {
            if (r.second < cut.first || r.first > cut.second) {
                out.push_back(r);
                continue;
            }
            if (r.first < cut.first) {
                out.emplace_back(r.first, cut.first - 1);
            }
            if (r.second > cut.second) {
                out.emplace_back(cut.second + 1, r.second);
            }
        }
        ranges_ = std::move(out);
    }
}

void NSCharacterSet::invertInPlace() {
    Ranges out;
    char32_t next = 0;
    for (const auto& r : ranges_) {
        if (r.first > next) {
            out.emplace_back(next, r.first - 1);
        }
        next = r.second + 1;
    }
    if (next <= kMaxCodePoint) {
        out.emplace_back(next, kMaxCodePoint);
    }
    ranges_ = std::move(out);
}

Ref<NSCharacterSet> NSCharacterSet::characterSetWithCharactersInString(const Ref<NSString>& string) {
    return make<NSCharacterSet>(codePointsOf(string));
}

Ref<NSCharacterSet> NSCharacterSet::characterSetWithRange(NSRange range) {
    return make<NSCharacterSet>(rangesOfNSRange(range));
}

// Never destroyed: threads that outlive main() may still use them while the process exits.
#define DX_STANDARD_SET(Name, expr)                                                                                    \
    Ref<NSCharacterSet> NSCharacterSet::Name() {                                                                       \
        static const Ref<NSCharacterSet>& set = *new Ref<NSCharacterSet>(standardSet([] { return expr; }));            \
        return set;                                                                                                    \
    }

DX_STANDARD_SET(alphanumericCharacterSet, rangesOfPattern(u"[\\p{L}\\p{M}\\p{N}]"))
DX_STANDARD_SET(letterCharacterSet, rangesOfPattern(u"[\\p{L}\\p{M}]"))
DX_STANDARD_SET(decimalDigitCharacterSet, rangesOfPattern(u"[\\p{Nd}]"))
DX_STANDARD_SET(uppercaseLetterCharacterSet, rangesOfPattern(u"[\\p{Lu}\\p{Lt}]"))
DX_STANDARD_SET(lowercaseLetterCharacterSet, rangesOfPattern(u"[\\p{Ll}]"))
DX_STANDARD_SET(punctuationCharacterSet, rangesOfPattern(u"[\\p{P}]"))
DX_STANDARD_SET(symbolCharacterSet, rangesOfPattern(u"[\\p{S}]"))
DX_STANDARD_SET(controlCharacterSet, rangesOfPattern(u"[\\p{Cc}\\p{Cf}]"))
DX_STANDARD_SET(nonBaseCharacterSet, rangesOfPattern(u"[\\p{M}]"))
DX_STANDARD_SET(whitespaceCharacterSet, rangesOfPattern(u"[\\p{Zs}\\u0009]"))
DX_STANDARD_SET(newlineCharacterSet, rangesOfPattern(u"[\\u000A-\\u000D\\u0085\\u2028\\u2029]"))
DX_STANDARD_SET(whitespaceAndNewlineCharacterSet,
                rangesOfPattern(u"[\\p{Zs}\\u0009\\u000A-\\u000D\\u0085\\u2028\\u2029]"))
DX_STANDARD_SET(URLQueryAllowedCharacterSet, rangesOfASCII(std::string(kUnreserved) + std::string(kSubDelims) + ":@/?"))
DX_STANDARD_SET(URLFragmentAllowedCharacterSet,
                rangesOfASCII(std::string(kUnreserved) + std::string(kSubDelims) + ":@/?"))
// ";" stays escaped in paths (it once introduced path parameters).
DX_STANDARD_SET(URLPathAllowedCharacterSet, rangesOfASCII(std::string(kUnreserved) + "!$&'()*+,=" + ":@/"))
DX_STANDARD_SET(URLHostAllowedCharacterSet, rangesOfASCII(std::string(kUnreserved) + std::string(kSubDelims) + ":[]"))
DX_STANDARD_SET(URLUserAllowedCharacterSet, rangesOfASCII(std::string(kUnreserved) + std::string(kSubDelims)))
DX_STANDARD_SET(URLPasswordAllowedCharacterSet, rangesOfASCII(std::string(kUnreserved) + std::string(kSubDelims)))

#undef DX_STANDARD_SET

bool NSCharacterSet::characterIsMember(unichar c) const noexcept {
    return longCharacterIsMember(c);
}

bool NSCharacterSet::longCharacterIsMember(UTF32Char c) const noexcept {
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), c,
                               [](char32_t v, const CodePointRange& r) { return v < r.first; });
    return it != ranges_.begin() && c <= std::prev(it)->second;
}

bool NSCharacterSet::isSupersetOfSet(const Ref<NSCharacterSet>& other) const noexcept {
    if (!other) {
        return true;
    }
    for (const auto& r : other->ranges_) {
        auto it = std::upper_bound(ranges_.begin(), ranges_.end(), r.first,
                                   [](char32_t v, const CodePointRange& x) { return v < x.first; });
        if (it == ranges_.begin() || std::prev(it)->second < r.second) {
            return false;
        }
    }
    return true;
}

Ref<NSCharacterSet> NSCharacterSet::invertedSet() const {
    auto s = make<NSCharacterSet>(ranges_);
    s->invertInPlace();
    return s;
}

bool NSCharacterSet::isEqual(const id& other) const {
    auto s = cast<NSCharacterSet>(other);
    return s && s->ranges_ == ranges_;
}

NSUInteger NSCharacterSet::hash() const {
    NSUInteger h = ranges_.size();
    for (const auto& r : ranges_) {
        h = h * 31 + r.first;
        h = h * 31 + r.second;
    }
    return h;
}

id NSCharacterSet::copy() const {
    if (getClass() == NSCharacterSet::class_()) {
        return id(const_cast<NSCharacterSet*>(this));
    }
    return make<NSCharacterSet>(ranges_);
}

id NSCharacterSet::mutableCopy() const {
    return make<NSMutableCharacterSet>(ranges_);
}

// MARK: - NSMutableCharacterSet

void NSMutableCharacterSet::addCharactersInRange(NSRange range) {
    addRanges(rangesOfNSRange(range));
}

void NSMutableCharacterSet::removeCharactersInRange(NSRange range) {
    removeRanges(rangesOfNSRange(range));
}

void NSMutableCharacterSet::addCharactersInString(const Ref<NSString>& string) {
    addRanges(codePointsOf(string));
}

void NSMutableCharacterSet::removeCharactersInString(const Ref<NSString>& string) {
    removeRanges(codePointsOf(string));
}

void NSMutableCharacterSet::formUnionWithCharacterSet(const Ref<NSCharacterSet>& other) {
    if (other) {
        addRanges(other->codePointRanges());
    }
}

void NSMutableCharacterSet::formIntersectionWithCharacterSet(const Ref<NSCharacterSet>& other) {
    if (!other) {
        ranges_.clear();
        return;
    }
    auto outside = other->invertedSet();
    removeRanges(outside->codePointRanges());
}

void NSMutableCharacterSet::invert() {
    invertInPlace();
}

id NSMutableCharacterSet::copy() const {
    return make<NSCharacterSet>(ranges_);
}
