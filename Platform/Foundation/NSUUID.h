// NSUUID: a random (version 4) UUID, written as "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
#pragma once

#include <Foundation/NSString.h>

#include <array>
#include <cstdint>

class NSUUID : public NSObject {
    NS_OBJECT(NSUUID, NSObject)
public:
    // `init`: a new random UUID.
    NSUUID();
    explicit NSUUID(const std::array<uint8_t, 16>& bytes) : bytes_(bytes) {}

    static Ref<NSUUID> UUID();
    // `initWithUUIDString:` (a factory, since it can fail): nil unless the text is 32 hex digits in
    // the 8-4-4-4-12 form (either case).
    static Ref<NSUUID> UUIDWithUUIDString(const Ref<NSString>& string);

    // Upper-case hex in the 8-4-4-4-12 form.
    Ref<NSString> UUIDString() const;
    const std::array<uint8_t, 16>& bytes() const noexcept { return bytes_; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;

private:
    std::array<uint8_t, 16> bytes_{};
};
