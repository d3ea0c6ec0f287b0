// ReceivingPhone: a second phone on the simulated carrier's network, which the operator holds beside
// the device under test. The SMS test's message is sent to its number; the operator looks at its
// inbox to see whether the message arrived, as a person checks the phone it was sent to. It joins
// the network when it is first used and stays on it for the rest of the process (the device's
// resets do not take it off); only messages that really went out reach it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class ReceivingPhone {
public:
    struct Received {
        std::string body;
        double at = 0; // platform clock uptime
    };

    // The phone in the operator's hand, number "5551234567".
    static ReceivingPhone& inHand();

    const std::string& number() const noexcept { return number_; }
    // What arrived, oldest first.
    std::vector<Received> inbox() const;

    // Whether a recipient as typed ("555-123-4567", "(555) 123 4567") is this phone's number: the
    // digits count, the rest is how people write numbers.
    bool isAddressedBy(const std::string& recipient) const;

private:
    explicit ReceivingPhone(std::string number);

    std::string number_;
    uint64_t token_ = 0;
    mutable std::mutex mutex_;
    std::vector<Received> inbox_;
};
