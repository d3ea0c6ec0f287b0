// CBUUID: the UUID of a Bluetooth Low Energy service or characteristic, either a short one of the
// Bluetooth base range ("FFE0", "180D") or a full 128-bit one. Written in upper-case hex; a full
// UUID of the base range (0000FFE0-0000-1000-8000-00805F9B34FB) is the same UUID as its short form
// and is written short.
#pragma once

#include <Foundation/NSString.h>

#include <string>

class CBUUID : public NSObject {
    NS_OBJECT(CBUUID, NSObject)
public:
    CBUUID() = default;

    // `UUIDWithString:`: nil unless the text is 4 or 8 hex digits or a full UUID in the 8-4-4-4-12
    // form (either case).
    static Ref<CBUUID> UUIDWithString(const Ref<NSString>& string);
    // The canonical text (the short form for the base range).
    static std::string canonical(const std::string& text);

    Ref<NSString> UUIDString() const { return NSString::from(text_); }
    const std::string& str() const noexcept { return text_; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override { return UUIDString(); }
    id copy() const override;

private:
    std::string text_;
};
