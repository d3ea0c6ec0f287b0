#include <Foundation/NSAttributedString.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(NSAttributedString, NSObject) {
    b.readonlyProperty("string", &NSAttributedString::string);
    b.readonlyProperty("length", &NSAttributedString::length);
}
NS_IMPLEMENT_CLASS(NSMutableAttributedString, NSAttributedString) {}

namespace {

Ref<NSDictionary> frozen(const Ref<NSDictionary>& attributes) {
    return attributes && attributes->count() ? cast<NSDictionary>(attributes->copy()) : NSDictionary::dictionary();
}

bool sameAttributes(const Ref<NSDictionary>& a, const Ref<NSDictionary>& b) {
    return a == b || (a && b && a->isEqualToDictionary(b));
}

} // namespace

NSAttributedString::NSAttributedString(const Ref<NSString>& string, const Ref<NSDictionary>& attributes)
    : string_(string ? cast<NSString>(string->copy()) : NSString::string()), length_(string_->length()) {
    if (length_) {
        segments_.push_back({length_, frozen(attributes)});
    }
}

NSAttributedString::NSAttributedString(const NSAttributedString& other)
    : NSObject(), string_(other.string_), length_(other.length_), segments_(other.segments_) {}

Ref<NSAttributedString> NSAttributedString::attributedStringWithString(const Ref<NSString>& string) {
    return make<NSAttributedString>(string);
}

Ref<NSAttributedString> NSAttributedString::attributedStringWithStringAttributes(const Ref<NSString>& string,
                                                                                 const Ref<NSDictionary>& attributes) {
    return make<NSAttributedString>(string, attributes);
}

Ref<NSAttributedString> NSAttributedString::attributedStringWithAttributedString(const Ref<NSAttributedString>& other) {
    return other ? make<NSAttributedString>(*other) : make<NSAttributedString>();
}

void NSAttributedString::checkRange(const char* what, NSRange range) const {
    if (range.location > length_ || range.length > length_ - range.location) {
        NSException::raise(NSRangeException, std::string(what) + ": range {" + std::to_string(range.location) + ", " +
                                                 std::to_string(range.length) + "} beyond length " +
                                                 std::to_string(length_));
    }
}

size_t NSAttributedString::segmentAt(NSUInteger index, NSUInteger* start) const {
    NSUInteger at = 0;
    for (size_t i = 0; i < segments_.size(); ++i) {
        if (index < at + segments_[i].length) {
            *start = at;
            return i;
        }
        at += segments_[i].length;
    }
    *start = at;
    return segments_.size();
}

size_t NSAttributedString::splitAt(NSUInteger index) {
    NSUInteger start = 0;
    size_t i = segmentAt(index, &start);
    if (i == segments_.size() || start == index) {
        return i;
    }
    Segment tail{segments_[i].length - (index - start), segments_[i].attributes};
    segments_[i].length = index - start;
    segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(i) + 1, tail);
    return i + 1;
}

void NSAttributedString::normalise() {
    std::vector<Segment> out;
    out.reserve(segments_.size());
    for (auto& s : segments_) {
        if (s.length == 0) {
            continue;
        }
        if (!out.empty() && sameAttributes(out.back().attributes, s.attributes)) {
            out.back().length += s.length;
        } else {
            out.push_back(std::move(s));
        }
    }
    segments_ = std::move(out);
}

Ref<NSDictionary> NSAttributedString::attributesAtIndexEffectiveRange(NSUInteger index, NSRange* range) const {
    if (index >= length_) {
        NSException::raise(NSRangeException, "attributesAtIndex: index " + std::to_string(index) + " beyond length " +
                                                 std::to_string(length_));
    }
    NSUInteger start = 0;
    size_t i = segmentAt(index, &start);
    if (range) {
        *range = NSMakeRange(start, segments_[i].length);
    }
    return segments_[i].attributes;
}

id NSAttributedString::attributeAtIndexEffectiveRange(const Ref<NSString>& name, NSUInteger index,
                                                      NSRange* range) const {
    NSRange run{};
    auto attributes = attributesAtIndexEffectiveRange(index, &run);
    id value = attributes->objectForKey(name);
    if (range) {
        // The effective range of one attribute spans the neighbouring runs where it is the same.
        NSUInteger start = 0;
        size_t i = segmentAt(index, &start);
        size_t first = i, last = i;
        auto same = [&](size_t j) {
            id other = segments_[j].attributes->objectForKey(name);
            return value == other || (value && other && value->isEqual(other));
        };
        NSUInteger from = start, to = start + segments_[i].length;
        while (first > 0 && same(first - 1)) {
            --first;
            from -= segments_[first].length;
        }
        while (last + 1 < segments_.size() && same(last + 1)) {
            ++last;
            to += segments_[last].length;
        }
        *range = NSMakeRange(from, to - from);
    }
    return value;
}

std::vector<NSAttributedString::Run> NSAttributedString::runs() const {
    std::vector<Run> out;
    NSUInteger at = 0;
    for (const auto& s : segments_) {
        out.push_back({NSMakeRange(at, s.length), s.attributes});
        at += s.length;
    }
    return out;
}

Ref<NSAttributedString> NSAttributedString::attributedSubstringFromRange(NSRange range) const {
    checkRange("attributedSubstringFromRange", range);
    auto out = make<NSAttributedString>(string_->substringWithRange(range));
    out->segments_.clear();
    NSUInteger at = 0;
    for (const auto& s : segments_) {
        NSUInteger from = std::max(at, range.location), to = std::min(at + s.length, NSMaxRange(range));
        if (from < to) {
            out->segments_.push_back({to - from, s.attributes});
        }
        at += s.length;
    }
    out->normalise();
    return out;
}

bool NSAttributedString::isEqualToAttributedString(const Ref<NSAttributedString>& other) const {
    if (!other) {
        return false;
    }
    if (!string_->isEqualToString(other->string_) || segments_.size() != other->segments_.size()) {
        return false;
    }
    for (size_t i = 0; i < segments_.size(); ++i) {
        if (segments_[i].length != other->segments_[i].length ||
            !sameAttributes(segments_[i].attributes, other->segments_[i].attributes)) {
            return false;
        }
    }
    return true;
}

bool NSAttributedString::isEqual(const id& other) const {
    auto o = cast<NSAttributedString>(other);
    return o && isEqualToAttributedString(o);
}

NSUInteger NSAttributedString::hash() const {
    return string_->hash();
}

Ref<NSString> NSAttributedString::description() const {
    auto out = NSMutableString::string();
    for (const auto& r : runs()) {
        out->appendString(string_->substringWithRange(r.range));
        out->appendFormat("{%@}", r.attributes);
    }
    return out;
}

id NSAttributedString::copy() const {
    return id(const_cast<NSAttributedString*>(this));
}

id NSAttributedString::mutableCopy() const {
    return make<NSMutableAttributedString>(*this);
}

// NSMutableAttributedString

Ref<NSMutableAttributedString> NSMutableAttributedString::attributedStringWithString(const Ref<NSString>& string) {
    return make<NSMutableAttributedString>(string);
}

Ref<NSMutableAttributedString>
NSMutableAttributedString::attributedStringWithStringAttributes(const Ref<NSString>& string,
                                                                const Ref<NSDictionary>& attributes) {
    return make<NSMutableAttributedString>(string, attributes);
}

id NSMutableAttributedString::copy() const {
    return make<NSAttributedString>(*this);
}

void NSMutableAttributedString::edit(NSRange range,
                                     const std::function<Ref<NSDictionary>(const Ref<NSDictionary>&)>& change) {
    checkRange("attributes", range);
    if (range.length == 0) {
        return;
    }
    size_t first = splitAt(range.location);
    size_t end = splitAt(NSMaxRange(range));
    for (size_t i = first; i < end; ++i) {
        segments_[i].attributes = frozen(change(segments_[i].attributes));
    }
    normalise();
}

void NSMutableAttributedString::setAttributesRange(const Ref<NSDictionary>& attributes, NSRange range) {
    edit(range, [&](const Ref<NSDictionary>&) { return attributes; });
}

void NSMutableAttributedString::addAttributeValueRange(const Ref<NSString>& name, const id& value, NSRange range) {
    if (!name || !value) {
        NSException::raise(NSInvalidArgumentException, "addAttribute:value:range: nil name or value");
    }
    edit(range, [&](const Ref<NSDictionary>& old) {
        auto d = NSMutableDictionary::dictionaryWithDictionary(old);
        d->setObjectForKey(value, name);
        return d;
    });
}

void NSMutableAttributedString::addAttributesRange(const Ref<NSDictionary>& attributes, NSRange range) {
    edit(range, [&](const Ref<NSDictionary>& old) {
        auto d = NSMutableDictionary::dictionaryWithDictionary(old);
        d->addEntriesFromDictionary(attributes);
        return d;
    });
}

void NSMutableAttributedString::removeAttributeRange(const Ref<NSString>& name, NSRange range) {
    edit(range, [&](const Ref<NSDictionary>& old) {
        auto d = NSMutableDictionary::dictionaryWithDictionary(old);
        if (name) {
            d->removeObjectForKey(name);
        }
        return d;
    });
}

void NSMutableAttributedString::replaceCharactersInRangeWithAttributedString(NSRange range,
                                                                             const Ref<NSAttributedString>& string) {
    checkRange("replaceCharactersInRange", range);
    // Copied first: the argument may be this very string.
    auto insert = string ? make<NSMutableAttributedString>(*string) : make<NSMutableAttributedString>();
    auto text = NSMutableString::stringWithString(string_);
    text->replaceCharactersInRangeWithString(range, insert->string());
    size_t first = splitAt(range.location);
    size_t end = splitAt(NSMaxRange(range));
    segments_.erase(segments_.begin() + static_cast<std::ptrdiff_t>(first),
                    segments_.begin() + static_cast<std::ptrdiff_t>(end));
    segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(first), insert->segments_.begin(),
                     insert->segments_.end());
    string_ = cast<NSString>(text->copy());
    length_ = string_->length();
    normalise();
}

void NSMutableAttributedString::replaceCharactersInRangeWithString(NSRange range, const Ref<NSString>& string) {
    checkRange("replaceCharactersInRange", range);
    Ref<NSDictionary> attributes;
    if (range.length > 0) {
        attributes = attributesAtIndexEffectiveRange(range.location, nullptr);
    } else if (range.location > 0) {
        attributes = attributesAtIndexEffectiveRange(range.location - 1, nullptr);
    } else if (length_ > 0) {
        attributes = attributesAtIndexEffectiveRange(0, nullptr);
    }
    replaceCharactersInRangeWithAttributedString(range, make<NSAttributedString>(string, attributes));
}

void NSMutableAttributedString::insertAttributedStringAtIndex(const Ref<NSAttributedString>& string, NSUInteger index) {
    replaceCharactersInRangeWithAttributedString(NSMakeRange(index, 0), string);
}

void NSMutableAttributedString::appendAttributedString(const Ref<NSAttributedString>& string) {
    replaceCharactersInRangeWithAttributedString(NSMakeRange(length_, 0), string);
}

void NSMutableAttributedString::deleteCharactersInRange(NSRange range) {
    replaceCharactersInRangeWithAttributedString(range, nullptr);
}

void NSMutableAttributedString::setAttributedString(const Ref<NSAttributedString>& string) {
    replaceCharactersInRangeWithAttributedString(NSMakeRange(0, length_), string);
}
