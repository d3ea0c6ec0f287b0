// The scripted operator on the camera and display screens (see OperatorCameraDisplay.h).
#include "OperatorCameraDisplay.h"
#include "OperatorHands.h"

#include <Categorys/DXLocalizedString.h>
#include <Core/DXTestViewController.h>
#include <CoreGraphics/CGImage.h>
#include <Diagnostics/CameraDisplay/CameraAttributeViewController.h>
#include <Diagnostics/CameraDisplay/CameraModelViewController.h>
#include <Diagnostics/CameraDisplay/CameraPictureViewController.h>
#include <Diagnostics/CameraDisplay/DXCameraVideoScreen.h>
#include <Diagnostics/CameraDisplay/FillColorViewController.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSDictionary.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITestDriver.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

namespace camera_operator {

namespace {

// What the operator remembers of the screen in front of it.
struct Memory {
    const void* record = nullptr;
    const void* screen = nullptr;
    double since = 0;    // when it came
    double lastLook = 0; // when the operator last looked
    int step = 0;
    bool even = true; // every colour shown so far was even
    double luminance = -1;
    bool luminanceMoved = false;
    NSInteger shownColour = -1;
    std::vector<uint32_t> firstPreview;
    bool previewMoved = false;                      // a later look at the live picture differed from the first
    double playingSince = -1;                       // when the clip's play-back began to show
    hands::Surface surface = hands::Surface::Chart; // what the camera is held to
};
Memory memory;

// What the operator saw in the system camera screen last.
struct PickerMemory {
    // Held weakly: a picker presented later may take the place in memory of one that has gone.
    Weak<UIImagePickerController> picker;
    double since = 0;
    int looks = 0;
    std::vector<uint32_t> firstLook; // the live picture at the first look
    bool moved = false;              // a later look differed from the first
    double brightness = -1;          // how bright the live picture was, 0..255
    bool live = false;               // the camera's picture moved while the operator tried zoom and focus
    bool flashTried = false;         // the picture was taken with the back camera, flash on
};
PickerMemory pickerMemory;

bool visible(const Ref<UIView>& view) {
    return view && !view->isHidden() && view->window();
}

std::string text(const Ref<NSString>& s) {
    return s ? s->str() : std::string();
}

// What the operator saw of the screen: a picture of all of it or of the part it looked at.
struct Shot {
    Ref<UIImage> image;
    CGPoint origin{}; // the screen point at the picture's top-left corner

    // The colour at a screen point; false where the picture does not show it.
    bool pixel(CGFloat x, CGFloat y, uint8_t rgba[4]) const {
        if (!image || !(x >= origin.x) || !(y >= origin.y)) {
            return false;
        }
        CGFloat scale = image->scale();
        return CGImageGetPixel(image->CGImage(), static_cast<size_t>((x - origin.x) * scale),
                               static_cast<size_t>((y - origin.y) * scale), rgba);
    }
};

Shot wholeScreen() {
    return {hands::lookAtScreen(), CGPointZero};
}

// A look at one part of the screen: only that part is rendered, as the whole screen shows it.
Shot screenPart(CGRect r) {
    CGRect cut = CGRectIntegral(CGRectIntersection(r, UIScreen::mainScreen()->bounds()));
    if (CGRectIsNull(cut) || CGRectIsEmpty(cut)) {
        return {};
    }
    return {hands::lookAtScreenPart(cut), cut.origin};
}

// A look at the part of the screen a view covers; nothing when it is not on screen.
Shot viewPart(const Ref<UIView>& view) {
    return view && view->window() ? screenPart(view->convertRectToView(view->bounds(), nullptr)) : Shot{};
}

// What a rectangle of the screen (points) looks like.
struct Look {
    std::array<double, 3> mean{};
    std::array<int, 3> usual{}; // the commonest colour
    int samples = 0;
    int off = 0;   // samples far from the rectangle's usual colour
    int faint = 0; // samples a little off it (an after-image)
    int dark = 0;  // samples much darker than it
    double darkMinX = 1e9, darkMaxX = -1, darkMinY = 1e9, darkMaxY = -1;
};

Look lookAt(const Shot& shot, CGRect r) {
    Look look;
    if (!shot.image) {
        return look;
    }
    std::vector<std::array<int, 3>> px;
    for (CGFloat y = r.origin.y; y < r.origin.y + r.size.height; y += 3) {
        for (CGFloat x = r.origin.x; x < r.origin.x + r.size.width; x += 3) {
            uint8_t rgba[4];
            if (shot.pixel(x, y, rgba)) {
                px.push_back({rgba[0], rgba[1], rgba[2]});
                for (int c = 0; c < 3; ++c) {
                    look.mean[c] += rgba[c];
                }
            }
        }
    }
    look.samples = static_cast<int>(px.size());
    if (px.empty()) {
        return look;
    }
    for (auto& m : look.mean) {
        m /= look.samples;
    }
    // The usual colour: the commonest one.
    std::map<std::array<int, 3>, int> counts;
    for (const auto& p : px) {
        ++counts[p];
    }
    std::array<int, 3> usual{};
    int best = 0;
    for (const auto& [c, n] : counts) {
        if (n > best) {
            best = n;
            usual = c;
        }
    }
    look.usual = usual;
    size_t i = 0;
    for (CGFloat y = r.origin.y; y < r.origin.y + r.size.height; y += 3) {
        for (CGFloat x = r.origin.x; x < r.origin.x + r.size.width && i < px.size(); x += 3, ++i) {
            const auto& p = px[i];
            int d = std::abs(p[0] - usual[0]) + std::abs(p[1] - usual[1]) + std::abs(p[2] - usual[2]);
            int lum = p[0] + p[1] + p[2];
            int usualLum = usual[0] + usual[1] + usual[2];
            if (d > 90) {
                ++look.off;
            } else if (d > 12) {
                ++look.faint;
            }
            if (usualLum - lum > 300) {
                ++look.dark;
                look.darkMinX = std::min(look.darkMinX, static_cast<double>(x));
                look.darkMaxX = std::max(look.darkMaxX, static_cast<double>(x));
                look.darkMinY = std::min(look.darkMinY, static_cast<double>(y));
                look.darkMaxY = std::max(look.darkMaxY, static_cast<double>(y));
            }
        }
    }
    return look;
}

// The colours of a grid of points of the screen (points), to tell a moving picture from a still one.
std::vector<uint32_t> samplesOf(const Shot& shot, CGRect r) {
    std::vector<uint32_t> out;
    if (!shot.image) {
        return out;
    }
    for (CGFloat y = r.origin.y; y < r.origin.y + r.size.height; y += 2) {
        for (CGFloat x = r.origin.x; x < r.origin.x + r.size.width; x += 2) {
            uint8_t rgba[4] = {0, 0, 0, 0};
            shot.pixel(x, y, rgba);
            out.push_back((uint32_t(rgba[0]) << 16) | (uint32_t(rgba[1]) << 8) | rgba[2]);
        }
    }
    return out;
}

// Whether two looks at the same place differ in enough points to have moved.
bool moved(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size()) {
        return true;
    }
    size_t changed = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        changed += a[i] != b[i];
    }
    return changed > 20;
}

CGRect screenBounds() {
    return UIScreen::mainScreen()->bounds();
}

// The screen shows one even colour: all of it below the status bar, when the bar is shown over the
// colour (its time and marks are no part of the fill).
bool evenFill(const Shot& shot) {
    CGRect b = screenBounds();
    CGFloat bar = UIApplication::sharedApplication()->statusBarFrame().size.height;
    b.origin.y += bar;
    b.size.height -= bar;
    auto look = lookAt(shot, b);
    return look.samples > 0 && look.off == 0 && look.faint < look.samples / 200;
}

// The empty part of a question screen between its texts and its answer bar: an after-image shows
// there as a faint pattern, a crack as thin dark lines (a dead block of pixels is neither).
CGRect questionRect() {
    CGRect b = screenBounds();
    return CGRectMake(0, b.size.height * 0.55, b.size.width, b.size.height * 0.30);
}

Look questionArea(const Shot& shot) {
    return lookAt(shot, questionRect());
}

bool cracked(const Look& look) {
    if (look.dark == 0) {
        return false;
    }
    double box = (look.darkMaxX - look.darkMinX + 3) * (look.darkMaxY - look.darkMinY + 3) / 9.0;
    return look.dark < box * 0.5; // lines, not a filled block
}

bool answerTap(const Ref<DXBaseViewController>& screen, bool yes,
               const std::function<std::optional<bool>(const std::string&)>& scripted) {
    if (auto forced = scripted(text(screen->info()->profilekey()))) {
        yes = *forced;
    }
    return UITestDriver::tapButtonTitled(yes ? "YES" : "NO");
}

// Holds the camera to what the record names; answers what that is.
hands::Surface pointCamera(const Ref<DXTestModel>& record) {
    auto params = record ? record->params() : nullptr;
    auto color = params ? cast<NSString>(params->objectForKey("color"_ns)) : nullptr;
    std::string target = color ? color->str() : "";
    auto surface = target == "white"   ? hands::Surface::White
                   : target == "black" ? hands::Surface::Black
                                       : hands::Surface::Chart;
    hands::holdCameraTo(surface);
    return surface;
}

// How the picture area shows what the camera looks at: right when it shows the scene the camera
// points at (a chart with its red patch where it belongs, a bright or a dark surface).
bool pictureLooksRight(const Shot& shot, const Ref<UIView>& area, hands::Surface surface) {
    if (!area || !area->window()) {
        return false;
    }
    CGRect b = area->convertRectToView(area->bounds(), nullptr);
    auto look = lookAt(shot, CGRectInset(b, b.size.width * 0.1, b.size.height * 0.1));
    // A plain surface: its commonest colour (a spot of the display's own is not the camera's).
    double usual = (look.usual[0] + look.usual[1] + look.usual[2]) / 3.0;
    switch (surface) {
    case hands::Surface::White:
        return usual > 180;
    case hands::Surface::Black:
        return usual < 40;
    case hands::Surface::Chart: {
        // The chart shows grey wall, a dark card and strong colours; its grey wall is neutral.
        auto wall = lookAt(shot, CGRectMake(b.origin.x + 2, b.origin.y + b.size.height * 0.45, 6, 6));
        bool neutral = std::fabs(wall.mean[0] - wall.mean[2]) < 25 && wall.mean[1] > 60;
        int strong = 0;
        for (CGFloat y = b.origin.y; y < b.origin.y + b.size.height; y += 6) {
            for (CGFloat x = b.origin.x; x < b.origin.x + b.size.width; x += 6) {
                uint8_t rgba[4];
                if (shot.pixel(x, y, rgba) && rgba[0] > 150 && rgba[1] < 70 && rgba[2] < 70) {
                    ++strong;
                }
            }
        }
        return neutral && strong > 10;
    }
    }
    return false;
}

// How bright the middle of a rectangle of the screen looks (0..255): the middle half each way.
double brightnessOf(const Shot& shot, CGRect r) {
    auto look = lookAt(shot, CGRectInset(r, r.size.width / 4, r.size.height / 4));
    return look.samples > 0 ? (look.mean[0] + look.mean[1] + look.mean[2]) / 3 : -1;
}

// Where the system camera screen shows the live picture: all of the screen above its controls' bar.
CGRect viewfinderRect() {
    CGRect b = screenBounds();
    return CGRectMake(0, 0, b.size.width, std::max<CGFloat>(0, b.size.height - 96));
}

// The video screens: the operator talks while the clip is recorded, then watches and listens to
// the play-back for a little over a second and answers whether picture and sound were right.
bool actOnVideo(const Ref<DXCameraVideoScreen>& video, bool answerShown, double now,
                const std::function<std::optional<bool>(const std::string&)>& scripted) {
    if (memory.step == 0) {
        memory.step = 1;
        hands::speak(30);
        return true;
    }
    if (!answerShown || !video->isPlaying()) {
        return false;
    }
    auto area = video->previewImageView();
    CGRect b = area && area->window() ? area->convertRectToView(area->bounds(), nullptr) : CGRectZero;
    if (memory.playingSince < 0) {
        memory.playingSince = now;
        return true;
    }
    // A first look once the clip is under way, a second one a second later: a live clip moves.
    if (memory.firstPreview.empty()) {
        if (now - memory.playingSince < 0.4) {
            return false;
        }
        memory.firstPreview = samplesOf(screenPart(b), b);
        return true;
    }
    if (now - memory.playingSince < 1.4) {
        return false;
    }
    auto shot = viewPart(area);
    bool picture = pictureLooksRight(shot, area, memory.surface) && moved(memory.firstPreview, samplesOf(shot, b));
    bool sound = hands::listenTo(hands::Sound::Phone, memory.playingSince, now) > hands::kAudible;
    return answerTap(video, picture && sound, scripted);
}

// The camera attribute screen: back from the system camera screen, the operator answers each
// question from what it saw there.
bool actOnAttributes(const Ref<CameraAttributeViewController>& screen, bool answerShown,
                     const std::function<std::optional<bool>(const std::string&)>& scripted) {
    if (!answerShown || !visible(screen->tipLabel())) {
        return false;
    }
    auto tip = screen->tipLabel()->text();
    bool yes = pickerMemory.live;
    if (tip && tip->isEqual(DXLocalizedString("CAMERA_ATTRIBUTE_CONTROLLER_ANSWER_FLASH"))) {
        // The flash lit the picture: it shows far brighter than the live picture did before it.
        auto area = screen->previewImageView();
        double picture = -1;
        if (area && area->window()) {
            CGRect r = area->convertRectToView(area->bounds(), nullptr);
            picture = brightnessOf(screenPart(r), r);
        }
        yes = pickerMemory.flashTried && pickerMemory.brightness >= 0 && picture - pickerMemory.brightness > 35;
    }
    return answerTap(screen, yes, scripted);
}

} // namespace

bool actOnImagePicker() {
    auto picker = UITestDriver::topImagePicker();
    if (!picker) {
        return false;
    }
    double now = DispatchClock::uptime();
    if (pickerMemory.picker.lock() != picker) {
        pickerMemory = PickerMemory{};
        pickerMemory.picker = picker;
        pickerMemory.since = now;
        return false;
    }
    // The operator looks at the live picture three times, half a second apart, while it tries zoom
    // and focus: a live camera's picture moves (the marker on the chart's card) and is not black.
    bool camera = picker->sourceType() == UIImagePickerControllerSourceTypeCamera;
    if (camera && pickerMemory.looks < 3) {
        if (now - pickerMemory.since < 0.5 * (pickerMemory.looks + 1)) {
            return false;
        }
        CGRect r = viewfinderRect();
        auto shot = screenPart(r);
        auto samples = samplesOf(shot, r);
        if (pickerMemory.looks == 0) {
            pickerMemory.firstLook = samples;
            pickerMemory.brightness = brightnessOf(shot, r);
        } else if (moved(pickerMemory.firstLook, samples)) {
            pickerMemory.moved = true;
        }
        ++pickerMemory.looks;
        return true;
    }
    if (now - pickerMemory.since < 0.5) {
        return false;
    }
    // Zoom and focus count only on the camera the test is about (the screen's title says which).
    bool front = camera && picker->cameraDevice() == UIImagePickerControllerCameraDeviceFront;
    bool frontWanted = front;
    Ref<UIViewController> beneath = picker->presentingViewController();
    if (auto navigation = cast<UINavigationController>(beneath)) {
        beneath = navigation->topViewController();
    }
    if (auto container = cast<DXTestViewController>(beneath)) {
        beneath = container->oldViewController();
    }
    if (auto screen = cast<DXBaseViewController>(beneath); screen && screen->info()) {
        auto params = screen->info()->params();
        auto direction = params ? cast<NSString>(params->objectForKey("direction"_ns)) : nullptr;
        frontWanted = direction && direction->str() == "front";
    }
    pickerMemory.live = camera && front == frontWanted && pickerMemory.moved && pickerMemory.brightness > 20;
    // The flash: switched on for a picture of the back camera (the camera screen's flash control); a
    // camera without a flash, or with a dead one, leaves the picture as dark as the live picture.
    pickerMemory.flashTried = camera && !front;
    if (pickerMemory.flashTried) {
        picker->setCameraFlashMode(UIImagePickerControllerCameraFlashModeOn);
    }
    // Without a picture from the camera the operator cancels.
    return UITestDriver::takePicture() || UITestDriver::cancelImagePicker();
}

bool isCameraDisplayScreen(const std::string& screenClass) {
    static const std::set<std::string> screens = {
        "GhostScreenViewController",         "LCDCrackViewController",
        "BrightnessViewController",          "FillColorViewController",
        "FillColor4ItouchuViewController",   "FlashModelViewController",
        "CameraModelViewController",         "CameraPictureViewController",
        "WhiteBalanceViewController",        "CameraVideoViewController",
        "CameraVideo4ItouchuViewController", "CameraAttributeViewController",
    };
    return screens.count(screenClass) != 0;
}

void forget() {
    memory = Memory{};
    pickerMemory = PickerMemory{};
}

bool act(const Ref<DXBaseViewController>& screen,
         const std::function<std::optional<bool>(const std::string&)>& scripted) {
    auto record = screen->info();
    if (!record) {
        return false;
    }
    double now = DispatchClock::uptime();
    if (memory.record != record.get() || memory.screen != screen.get()) {
        memory = Memory{};
        memory.record = record.get();
        memory.screen = screen.get();
        memory.since = now;
        memory.lastLook = now;
        memory.surface = pointCamera(record);
    }
    double onScreen = now - memory.since;
    // The operator takes its time: a look every quarter of a second at most.
    if (now - memory.lastLook < 0.25) {
        return false;
    }
    memory.lastLook = now;
    std::string screenClass = screen->getClass()->name();
    bool chart = memory.surface == hands::Surface::Chart;
    bool answerShown = visible(screen->answerView());

    if (screenClass == "GhostScreenViewController" || screenClass == "LCDCrackViewController") {
        if (onScreen < 0.5 || !answerShown) {
            return false;
        }
        auto look = questionArea(screenPart(questionRect()));
        bool clean = screenClass == "GhostScreenViewController" ? look.faint < look.samples / 100 : !cracked(look);
        return answerTap(screen, clean, scripted);
    }
    if (screenClass == "BrightnessViewController") {
        // Watch the light of the screen for a while: does it follow the sweep?
        double level = hands::lookAtScreenBrightness();
        if (memory.luminance >= 0 && std::fabs(level - memory.luminance) > 0.05) {
            memory.luminanceMoved = true;
        }
        memory.luminance = level;
        if (onScreen < 2.5 || !answerShown) {
            return true;
        }
        return answerTap(screen, memory.luminanceMoved, scripted);
    }
    if (screenClass == "FillColorViewController") {
        auto fill = cast<FillColorViewController>(screen);
        if (answerShown) {
            return answerTap(screen, memory.even, scripted);
        }
        // Look at the colour shown, then tap on to the next.
        if (memory.shownColour != fill->count()) {
            memory.shownColour = fill->count();
            memory.even = evenFill(wholeScreen()) && memory.even;
            return true;
        }
        return UITestDriver::tapView(fill->view());
    }
    if (screenClass == "FillColor4ItouchuViewController") {
        auto fill = cast<FillColor4ItouchuViewController>(screen);
        if (!answerShown) {
            if (memory.shownColour != fill->count()) {
                memory.shownColour = fill->count();
                memory.even = evenFill(wholeScreen());
            }
            return false;
        }
        return answerTap(screen, memory.even, scripted);
    }
    if (screenClass == "FlashModelViewController") {
        if (onScreen < 1.0 || !answerShown) {
            return false;
        }
        return answerTap(screen, hands::lookAtTorch(), scripted);
    }
    if (auto video = cast<DXCameraVideoScreen>(screen)) {
        return actOnVideo(video, answerShown, now, scripted);
    }
    if (auto attributes = cast<CameraAttributeViewController>(screen)) {
        return actOnAttributes(attributes, answerShown, scripted);
    }
    if (screenClass == "CameraModelViewController") {
        auto model = cast<CameraModelViewController>(screen);
        if (!answerShown) {
            return false;
        }
        if (memory.step == 0) {
            if (onScreen < 1.0) {
                return false;
            }
            memory.step = 1;
            auto area = model->previewImageView();
            CGRect b = area ? area->convertRectToView(area->bounds(), nullptr) : CGRectZero;
            memory.firstPreview = samplesOf(screenPart(b), b);
            return true;
        }
        // A live picture moves: the marker on the chart's card goes on between looks. The operator
        // watches for that at every look, not only at the last one: the marker sweeps the card once
        // a second, so two looks a whole sweep apart find it in the same place.
        auto area = model->previewImageView();
        auto shot = viewPart(area);
        if (area && chart && !memory.previewMoved) {
            CGRect b = area->convertRectToView(area->bounds(), nullptr);
            memory.previewMoved = moved(memory.firstPreview, samplesOf(shot, b));
        }
        if (onScreen < 1.6) {
            return false;
        }
        bool right = pictureLooksRight(shot, area, memory.surface);
        if (right && chart) {
            right = memory.previewMoved;
        }
        return answerTap(screen, right, scripted);
    }
    if (screenClass == "CameraPictureViewController" || screenClass == "WhiteBalanceViewController") {
        auto picture = cast<CameraPictureViewController>(screen);
        if (answerShown) {
            if (onScreen < 0.5) {
                return false;
            }
            bool right = memory.even && pictureLooksRight(viewPart(picture->previewImageView()),
                                                          picture->previewImageView(), memory.surface);
            return answerTap(screen, right, scripted);
        }
        auto capture = picture->captureButton();
        if (!visible(capture) || !capture->isEnabled()) {
            return false;
        }
        // Watch the live picture a moment before taking one: a live camera's picture moves.
        auto area = picture->previewImageView();
        CGRect b = area && area->window() ? area->convertRectToView(area->bounds(), nullptr) : CGRectZero;
        if (memory.step == 0) {
            memory.step = 1;
            memory.firstPreview = samplesOf(screenPart(b), b);
            return true;
        }
        if (memory.step == 1 && chart && !memory.previewMoved) {
            memory.previewMoved = moved(memory.firstPreview, samplesOf(screenPart(b), b));
        }
        if (memory.step == 1 && onScreen >= 1.0) {
            // Only the chart has something that moves; a plain surface looks the same when live.
            memory.even = !chart || memory.previewMoved;
            memory.step = 2;
            return UITestDriver::tapView(capture);
        }
        return false;
    }
    return false;
}

} // namespace camera_operator
