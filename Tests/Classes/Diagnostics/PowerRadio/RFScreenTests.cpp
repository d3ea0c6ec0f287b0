// The cellular signal screen: a SIM on LTE offers the question, no SIM fails after a second, the
// readings by system version, and the result is the operator's alone.
#include "PowerRadioTestCase.h"

#include <Device/SimDevice.h>
#include <Device/SimRadios.h>
#include <Diagnostics/PowerRadio/RFTestViewController.h>
#include <UISupport/STProgressHUD.h>

class RFScreenTests : public PowerRadioTestCase {
protected:
    Ref<RFTestViewController> rf() {
        auto s = cast<RFTestViewController>(run("RFTestViewController"));
        EXPECT_TRUE(s);
        return s;
    }
    NSInteger item() {
        auto entry = cast<NSDictionary>(testScreen()->subItemlist()->objectAtIndex(0));
        auto value = cast<NSNumber>(entry->objectForKey("result"_ns));
        return value ? value->integerValue() : 0;
    }
};

TEST_F(RFScreenTests, ASIMOnLTEShowsTheLinesAndTheOperatorDecides) {
    auto s = rf();
    EXPECT_EQ(labelText(s->carrier()), "Carrier: Celvix Mobile");
    EXPECT_EQ(labelText(s->newtworkType()), "Network type: LTE");
    EXPECT_EQ(labelText(s->signalStrength()), "Signal strength: 4 bars"); // bars from system 11
    EXPECT_TRUE(shown(s->signalStrength()));
    EXPECT_TRUE(shown(s->question()));
    EXPECT_EQ(item(), 1);
    advance(5);
    EXPECT_EQ(result(), DXTestResultNotRun); // only the answer writes the result
    EXPECT_FALSE(ended());
    answer(false);
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_TRUE(RFTestViewController::isSupport()->boolValue());
}

TEST_F(RFScreenTests, TheLinesAreReadAgainEveryThreeSeconds) {
    auto s = rf(); // the run settled for half a second
    SimDevice::current().setRadioAccessTechnology("CTRadioAccessTechnologyWCDMA");
    advance(2.4);
    EXPECT_EQ(labelText(s->newtworkType()), "Network type: LTE"); // not read again yet
    advance(0.2);                                                 // 3 s after the load
    EXPECT_EQ(labelText(s->newtworkType()), "Network type: WCDMA");
    EXPECT_EQ(labelText(s->carrier()), "Carrier: Celvix Mobile");
    EXPECT_EQ(labelText(s->signalStrength()), "Signal strength: 4 bars");
    // The network goes: at the next reading the lines empty and the signal line goes away.
    SimRadios::current().setState(SimRadios::Part::Carrier, SimRadios::State::Dead);
    advance(2.8);
    EXPECT_TRUE(shown(s->signalStrength()));
    EXPECT_EQ(labelText(s->newtworkType()), "Network type: WCDMA");
    advance(0.2); // 6 s after the load
    EXPECT_EQ(labelText(s->newtworkType()), "Network type: ");
    EXPECT_EQ(labelText(s->carrier()), "Carrier: ");
    EXPECT_EQ(labelText(s->signalStrength()), "Signal strength: 0 bars");
    EXPECT_FALSE(shown(s->signalStrength()));
    // And back.
    SimRadios::current().setState(SimRadios::Part::Carrier, SimRadios::State::Working);
    advance(3); // 9 s
    EXPECT_EQ(labelText(s->newtworkType()), "Network type: LTE");
    EXPECT_EQ(labelText(s->carrier()), "Carrier: Celvix Mobile");
    EXPECT_EQ(labelText(s->signalStrength()), "Signal strength: 4 bars");
    EXPECT_TRUE(shown(s->signalStrength()));
    EXPECT_FALSE(ended()); // the operator still decides
}

TEST_F(RFScreenTests, OlderSystemsReadTheRawLevelInDBm) {
    useProfile({{"systemVersion", "10.3"}});
    auto s = rf();
    EXPECT_EQ(labelText(s->signalStrength()), "Signal strength: -85 dbm");
    EXPECT_EQ(s->getSignalStrength(), -85);
    EXPECT_EQ(s->fetchSignalBarsForiPhoneX(), 0); // no newer status bar here
}

TEST_F(RFScreenTests, NoSIMFailsAfterASecondAndIsNotSupported) {
    SimRadios::current().setState(SimRadios::Part::Carrier, SimRadios::State::Absent);
    EXPECT_FALSE(RFTestViewController::isSupport()->boolValue());
    EXPECT_TRUE(RFTestViewController::extraMessage());
    auto s = rf(); // the run settled half a second
    EXPECT_EQ(item(), 2);
    EXPECT_FALSE(shown(s->question()));
    EXPECT_FALSE(ended());
    advance(0.6);
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_TRUE(ended());
}

TEST_F(RFScreenTests, ASIMWithoutNetworkFailsToo) {
    SimRadios::current().setState(SimRadios::Part::Carrier, SimRadios::State::Dead);
    auto s = rf();
    EXPECT_FALSE(shown(s->signalStrength()));
    advance(0.6);
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(RFScreenTests, ComingBackLeavesTheResultAlone) {
    auto s = rf();
    s->info()->setResult(DXTestResultFail); // an earlier answer
    s->performSelectorWithObject("viewWillDisappear:", NSNumber::numberWithBool(false));
    s->performSelectorWithObject("viewWillAppear:", NSNumber::numberWithBool(false));
    advance(2);
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_FALSE(s->updateSignalStrengthTimer()->isValid());
}
