// The Bluetooth screen over the simulated radio and the peer picker: a pass needs a connected
// peer; Bluetooth off, a search that finds nobody and leaving the screen. Then the screen as a peer
// session's delegate and data handler (with a session the test makes, as the picker's own flow
// never reaches those calls), as a central manager's delegate (with a manager the test makes, as the screen makes
// none), and the process-wide Bluetooth checker's log.
#include "PowerRadioTestCase.h"

#include <CoreBluetooth/CBCentralManager.h>
#include <Device/SimRadios.h>
#include <Diagnostics/PowerRadio/BluetoothChecker.h>
#include <Diagnostics/PowerRadio/BluetoothViewController.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXTuple.h>
#include <Support/LogCapture.h>

class BluetoothScreenTests : public PowerRadioTestCase {
protected:
    Ref<BluetoothViewController> bluetooth() {
        auto s = cast<BluetoothViewController>(run("BluetoothViewController"));
        EXPECT_TRUE(s);
        return s;
    }
    NSInteger item(NSUInteger i) {
        auto entry = cast<NSDictionary>(testScreen()->subItemlist()->objectAtIndex(i));
        auto value = cast<NSNumber>(entry->objectForKey("result"_ns));
        return value ? value->integerValue() : 0;
    }
};

TEST_F(BluetoothScreenTests, PassesOnceAPeerHasConnected) {
    auto s = bluetooth(); // 0.5 s: the picker asks for a session
    EXPECT_TRUE(s->peerPicker()->isVisible());
    EXPECT_TRUE(s->answerView()->isHidden());
    advance(1.1); // 1.6 s: on and discovering
    EXPECT_TRUE(s->hasPowerOn());
    advance(1.0); // 2.6 s: the person picked the store's iPad
    EXPECT_TRUE(s->hasConnectedPeer());
    EXPECT_FALSE(s->peerPicker()->isVisible());
    EXPECT_EQ(s->session()->sentCount(), 1u);
    advance(2.0); // 4.6 s
    EXPECT_EQ(item(0), 1);
    EXPECT_EQ(item(1), 0);
    advance(3.0); // 7.6 s
    EXPECT_EQ(item(1), 1);
    EXPECT_EQ(item(2), 1);
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_TRUE(ended());
}

TEST_F(BluetoothScreenTests, BluetoothOffIsCancelledAndFailsWithoutMarks) {
    SimRadios::current().setState(SimRadios::Part::Bluetooth, SimRadios::State::Off);
    bluetooth();
    advance(1.6);
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_TRUE(ended());
    EXPECT_EQ(item(0), 0);
}

TEST_F(BluetoothScreenTests, ASearchThatFindsNobodyIsNoPass) {
    // On, but nothing answers: a session request alone does not pass.
    SimRadios::current().setState(SimRadios::Part::Bluetooth, SimRadios::State::Dead);
    auto s = bluetooth();
    advance(8);
    EXPECT_FALSE(ended());
    EXPECT_EQ(item(1), 1); // on and searching
    EXPECT_FALSE(s->hasConnectedPeer());
    advance(5); // the person gives up on the empty picker
    EXPECT_EQ(item(2), 0);
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_TRUE(ended());
}

TEST_F(BluetoothScreenTests, LeavingStopsTheChainAndDismissesThePicker) {
    auto s = bluetooth();
    s->performSelectorWithObject("viewWillDisappear:", NSNumber::numberWithBool(false));
    EXPECT_FALSE(s->peerPicker()->isVisible());
    advance(20);
    EXPECT_EQ(result(), DXTestResultNotRun);
}

TEST_F(BluetoothScreenTests, TheLogKeepsEachLineOnceAndThePeerMessageIs1337) {
    auto s = bluetooth();
    s->outMessage("find a peer(x) at there."_ns);
    s->outMessage("find a peer(x) at there."_ns);
    s->outMessage(""_ns);
    EXPECT_EQ(s->outMessageTextView()->text()->str(), "find a peer(x) at there.\n");
    auto message = BluetoothViewController::peerMessage();
    ASSERT_EQ(message->length(), 4u);
    EXPECT_EQ(message->bytes()[0], 0x39);
    EXPECT_EQ(message->bytes()[1], 0x05);
}

TEST_F(BluetoothScreenTests, ASessionsPeerInViewIsConnectedAndSentThePeerMessage) {
    // The screen's own flow makes no session its delegate: the test does, and the session's
    // events reach the screen by selector.
    auto s = bluetooth();
    EXPECT_EQ(s->translatePeerIdToDisplayname("Store iPad"_ns)->str(), "unknown device.");
    auto session = make<GKSession>(nullptr, nullptr, GKSessionModePeer);
    session->setDelegate(s);
    s->performSelectorWithArguments("session:peer:didChangeState:",
                                    {session, "Store iPad"_ns, NSNumber::numberWithInteger(GKPeerStateAvailable)});
    EXPECT_EQ(s->session(), session);
    ASSERT_EQ(session->connectedPeers()->count(), 1u); // connected, and the delegate heard of it
    EXPECT_EQ(session->sentCount(), 1u);
    EXPECT_TRUE(s->hasConnectedPeer());
    EXPECT_EQ(s->outMessageTextView()->text()->str(),
              "find a peer(Store iPad) at there.\nconnect peer(Store iPad) successed.send data.\n");
    // A disconnection ends every connection of the session.
    s->performSelectorWithArguments("session:peer:didChangeState:",
                                    {session, "Store iPad"_ns, NSNumber::numberWithInteger(GKPeerStateDisconnected)});
    EXPECT_EQ(session->connectedPeers()->count(), 0u);
    EXPECT_TRUE(s->outMessageTextView()->text()->hasSuffix("session was disconnected.\n"_ns));
    // Other states change nothing.
    s->performSelectorWithArguments("session:peer:didChangeState:",
                                    {session, "Store iPad"_ns, NSNumber::numberWithInteger(GKPeerStateConnecting)});
    EXPECT_EQ(session->sentCount(), 1u);
}

TEST_F(BluetoothScreenTests, APeerOutOfReachIsNotConnected) {
    auto s = bluetooth();
    auto session = make<GKSession>(nullptr, nullptr, GKSessionModePeer);
    session->setDelegate(s);
    s->performSelectorWithArguments("session:peer:didChangeState:",
                                    {session, "Far away"_ns, NSNumber::numberWithInteger(GKPeerStateAvailable)});
    EXPECT_EQ(session->connectedPeers()->count(), 0u);
    EXPECT_EQ(session->sentCount(), 0u);
    EXPECT_FALSE(s->hasConnectedPeer());
    // Connected but without a radio: the message does not go, and that is logged.
    SimRadios::current().setState(SimRadios::Part::Bluetooth, SimRadios::State::Off);
    s->sessionPeerDidChangeState(session, "Store iPad"_ns, GKPeerStateConnected);
    EXPECT_EQ(session->sentCount(), 0u);
    EXPECT_FALSE(s->hasConnectedPeer());
    EXPECT_TRUE(logged("The peer message was not sent"));
}

TEST_F(BluetoothScreenTests, AConnectionRequestIsAccepted) {
    auto s = bluetooth();
    auto session = make<GKSession>(nullptr, nullptr, GKSessionModePeer);
    session->setDelegate(s);
    s->setSession(session);
    s->performSelectorWithArguments("session:didReceiveConnectionRequestFromPeer:", {session, "Store iPad"_ns});
    ASSERT_EQ(session->connectedPeers()->count(), 1u);
    EXPECT_EQ(cast<NSString>(session->connectedPeers()->objectAtIndex(0))->str(), "Store iPad");
    EXPECT_EQ(session->sentCount(), 1u); // the connected peer was sent the message
    EXPECT_TRUE(s->outMessageTextView()->text()->hasPrefix("receive a connection request from peer(Store iPad).\n"_ns));
    // A request from a peer that is not in reach cannot be accepted.
    Ref<NSError> error;
    EXPECT_FALSE(session->acceptConnectionFromPeerError("Far away"_ns, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), GKSessionPeerNotFoundError);
    s->sessionDidReceiveConnectionRequestFromPeer(session, "Far away"_ns);
    EXPECT_EQ(session->connectedPeers()->count(), 1u);
    EXPECT_TRUE(logged("The connection of peer Far away was not accepted"));
}

TEST_F(BluetoothScreenTests, DataFromAPeerIsNotedAndThePeerMessageIsRecognised) {
    auto s = bluetooth();
    EXPECT_FALSE(s->hasReceiveData());
    uint8_t other[] = {1, 2, 3, 4};
    s->performSelectorWithArguments("receiveData:fromPeer:inSession:context:",
                                    {NSData::dataWithBytesLength(other, 4), "Store iPad"_ns, nullptr, nullptr});
    EXPECT_TRUE(s->hasReceiveData());
    EXPECT_FALSE(logged("Yey!"));
    EXPECT_EQ(s->outMessageTextView()->text()->str(), "receive data from peer(unknown device.)\n");
    auto session = make<GKSession>(nullptr, nullptr, GKSessionModePeer);
    s->setSession(session);
    s->performSelectorWithArguments("receiveData:fromPeer:inSession:context:",
                                    {BluetoothViewController::peerMessage(), "Store iPad"_ns, session, nullptr});
    EXPECT_TRUE(logged("Yey!"));
    EXPECT_TRUE(s->outMessageTextView()->text()->hasSuffix("receive data from peer(Store iPad)\n"_ns));
    EXPECT_EQ(cast<NSString>(s->performSelectorWithObject("translatePeerIdToDisplayname:", "Store iPad"_ns))->str(),
              "Store iPad");
    // The data alone does not end the test.
    EXPECT_FALSE(ended());
}

TEST_F(BluetoothScreenTests, APoweredOnManagerScansConnectsAndLooksForTheSerialService) {
    auto s = bluetooth();
    Ref<CBPeripheral> connected;
    rx_signalForSelector(s, "centralManager:didConnectPeripheral:")->subscribeNext([&](const id& arguments) {
        connected = cast<CBPeripheral>(cast<RXTuple>(arguments)->second());
    });
    auto cm = make<CBCentralManager>(s, nullptr);
    runUntilIdle();
    EXPECT_TRUE(logged("Bluetooth is currently powered on and available to use."));
    EXPECT_TRUE(s->hasPowerOn());
    EXPECT_TRUE(s->canScanPeripherals());
    EXPECT_TRUE(cm->isScanning());
    advance(CBCentralManager::kDiscoveryInterval); // the serial module: the screen connects to it
    EXPECT_TRUE(logged("kCBAdvDataLocalName"));
    advance(CBCentralManager::kConnectDelay);
    ASSERT_TRUE(connected);
    EXPECT_EQ(connected->name()->str(), "HMSoft");
    EXPECT_TRUE(logged("Did connect to peripheral: <CBPeripheral: identifier = 6F2C1A3E"));
    EXPECT_FALSE(cm->isScanning()); // so the heart-rate belt is never reported
    EXPECT_EQ(connected->delegate(), s);
    advance(CBPeripheral::kAnswerDelay);
    EXPECT_TRUE(logged("Service found with UUID: FFE0"));
    advance(CBPeripheral::kAnswerDelay);
    auto service = cast<CBService>(connected->services()->objectAtIndex(0));
    ASSERT_TRUE(service->characteristics());
    EXPECT_EQ(service->characteristics()->count(), 1u);
    advance(5);
    EXPECT_FALSE(logged("Polar H7"));

    // A service answer with an error is logged.
    cm->cancelPeripheralConnection(connected);
    connected->discoverServices(nullptr);
    advance(CBPeripheral::kAnswerDelay);
    EXPECT_TRUE(logged("Discovered services for HMSoft with error: The device is not connected."));
    s->performSelectorWithArguments("centralManager:didRetrievePeripherals:", {cm, NSArray::array()});
    EXPECT_TRUE(logged("This is it!"));
}

TEST_F(BluetoothScreenTests, OnlyTheSerialServiceIsAskedForItsCharacteristics) {
    SimRadios::current().setNearbyPeripherals(
        {{"A41B7C92-3D5E-4F60-8172-9C0DE3F4A5B6", "Belt", -70, {{"180D", {"2A37"}}, {"FFE0", {"FFE1", "FFE2"}}}}});
    auto s = bluetooth();
    Ref<CBPeripheral> connected;
    rx_signalForSelector(s, "centralManager:didConnectPeripheral:")->subscribeNext([&](const id& arguments) {
        connected = cast<CBPeripheral>(cast<RXTuple>(arguments)->second());
    });
    auto cm = make<CBCentralManager>(s, nullptr);
    runUntilIdle();
    advance(CBCentralManager::kDiscoveryInterval + CBCentralManager::kConnectDelay + 2 * CBPeripheral::kAnswerDelay);
    ASSERT_TRUE(connected);
    ASSERT_EQ(connected->services()->count(), 2u);
    EXPECT_TRUE(logged("Service found with UUID: 180D"));
    auto heartRate = cast<CBService>(connected->services()->objectAtIndex(0));
    auto serial = cast<CBService>(connected->services()->objectAtIndex(1));
    EXPECT_FALSE(heartRate->characteristics());
    ASSERT_TRUE(serial->characteristics());
    EXPECT_EQ(serial->characteristics()->count(), 2u);
}

TEST_F(BluetoothScreenTests, APoweredOffManagerFailsTheTestAtOnce) {
    bluetooth();
    SimRadios::current().setState(SimRadios::Part::Bluetooth, SimRadios::State::Off);
    auto cm = make<CBCentralManager>(testScreen(), nullptr);
    runUntilIdle();
    EXPECT_TRUE(logged("Bluetooth is currently powered off."));
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_TRUE(ended());
    EXPECT_EQ(item(2), 0);
}

TEST_F(BluetoothScreenTests, TheDiscoveryItemStopsTheManagersScan) {
    SimRadios::current().setNearbyPeripherals({}); // nothing to connect to: the scan goes on
    auto s = bluetooth();
    auto cm = make<CBCentralManager>(s, nullptr);
    s->setCm(cm);
    runUntilIdle();
    EXPECT_TRUE(cm->isScanning());
    advance(5.9);
    EXPECT_EQ(item(0), 1);
    EXPECT_TRUE(cm->isScanning());
    advance(0.2); // 3 s after the flags: item 1
    EXPECT_EQ(item(1), 1);
    EXPECT_FALSE(cm->isScanning());
}

TEST_F(BluetoothScreenTests, TheCheckerLogsEachStateOfItsQuietManager) {
    auto checker = BluetoothChecker::sharedChecker();
    EXPECT_EQ(checker, BluetoothChecker::sharedChecker());
    auto manager = checker->bluetoothManager();
    ASSERT_TRUE(manager);
    EXPECT_FALSE(manager->showsPowerAlert());
    EXPECT_EQ(manager->delegate(), checker);
    runUntilIdle();
    EXPECT_EQ(manager->state(), CBCentralManagerStatePoweredOn);

    LogCapture capture;
    for (auto state : {SimRadios::State::Off, SimRadios::State::Absent, SimRadios::State::Working}) {
        SimRadios::current().setState(SimRadios::Part::Bluetooth, state);
        runUntilIdle();
    }
    // A manager that has not reported yet is in the unknown state.
    checker->centralManagerDidUpdateState(make<CBCentralManager>(nullptr, nullptr));
    std::vector<std::string> lines;
    for (const auto& line : capture.finish()) {
        if (line.rfind("Bluetooth State: ", 0) == 0) {
            lines.push_back(line);
        }
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Bluetooth State: Bluetooth is currently powered off.",
                         "Bluetooth State: The platform doesn't support Bluetooth Low Energy.",
                         "Bluetooth State: Bluetooth is currently powered on and available to use.",
                         "Bluetooth State: State unknown, update imminent.",
                     }));
}
