#include <GameKit/GKPeerPicker.h>

#include <Device/SimRadios.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSError.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(GKSession, NSObject) {}
NS_IMPLEMENT_CLASS(GKPeerPickerController, NSObject) {}

namespace {

void later(double seconds, std::function<void()> work) {
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds * NSEC_PER_SEC)),
                   dispatch_get_main_queue(), std::move(work));
}

bool send(const id& target, SEL selector, const std::vector<id>& args, id* result = nullptr) {
    if (!target || !target->respondsToSelector(selector)) {
        return false;
    }
    id r = target->performSelectorWithArguments(selector, args);
    if (result) {
        *result = r;
    }
    return true;
}

} // namespace

const Ref<NSString>& GKSessionErrorDomain() {
    static const Ref<NSString>& domain = *new Ref<NSString>(NSString::from("com.apple.gamekit.GKSessionErrorDomain"));
    return domain;
}

GKSession::GKSession(const Ref<NSString>&, const Ref<NSString>&, GKSessionMode) {}

Ref<NSArray> GKSession::connectedPeers() const {
    auto list = NSMutableArray::array();
    for (const auto& peer : connected_) {
        list->addObject(NSString::from(peer));
    }
    return list;
}

Ref<NSString> GKSession::displayNameForPeer(const Ref<NSString>& peerID) const {
    return peerID;
}

bool GKSession::connect(const Ref<NSString>& peerID) {
    auto peers = SimRadios::current().nearbyPeers();
    if (!peerID || std::find(peers.begin(), peers.end(), peerID->str()) == peers.end()) {
        return false;
    }
    if (std::find(connected_.begin(), connected_.end(), peerID->str()) != connected_.end()) {
        return true; // connected already
    }
    connected_.push_back(peerID->str());
    send(delegate(), "session:peer:didChangeState:",
         {Ref<GKSession>(this), peerID, NSNumber::numberWithInteger(GKPeerStateConnected)});
    return true;
}

void GKSession::connectToPeerWithTimeout(const Ref<NSString>& peerID, double) {
    (void)connect(peerID);
}

bool GKSession::acceptConnectionFromPeerError(const Ref<NSString>& peerID, Ref<NSError>* error) {
    if (connect(peerID)) {
        return true;
    }
    if (error) {
        *error = NSError::errorWithDomainCodeUserInfo(GKSessionErrorDomain(), GKSessionPeerNotFoundError, nullptr);
    }
    return false;
}

bool GKSession::sendDataToAllPeersWithDataModeError(const Ref<NSData>&, GKSendDataMode, Ref<NSError>* error) {
    if (connected_.empty() || !SimRadios::current().bluetoothPoweredOn()) {
        if (error) {
            *error = NSError::errorWithDomainCodeUserInfo("GKErrorDomain"_ns, 3, nullptr);
        }
        return false;
    }
    ++sent_;
    return true;
}

void GKSession::disconnectFromAllPeers() {
    connected_.clear();
}

void GKPeerPickerController::show() {
    if (visible_) {
        return;
    }
    visible_ = true;
    uint64_t generation = ++generation_;
    Weak<GKPeerPickerController> weak(this);
    later(0.5, [weak, generation] {
        auto self = weak.lock();
        if (!self || !self->visible_ || self->generation_ != generation) {
            return;
        }
        if (!SimRadios::current().bluetoothPoweredOn()) {
            // The system asks to turn Bluetooth on; the person cancels.
            later(1.5, [weak, generation] {
                auto again = weak.lock();
                if (again && again->visible_ && again->generation_ == generation) {
                    again->cancel();
                }
            });
            return;
        }
        self->askForSession();
        later(2.0, [weak, generation] {
            auto again = weak.lock();
            if (again && again->visible_ && again->generation_ == generation) {
                again->pickOrGiveUp();
            }
        });
    });
}

void GKPeerPickerController::askForSession() {
    id result;
    send(delegate(), "peerPickerController:sessionForConnectionType:",
         {Ref<GKPeerPickerController>(this), NSNumber::numberWithUnsignedInteger(GKPeerPickerConnectionTypeNearby)},
         &result);
    session_ = cast<GKSession>(result);
    if (!session_) {
        session_ = make<GKSession>(nullptr, nullptr, GKSessionModePeer);
    }
}

void GKPeerPickerController::pickOrGiveUp() {
    auto peers = SimRadios::current().nearbyPeers();
    if (peers.empty()) {
        // Nothing turns up; the person waits a while, then cancels.
        uint64_t generation = generation_;
        Weak<GKPeerPickerController> weak(this);
        later(kPatience, [weak, generation] {
            auto self = weak.lock();
            if (self && self->visible_ && self->generation_ == generation) {
                self->cancel();
            }
        });
        return;
    }
    auto peer = NSString::from(peers.front());
    session_->connectToPeerWithTimeout(peer, 10);
    send(delegate(),
         "peerPickerController:didConnectPeer:toSession:", {Ref<GKPeerPickerController>(this), peer, session_});
}

void GKPeerPickerController::cancel() {
    visible_ = false;
    ++generation_;
    send(delegate(), "peerPickerControllerDidCancel:", {Ref<GKPeerPickerController>(this)});
}

void GKPeerPickerController::dismiss() {
    visible_ = false;
    ++generation_;
}
