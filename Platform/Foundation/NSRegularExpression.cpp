#include <Foundation/NSRegularExpression.h>
#include <Runtime/ClassBuilder.h>

#include <unicode/regex.h>
#include <unicode/unistr.h>

NS_IMPLEMENT_CLASS(NSTextCheckingResult, NSObject) {}
NS_IMPLEMENT_CLASS(NSRegularExpression, NSObject) {
    b.readonlyProperty("pattern", &NSRegularExpression::pattern);
    b.readonlyProperty("numberOfCaptureGroups", &NSRegularExpression::numberOfCaptureGroups);
}

struct NSRegularExpression::Compiled {
    std::unique_ptr<icu::RegexPattern> pattern;
};

// MARK: - NSTextCheckingResult

NSTextCheckingResult::NSTextCheckingResult(std::vector<NSRange> ranges, Ref<NSRegularExpression> expression)
    : ranges_(std::move(ranges)), expression_(std::move(expression)) {}

NSRange NSTextCheckingResult::rangeAtIndex(NSUInteger index) const {
    if (index >= ranges_.size()) {
        NSException::raise(NSRangeException, "-[NSTextCheckingResult rangeAtIndex:]: index " + std::to_string(index) +
                                                 " beyond " + std::to_string(ranges_.size()) + " ranges");
    }
    return ranges_[index];
}

NSRange NSTextCheckingResult::rangeWithName(const Ref<NSString>& name) const {
    if (!name || !expression_) {
        return {NSNotFound, 0};
    }
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString u = icu::UnicodeString::fromUTF8(name->str());
    int32_t group = expression_->compiled()->pattern->groupNumberFromName(u, status);
    if (U_FAILURE(status) || group < 0 || static_cast<size_t>(group) >= ranges_.size()) {
        return {NSNotFound, 0};
    }
    return ranges_[static_cast<size_t>(group)];
}

Ref<NSString> NSTextCheckingResult::description() const {
    auto r = range();
    return NSString::stringWithFormat("<NSTextCheckingResult: %p>{%lu, %lu}", static_cast<const void*>(this),
                                      r.location, r.length);
}

// MARK: - NSRegularExpression

namespace {

uint32_t icuFlags(NSRegularExpressionOptions options) {
    uint32_t flags = 0;
    if (options & NSRegularExpressionCaseInsensitive) {
        flags |= UREGEX_CASE_INSENSITIVE;
    }
    if (options & NSRegularExpressionAllowCommentsAndWhitespace) {
        flags |= UREGEX_COMMENTS;
    }
    if (options & NSRegularExpressionIgnoreMetacharacters) {
        flags |= UREGEX_LITERAL;
    }
    if (options & NSRegularExpressionDotMatchesLineSeparators) {
        flags |= UREGEX_DOTALL;
    }
    if (options & NSRegularExpressionAnchorsMatchLines) {
        flags |= UREGEX_MULTILINE;
    }
    if (options & NSRegularExpressionUseUnixLineSeparators) {
        flags |= UREGEX_UNIX_LINES;
    }
    if (options & NSRegularExpressionUseUnicodeWordBoundaries) {
        flags |= UREGEX_UWORD;
    }
    return flags;
}

icu::UnicodeString toUnicode(const Ref<NSString>& s) {
    return s ? icu::UnicodeString::fromUTF8(s->str()) : icu::UnicodeString();
}

Ref<NSString> fromUnicode(const icu::UnicodeString& u) {
    std::string out;
    u.toUTF8String(out);
    return NSString::from(out);
}

NSRange checkedRange(const icu::UnicodeString& text, NSRange range, const char* method) {
    auto length = static_cast<NSUInteger>(text.length());
    if (range.location > length || range.length > length - range.location) {
        NSException::raise(NSRangeException, std::string("-[NSRegularExpression ") + method + "]: range {" +
                                                 std::to_string(range.location) + ", " + std::to_string(range.length) +
                                                 "} out of bounds; string length " + std::to_string(length));
    }
    return range;
}

} // namespace

NSRegularExpression::NSRegularExpression(Ref<NSString> pattern, NSRegularExpressionOptions options,
                                         std::shared_ptr<Compiled> compiled)
    : pattern_(std::move(pattern)), options_(options), compiled_(std::move(compiled)) {}

NSRegularExpression::~NSRegularExpression() = default;

Ref<NSRegularExpression>
NSRegularExpression::regularExpressionWithPatternOptionsError(const Ref<NSString>& pattern,
                                                              NSRegularExpressionOptions options, Ref<NSError>* error) {
    auto fail = [&](const std::string& reason) -> Ref<NSRegularExpression> {
        if (error) {
            auto text = NSString::stringWithFormat("The value \u201C%@\u201D is invalid: %s.", pattern, reason);
            *error = make<NSError>(NSCocoaErrorDomain(), NSFormattingError,
                                   NSDictionary::dictionaryWithEntries(
                                       {{NSString::from("NSInvalidValue"), pattern ? id(pattern) : id(NSNull::null())},
                                        {NSLocalizedDescriptionKey(), text}}));
        }
        return nullptr;
    };
    if (!pattern) {
        return fail("no pattern");
    }
    UParseError where{};
    UErrorCode status = U_ZERO_ERROR;
    auto compiled = std::make_shared<Compiled>();
    compiled->pattern.reset(icu::RegexPattern::compile(toUnicode(pattern), icuFlags(options), where, status));
    if (U_FAILURE(status) || !compiled->pattern) {
        return fail(std::string(u_errorName(status)) + " at offset " + std::to_string(where.offset));
    }
    return make<NSRegularExpression>(cast<NSString>(pattern->copy()), options, std::move(compiled));
}

Ref<NSString> NSRegularExpression::escapedPatternForString(const Ref<NSString>& string) {
    std::string out;
    for (char c : string ? string->str() : std::string()) {
        if (std::string_view("\\*?+[(){}^$|./").find(c) != std::string_view::npos) {
            out += '\\';
        }
        out += c;
    }
    return NSString::from(out);
}

Ref<NSString> NSRegularExpression::escapedTemplateForString(const Ref<NSString>& string) {
    std::string out;
    for (char c : string ? string->str() : std::string()) {
        if (c == '\\' || c == '$') {
            out += '\\';
        }
        out += c;
    }
    return NSString::from(out);
}

NSUInteger NSRegularExpression::numberOfCaptureGroups() const {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> m(compiled_->pattern->matcher(status));
    return U_SUCCESS(status) ? static_cast<NSUInteger>(m->groupCount()) : 0;
}

namespace {

// Runs the matcher over `range` of `text`, calling `found` with each match's ranges until it answers
// false. Appends the replacement text when `replacement` is given.
void scan(const icu::RegexPattern& pattern, const icu::UnicodeString& text, NSMatchingOptions options, NSRange range,
          const std::function<bool(std::vector<NSRange>&&)>& found, const icu::UnicodeString* templ = nullptr,
          icu::UnicodeString* replaced = nullptr) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> m(pattern.matcher(text, status));
    if (U_FAILURE(status)) {
        return;
    }
    auto start = static_cast<int32_t>(range.location);
    m->region(start, static_cast<int32_t>(range.location + range.length), status);
    m->useTransparentBounds(options & NSMatchingWithTransparentBounds);
    m->useAnchoringBounds(!(options & NSMatchingWithoutAnchoringBounds));
    int32_t groups = m->groupCount();
    int32_t expected = start;
    while (U_SUCCESS(status) && m->find(status) && U_SUCCESS(status)) {
        int32_t matchStart = m->start(status);
        if ((options & NSMatchingAnchored) && matchStart != expected) {
            break;
        }
        expected = m->end(status);
        std::vector<NSRange> ranges;
        ranges.reserve(static_cast<size_t>(groups) + 1);
        for (int32_t g = 0; g <= groups; ++g) {
            int32_t s = m->start(g, status), e = m->end(g, status);
            if (s < 0) {
                ranges.push_back({NSNotFound, 0});
            } else {
                ranges.push_back({static_cast<NSUInteger>(s), static_cast<NSUInteger>(e - s)});
            }
        }
        if (replaced) {
            m->appendReplacement(*replaced, *templ, status);
        }
        if (!found(std::move(ranges))) {
            break;
        }
    }
    if (replaced) {
        m->appendTail(*replaced);
    }
}

} // namespace

void NSRegularExpression::enumerateMatchesInStringOptionsRangeUsingBlock(
    const Ref<NSString>& string, NSMatchingOptions options, NSRange range,
    const std::function<void(const Ref<NSTextCheckingResult>&, bool* stop)>& block) const {
    icu::UnicodeString text = toUnicode(string);
    checkedRange(text, range, "enumerateMatchesInString:options:range:usingBlock:");
    Ref<NSRegularExpression> self(const_cast<NSRegularExpression*>(this));
    scan(*compiled_->pattern, text, options, range, [&](std::vector<NSRange>&& ranges) {
        bool stop = false;
        block(make<NSTextCheckingResult>(std::move(ranges), self), &stop);
        return !stop;
    });
}

Ref<NSArray> NSRegularExpression::matchesInStringOptionsRange(const Ref<NSString>& string, NSMatchingOptions options,
                                                              NSRange range) const {
    std::vector<id> matches;
    enumerateMatchesInStringOptionsRangeUsingBlock(
        string, options, range, [&](const Ref<NSTextCheckingResult>& r, bool*) { matches.push_back(r); });
    return NSArray::arrayWithVector(std::move(matches));
}

NSUInteger NSRegularExpression::numberOfMatchesInStringOptionsRange(const Ref<NSString>& string,
                                                                    NSMatchingOptions options, NSRange range) const {
    icu::UnicodeString text = toUnicode(string);
    checkedRange(text, range, "numberOfMatchesInString:options:range:");
    NSUInteger count = 0;
    scan(*compiled_->pattern, text, options, range, [&](std::vector<NSRange>&&) {
        ++count;
        return true;
    });
    return count;
}

Ref<NSTextCheckingResult> NSRegularExpression::firstMatchInStringOptionsRange(const Ref<NSString>& string,
                                                                              NSMatchingOptions options,
                                                                              NSRange range) const {
    Ref<NSTextCheckingResult> first;
    enumerateMatchesInStringOptionsRangeUsingBlock(string, options, range,
                                                   [&](const Ref<NSTextCheckingResult>& r, bool* stop) {
                                                       first = r;
                                                       *stop = true;
                                                   });
    return first;
}

NSRange NSRegularExpression::rangeOfFirstMatchInStringOptionsRange(const Ref<NSString>& string,
                                                                   NSMatchingOptions options, NSRange range) const {
    auto first = firstMatchInStringOptionsRange(string, options, range);
    return first ? first->range() : NSRange{NSNotFound, 0};
}

Ref<NSString> NSRegularExpression::stringByReplacingMatchesInStringOptionsRangeWithTemplate(
    const Ref<NSString>& string, NSMatchingOptions options, NSRange range, const Ref<NSString>& templ) const {
    icu::UnicodeString text = toUnicode(string);
    checkedRange(text, range, "stringByReplacingMatchesInString:options:range:withTemplate:");
    icu::UnicodeString replacement = toUnicode(templ);
    icu::UnicodeString out;
    scan(
        *compiled_->pattern, text, options, range, [](std::vector<NSRange>&&) { return true; }, &replacement, &out);
    return fromUnicode(out);
}

Ref<NSString> NSRegularExpression::description() const {
    return NSString::stringWithFormat("<NSRegularExpression: %p> %@ 0x%lx", static_cast<const void*>(this), pattern_,
                                      options_);
}

id NSRegularExpression::copy() const {
    return Ref<NSObject>(const_cast<NSRegularExpression*>(this));
}
