#include "ReceivingPhone.h"

#include <Device/SimRadios.h>
#include <Dispatch/Clock.h>

#include <algorithm>
#include <cctype>

namespace {

std::string digits(const std::string& text) {
    std::string out;
    std::copy_if(text.begin(), text.end(), std::back_inserter(out),
                 [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
    return out;
}

} // namespace

ReceivingPhone& ReceivingPhone::inHand() {
    static auto* phone = new ReceivingPhone("5551234567");
    return *phone;
}

ReceivingPhone::ReceivingPhone(std::string number) : number_(std::move(number)) {
    auto& network = SimRadios::current();
    messageToken_ = network.addMessageReceiver([this](const SimRadios::Message& message) {
        bool mine = std::any_of(message.recipients.begin(), message.recipients.end(),
                                [this](const std::string& recipient) { return isAddressedBy(recipient); });
        if (mine) {
            std::lock_guard lock(mutex_);
            inbox_.push_back({message.body, DispatchClock::uptime()});
        }
    });
    // It rings, and the person holding it answers at once.
    callToken_ = network.addCallReceiver([this](const SimRadios::Call& call) {
        if (ringsFor(call.number)) {
            std::lock_guard lock(mutex_);
            answered_.push_back(DispatchClock::uptime());
        }
    });
}

std::vector<ReceivingPhone::Received> ReceivingPhone::inbox() const {
    std::lock_guard lock(mutex_);
    return inbox_;
}

std::vector<double> ReceivingPhone::answeredCalls() const {
    std::lock_guard lock(mutex_);
    return answered_;
}

bool ReceivingPhone::isAddressedBy(const std::string& recipient) const {
    auto typed = digits(recipient);
    return !typed.empty() && typed == digits(number_);
}

bool ReceivingPhone::ringsFor(const std::string& dialled) const {
    return isAddressedBy(dialled) || (!dialled.empty() && digits(dialled) == kServiceLine);
}
