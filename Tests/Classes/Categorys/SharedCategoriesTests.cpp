// The small shared categories: frames, the marker cut, the associated object, the 16-point label
// colour, the self-hiding message, the signal cut-off, the string-table substituter and the texts
// that screens fill through it.
#include "CoreTestCase.h"

#include <Categorys/DXLocalizedString.h>
#include <Categorys/NSObject+AssociatedObject.h>
#include <Categorys/NSObject+logProperties.h>
#include <Categorys/NSString+Split.h>
#include <Categorys/PGProgressHUD+AutoHide.h>
#include <Categorys/RXSignal+TakeUntil.h>
#include <Categorys/UIColor+Image.h>
#include <Categorys/UILabel+InjectColor.h>
#include <Categorys/UIView+Frame.h>
#include <CoreGraphics/CGImage.h>
#include <Foundation/NSError.h>
#include <Reactive/RXSubject.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UITestDriver.h>

#include <regex>
#include <sstream>

namespace {

using SharedCategoriesTest = CoreTestCase;

std::string split(const char* text, const char* begin, const char* end) {
    auto answer = stringSplitWithBeginEnd(text ? NSString::from(text) : nullptr,
                                          begin ? NSString::from(begin) : nullptr, end ? NSString::from(end) : nullptr);
    return answer ? answer->str() : "(nil)";
}

} // namespace

TEST_F(SharedCategoriesTest, FrameComponentsChangeOneAtATime) {
    auto view = make<UIView>(CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(x(view), 1);
    EXPECT_EQ(y(view), 2);
    EXPECT_EQ(width(view), 3);
    EXPECT_EQ(height(view), 4);
    setX(view, 10);
    setHeight(view, 40);
    EXPECT_EQ(view->frame(), CGRectMake(10, 2, 3, 40));
    setY(view, 20);
    setWidth(view, 30);
    EXPECT_EQ(view->frame(), CGRectMake(10, 20, 30, 40));
}

TEST_F(SharedCategoriesTest, MarkerCutTakesTheTextBetweenTheFirstMarkers) {
    EXPECT_EQ(split("Current IP Address: 1.2.3.4</body> x </body>", "Address: ", "</body>"), "1.2.3.4");
    // The end marker matches in any case.
    EXPECT_EQ(split("<b>name</B>", "<b>", "</b>"), "name");
    EXPECT_EQ(split("<b>name</b>", "<b>", "</B>"), "name");
    // Adjacent markers give the empty text.
    EXPECT_EQ(split("ab", "a", "b"), "");
}

TEST_F(SharedCategoriesTest, MarkerCutAnswersNilWithoutBothMarkersInOrder) {
    EXPECT_EQ(split("end ... begin", "begin", "end"), "(nil)");
    EXPECT_EQ(split("no markers", "[", "]"), "(nil)");
    EXPECT_EQ(split("", "a", "b"), "(nil)");
    EXPECT_EQ(split(nullptr, "a", "b"), "(nil)");
    EXPECT_EQ(split("abc", "", "c"), "(nil)");
    EXPECT_EQ(split("abc", "a", nullptr), "(nil)");
    // Begin marker at the very end of the text: nothing is left to search.
    EXPECT_EQ(split("xxab", "ab", "zz"), "(nil)");
}

TEST_F(SharedCategoriesTest, MarkerCutNeverSearchesANegativeRange) {
    // The first end match starts inside the begin match ("BC" inside "ABC"): there is no text
    // between them, so the answer is nil rather than a range that ends before it starts.
    EXPECT_EQ(split("xABCy", "ABC", "bc"), "(nil)");
    EXPECT_EQ(split("ABC", "ABC", "c"), "(nil)");
    // The end marker equal to the begin marker, case aside.
    EXPECT_EQ(split("<x><X>", "<x>", "<X>"), "(nil)");
}

TEST_F(SharedCategoriesTest, AssociatedObjectIsKeptPerObject) {
    auto a = make<NSObject>();
    auto b = make<NSObject>();
    auto value = NSString::from("value");
    setAssociatedObject(a, value);
    EXPECT_EQ(associatedObject(a).get(), value.get());
    EXPECT_FALSE(associatedObject(b));
    setAssociatedObject(a, nullptr);
    EXPECT_FALSE(associatedObject(a));
}

TEST_F(SharedCategoriesTest, SixteenPointLabelsTurnDarkGreyWhenAdded) {
    ASSERT_TRUE(UILabelInjectColorInstalled());
    auto host = make<UIView>(CGRectMake(0, 0, 100, 100));
    auto sixteen = make<UILabel>();
    sixteen->setFont(UIFont::systemFontOfSize(16));
    sixteen->setTextColor(UIColor::redColor());
    auto seventeen = make<UILabel>();
    seventeen->setFont(UIFont::systemFontOfSize(17));
    seventeen->setTextColor(UIColor::redColor());
    host->addSubview(sixteen);
    host->addSubview(seventeen);
    EXPECT_TRUE(sixteen->textColor()->isEqual(UIColor::darkGrayColor()));
    EXPECT_TRUE(seventeen->textColor()->isEqual(UIColor::redColor()));
    // The platform's own method still runs (reachable under the hook's name).
    EXPECT_TRUE(sixteen->respondsToSelector("dx_willMoveToSuperview:"));
}

TEST_F(SharedCategoriesTest, AutoHideMessageLeavesAfterItsTimeThenCompletes) {
    auto controller = make<UIViewController>();
    auto window = UITestDriver::showRootViewController(controller);
    int completions = 0;
    showAutoHideMessageWithTitleTimeParentViewCompletionBlock("Saved"_ns, 1.0, controller->view(),
                                                              [&] { ++completions; });
    auto hud = PGProgressHUD::HUDForView(controller->view());
    ASSERT_TRUE(hud);
    EXPECT_EQ(hud->mode(), PGProgressHUDModeText);
    EXPECT_EQ(hud->detailsLabelText()->str(), "Saved");
    EXPECT_EQ(hud->labelText()->str(), "");
    EXPECT_EQ(hud->margin(), 10.0);
    EXPECT_EQ(hud->yOffset(), 15.0);
    advance(0.9);
    EXPECT_TRUE(hud->superview());
    EXPECT_EQ(completions, 0);
    EXPECT_TRUE(runUntil([&] { return completions == 1; }, 1.0));
    EXPECT_FALSE(hud->superview());
}

TEST_F(SharedCategoriesTest, TakeUntilWithSignalPassesTheTriggerOnAndCutsTheReceiver) {
    auto source = RXSubject::subject();
    auto trigger = RXSubject::subject();
    std::vector<std::string> events;
    auto disposable = takeUntilWithSignal(source, trigger)
                          ->subscribeNextErrorCompleted([&](const id& v) { events.push_back(NSDescription(v)->str()); },
                                                        [&](const Ref<NSError>&) { events.push_back("error"); },
                                                        [&] { events.push_back("done"); });
    source->sendNext("a"_ns);
    source->sendNext("b"_ns);
    trigger->sendNext("stop"_ns);
    source->sendNext("c"_ns);
    // The trigger's later values still pass on.
    trigger->sendNext("again"_ns);
    EXPECT_EQ(events, (std::vector<std::string>{"a", "b", "stop", "again"}));
    disposable->dispose();
    trigger->sendNext("after"_ns);
    EXPECT_EQ(events.size(), 4u);
}

TEST_F(SharedCategoriesTest, TakeUntilWithSignalPassesTheTriggersEnd) {
    auto source = RXSubject::subject();
    auto trigger = RXSubject::subject();
    std::vector<std::string> events;
    takeUntilWithSignal(source, trigger)
        ->subscribeNextErrorCompleted([&](const id& v) { events.push_back(NSDescription(v)->str()); },
                                      [&](const Ref<NSError>& e) { events.push_back("error " + e->domain()->str()); },
                                      [&] { events.push_back("done"); });
    source->sendNext("a"_ns);
    trigger->sendError(NSError::errorWithDomainCodeUserInfo("cut"_ns, 1, nullptr));
    source->sendNext("b"_ns);
    EXPECT_EQ(events, (std::vector<std::string>{"a", "error cut"}));

    auto source2 = RXSubject::subject();
    auto trigger2 = RXSubject::subject();
    std::vector<std::string> events2;
    takeUntilWithSignal(source2, trigger2)
        ->subscribeNextCompleted([&](const id& v) { events2.push_back(NSDescription(v)->str()); },
                                 [&] { events2.push_back("done"); });
    trigger2->sendCompleted();
    source2->sendNext("late"_ns);
    EXPECT_EQ(events2, (std::vector<std::string>{"done"}));
}

TEST_F(SharedCategoriesTest, StringTableTextsAreNeverFormats) {
    // A table whose translations hold stray format sequences.
    auto bundle = NSSandbox::temporaryPath()->stringByAppendingPathComponent("Bundle"_ns);
    auto dir = bundle->stringByAppendingPathComponent("en.lproj"_ns);
    ASSERT_TRUE(NSFileManager::defaultManager()->createDirectoryAtPathWithIntermediateDirectoriesAttributesError(
        dir, true, nullptr, nullptr));
    writeText(dir->stringByAppendingPathComponent("Localizable.strings"_ns),
              R"("RESULT" = "Result %d%%"; "HOSTILE" = "%s %s %n %@ %p %ld %x";)");
    NSSandbox::setBundlePath(bundle);
    EXPECT_EQ(DXLocalizedStringWithArguments("RESULT"_ns, {50})->str(), "Result 50%");
    // Missing and mismatched arguments are never read: the text comes back with placeholder marks.
    auto hostile = DXLocalizedStringWithArguments("HOSTILE"_ns, {"one"_ns});
    ASSERT_TRUE(hostile);
    EXPECT_EQ(hostile->str().find("one") != std::string::npos || !hostile->str().empty(), true);
    // A key the tables lack is its own text, and is not a format either.
    EXPECT_EQ(DXLocalizedString("MISSING_%s_KEY")->str(), "MISSING_%s_KEY");
    EXPECT_FALSE(DXLocalizedStringWithArguments("MISSING_%s_%n"_ns, {})->str().empty());
}

TEST_F(SharedCategoriesTest, EveryFilledTextTakesTheArgumentsItsScreenPasses) {
    // The keys that screens fill, by the kinds of what they pass (i a whole number, f a
    // floating-point one, @ a text): each English text holds exactly those placeholders, in order.
    const std::pair<std::string, std::string> byKinds[] = {
        {"i", "ROOT_HEADER_AUTO_TESTING ROOT_HEADER_MANUAL_TESTING RESULT_CONTROLLER_PASS RESULT_CONTROLLER_FAIL "
              "PRECISION_CONTROLLER_RESULT_LABEL MICROPHONERECORD_CONTROLLER_WAIT MICROPHONERECORD_CONTROLLER_SPEAK "
              "BRIGHTNESS_CONTROLLER_LEVEL PROXIMITY_CONTROLLER_TITLE HOMEKEY_CONTROLLER_COUNTDOWN"},
        {"f",
         "ACCELEROMETER_CONTROLLER_X ACCELEROMETER_CONTROLLER_Y ACCELEROMETER_CONTROLLER_Z GYROSCOPE_CONTROLLER_X "
         "GYROSCOPE_CONTROLLER_Y GYROSCOPE_CONTROLLER_Z BAROMETER_CONTROLLER_PRESSURE BAROMETER_CONTROLLER_ALTITUDE"},
        {"@", "CAMERA_CONTROLLER_AUTHORIZATION_ALERT HEADSET_CONTROLLER_AUTHORIZATION_ALERT "
              "GPS_CONTROLLER_AUTHORIZATION_ALERT CAMERA_CONTROLLER_DISPLAY_ANSWER CAMERA_PICTURE_CONTROLLER_TITLE "
              "CAMERA_PICTURE_CONTROLLER_ANSWER FILLCOLOR_CONTROLLER_ANSWER ACCELEROMETER_CONTROLLER_TIPLABEL "
              "GYROSCOPE_CONTROLLER_TIPLABEL HOMEKEY_CONTROLLER_NOTIFICATION"},
        {"@@", "STARTVIEWCONTROLLER_LABEL"},
        {"@i", "LIVECALL_CONTROLLER_CALLPROGRESS"}};
    const std::regex placeholder(R"(%(\d+\$)?[-+ #0']*\d*(\.\d+)?[hlqLzjt]*([@sdiuxXocfFeEgGaA%]))");
    const std::string texts = "@s", decimals = "fFeEgGaA";
    for (const auto& [kinds, keys] : byKinds) {
        std::istringstream list(keys);
        for (std::string key; list >> key;) {
            std::string text = DXLocalizedString(key.c_str())->str(), found;
            for (std::sregex_iterator m(text.begin(), text.end(), placeholder), end; m != end; ++m) {
                char c = (*m)[3].str()[0];
                found += c == '%'                                ? ""
                         : texts.find(c) != std::string::npos    ? "@"
                         : decimals.find(c) != std::string::npos ? "f"
                                                                 : "i";
            }
            EXPECT_EQ(found, kinds) << key << " = \"" << text << "\"";
        }
    }
}

TEST_F(SharedCategoriesTest, EveryReadingShowsTheUnitItsSensorMeasuresIn) {
    // The same number means another thing in another unit: each filled reading names the unit of
    // what its screen passes, right after the number, and an axis row names its own axis.
    const std::pair<std::string, std::string> byUnit[] = {
        {"g", "ACCELEROMETER_CONTROLLER_X ACCELEROMETER_CONTROLLER_Y ACCELEROMETER_CONTROLLER_Z"},
        {"rad/s", "GYROSCOPE_CONTROLLER_X GYROSCOPE_CONTROLLER_Y GYROSCOPE_CONTROLLER_Z"},
        {"hPa", "BAROMETER_CONTROLLER_PRESSURE"},
        {"m", "BAROMETER_CONTROLLER_ALTITUDE"}};
    for (const auto& [unit, keys] : byUnit) {
        std::istringstream list(keys);
        for (std::string key; list >> key;) {
            std::string text = DXLocalizedStringWithArguments(NSString::from(key), {-1.25})->str();
            EXPECT_TRUE(text.ends_with(": -1.25 " + unit)) << key << " = \"" << text << "\"";
            if (key.size() > 2 && key[key.size() - 2] == '_') {
                EXPECT_EQ(text.rfind(key.substr(key.size() - 1) + " axis: ", 0), 0u) << key << " = \"" << text << "\"";
            }
        }
    }
}

TEST_F(SharedCategoriesTest, LogPropertiesWritesTheClassOwnProperties) {
    auto model = make<DXTestModel>("Logged"_ns);
    logProperties(model);
    EXPECT_TRUE(logged("Properties for object"));
    EXPECT_TRUE(logged("Property title Value: Logged"));
    EXPECT_TRUE(logged("-----------------------------------------------"));
}

TEST_F(SharedCategoriesTest, ColourImageIsOnePixelOfTheColour) {
    auto image = colorToImage(UIColor::colorWithRedGreenBlueAlpha(1, 0, 0, 1));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), CGSizeMake(1, 1));
    EXPECT_EQ(image->scale(), 1);
    uint8_t rgba[4] = {};
    ASSERT_TRUE(CGImageGetPixel(image->CGImage(), 0, 0, rgba));
    EXPECT_EQ(rgba[0], 255);
    EXPECT_EQ(rgba[1], 0);
    EXPECT_EQ(rgba[2], 0);
    EXPECT_EQ(rgba[3], 255);
}
