// The texts of the string table that the app fills with values: each takes the arguments its
// screen passes, in number and kind, so no reading or name is lost and no placeholder shows.
#include "CoreTestCase.h"

#include <Categorys/DXLocalizedString.h>

#include <cctype>
#include <cstring>
#include <map>
#include <string>

namespace {

using FormatTextsTest = CoreTestCase;

// The kinds of a format's placeholders in argument order: 'i' a whole number, 'f' a floating-point
// number, '@' a text. "%%" is no placeholder; positional placeholders ("%2$@") are put in place.
std::string placeholderKinds(const std::string& text) {
    std::map<size_t, char> byPosition;
    size_t next = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        size_t position = 0;
        size_t digits = j;
        while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
            ++digits;
        }
        if (digits > j && digits < text.size() && text[digits] == '$') {
            position = std::stoul(text.substr(j, digits - j));
            j = digits + 1;
        }
        while (j < text.size() && std::strchr("-+ #0'.123456789hlqLzjt", text[j])) {
            ++j;
        }
        char conversion = j < text.size() ? text[j] : '?';
        char kind = std::strchr("@s", conversion)         ? '@'
                    : std::strchr("diuxXoc", conversion)  ? 'i'
                    : std::strchr("fFeEgGaA", conversion) ? 'f'
                                                          : '?';
        byPosition[position ? position : next++] = kind;
        i = j;
    }
    std::string kinds;
    for (const auto& [position, kind] : byPosition) {
        kinds += kind;
    }
    return kinds;
}

} // namespace

TEST_F(FormatTextsTest, EveryFormatTakesTheArgumentsItsScreenPasses) {
    const std::pair<const char*, const char*> formats[] = {
        {"ROOT_HEADER_AUTO_TESTING", "i"},
        {"ROOT_HEADER_MANUAL_TESTING", "i"},
        {"RESULT_CONTROLLER_PASS", "i"},
        {"RESULT_CONTROLLER_FAIL", "i"},
        {"STARTVIEWCONTROLLER_LABEL", "@@"},
        {"PRECISION_CONTROLLER_RESULT_LABEL", "i"},
        {"CAMERA_CONTROLLER_AUTHORIZATION_ALERT", "@"},
        {"HEADSET_CONTROLLER_AUTHORIZATION_ALERT", "@"},
        {"GPS_CONTROLLER_AUTHORIZATION_ALERT", "@"},
        {"MICROPHONERECORD_CONTROLLER_WAIT", "i"},
        {"MICROPHONERECORD_CONTROLLER_SPEAK", "i"},
        {"CAMERA_CONTROLLER_DISPLAY_ANSWER", "@"},
        {"CAMERA_PICTURE_CONTROLLER_TITLE", "@"},
        {"CAMERA_PICTURE_CONTROLLER_ANSWER", "@"},
        {"FILLCOLOR_CONTROLLER_ANSWER", "@"},
        {"BRIGHTNESS_CONTROLLER_LEVEL", "i"},
        {"ACCELEROMETER_CONTROLLER_X", "f"},
        {"ACCELEROMETER_CONTROLLER_Y", "f"},
        {"ACCELEROMETER_CONTROLLER_Z", "f"},
        {"GYROSCOPE_CONTROLLER_X", "f"},
        {"GYROSCOPE_CONTROLLER_Y", "f"},
        {"GYROSCOPE_CONTROLLER_Z", "f"},
        {"ACCELEROMETER_CONTROLLER_TIPLABEL", "@"},
        {"GYROSCOPE_CONTROLLER_TIPLABEL", "@"},
        {"BAROMETER_CONTROLLER_PRESSURE", "f"},
        {"BAROMETER_CONTROLLER_ALTITUDE", "f"},
        {"PROXIMITY_CONTROLLER_TITLE", "i"},
        {"HOMEKEY_CONTROLLER_COUNTDOWN", "i"},
        {"HOMEKEY_CONTROLLER_NOTIFICATION", "@"},
        {"LIVECALL_CONTROLLER_CALLPROGRESS", "@i"},
    };
    for (const auto& [key, kinds] : formats) {
        auto text = DXLocalizedString(key)->str();
        EXPECT_NE(text, key) << "no text for " << key;
        EXPECT_EQ(placeholderKinds(text), kinds) << key << " = \"" << text << "\"";
    }
}

TEST_F(FormatTextsTest, ReadingsShowWithTheirUnitAndTheTipNamesTheAxis) {
    EXPECT_EQ(DXLocalizedStringWithArguments("ACCELEROMETER_CONTROLLER_X"_ns, {0.25})->str(), "X axis: 0.25 g");
    EXPECT_EQ(DXLocalizedStringWithArguments("ACCELEROMETER_CONTROLLER_Z"_ns, {-0.98765})->str(), "Z axis: -0.99 g");
    EXPECT_EQ(DXLocalizedStringWithArguments("GYROSCOPE_CONTROLLER_Y"_ns, {1.5})->str(), "Y axis: 1.50 rad/s");
    EXPECT_EQ(DXLocalizedStringWithArguments("ACCELEROMETER_CONTROLLER_TIPLABEL"_ns, {"Y"_ns})->str(),
              "Move or shake the device along the Y axis.");
    EXPECT_EQ(DXLocalizedStringWithArguments("GYROSCOPE_CONTROLLER_TIPLABEL"_ns, {"Z"_ns})->str(),
              "Tilt or rotate the device about the Z axis.");
}
