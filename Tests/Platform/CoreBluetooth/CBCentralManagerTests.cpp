// The central manager over the simulated Bluetooth radio: its state by the radio's state and on
// change, scanning, connecting and discovering services and characteristics, and bad input.
#include <CoreBluetooth/CBCentralManager.h>
#include <Device/SimRadios.h>
#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>
#include <Support/LogCapture.h>
#include <Support/PlatformTestCase.h>

#include <string>
#include <vector>

using State = SimRadios::State;

// Records what a manager and its peripherals tell their delegate.
class DXCentralRecorder : public NSObject {
    NS_OBJECT(DXCentralRecorder, NSObject)
public:
    DXCentralRecorder() = default;
    std::vector<NSInteger> states;
    std::vector<Ref<CBPeripheral>> found;
    std::vector<Ref<NSDictionary>> adverts;
    std::vector<NSInteger> rssi;
    std::vector<Ref<CBPeripheral>> connected, disconnected;
    std::vector<Ref<NSError>> serviceAnswers, characteristicAnswers;

    void didUpdateState(const Ref<CBCentralManager>& m) { states.push_back(m->state()); }
    void didDiscover(const Ref<CBCentralManager>&, const Ref<CBPeripheral>& p, const Ref<NSDictionary>& ad,
                     const Ref<NSNumber>& r) {
        found.push_back(p);
        adverts.push_back(ad);
        rssi.push_back(r->integerValue());
    }
    void didConnect(const Ref<CBCentralManager>&, const Ref<CBPeripheral>& p) { connected.push_back(p); }
    void didDisconnect(const Ref<CBCentralManager>&, const Ref<CBPeripheral>& p, const Ref<NSError>&) {
        disconnected.push_back(p);
    }
    void didDiscoverServices(const Ref<CBPeripheral>&, const Ref<NSError>& e) { serviceAnswers.push_back(e); }
    void didDiscoverCharacteristics(const Ref<CBPeripheral>&, const Ref<CBService>&, const Ref<NSError>& e) {
        characteristicAnswers.push_back(e);
    }
};

NS_IMPLEMENT_CLASS(DXCentralRecorder, NSObject) {
    using R = DXCentralRecorder;
    b.method("centralManagerDidUpdateState:", &R::didUpdateState);
    b.method("centralManager:didDiscoverPeripheral:advertisementData:RSSI:", &R::didDiscover);
    b.method("centralManager:didConnectPeripheral:", &R::didConnect);
    b.method("centralManager:didDisconnectPeripheral:error:", &R::didDisconnect);
    b.method("peripheral:didDiscoverServices:", &R::didDiscoverServices);
    b.method("peripheral:didDiscoverCharacteristicsForService:error:", &R::didDiscoverCharacteristics);
}

class CBCentralManagerTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        radios().reset();
        recorder = make<DXCentralRecorder>();
    }
    static SimRadios& radios() { return SimRadios::current(); }
    Ref<CBCentralManager> manager() { return make<CBCentralManager>(recorder, nullptr); }
    static std::string uuidOf(const id& object) {
        auto uuid = cast<CBUUID>(object);
        return uuid ? uuid->str() : std::string();
    }
    // A powered-on manager that has found the serial module ("HMSoft") and connected to it.
    Ref<CBPeripheral> connectedModule(const Ref<CBCentralManager>& m) {
        runUntilIdle();
        m->scanForPeripheralsWithServicesOptions(NSArray::arrayWithObjects({CBUUID::UUIDWithString("FFE0"_ns)}),
                                                 nullptr);
        advance(CBCentralManager::kDiscoveryInterval);
        EXPECT_EQ(recorder->found.size(), 1u);
        if (recorder->found.empty()) {
            return nullptr;
        }
        auto p = recorder->found.front();
        p->setDelegate(recorder);
        m->connectPeripheralOptions(p, nullptr);
        EXPECT_EQ(p->state(), CBPeripheralStateConnecting);
        advance(CBCentralManager::kConnectDelay);
        EXPECT_EQ(p->state(), CBPeripheralStateConnected);
        return p;
    }
    Ref<DXCentralRecorder> recorder;
};

TEST_F(CBCentralManagerTests, StateFollowsTheRadioOnceReported) {
    const std::pair<State, CBCentralManagerState> cases[] = {{State::Working, CBCentralManagerStatePoweredOn},
                                                             {State::Dead, CBCentralManagerStatePoweredOn},
                                                             {State::Off, CBCentralManagerStatePoweredOff},
                                                             {State::Absent, CBCentralManagerStateUnsupported}};
    for (auto [part, expected] : cases) {
        SCOPED_TRACE(SimRadios::stateName(part));
        ASSERT_TRUE(radios().setState(SimRadios::Part::Bluetooth, part));
        recorder->states.clear();
        auto m = manager();
        EXPECT_EQ(m->state(), CBCentralManagerStateUnknown); // until the first report
        EXPECT_TRUE(recorder->states.empty());
        runUntilIdle();
        EXPECT_EQ(m->state(), expected);
        EXPECT_EQ(recorder->states, std::vector<NSInteger>{expected});
    }
}

TEST_F(CBCentralManagerTests, ChangesAreReportedOnceAndPowerOffStopsTheScan) {
    auto m = manager();
    auto p = connectedModule(m);
    ASSERT_TRUE(p);
    m->scanForPeripheralsWithServicesOptions(nullptr, nullptr);
    EXPECT_TRUE(m->isScanning());
    radios().setState(SimRadios::Part::Bluetooth, State::Off);
    runUntilIdle();
    EXPECT_EQ(m->state(), CBCentralManagerStatePoweredOff);
    EXPECT_FALSE(m->isScanning());
    EXPECT_EQ(p->state(), CBPeripheralStateDisconnected);
    advance(5);
    EXPECT_EQ(recorder->found.size(), 1u); // the stopped scan finds nothing more
    radios().setState(SimRadios::Part::Bluetooth, State::Working);
    radios().setState(SimRadios::Part::Bluetooth, State::Working);
    runUntilIdle();
    EXPECT_EQ(recorder->states, (std::vector<NSInteger>{5, 4, 5}));
}

TEST_F(CBCentralManagerTests, AScanReportsEachNearbyPeripheralOnceHalfASecondApart) {
    auto m = manager();
    runUntilIdle();
    m->scanForPeripheralsWithServicesOptions(nullptr, nullptr);
    advance(0.4);
    EXPECT_TRUE(recorder->found.empty());
    advance(0.1);
    ASSERT_EQ(recorder->found.size(), 1u);
    auto module = recorder->found[0];
    EXPECT_EQ(module->name()->str(), "HMSoft");
    EXPECT_EQ(module->identifier()->UUIDString()->str(), "6F2C1A3E-8B1D-4C57-9E0A-52D3B7C41F08");
    auto ad = recorder->adverts[0];
    EXPECT_EQ(cast<NSString>(ad->objectForKey(CBAdvertisementDataLocalNameKey()))->str(), "HMSoft");
    auto uuids = cast<NSArray>(ad->objectForKey(CBAdvertisementDataServiceUUIDsKey()));
    ASSERT_TRUE(uuids);
    EXPECT_EQ(uuidOf(uuids->objectAtIndex(0)), "FFE0");
    EXPECT_EQ(recorder->rssi[0], -58);
    advance(0.5);
    ASSERT_EQ(recorder->found.size(), 2u);
    EXPECT_EQ(recorder->found[1]->name()->str(), "Polar H7");
    advance(10);
    EXPECT_EQ(recorder->found.size(), 2u);
    // A second scan reports the same objects again.
    m->scanForPeripheralsWithServicesOptions(nullptr, nullptr);
    advance(0.5);
    ASSERT_EQ(recorder->found.size(), 3u);
    EXPECT_EQ(recorder->found[2], module);
    m->stopScan();
    advance(5);
    EXPECT_EQ(recorder->found.size(), 3u);
}

TEST_F(CBCentralManagerTests, AServiceFilterADeadRadioAndAPoweredOffRadioFindLessOrNothing) {
    auto m = manager();
    runUntilIdle();
    m->scanForPeripheralsWithServicesOptions(NSArray::arrayWithObjects({CBUUID::UUIDWithString("180d"_ns)}), nullptr);
    advance(5);
    ASSERT_EQ(recorder->found.size(), 1u);
    EXPECT_EQ(recorder->found[0]->name()->str(), "Polar H7");

    radios().setState(SimRadios::Part::Bluetooth, State::Dead);
    runUntilIdle();
    m->scanForPeripheralsWithServicesOptions(nullptr, nullptr);
    EXPECT_TRUE(m->isScanning());
    advance(5);
    EXPECT_EQ(recorder->found.size(), 1u);

    LogCapture capture;
    radios().setState(SimRadios::Part::Bluetooth, State::Off);
    runUntilIdle();
    m->scanForPeripheralsWithServicesOptions(nullptr, nullptr);
    auto log = capture.finish();
    EXPECT_FALSE(m->isScanning());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("API MISUSE"), std::string::npos);
}

TEST_F(CBCentralManagerTests, AConnectedPeripheralTellsItsServicesAndCharacteristics) {
    auto m = manager();
    auto p = connectedModule(m);
    ASSERT_TRUE(p);
    EXPECT_EQ(recorder->connected, std::vector<Ref<CBPeripheral>>{p});
    EXPECT_FALSE(p->services());
    p->discoverServices(nullptr);
    advance(CBPeripheral::kAnswerDelay);
    ASSERT_EQ(recorder->serviceAnswers.size(), 1u);
    EXPECT_FALSE(recorder->serviceAnswers[0]);
    ASSERT_EQ(p->services()->count(), 1u);
    auto service = cast<CBService>(p->services()->objectAtIndex(0));
    EXPECT_EQ(service->UUID()->str(), "FFE0");
    EXPECT_EQ(service->peripheral(), p);
    p->discoverCharacteristicsForService(nullptr, service);
    advance(CBPeripheral::kAnswerDelay);
    ASSERT_EQ(recorder->characteristicAnswers.size(), 1u);
    EXPECT_FALSE(recorder->characteristicAnswers[0]);
    ASSERT_EQ(service->characteristics()->count(), 1u);
    EXPECT_EQ(uuidOf(cast<CBCharacteristic>(service->characteristics()->objectAtIndex(0))->UUID()), "FFE1");

    m->cancelPeripheralConnection(p);
    runUntilIdle();
    EXPECT_EQ(recorder->disconnected, std::vector<Ref<CBPeripheral>>{p});
    p->discoverServices(nullptr);
    advance(CBPeripheral::kAnswerDelay);
    ASSERT_EQ(recorder->serviceAnswers.size(), 2u);
    ASSERT_TRUE(recorder->serviceAnswers[1]);
    EXPECT_EQ(recorder->serviceAnswers[1]->domain()->str(), "CBErrorDomain");
    EXPECT_EQ(recorder->serviceAnswers[1]->code(), CBErrorNotConnected);
}

TEST_F(CBCentralManagerTests, APeripheralOutOfReachStaysConnectingUntilCancelled) {
    auto m = manager();
    runUntilIdle();
    m->scanForPeripheralsWithServicesOptions(nullptr, nullptr);
    advance(0.5);
    ASSERT_EQ(recorder->found.size(), 1u);
    auto p = recorder->found[0];
    radios().setNearbyPeripherals({});
    m->connectPeripheralOptions(p, nullptr);
    advance(60);
    EXPECT_EQ(p->state(), CBPeripheralStateConnecting);
    EXPECT_TRUE(recorder->connected.empty());
    m->cancelPeripheralConnection(p);
    runUntilIdle();
    EXPECT_EQ(p->state(), CBPeripheralStateDisconnected);
    EXPECT_EQ(recorder->disconnected.size(), 1u);
}

TEST_F(CBCentralManagerTests, BadInputIsRefused) {
    auto m = manager();
    runUntilIdle();
    EXPECT_THROW(m->scanForPeripheralsWithServicesOptions(NSArray::arrayWithObjects({"FFE0"_ns}), nullptr),
                 NSException);
    EXPECT_THROW(m->connectPeripheralOptions(nullptr, nullptr), NSException);
    EXPECT_THROW(make<CBCentralManager>(
                     recorder, nullptr,
                     NSDictionary::dictionaryWithEntries({{CBCentralManagerOptionShowPowerAlertKey(), "no"_ns}})),
                 NSException);
    // A manager made without a delegate, or whose delegate is gone, tells nobody and does not crash.
    auto alone = make<CBCentralManager>(nullptr, nullptr);
    runUntilIdle();
    alone->scanForPeripheralsWithServicesOptions(nullptr, nullptr);
    advance(2);
    EXPECT_EQ(alone->state(), CBCentralManagerStatePoweredOn);
}

TEST_F(CBCentralManagerTests, TheManagerGoneNothingArrives) {
    {
        auto m = manager();
        runUntilIdle();
        m->scanForPeripheralsWithServicesOptions(nullptr, nullptr);
    }
    advance(2);
    radios().setState(SimRadios::Part::Bluetooth, State::Off);
    runUntilIdle();
    EXPECT_TRUE(recorder->found.empty());
    EXPECT_EQ(recorder->states.size(), 1u);
}

TEST(CBUUIDTests, ShortAndFullFormsOfTheBaseRangeAreOneUUID) {
    auto shortForm = CBUUID::UUIDWithString("ffe0"_ns);
    ASSERT_TRUE(shortForm);
    EXPECT_EQ(shortForm->UUIDString()->str(), "FFE0");
    EXPECT_TRUE(shortForm->isEqual(CBUUID::UUIDWithString("0000FFE0-0000-1000-8000-00805f9b34fb"_ns)));
    EXPECT_EQ(shortForm->hash(), CBUUID::UUIDWithString("FFE0"_ns)->hash());
    auto full = CBUUID::UUIDWithString("6f2c1a3e-8b1d-4c57-9e0a-52d3b7c41f08"_ns);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->str(), "6F2C1A3E-8B1D-4C57-9E0A-52D3B7C41F08");
    for (const char* bad : {"", "FFE", "FFEG", "FFE0-", "6f2c1a3e_8b1d-4c57-9e0a-52d3b7c41f08", "12345"}) {
        EXPECT_FALSE(CBUUID::UUIDWithString(NSString::from(bad))) << bad;
    }
    EXPECT_FALSE(CBUUID::UUIDWithString(nullptr));
}
