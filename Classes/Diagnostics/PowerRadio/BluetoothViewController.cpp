#include <Diagnostics/PowerRadio/BluetoothViewController.h>

#include <Categorys/DXLocalizedString.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXPropertySubscribing.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIImage.h>

#include <cstdint>
#include <cstring>

NS_IMPLEMENT_CLASS(BluetoothViewController, DXBaseViewController) {
    using B = BluetoothViewController;
    b.property("hasPowerOn", &B::hasPowerOn, &B::setHasPowerOn);
    b.property("canScanPeripherals", &B::canScanPeripherals, &B::setCanScanPeripherals);
    b.property("hasReceiveData", &B::hasReceiveData, &B::setHasReceiveData);
    b.property("hasConnectedPeer", &B::hasConnectedPeer, &B::setHasConnectedPeer);
    b.property("step1", &B::step1, &B::setStep1, "weak");
    b.property("step2", &B::step2, &B::setStep2, "weak");
    b.property("step3", &B::step3, &B::setStep3, "weak");
    b.property("activityIndicator1", &B::activityIndicator1, &B::setActivityIndicator1, "weak");
    b.property("activityIndicator2", &B::activityIndicator2, &B::setActivityIndicator2, "weak");
    b.property("activityIndicator3", &B::activityIndicator3, &B::setActivityIndicator3, "weak");
    b.property("launchTest", &B::launchTest, &B::setLaunchTest, "weak");
    b.property("discoverycapacityTest", &B::discoverycapacityTest, &B::setDiscoverycapacityTest, "weak");
    b.method("peerPickerController:sessionForConnectionType:", &B::peerPickerControllerSessionForConnectionType);
    b.method("peerPickerController:didConnectPeer:toSession:", &B::peerPickerControllerDidConnectPeerToSession);
    b.method("peerPickerControllerDidCancel:", &B::peerPickerControllerDidCancel);
    b.method("session:peer:didChangeState:", &B::sessionPeerDidChangeState);
    b.method("session:didReceiveConnectionRequestFromPeer:", &B::sessionDidReceiveConnectionRequestFromPeer);
    b.method("receiveData:fromPeer:inSession:context:", &B::receiveDataFromPeerInSessionContext);
    b.method("translatePeerIdToDisplayname:", &B::translatePeerIdToDisplayname);
    b.property("cm", &B::cm, &B::setCm);
    b.conformsTo(NS_PROTOCOL(CBCentralManagerDelegate));
    b.conformsTo(NS_PROTOCOL(CBPeripheralDelegate));
    b.method("centralManagerDidUpdateState:", &B::centralManagerDidUpdateState);
    b.method("centralManager:didDiscoverPeripheral:advertisementData:RSSI:",
             &B::centralManagerDidDiscoverPeripheralAdvertisementDataRSSI);
    b.method("centralManager:didConnectPeripheral:", &B::centralManagerDidConnectPeripheral);
    b.method("peripheral:didDiscoverServices:", &B::peripheralDidDiscoverServices);
    b.method("centralManager:didRetrievePeripherals:", &B::centralManagerDidRetrievePeripherals);
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("BluetoothViewController", {{"labelTitle", Kind::Label},
                                               {"launchTest", Kind::Label},
                                               {"activityIndicator1", Kind::Activity, true},
                                               {"step1", Kind::Image},
                                               {"discoverycapacityTest", Kind::Label},
                                               {"activityIndicator2", Kind::Activity, true},
                                               {"step2", Kind::Image},
                                               {"activityIndicator3", Kind::Activity, true},
                                               {"step3", Kind::Image}});
    return true;
}();

void spin(const Ref<UIActivityIndicatorView>& spinner, bool on) {
    if (spinner) {
        spinner->setHidden(!on);
        on ? spinner->startAnimating() : spinner->stopAnimating();
    }
}

void done(const Ref<UIImageView>& step) {
    if (step) {
        step->setImage(UIImage::imageNamed("icon_success_shape"_ns));
    }
}

} // namespace

Ref<NSData> BluetoothViewController::peerMessage() {
    int32_t value = 1337;
    uint8_t bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    return NSData::dataWithBytesLength(bytes, sizeof bytes);
}

Ref<RXSignal> BluetoothViewController::flagSignal(const char* key) {
    return rx_valuesForKeyPathObserver(Ref<NSObject>(this), NSString::from(key), Ref<NSObject>(this))
        ->distinctUntilChanged()
        ->filter([](const id& value) { return value && unbox<bool>(value); })
        ->delay(3.0);
}

void BluetoothViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    hidenButtons(true);
    setSubItemlist(
        dx_sensors::subItems({"Bluetooth launch test", "Discovery capacity test", "Communications capacity test"}));
    if (auto title = labelTitle()) {
        title->setText(DXLocalizedString("BLUETOOTH_CONTROLLER_TITLE"));
    }
    if (auto l = launchTest()) {
        l->setText(DXLocalizedString("BLUETOOTH_CONTROLLER_LAUNCH_TEST"));
    }
    if (auto l = discoverycapacityTest()) {
        l->setText(DXLocalizedString("BLUETOOTH_CONTROLLER_DISCOVERY_CAPACITY_TEST"));
    }
    if (!outMessageTextView()) {
        auto log =
            make<UITextView>(CGRectMake(0, view()->bounds().size.height - 160, view()->bounds().size.width, 120));
        view()->addSubview(log);
        setOutMessageTextView(log);
    }
    outMessageTextView()->setTextContainerInset(UIEdgeInsetsMake(0, 10, 0, 10));
    auto picker = make<GKPeerPickerController>();
    picker->setDelegate(Ref<BluetoothViewController>(this));
    picker->setConnectionTypesMask(GKPeerPickerConnectionTypeNearby);
    setPeerPicker(picker);
    picker->show();

    Weak<BluetoothViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (unbox<bool>(value)) {
            self->hidenButtons(true);
            return;
        }
        if (auto cm = self->cm()) {
            cm->stopScan();
        }
        if (auto session = self->session()) {
            session->setAvailable(false);
        }
        if (auto p = self->peerPicker(); p && p->isVisible()) {
            NSLog("[self.peerPicker dismiss];");
            p->dismiss();
        }
    });
    spin(activityIndicator1(), true);
    auto gone = rx_signalForSelector(Ref<NSObject>(this), "viewWillDisappear:");
    flagSignal("hasPowerOn")
        ->take(1)
        ->flattenMap([weak](const id&) -> Ref<RXSignal> {
            auto self = weak.lock();
            if (!self) {
                return RXSignal::empty();
            }
            dx_sensors::markSubItem(self->subItemlist(), 0, DXTestResultPass);
            spin(self->activityIndicator1(), false);
            spin(self->activityIndicator2(), true);
            done(self->step1());
            return self->flagSignal("canScanPeripherals")->take(1);
        })
        ->flattenMap([weak](const id&) -> Ref<RXSignal> {
            auto self = weak.lock();
            if (!self) {
                return RXSignal::empty();
            }
            dx_sensors::markSubItem(self->subItemlist(), 1, DXTestResultPass);
            spin(self->activityIndicator2(), false);
            spin(self->activityIndicator3(), true);
            done(self->step2());
            if (auto cm = self->cm()) {
                cm->stopScan();
            }
            // Communications: a peer has really connected.
            return rx_valuesForKeyPathObserver(self, "hasConnectedPeer"_ns, self)
                ->filter([](const id& value) { return value && unbox<bool>(value); })
                ->take(1);
        })
        ->takeUntil(gone)
        ->subscribeNextErrorCompleted(
            [weak](const id&) {
                auto self = weak.lock();
                if (!self || self->isCompleted()) {
                    return;
                }
                dx_sensors::markSubItem(self->subItemlist(), 2, DXTestResultPass);
                spin(self->activityIndicator3(), false);
                done(self->step3());
                if (self->info()) {
                    self->info()->setResult(DXTestResultPass);
                }
                if (auto session = self->session()) {
                    session->disconnectFromAllPeers();
                }
                self->gotoResultView();
            },
            [weak](const Ref<NSError>&) {
                if (auto self = weak.lock()) {
                    self->failureEnding(true);
                }
            },
            [weak] {
                if (auto self = weak.lock(); self && self->session()) {
                    self->session()->disconnectFromAllPeers();
                }
            });
}

id BluetoothViewController::peerPickerControllerSessionForConnectionType(const id&, NSUInteger) {
    Weak<BluetoothViewController> weak(this);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(NSEC_PER_SEC)), dispatch_get_main_queue(),
                   [weak] {
                       if (auto self = weak.lock()) {
                           self->setHasPowerOn(true);
                           self->setCanScanPeripherals(true);
                       }
                   });
    return nullptr; // the picker uses a session of its own
}

void BluetoothViewController::peerPickerControllerDidConnectPeerToSession(const id& picker, const Ref<NSString>& peer,
                                                                          const Ref<GKSession>& session) {
    setSession(session);
    if (session) {
        session->setDelegate(Ref<BluetoothViewController>(this));
        outMessage(
            NSString::stringWithFormat("connect peer(%@) successed.send data.", translatePeerIdToDisplayname(peer)));
        sendPeerMessage(session);
    }
    if (auto p = cast<GKPeerPickerController>(picker); p && p->isVisible()) {
        NSLog("[self.peerPicker dismiss];");
        p->dismiss();
    }
}

void BluetoothViewController::sendPeerMessage(const Ref<GKSession>& session) {
    Ref<NSError> error;
    if (session->sendDataToAllPeersWithDataModeError(peerMessage(), GKSendDataReliable, &error)) {
        setHasConnectedPeer(true);
    } else {
        NSLog("The peer message was not sent: %@", error);
    }
}

void BluetoothViewController::peerPickerControllerDidCancel(const id& picker) {
    if (auto p = cast<GKPeerPickerController>(picker)) {
        p->setDelegate(nullptr);
    }
    setPeerPicker(nullptr);
    failureEnding(false);
}

void BluetoothViewController::sessionPeerDidChangeState(const Ref<GKSession>& session, const Ref<NSString>& peer,
                                                        NSInteger state) {
    setSession(session);
    switch (state) {
    case GKPeerStateAvailable:
        outMessage(NSString::stringWithFormat("find a peer(%@) at there.", translatePeerIdToDisplayname(peer)));
        if (session) {
            session->connectToPeerWithTimeout(peer, 10.0);
        }
        break;
    case GKPeerStateConnected:
        outMessage(
            NSString::stringWithFormat("connect peer(%@) successed.send data.", translatePeerIdToDisplayname(peer)));
        if (session) {
            sendPeerMessage(session);
        }
        break;
    case GKPeerStateDisconnected:
        outMessage("session was disconnected."_ns);
        if (session) {
            session->disconnectFromAllPeers();
        }
        break;
    default:
        break;
    }
}

void BluetoothViewController::sessionDidReceiveConnectionRequestFromPeer(const Ref<GKSession>& session,
                                                                         const Ref<NSString>& peer) {
    outMessage(
        NSString::stringWithFormat("receive a connection request from peer(%@).", translatePeerIdToDisplayname(peer)));
    Ref<NSError> error;
    if (session && !session->acceptConnectionFromPeerError(peer, &error)) {
        NSLog("The connection of peer %@ was not accepted: %@", peer, error);
    }
}

void BluetoothViewController::receiveDataFromPeerInSessionContext(const Ref<NSData>& data, const Ref<NSString>& peer,
                                                                  const Ref<GKSession>&, const id&) {
    outMessage(NSString::stringWithFormat("receive data from peer(%@)", translatePeerIdToDisplayname(peer)));
    setHasReceiveData(true);
    if (data && data->isEqual(peerMessage())) {
        NSLog("Yey!");
    }
}

Ref<NSString> BluetoothViewController::translatePeerIdToDisplayname(const Ref<NSString>& peer) {
    auto current = session();
    return current ? current->displayNameForPeer(peer) : "unknown device."_ns;
}

void BluetoothViewController::centralManagerDidUpdateState(const Ref<CBCentralManager>& central) {
    static const char* const texts[] = {
        "State unknown, update imminent.",
        "The connection with the system service was momentarily lost, update imminent.",
        "The platform doesn't support Bluetooth Low Energy",
        "The app is not authorized to use Bluetooth Low Energy",
        "Bluetooth is currently powered off.",
        "Bluetooth is currently powered on and available to use.",
    };
    NSInteger state = central ? central->state() : CBCentralManagerStateUnknown;
    NSLog("%@", NSString::from(state >= 0 && state <= 5 ? texts[state] : texts[0]));
    if (state == CBCentralManagerStatePoweredOn) {
        setHasPowerOn(true);
        central->scanForPeripheralsWithServicesOptions(nullptr, nullptr);
        setCanScanPeripherals(true);
    } else if (state == CBCentralManagerStatePoweredOff) {
        failureEnding(false);
    }
}

void BluetoothViewController::centralManagerDidDiscoverPeripheralAdvertisementDataRSSI(
    const Ref<CBCentralManager>& central, const Ref<CBPeripheral>& peripheral,
    const Ref<NSDictionary>& advertisementData, const Ref<NSNumber>&) {
    NSLog("%@", advertisementData);
    if (central && peripheral) {
        central->connectPeripheralOptions(peripheral, nullptr);
    }
}

void BluetoothViewController::centralManagerDidConnectPeripheral(const Ref<CBCentralManager>& central,
                                                                 const Ref<CBPeripheral>& peripheral) {
    NSLog("Did connect to peripheral: %@", peripheral);
    if (peripheral) {
        peripheral->setDelegate(Ref<BluetoothViewController>(this));
    }
    if (central) {
        central->stopScan();
    }
    if (peripheral) {
        peripheral->discoverServices(nullptr);
    }
}

void BluetoothViewController::peripheralDidDiscoverServices(const Ref<CBPeripheral>& peripheral,
                                                            const Ref<NSError>& error) {
    if (!peripheral) {
        return;
    }
    if (error) {
        NSLog("Discovered services for %@ with error: %@", peripheral->name(), error->localizedDescription());
        return;
    }
    auto wanted = CBUUID::UUIDWithString("FFE0"_ns);
    auto services = peripheral->services();
    for (NSUInteger i = 0; services && i < services->count(); ++i) {
        auto service = cast<CBService>(services->objectAtIndex(i));
        if (!service) {
            continue;
        }
        NSLog("Service found with UUID: %@", service->UUID());
        if (service->UUID()->isEqual(wanted)) {
            peripheral->discoverCharacteristicsForService(nullptr, service);
        }
    }
}

void BluetoothViewController::centralManagerDidRetrievePeripherals(const Ref<CBCentralManager>&, const Ref<NSArray>&) {
    NSLog("This is it!");
}

void BluetoothViewController::outMessage(const Ref<NSString>& text) {
    auto view = outMessageTextView();
    if (!text || text->length() == 0 || !view) {
        return;
    }
    auto current = view->text() ? view->text()->str() : std::string();
    if (current.find(text->str()) != std::string::npos) {
        return;
    }
    view->setText(NSString::from(current + text->str() + "\n"));
}

void BluetoothViewController::failureEnding(bool markItem) {
    if (isCompleted()) {
        return;
    }
    if (markItem) {
        dx_sensors::markSubItem(subItemlist(), 2, DXTestResultFail);
        spin(activityIndicator3(), false);
    }
    if (info()) {
        info()->setResult(DXTestResultFail);
    }
    // Ends the test whatever its place in the run (going back would leave it without an end).
    gotoResultView();
}
