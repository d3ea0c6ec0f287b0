// The Bluetooth screen over the simulated radio and the peer picker: a pass needs a connected
// peer; Bluetooth off, a search that finds nobody and leaving the screen. Then the screen as a
// central manager's delegate (with a manager the test makes, as the screen makes none), and the
// process-wide Bluetooth checker's log.
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
