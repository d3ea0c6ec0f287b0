#include <Categorys/NSString+Split.h>

Ref<NSString> stringSplitWithBeginEnd(const Ref<NSString>& text, const Ref<NSString>& begin, const Ref<NSString>& end) {
    if (!text || text->length() == 0 || !begin || begin->length() == 0 || !end || end->length() == 0) {
        return nullptr;
    }
    NSRange beginRange = text->rangeOfString(begin);
    if (beginRange.location == static_cast<NSUInteger>(NSNotFound)) {
        return nullptr;
    }
    // The end marker is looked for from the start of the begin match to the end of the text.
    auto tail = text->substringFromIndex(beginRange.location);
    NSRange endInTail = tail->rangeOfStringOptions(end, NSCaseInsensitiveSearch);
    if (endInTail.location == static_cast<NSUInteger>(NSNotFound)) {
        return nullptr;
    }
    NSUInteger from = beginRange.location + beginRange.length;
    NSUInteger to = beginRange.location + endInTail.location;
    if (to < from) {
        // The end match starts inside the begin match: there is no text between them.
        return nullptr;
    }
    return text->substringWithRange(NSMakeRange(from, to - from));
}
