// BluetoothViewController: the Bluetooth test. It shows the nearby-peer picker; when the picker
// asks for a session Bluetooth counts as on and able to discover, and the three items (launch,
// discovery, communications) are marked one after another. Communications passes only once a
// peer has really connected through the picker (a session request alone is not enough). A
// cancelled picker (the person turns it away, Bluetooth is off, nothing was found) fails the test
// and ends it. The operator does not answer; leaving the screen stops the chain and dismisses the
// picker.
//
// The screen also answers a peer session as its delegate and data handler (connects a peer in view,
// sends a connected one the peer message, accepts a connection request, notes data from a peer),
// and a Bluetooth Low Energy central manager and its peripherals: powered on it counts Bluetooth as
// on, scans and connects to what it finds; powered off fails the test. Its own flow never makes a
// manager (`cm` stays nil unless someone gives it one) nor hands a session those calls.
#pragma once

#include <Core/DXBaseViewController.h>
#include <CoreBluetooth/CBCentralManager.h>
#include <GameKit/GKPeerPicker.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>
#include <UIKit/UITextView.h>

class BluetoothViewController : public DXBaseViewController {
    NS_OBJECT(BluetoothViewController, DXBaseViewController)
public:
    BluetoothViewController() = default;
    NS_PROPERTY(bool, hasPowerOn, setHasPowerOn)
    NS_PROPERTY(bool, canScanPeripherals, setCanScanPeripherals)
    NS_PROPERTY(bool, hasReceiveData, setHasReceiveData)
    NS_PROPERTY(bool, hasConnectedPeer, setHasConnectedPeer)
    NS_PROPERTY(Ref<GKPeerPickerController>, peerPicker, setPeerPicker)
    NS_PROPERTY(Ref<GKSession>, session, setSession)
    NS_PROPERTY(Ref<CBCentralManager>, cm, setCm)
    NS_WEAK_PROPERTY(UIImageView, step1, setStep1)
    NS_WEAK_PROPERTY(UIImageView, step2, setStep2)
    NS_WEAK_PROPERTY(UIImageView, step3, setStep3)
    NS_WEAK_PROPERTY(UIActivityIndicatorView, activityIndicator1, setActivityIndicator1)
    NS_WEAK_PROPERTY(UIActivityIndicatorView, activityIndicator2, setActivityIndicator2)
    NS_WEAK_PROPERTY(UIActivityIndicatorView, activityIndicator3, setActivityIndicator3)
    NS_WEAK_PROPERTY(UILabel, launchTest, setLaunchTest)
    NS_WEAK_PROPERTY(UILabel, discoverycapacityTest, setDiscoverycapacityTest)
    NS_WEAK_PROPERTY(UITextView, outMessageTextView, setOutMessageTextView)

    void viewDidLoad() override;

    // Picker and session delegate.
    id peerPickerControllerSessionForConnectionType(const id& picker, NSUInteger type);
    void peerPickerControllerDidConnectPeerToSession(const id& picker, const Ref<NSString>& peer,
                                                     const Ref<GKSession>& session);
    void peerPickerControllerDidCancel(const id& picker);
    // A peer in view is connected (10 s), a connected one is sent the peer message, and a
    // disconnection ends the session's other connections too.
    void sessionPeerDidChangeState(const Ref<GKSession>& session, const Ref<NSString>& peer, NSInteger state);
    // A peer's request to connect is accepted.
    void sessionDidReceiveConnectionRequestFromPeer(const Ref<GKSession>& session, const Ref<NSString>& peer);
    // Data from a peer: noted in the log and in `hasReceiveData`.
    void receiveDataFromPeerInSessionContext(const Ref<NSData>& data, const Ref<NSString>& peer,
                                             const Ref<GKSession>& session, const id& context);
    // The name `session` knows the peer by; "unknown device." without a session.
    Ref<NSString> translatePeerIdToDisplayname(const Ref<NSString>& peer);
    // Central-manager and peripheral delegate.
    void centralManagerDidUpdateState(const Ref<CBCentralManager>& central);
    void centralManagerDidDiscoverPeripheralAdvertisementDataRSSI(const Ref<CBCentralManager>& central,
                                                                  const Ref<CBPeripheral>& peripheral,
                                                                  const Ref<NSDictionary>& advertisementData,
                                                                  const Ref<NSNumber>& RSSI);
    void centralManagerDidConnectPeripheral(const Ref<CBCentralManager>& central, const Ref<CBPeripheral>& peripheral);
    void peripheralDidDiscoverServices(const Ref<CBPeripheral>& peripheral, const Ref<NSError>& error);
    void centralManagerDidRetrievePeripherals(const Ref<CBCentralManager>& central, const Ref<NSArray>& peripherals);

    // Appends a line to the log view unless it is empty or already there.
    void outMessage(const Ref<NSString>& text);

    // The 4 bytes of 1337 in the device's byte order.
    static Ref<NSData> peerMessage();

private:
    Ref<RXSignal> flagSignal(const char* key);
    // Sends the peer message to every connected peer; a message taken counts as a connected peer.
    void sendPeerMessage(const Ref<GKSession>& session);
    void failureEnding(bool markItem);
};
