// What the pictures of a walked road must show (the simulator's --screenshots): every screen of the
// run has its picture, named for it; no picture is a blank page, except a screen that is meant to
// be a plain fill, and then it is the fill's colour; no image view on show is empty (but those that
// get their picture only with a result); and no text on show is cut short.
#pragma once

#include <CoreGraphics/CGImage.h>
#include <Foundation/NSData.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreenshot.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace screenshot_checks {

using RGB = std::array<uint8_t, 3>;

// The screens meant to be one plain colour when they appear, and that colour: the colour fills
// start on white, and the road's root screen is a plain white page under its modal screens.
inline const std::map<std::string, RGB>& plainFills() {
    static const std::map<std::string, RGB> fills = {
        {"FillColorViewController", {255, 255, 255}},
        {"FillColor4ItouchuViewController", {255, 255, 255}},
        {"DXRootTableViewController", {255, 255, 255}},
    };
    return fills;
}

// The image views that a screen shows empty when it appears, because the screen gives them their
// picture only with a result: the marks of a test's steps, the sensors' status lights, the Home
// key's flag and the ambient light's lamp ("light_on" at the pass).
inline bool emptyUntilAResult(const std::string& screen, const std::string& view) {
    static const std::set<std::string> marks = {"step1",     "step2",          "step3", "step4", "step5",
                                                "step6",     "step7",          "step8", "step9", "accelerometerLight",
                                                "gyroLight", "magnetometLight"};
    return marks.count(view) || (screen == "HomeKeyViewController" && view == "flagImage") ||
           (screen == "AmbientLightViewController" && view == "imageView");
}

// The one colour of every pixel of the picture, or nothing when it has more than one.
inline std::optional<RGB> plainColour(const Ref<UIImage>& image) {
    CGImageRef cg = image->CGImage();
    size_t width = CGImageGetWidth(cg), height = CGImageGetHeight(cg);
    uint8_t first[4] = {};
    if (!CGImageGetPixel(cg, 0, 0, first)) {
        return std::nullopt;
    }
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            uint8_t p[4];
            CGImageGetPixel(cg, x, y, p);
            if (p[0] != first[0] || p[1] != first[1] || p[2] != first[2]) {
                return std::nullopt;
            }
        }
    }
    return RGB{first[0], first[1], first[2]};
}

// Checks the pictures the recorder wrote under `dir`; `screens` are the classes of the run's test
// screens, each of which must have its picture.
inline void expectUsablePictures(const std::string& dir, const std::set<std::string>& screens) {
    std::vector<UIScreenshotRecord> records;
    for (const auto& record : UIScreenshotRecords()) {
        if (record.path.starts_with(dir)) {
            records.push_back(record);
        }
    }
    ASSERT_FALSE(records.empty()) << "no pictures in " << dir;
    std::set<std::string> pictured;
    for (const auto& record : records) {
        pictured.insert(record.screen);
        auto image = UIImage::imageWithData(NSData::dataWithContentsOfFile(NSString::from(record.path)));
        ASSERT_TRUE(image) << record.path << " does not read as a PNG";
        auto plain = plainColour(image);
        auto fill = plainFills().find(record.screen);
        if (fill == plainFills().end()) {
            EXPECT_FALSE(plain) << record.path << ": " << record.screen << " shows nothing but one colour";
        } else {
            ASSERT_TRUE(plain) << record.path << ": " << record.screen << " is to be a plain fill";
            EXPECT_EQ(*plain, fill->second) << record.path << ": " << record.screen << " shows another colour";
        }
        for (const auto& view : record.emptyImages) {
            if (emptyUntilAResult(record.screen, view)) {
                continue;
            }
            ADD_FAILURE() << record.path << ": " << record.screen << " shows the image view " << view
                          << " without its image";
        }
        for (const auto& label : record.cutTexts) {
            ADD_FAILURE() << record.path << ": " << record.screen << " cuts the text of " << label << " short";
        }
    }
    for (const auto& screen : screens) {
        EXPECT_TRUE(pictured.count(screen)) << screen << " has no picture";
    }
}

} // namespace screenshot_checks
