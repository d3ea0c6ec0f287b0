// NSRegularExpression and NSTextCheckingResult: ICU regular expressions over the UTF-16 text of a
// string, so that match ranges are the string's own ranges (NSRange in UTF-16 units).
//
// The syntax is ICU's, which covers the ECMAScript forms (classes, \d \w \s \b, greedy and lazy
// quantifiers, groups, named groups, look-ahead and look-behind, back references).
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSError.h>
#include <Foundation/NSString.h>

#include <functional>
#include <memory>

using NSRegularExpressionOptions = NSUInteger;
inline constexpr NSRegularExpressionOptions NSRegularExpressionCaseInsensitive = 1UL << 0;
inline constexpr NSRegularExpressionOptions NSRegularExpressionAllowCommentsAndWhitespace = 1UL << 1;
inline constexpr NSRegularExpressionOptions NSRegularExpressionIgnoreMetacharacters = 1UL << 2;
inline constexpr NSRegularExpressionOptions NSRegularExpressionDotMatchesLineSeparators = 1UL << 3;
inline constexpr NSRegularExpressionOptions NSRegularExpressionAnchorsMatchLines = 1UL << 4;
inline constexpr NSRegularExpressionOptions NSRegularExpressionUseUnixLineSeparators = 1UL << 5;
inline constexpr NSRegularExpressionOptions NSRegularExpressionUseUnicodeWordBoundaries = 1UL << 6;

using NSMatchingOptions = NSUInteger;
// Matches must start at the start of the range (and each following one where the last ended).
inline constexpr NSMatchingOptions NSMatchingAnchored = 1UL << 2;
// Look-around may see text outside the range.
inline constexpr NSMatchingOptions NSMatchingWithTransparentBounds = 1UL << 3;
// ^ and $ do not match at the edges of the range (only at those of the string).
inline constexpr NSMatchingOptions NSMatchingWithoutAnchoringBounds = 1UL << 4;

class NSRegularExpression;

// One match: the whole match at index 0, then each capture group ({NSNotFound, 0} when a group
// took no part in the match).
class NSTextCheckingResult : public NSObject {
    NS_OBJECT(NSTextCheckingResult, NSObject)
public:
    NSTextCheckingResult(std::vector<NSRange> ranges, Ref<NSRegularExpression> expression);

    NSRange range() const { return ranges_.empty() ? NSRange{NSNotFound, 0} : ranges_[0]; }
    NSUInteger numberOfRanges() const noexcept { return ranges_.size(); }
    // Raises NSRangeException past numberOfRanges.
    NSRange rangeAtIndex(NSUInteger index) const;
    // The range of a named group, {NSNotFound, 0} for an unknown name.
    NSRange rangeWithName(const Ref<NSString>& name) const;
    const Ref<NSRegularExpression>& regularExpression() const noexcept { return expression_; }

    Ref<NSString> description() const override;

private:
    std::vector<NSRange> ranges_;
    Ref<NSRegularExpression> expression_;
};

class NSRegularExpression : public NSObject {
    NS_OBJECT(NSRegularExpression, NSObject)
public:
    struct Compiled;
    NSRegularExpression(Ref<NSString> pattern, NSRegularExpressionOptions options, std::shared_ptr<Compiled> compiled);
    ~NSRegularExpression() override;

    // nil and an error (NSCocoaErrorDomain 2048, the pattern and ICU's reason in the user info)
    // for a pattern that does not compile.
    static Ref<NSRegularExpression> regularExpressionWithPatternOptionsError(const Ref<NSString>& pattern,
                                                                             NSRegularExpressionOptions options,
                                                                             Ref<NSError>* error);
    // The pattern that matches `string` literally.
    static Ref<NSString> escapedPatternForString(const Ref<NSString>& string);
    // The template that produces `string` literally ("\" and "$" escaped).
    static Ref<NSString> escapedTemplateForString(const Ref<NSString>& string);

    const Ref<NSString>& pattern() const noexcept { return pattern_; }
    NSRegularExpressionOptions options() const noexcept { return options_; }
    NSUInteger numberOfCaptureGroups() const;

    // Every match inside `range` of `string`, in order. A range past the end of the string raises
    // NSRangeException.
    Ref<NSArray> matchesInStringOptionsRange(const Ref<NSString>& string, NSMatchingOptions options,
                                             NSRange range) const;
    NSUInteger numberOfMatchesInStringOptionsRange(const Ref<NSString>& string, NSMatchingOptions options,
                                                   NSRange range) const;
    // nil when nothing matches.
    Ref<NSTextCheckingResult> firstMatchInStringOptionsRange(const Ref<NSString>& string, NSMatchingOptions options,
                                                             NSRange range) const;
    // {NSNotFound, 0} when nothing matches.
    NSRange rangeOfFirstMatchInStringOptionsRange(const Ref<NSString>& string, NSMatchingOptions options,
                                                  NSRange range) const;
    // Calls `block` with each match until it sets *stop.
    void enumerateMatchesInStringOptionsRangeUsingBlock(
        const Ref<NSString>& string, NSMatchingOptions options, NSRange range,
        const std::function<void(const Ref<NSTextCheckingResult>&, bool* stop)>& block) const;
    // Each match inside `range` replaced by `templ` ("$0", "$1"... for the groups, "\" escapes);
    // the text outside the matches is kept.
    Ref<NSString> stringByReplacingMatchesInStringOptionsRangeWithTemplate(const Ref<NSString>& string,
                                                                           NSMatchingOptions options, NSRange range,
                                                                           const Ref<NSString>& templ) const;

    Ref<NSString> description() const override;
    id copy() const override;
    const std::shared_ptr<Compiled>& compiled() const noexcept { return compiled_; }

private:
    Ref<NSString> pattern_;
    NSRegularExpressionOptions options_;
    std::shared_ptr<Compiled> compiled_;
};
