#include <UISupport/NSString+LCPadding.h>

Ref<NSString> stringByPaddingTheLeftToLengthWithStringStartingAtIndex(const Ref<NSString>& self, NSUInteger newLength,
                                                                      const Ref<NSString>& padString,
                                                                      NSUInteger padIndex) {
    NSUInteger length = self->length();
    if (length > newLength) {
        return cast<NSString>(self->copy());
    }
    auto pad =
        NSString::string()->stringByPaddingToLengthWithStringStartingAtIndex(newLength - length, padString, padIndex);
    return pad->stringByAppendingString(self);
}
