// The combined keys and physical keys screens run in the run container with the device's volume
// keys, screenshot chord and switch: pass, fail (NEXT, a dead key), time-out, the volume the
// screens move (the physical keys screen puts it back), and the volume watch while it is stopped.
#include "TouchKeysTestCase.h"

#include <Categorys/DXLocalizedString.h>
#include <UIKit/NSIndexPath.h>

#include <Core/AdditionalTestManager.h>
#include <Device/SimAudio.h>
#include <Diagnostics/TouchKeys/CombineKeyViewController.h>
#include <Diagnostics/TouchKeys/PhysicalKeyViewController.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UILabel.h>

class VolumeKeyScreenTests : public TouchKeysTestCase {
protected:
    void SetUp() override {
        TouchKeysTestCase::SetUp();
        UIApplication::sharedApplication()->launchWithOptions(nullptr);
    }
    SimAudio& audio = SimAudio::current();
    void press(Key key) {
        keys.pressKey(key);
        settle();
    }
};

class CombineKeyScreenTests : public VolumeKeyScreenTests {
protected:
    Ref<CombineKeyViewController> start(bool hasMute = false) {
        return cast<CombineKeyViewController>(run("CombineKeyViewController", 0, hasMute));
    }
    static std::vector<std::string> rowNames(const Ref<CombineKeyViewController>& s) {
        std::vector<std::string> names;
        auto list = s->itemList();
        for (const id& item : *list) {
            names.push_back(cast<CombineKeyModel>(item)->name()->str());
        }
        return names;
    }
    static void removeEveryRow() {
        AdditionalTestManager::sharedInstance()->setRemoveKeys(
            NSArray::arrayWithObjects({"PHYSICAL_KEYS_TEST2_VOLUMEUP"_ns, "PHYSICAL_KEYS_TEST2_VOLUMEDOWN"_ns,
                                       "PHYSICAL_KEYS_TEST2_HOMEANDPOWER"_ns, "PHYSICAL_KEYS_TEST2_MUTE"_ns}));
    }
    // The FAILED/UNDO button of the row with the key, as shown in the table.
    static Ref<UIButton> rowButton(const Ref<CombineKeyViewController>& s, const char* key) {
        for (NSUInteger i = 0; i < s->itemList()->count(); ++i) {
            auto row = cast<CombineKeyModel>(s->itemList()->objectAtIndex(i));
            if (row->subtestkey()->str() == key) {
                auto cell = cast<CombineKeyTableViewCell>(
                    s->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(i, 0)));
                return cell ? cell->passbtn() : nullptr;
            }
        }
        return nullptr;
    }
};

TEST_F(CombineKeyScreenTests, EveryKeyAndTheChordPass) {
    audio.setOutputVolume(0.8f);
    auto screen = start();
    ASSERT_TRUE(screen);
    EXPECT_FLOAT_EQ(audio.outputVolume(), 0.5f);
    // The tall phone: volume up + power, and the second hint.
    EXPECT_EQ(rowNames(screen).back(), DXLocalizedString("COMBINE_KEY_TESTS_VOLUMEUP_POWER")->str());
    EXPECT_EQ(screen->hintLabel()->text()->str(), DXLocalizedString("COMBINE_KEY_TESTS_HINT_2")->str());
    EXPECT_EQ(screen->itemList()->count(), 3u);
    EXPECT_EQ(screen->subItemlist()->count(), 4u);
    press(Key::VolumeUp);
    press(Key::VolumeUp); // counts once
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_VOLUMEUP"), "SUCCESS");
    press(Key::VolumeDown);
    EXPECT_FALSE(ended());
    ASSERT_TRUE(keys.pressScreenshotChord());
    settle();
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_HOMEANDPOWER"), "SUCCESS");
    // The volume stays near the 0.5 the screen set, as the keys left it: the 0.8 found is not put back.
    advance(1);
    EXPECT_LT(audio.outputVolume(), 0.7f);
}

TEST_F(CombineKeyScreenTests, AStartAtVolumeZeroIsRaisedSoThatBothKeysCount) {
    audio.setOutputVolume(0.0f);
    auto screen = start();
    ASSERT_TRUE(screen);
    EXPECT_FLOAT_EQ(audio.outputVolume(), 0.5f);
    EXPECT_FLOAT_EQ(screen->launchVolume(), 0.5f);
    press(Key::VolumeDown);
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_VOLUMEDOWN"), "SUCCESS");
    press(Key::VolumeUp);
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_VOLUMEUP"), "SUCCESS");
    float left = audio.outputVolume();
    EXPECT_GT(left, 0.0f);
    ASSERT_TRUE(UITestDriver::tapView(screen->nextBtn()));
    settle();
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), DXTestResultFail);       // the chord was never pressed
    EXPECT_FLOAT_EQ(audio.outputVolume(), left); // not put back to 0.0
}

TEST_F(CombineKeyScreenTests, ADeadKeyLeavesItsRowAndNextFails) {
    useScreen(375, 667); // a new profile: every part whole
    keys.setKeyState(Key::VolumeDown, KeyState::Dead);
    auto screen = start();
    ASSERT_TRUE(screen);
    EXPECT_EQ(rowNames(screen).back(), DXLocalizedString("COMBINE_KEY_TESTS_HOME_POWER")->str());
    press(Key::VolumeUp);
    press(Key::VolumeDown);
    keys.pressScreenshotChord();
    settle();
    advance(3600);
    EXPECT_FALSE(ended());
    ASSERT_TRUE(UITestDriver::tapView(screen->nextBtn()));
    settle();
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_NE(subResult("PHYSICAL_KEYS_TEST2_VOLUMEDOWN"), "SUCCESS");
}

TEST_F(CombineKeyScreenTests, FailedMarksReadFailAndStopTheirOwnKey) {
    AdditionalTestManager::sharedInstance()->setRemoveKeys(
        NSArray::arrayWithObjects({"PHYSICAL_KEYS_TEST2_VOLUMEUP"_ns}));
    auto screen = start(true);
    ASSERT_TRUE(screen);
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_VOLUMEUP"), "REMOVED");
    ASSERT_EQ(screen->itemList()->count(), 3u); // down, switch, chord
    // The chord row is now at position 2: FAILED stops the chord, not the volume-down key.
    auto chord = rowButton(screen, "PHYSICAL_KEYS_TEST2_HOMEANDPOWER");
    ASSERT_TRUE(chord);
    ASSERT_TRUE(UITestDriver::tapView(chord));
    settle();
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_HOMEANDPOWER"), "FAIL");
    EXPECT_TRUE(screen->isStopScreenshot());
    EXPECT_FALSE(screen->isStopVolumeDown());
    keys.pressScreenshotChord();
    settle();
    EXPECT_NE(subResult("PHYSICAL_KEYS_TEST2_HOMEANDPOWER"), "SUCCESS");
    // UNDO arms the screenshot again.
    ASSERT_TRUE(UITestDriver::tapView(rowButton(screen, "PHYSICAL_KEYS_TEST2_HOMEANDPOWER")));
    settle();
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_HOMEANDPOWER"), "NOT_TEST");
    keys.pressScreenshotChord();
    settle();
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_HOMEANDPOWER"), "SUCCESS");
    press(Key::VolumeDown);
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_VOLUMEDOWN"), "SUCCESS");
    EXPECT_FALSE(ended()); // the switch row waits
    ASSERT_TRUE(UITestDriver::tapView(screen->nextBtn()));
    settle();
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(CombineKeyScreenTests, WithEveryRowRemovedTheFirstKeyEventPasses) {
    removeEveryRow();
    auto screen = start();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->itemList()->count(), 0u);
    EXPECT_EQ(screen->tableView()->numberOfRowsInSection(0), 0);
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_MUTE"), "REMOVED");
    EXPECT_FALSE(ended());
    press(Key::VolumeUp);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), DXTestResultPass);
    // The removed keys keep their mark: the event changed no row.
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_VOLUMEUP"), "REMOVED");
}

TEST_F(CombineKeyScreenTests, WithEveryRowRemovedNextPassesAtOnce) {
    removeEveryRow();
    auto screen = start();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(UITestDriver::tapView(screen->nextBtn()));
    settle();
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(CombineKeyScreenTests, WithoutTheSwitchThereIsNoDetectorAndNoSwitchResult) {
    auto screen = start(false);
    ASSERT_TRUE(screen);
    advance(2);
    EXPECT_FALSE(screen->hasDetector());
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_MUTE"), "");
    EXPECT_FALSE(screen->rowWithKey("PHYSICAL_KEYS_TEST2_MUTE"));
}

TEST_F(CombineKeyScreenTests, AnApplicationsVolumeChangeIsNoPress) {
    auto screen = start();
    ASSERT_TRUE(screen);
    audio.setOutputVolume(0.9f);
    audio.setOutputVolume(0.1f);
    settle();
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_VOLUMEUP"), "");
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_VOLUMEDOWN"), "");
    EXPECT_FALSE(screen->rowWithKey("PHYSICAL_KEYS_TEST2_VOLUMEUP")->success());
}

TEST_F(CombineKeyScreenTests, KeysInTheBackgroundPassNothing) {
    auto screen = start();
    ASSERT_TRUE(screen);
    UIApplication::sharedApplication()->enterBackground();
    keys.pressScreenshotChord(); // not this application's screenshot
    settle();
    EXPECT_NE(subResult("PHYSICAL_KEYS_TEST2_HOMEANDPOWER"), "SUCCESS");
    UIApplication::sharedApplication()->enterForeground();
}

class PhysicalKeyScreenTests : public VolumeKeyScreenTests {
protected:
    Ref<PhysicalKeyViewController> start(NSInteger timeout, bool hasMute = false) {
        return cast<PhysicalKeyViewController>(run("PhysicalKeyViewController", timeout, hasMute));
    }
    static NSNumber* subItemResult(const Ref<PhysicalKeyViewController>& s, NSUInteger i) {
        auto item = cast<NSDictionary>(s->subItemlist()->objectAtIndex(i));
        return cast<NSNumber>(item->objectForKey("result"_ns)).get();
    }
};

TEST_F(PhysicalKeyScreenTests, BothVolumeKeysPass) {
    auto screen = start(30);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->itemList()->count(), 2u);
    EXPECT_EQ(screen->subItemlist()->count(), 3u);
    EXPECT_TRUE(screen->isListening()); // half a second after it showed, by a timer
    press(Key::VolumeUp);
    EXPECT_FLOAT_EQ(audio.outputVolume(), 0.5f); // set back after the press
    ASSERT_TRUE(subItemResult(screen, 0));
    EXPECT_FALSE(ended());
    press(Key::VolumeDown);
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_TRUE(ended());
    EXPECT_FALSE(subItemResult(screen, 2));
    EXPECT_FALSE(screen->isListening());
}

TEST_F(PhysicalKeyScreenTests, AtFullVolumeTheScreenLowersItAndPutsItBack) {
    audio.setOutputVolume(1.0f);
    auto screen = start(30);
    ASSERT_TRUE(screen);
    EXPECT_FLOAT_EQ(audio.outputVolume(), 0.95f);
    press(Key::VolumeUp);
    EXPECT_FLOAT_EQ(audio.outputVolume(), 0.95f);
    screen->performSelectorWithObject("viewWillDisappear:", NSNumber::numberWithBool(false));
    settle();
    EXPECT_FLOAT_EQ(audio.outputVolume(), 1.0f);
}

TEST_F(PhysicalKeyScreenTests, KeyPressesAreIgnoredWhileTheVolumeWatchIsStopped) {
    auto screen = start(60);
    ASSERT_TRUE(screen);
    screen->stopStealingVolumeButtonEvents();
    EXPECT_TRUE(screen->isStopMonitorVolumeKey());
    EXPECT_FALSE(screen->isListening());
    press(Key::VolumeUp);
    press(Key::VolumeDown);
    EXPECT_FALSE(subItemResult(screen, 0));
    EXPECT_FALSE(subItemResult(screen, 1));
    EXPECT_FALSE(cast<PhsicalKeyModel>(screen->itemList()->objectAtIndex(0))->success());
    // Started again, the watch stays stopped for half a second: a press then is only logged.
    screen->startStealingVolumeButtonEvents();
    keys.pressKey(Key::VolumeUp);
    UITestDriver::settle();
    EXPECT_FALSE(subItemResult(screen, 0));
    advance(0.6);
    EXPECT_FALSE(screen->isStopMonitorVolumeKey());
    EXPECT_FALSE(subItemResult(screen, 0));
    press(Key::VolumeUp);
    EXPECT_TRUE(subItemResult(screen, 0));
}

TEST_F(PhysicalKeyScreenTests, ADeadKeyTimesOutAndZeroIsTheLongLimit) {
    keys.setKeyState(Key::VolumeUp, KeyState::Dead);
    start(10);
    press(Key::VolumeUp);
    press(Key::VolumeDown);
    advance(8);
    EXPECT_FALSE(ended());
    advance(2);
    EXPECT_EQ(result(), DXTestResultTimeout);

    TearDown();
    SetUp();
    keys.setKeyState(Key::VolumeDown, KeyState::Stuck);
    start(0);
    press(Key::VolumeUp);
    advance(21000);
    EXPECT_FALSE(ended());
    advance(700);
    EXPECT_EQ(result(), DXTestResultTimeout);
}

TEST_F(PhysicalKeyScreenTests, TheSwitchRowPassesOnAMoveAfterTheFirstReport) {
    auto screen = start(30, true);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->itemList()->count(), 3u);
    press(Key::VolumeUp);
    press(Key::VolumeDown);
    advance(3); // the detector's first report: the switch as it is, never counted
    EXPECT_TRUE(screen->skip());
    EXPECT_FALSE(ended());
    ASSERT_TRUE(keys.toggleRingerSwitch());
    advance(3);
    EXPECT_EQ(result(), DXTestResultPass);
    ASSERT_TRUE(subItemResult(screen, 2));
}

TEST_F(PhysicalKeyScreenTests, ADeadSwitchTimesOut) {
    std::string error;
    ASSERT_TRUE(audio.applyFaults(R"({"ringerSwitch": "dead"})", &error)) << error;
    start(10, true);
    press(Key::VolumeUp);
    press(Key::VolumeDown);
    advance(3);
    EXPECT_FALSE(keys.toggleRingerSwitch());
    advance(8);
    EXPECT_EQ(result(), DXTestResultTimeout);
}

TEST_F(CombineKeyScreenTests, TheSwitchRowPassesOnAMoveAndADeadSwitchLeavesItToNext) {
    auto screen = start(true);
    ASSERT_TRUE(screen);
    press(Key::VolumeUp);
    press(Key::VolumeDown);
    keys.pressScreenshotChord();
    advance(3);
    EXPECT_TRUE(screen->hasDetector());
    EXPECT_FALSE(ended());
    keys.toggleRingerSwitch();
    advance(3);
    EXPECT_EQ(subResult("PHYSICAL_KEYS_TEST2_MUTE"), "SUCCESS");
    EXPECT_EQ(result(), DXTestResultPass);

    TearDown();
    SetUp();
    std::string error;
    ASSERT_TRUE(audio.applyFaults(R"({"ringerSwitch": "dead"})", &error)) << error;
    screen = start(true);
    press(Key::VolumeUp);
    press(Key::VolumeDown);
    keys.pressScreenshotChord();
    advance(3);
    keys.toggleRingerSwitch();
    advance(3);
    EXPECT_FALSE(ended());
    ASSERT_TRUE(UITestDriver::tapView(screen->nextBtn()));
    settle();
    EXPECT_EQ(result(), DXTestResultFail);
}
