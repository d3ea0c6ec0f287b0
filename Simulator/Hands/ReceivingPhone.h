// ReceivingPhone: a second phone on the simulated carrier's network, which the operator holds beside
// the device under test. The SMS test's message is sent to its number, and the call test's call rings
// it; the operator looks at its inbox to see whether the message arrived and answers it when it rings,
// as a person checks the phone a message was sent to or a call was made to. It joins the network when
// it is first used and stays on it for the rest of the process (the device's resets do not take it
// off); only messages and calls that really went out reach it.
//
// The calls that ring it are those to its own number and to the carrier's service line ("611"): a
// session's call test dials that line unless its profile names another number, and in the simulation
// the carrier puts the line through to this phone, so that the operator can tell a call that went
// out from one that did not.
//
// Internal to the operator's hands (Simulator/Hands): the operator reaches it through OperatorHands.h.
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

    // The carrier's service line, which this phone answers in the simulation.
    static constexpr const char* kServiceLine = "611";

    // The phone in the operator's hand, number "5551234567".
    static ReceivingPhone& inHand();

    const std::string& number() const noexcept { return number_; }
    // What arrived, oldest first.
    std::vector<Received> inbox() const;
    // When each call that rang it was answered (platform clock uptimes), oldest first.
    std::vector<double> answeredCalls() const;

    // Whether a recipient as typed ("555-123-4567", "(555) 123 4567") is this phone's number: the
    // digits count, the rest is how people write numbers.
    bool isAddressedBy(const std::string& recipient) const;
    // Whether a call to `dialled` rings this phone: its own number, or the service line.
    bool ringsFor(const std::string& dialled) const;

private:
    explicit ReceivingPhone(std::string number);

    std::string number_;
    uint64_t messageToken_ = 0;
    uint64_t callToken_ = 0;
    mutable std::mutex mutex_;
    std::vector<Received> inbox_;
    std::vector<double> answered_;
};
