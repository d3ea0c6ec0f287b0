// The Bluetooth screen over the simulated radio and the peer picker: a pass needs a connected
// peer; Bluetooth off, a search that finds nobody and leaving the screen.
#include "PowerRadioTestCase.h"

#include <Device/SimRadios.h>
#include <Diagnostics/PowerRadio/BluetoothViewController.h>

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
