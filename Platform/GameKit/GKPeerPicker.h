// GameKit's nearby peer picker and peer session, over the device's Bluetooth (SimRadios). The
// picker, once shown, asks its delegate for a session (`peerPickerController:sessionForConnectionType:`,
// the picker and the type as a number), uses its own when given none, and lists the devices its
// search finds; the person picks the first after a moment and the picker tells its delegate
// (`peerPickerController:didConnectPeer:toSession:`). With Bluetooth off, or when nothing is found
// within `kPatience` seconds, the person cancels (`peerPickerControllerDidCancel:`). Delegates are
// held weakly and called by selector on the main thread; a dismissed picker tells nothing more.
//
// A session reaches the devices in Bluetooth range (SimRadios' nearby peers): connecting to one, or
// accepting its request, connects it and tells the session's delegate
// (`session:peer:didChangeState:` with GKPeerStateConnected); a peer out of reach is not connected
// (accepting it fails with GKSessionPeerNotFoundError).
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSData.h>
#include <Foundation/NSString.h>

enum GKPeerPickerConnectionType : NSUInteger {
    GKPeerPickerConnectionTypeOnline = 1 << 0,
    GKPeerPickerConnectionTypeNearby = 1 << 1,
};
enum GKPeerConnectionState : NSInteger {
    GKPeerStateAvailable = 0,
    GKPeerStateUnavailable = 1,
    GKPeerStateConnected = 2,
    GKPeerStateDisconnected = 3,
    GKPeerStateConnecting = 4,
};
enum GKSessionMode : NSInteger { GKSessionModeServer = 0, GKSessionModeClient = 1, GKSessionModePeer = 2 };
enum GKSendDataMode : NSInteger { GKSendDataReliable = 0, GKSendDataUnreliable = 1 };
// The session's errors (domain `GKSessionErrorDomain()`).
enum GKSessionError : NSInteger { GKSessionPeerNotFoundError = 30501 };
const Ref<NSString>& GKSessionErrorDomain(); // "com.apple.gamekit.GKSessionErrorDomain"

class GKSession : public NSObject {
    NS_OBJECT(GKSession, NSObject)
public:
    GKSession() = default;
    GKSession(const Ref<NSString>& sessionID, const Ref<NSString>& displayName, GKSessionMode mode);

    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    bool isAvailable() const noexcept { return available_; }
    void setAvailable(bool available) { available_ = available; }
    // The peers connected now.
    Ref<NSArray> connectedPeers() const;
    Ref<NSString> displayNameForPeer(const Ref<NSString>& peerID) const;
    void connectToPeerWithTimeout(const Ref<NSString>& peerID, double timeout);
    // Accepts a peer's request to connect: YES once it is connected, NO (with the error) when the
    // peer is not in reach.
    bool acceptConnectionFromPeerError(const Ref<NSString>& peerID, Ref<NSError>* error);
    bool sendDataToAllPeersWithDataModeError(const Ref<NSData>& data, GKSendDataMode mode, Ref<NSError>* error);
    void disconnectFromAllPeers();
    // The session's record: the data it sent.
    size_t sentCount() const noexcept { return sent_; }

private:
    // Connects a peer in reach and tells the delegate; false when it is not in reach.
    bool connect(const Ref<NSString>& peerID);
    Weak<NSObject> delegate_;
    bool available_ = true;
    std::vector<std::string> connected_;
    size_t sent_ = 0;
};

class GKPeerPickerController : public NSObject {
    NS_OBJECT(GKPeerPickerController, NSObject)
public:
    GKPeerPickerController() = default;
    static constexpr double kPatience = 10.0;

    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    NSUInteger connectionTypesMask() const noexcept { return mask_; }
    void setConnectionTypesMask(NSUInteger mask) { mask_ = mask; }
    bool isVisible() const noexcept { return visible_; }
    void show();
    void dismiss();

private:
    void askForSession();
    void pickOrGiveUp();
    void cancel();
    Weak<NSObject> delegate_;
    NSUInteger mask_ = GKPeerPickerConnectionTypeNearby;
    bool visible_ = false;
    uint64_t generation_ = 0;
    Ref<GKSession> session_;
};
