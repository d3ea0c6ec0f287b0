// SimCamera: scene rendering with cairo, the QR code card (libqrencode), white balance, torch,
// flash and the display's faults.
#include <Device/SimCamera.h>
#include <Device/SimFaults.h>

#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>

#include <cairo.h>
#include <qrencode.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

size_t cameraIndex(SimCamera::Position position) {
    return position == SimCamera::Position::Front ? 1 : 0;
}

double clamp01(double v) {
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
}

// The device's clock, as the platform reads it.
double uptimeNow() {
    return DispatchClock::uptime();
}

} // namespace

cairo_surface_t* SimFrame::newSurface() const {
    if (width < 1 || height < 1) {
        return nullptr;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        std::memcpy(data + static_cast<ptrdiff_t>(y) * stride, &pixels[static_cast<size_t>(y) * width],
                    static_cast<size_t>(width) * 4);
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

void SimFrame::paintCentred(cairo_t* cr, double x, double y, double boxWidth, double boxHeight, double drawnWidth,
                            double drawnHeight) const {
    cairo_surface_t* surface = newSurface();
    if (!surface) {
        return;
    }
    cairo_save(cr);
    cairo_rectangle(cr, x, y, boxWidth, boxHeight);
    cairo_clip(cr);
    cairo_translate(cr, x + (boxWidth - drawnWidth) / 2, y + (boxHeight - drawnHeight) / 2);
    cairo_scale(cr, drawnWidth / width, drawnHeight / height);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
}

SimFrame::RGB SimFrame::mean(double x, double y, double w, double h) const {
    RGB out;
    int x0 = std::clamp(static_cast<int>(x * width), 0, width);
    int y0 = std::clamp(static_cast<int>(y * height), 0, height);
    int x1 = std::clamp(static_cast<int>((x + w) * width), 0, width);
    int y1 = std::clamp(static_cast<int>((y + h) * height), 0, height);
    double n = 0;
    for (int yy = y0; yy < y1; ++yy) {
        for (int xx = x0; xx < x1; ++xx) {
            uint32_t p = at(xx, yy);
            out.r += (p >> 16) & 0xFF;
            out.g += (p >> 8) & 0xFF;
            out.b += p & 0xFF;
            n += 1;
        }
    }
    if (n > 0) {
        out.r /= n;
        out.g /= n;
        out.b /= n;
    }
    return out;
}

const std::vector<SimCamera::Patch>& SimCamera::chartPatches() {
    static const std::vector<Patch> patches = {
        {"white", 0.14, 0.32, 0.20, 0.14, 0.95, 0.95, 0.95}, {"grey", 0.40, 0.32, 0.20, 0.14, 0.45, 0.45, 0.45},
        {"red", 0.66, 0.32, 0.20, 0.14, 0.80, 0.10, 0.10},   {"green", 0.14, 0.52, 0.20, 0.14, 0.10, 0.70, 0.15},
        {"blue", 0.40, 0.52, 0.20, 0.14, 0.10, 0.15, 0.80},  {"black", 0.66, 0.52, 0.20, 0.14, 0.03, 0.03, 0.03},
    };
    return patches;
}

const SimCamera::Patch& SimCamera::patchNamed(const std::string& name) {
    for (const auto& p : chartPatches()) {
        if (name == p.name) {
            return p;
        }
    }
    throw std::invalid_argument("no chart patch named " + name);
}

SimCamera& SimCamera::current() {
    static SimCamera* camera = [] {
        auto* made = new SimCamera;
        // The camera does not follow the profile: a test that ends puts it back itself (as
        // SimDevice::startAfresh does for the parts that do).
        DispatchClock::addTestEndHandler([made] { made->reset(); });
        return made;
    }();
    return *camera;
}

const char* SimCamera::cameraStateName(CameraState state) {
    switch (state) {
    case CameraState::Working:
        return "working";
    case CameraState::Absent:
        return "absent";
    case CameraState::Dead:
        return "dead";
    case CameraState::Frozen:
        return "frozen";
    }
    return "working";
}

const char* SimCamera::lightStateName(LightState state) {
    switch (state) {
    case LightState::Working:
        return "working";
    case LightState::Absent:
        return "absent";
    case LightState::Dead:
        return "dead";
    }
    return "working";
}

const char* SimCamera::displayFaultName(DisplayFault fault) {
    switch (fault) {
    case DisplayFault::None:
        return "working";
    case DisplayFault::DeadArea:
        return "deadArea";
    case DisplayFault::Ghost:
        return "ghost";
    case DisplayFault::Crack:
        return "crack";
    }
    return "working";
}

std::vector<std::string> SimCamera::states(const std::string& part) {
    if (part == "backCamera" || part == "frontCamera") {
        return {"working", "absent", "dead", "frozen"};
    }
    if (part == "torch" || part == "flash") {
        return {"working", "absent", "dead"};
    }
    if (part == "display") {
        return {"working", "deadArea", "ghost", "crack"};
    }
    if (part == "backlight") {
        return {"working", "stuck"};
    }
    if (part == "storage") {
        return {"working", "full"};
    }
    return {}; // another component's part
}

bool SimCamera::applyFaults(const std::string& text, std::string* error) {
    std::vector<std::pair<std::string, std::string>> changes;
    if (!sim_faults::parse(
            text, [](const std::string& part) { return !states(part).empty(); }, changes, error)) {
        return false;
    }
    for (const auto& [part, state] : changes) {
        if (auto allowed = states(part); std::find(allowed.begin(), allowed.end(), state) == allowed.end()) {
            if (error) {
                *error = sim_faults::refusal(sim_faults::unknownState(part, state, allowed));
            }
            return false;
        }
    }
    for (const auto& [part, state] : changes) {
        if (part == "backCamera" || part == "frontCamera") {
            auto s = state == "absent"   ? CameraState::Absent
                     : state == "dead"   ? CameraState::Dead
                     : state == "frozen" ? CameraState::Frozen
                                         : CameraState::Working;
            setCameraState(part == "frontCamera" ? Position::Front : Position::Back, s);
        } else if (part == "torch" || part == "flash") {
            auto s = state == "absent" ? LightState::Absent : state == "dead" ? LightState::Dead : LightState::Working;
            (part == "torch") ? setTorchState(s) : setFlashState(s);
        } else if (part == "display") {
            setDisplayFault(state == "deadArea" ? DisplayFault::DeadArea
                            : state == "ghost"  ? DisplayFault::Ghost
                            : state == "crack"  ? DisplayFault::Crack
                                                : DisplayFault::None);
        } else if (part == "backlight") {
            setBacklightStuck(state == "stuck");
        } else if (part == "storage" && state == "full") {
            // Movies and pictures are what fill a phone: the storage keeps too little room to record.
            auto storage = SimDevice::current().storage();
            storage.freeBytes = std::min<int64_t>(storage.freeBytes, kFullStorageFreeBytes);
            SimDevice::current().setStorage(storage);
        }
    }
    return true;
}

bool SimCamera::loadFaults(const std::string& path, std::string* error) {
    return sim_faults::load(path, error,
                            [this](const std::string& text, std::string* why) { return applyFaults(text, why); });
}

void SimCamera::reset() {
    setCameraState(Position::Back, CameraState::Working);
    setCameraState(Position::Front, CameraState::Working);
    std::lock_guard lock(mutex_);
    torch_ = LightState::Working;
    flash_ = LightState::Working;
    display_ = DisplayFault::None;
    backlightStuck_ = false;
    scene_ = Scene::Chart;
    kelvin_ = 5000;
    qrText_.clear();
    qrModules_.clear();
    qrWidth_ = 0;
    torchOn_ = false;
    torchLog_.clear();
    authorization_ = Authorization::Authorized;
    promptAnswer_ = PromptAnswer::Allow;
    promptDelay_ = 1.0;
    pendingReplies_.clear();
    ++promptGeneration_;
    lockedWhiteBalance_[0] = lockedWhiteBalance_[1] = true;
    refusesLock_ = false;
    startFails_ = false;
}

SimCamera::CameraState SimCamera::cameraState(Position position) const {
    auto camera = SimDevice::current().camera(position);
    if (!camera || !camera->present) {
        return CameraState::Absent;
    }
    if (!camera->working) {
        return CameraState::Dead;
    }
    std::lock_guard lock(mutex_);
    return states_[cameraIndex(position)] == CameraState::Frozen ? CameraState::Frozen : CameraState::Working;
}

void SimCamera::setCameraState(Position position, CameraState state) {
    if (position == Position::Unspecified) {
        return;
    }
    // A frozen sensor keeps the picture it had at the moment it froze.
    std::optional<SimFrame> still;
    if (state == CameraState::Frozen) {
        still = renderFrame(kFrozenWidth, kFrozenHeight, neutralGains(), uptimeNow(), false, false);
    }
    {
        std::lock_guard lock(mutex_);
        states_[cameraIndex(position)] = state;
        frozen_[cameraIndex(position)] = std::move(still);
    }
    auto& device = SimDevice::current();
    device.setCameraPresent(position, state != CameraState::Absent);
    device.setCameraWorking(position, state != CameraState::Dead);
}

SimCamera::LightState SimCamera::torchState() const {
    std::lock_guard lock(mutex_);
    return torch_;
}

void SimCamera::setTorchState(LightState state) {
    std::lock_guard lock(mutex_);
    torch_ = state;
    bool lit = torchOn_ && state == LightState::Working;
    bool wasLit = !torchLog_.empty() && torchLog_.back().lit;
    if (lit != wasLit) {
        torchLog_.push_back({uptimeNow(), lit});
    }
}

SimCamera::LightState SimCamera::flashState() const {
    std::lock_guard lock(mutex_);
    return flash_;
}

void SimCamera::setFlashState(LightState state) {
    std::lock_guard lock(mutex_);
    flash_ = state;
}

SimCamera::DisplayFault SimCamera::displayFault() const {
    std::lock_guard lock(mutex_);
    return display_;
}

void SimCamera::setDisplayFault(DisplayFault fault) {
    std::lock_guard lock(mutex_);
    display_ = fault;
}

bool SimCamera::backlightStuck() const {
    std::lock_guard lock(mutex_);
    return backlightStuck_;
}

void SimCamera::setBacklightStuck(bool stuck) {
    double level = SimDevice::current().brightness();
    std::lock_guard lock(mutex_);
    backlightStuck_ = stuck;
    stuckLuminance_ = level;
}

SimCamera::Scene SimCamera::scene() const {
    std::lock_guard lock(mutex_);
    return scene_;
}

void SimCamera::setScene(Scene scene) {
    std::lock_guard lock(mutex_);
    scene_ = scene;
}

double SimCamera::lightTemperature() const {
    std::lock_guard lock(mutex_);
    return kelvin_;
}

void SimCamera::setLightTemperature(double kelvin) {
    std::lock_guard lock(mutex_);
    kelvin_ = std::isfinite(kelvin) ? std::clamp(kelvin, 2000.0, 15000.0) : 5000.0;
}

bool SimCamera::setQRCode(const std::string& text) {
    std::vector<bool> modules;
    int width = 0;
    if (!text.empty()) {
        QRcode* code = QRcode_encodeData(static_cast<int>(text.size()),
                                         reinterpret_cast<const unsigned char*>(text.data()), 0, QR_ECLEVEL_L);
        if (!code) {
            return false;
        }
        width = code->width;
        modules.resize(static_cast<size_t>(width) * width);
        for (int i = 0; i < width * width; ++i) {
            modules[static_cast<size_t>(i)] = (code->data[i] & 1) != 0;
        }
        QRcode_free(code);
    }
    std::lock_guard lock(mutex_);
    qrText_ = text;
    qrModules_ = std::move(modules);
    qrWidth_ = width;
    return true;
}

std::string SimCamera::qrCode() const {
    std::lock_guard lock(mutex_);
    return qrText_;
}

// The colour of a black body at `kelvin`, 0..1 per channel (a fit of the Planck curve in sRGB).
SimCamera::Light SimCamera::lightColour(double kelvin) {
    double t = std::clamp(kelvin, 2000.0, 15000.0) / 100.0;
    double r = t <= 66 ? 255 : 329.698727446 * std::pow(t - 60, -0.1332047592);
    double g =
        t <= 66 ? 99.4708025861 * std::log(t) - 161.1195681661 : 288.1221695283 * std::pow(t - 60, -0.0755148492);
    double b = t >= 66 ? 255 : 138.5177312231 * std::log(t - 10) - 305.0447927307;
    auto norm = [](double v) { return std::clamp(v, 1.0, 255.0) / 255.0; };
    return {norm(r), norm(g), norm(b)};
}

SimCamera::Gains SimCamera::gainsForTemperatureAndTint(double kelvin, double tint) {
    Light l = lightColour(kelvin);
    double tintFactor = 1.0 + std::clamp(std::isfinite(tint) ? tint : 0.0, -150.0, 150.0) / 300.0;
    double r = 1 / l.r, g = tintFactor / l.g, b = 1 / l.b;
    double least = std::min({r, g, b});
    return {static_cast<float>(r / least), static_cast<float>(g / least), static_cast<float>(b / least)};
}

void SimCamera::temperatureAndTintForGains(const Gains& gains, double* kelvin, double* tint) {
    double r = std::max(1e-6, static_cast<double>(gains.red));
    double g = std::max(1e-6, static_cast<double>(gains.green));
    double b = std::max(1e-6, static_cast<double>(gains.blue));
    // Blue against red falls steadily as the light warms up: search the temperature on it.
    double want = b / r;
    double lo = 2000, hi = 15000;
    for (int i = 0; i < 60; ++i) {
        double mid = (lo + hi) / 2;
        Gains at = gainsForTemperatureAndTint(mid, 0);
        if (at.blue / at.red > want) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    double t = (lo + hi) / 2;
    Gains at = gainsForTemperatureAndTint(t, 0);
    double factor = (g / r) / (static_cast<double>(at.green) / at.red);
    if (kelvin) {
        *kelvin = t;
    }
    if (tint) {
        *tint = std::clamp((factor - 1.0) * 300.0, -150.0, 150.0);
    }
}

SimCamera::Gains SimCamera::neutralGains() const {
    return gainsForTemperatureAndTint(lightTemperature(), 0);
}

std::optional<SimFrame> SimCamera::frame(Position position, int width, int height, const Gains& gains, double time,
                                         bool mirrored) {
    CameraState state = cameraState(position);
    if (state == CameraState::Absent || width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        return std::nullopt;
    }
    size_t i = cameraIndex(position);
    if (state == CameraState::Frozen) {
        // A frozen sensor repeats the one picture it had when it froze, whatever it looks at now.
        std::optional<SimFrame> still;
        {
            std::lock_guard lock(mutex_);
            still = frozen_[i];
        }
        if (!still) {
            still = renderFrame(kFrozenWidth, kFrozenHeight, gains, time, false, false);
            std::lock_guard lock(mutex_);
            if (!frozen_[i]) {
                frozen_[i] = still;
            }
            still = frozen_[i];
        }
        SimFrame out;
        out.width = width;
        out.height = height;
        out.pixels.resize(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; ++y) {
            int sy = std::min(still->height - 1, y * still->height / height);
            for (int x = 0; x < width; ++x) {
                int sx = std::min(still->width - 1, x * still->width / width);
                int dx = mirrored ? width - 1 - x : x;
                out.pixels[static_cast<size_t>(y) * width + dx] = still->at(sx, sy);
            }
        }
        return out;
    }
    return renderFrame(width, height, gains, time, mirrored, state == CameraState::Dead);
}

SimFrame SimCamera::renderFrame(int width, int height, const Gains& gains, double time, bool mirrored,
                                bool dead) const {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    if (dead) {
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_paint(cr);
    } else {
        if (mirrored) {
            cairo_translate(cr, width, 0);
            cairo_scale(cr, -1, 1);
        }
        renderScene(cr, width, height, gains, time);
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    SimFrame out;
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<size_t>(width) * height);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            out.pixels[static_cast<size_t>(y) * width + x] = row[x] | 0xFF000000u;
        }
    }
    cairo_surface_destroy(surface);
    return out;
}

void SimCamera::renderScene(cairo_t* cr, int width, int height, const Gains& gains, double time) const {
    Scene scene;
    Light light;
    Gains neutral;
    std::vector<bool> modules;
    int qrWidth;
    bool torchLit;
    {
        std::lock_guard lock(mutex_);
        scene = scene_;
        light = lightColour(kelvin_);
        neutral = gainsForTemperatureAndTint(kelvin_, 0);
        modules = qrModules_;
        qrWidth = qrWidth_;
        torchLit = torchOn_ && torch_ == LightState::Working;
    }
    // The sensor sees reflectance x light; the gains scale each channel; the exposure is set for
    // the light's green under neutral gains (so the right gains show the true colours).
    double exposure = 1.0 / (light.g * neutral.green);
    double boost = torchLit ? 1.15 : 1.0;
    auto paint = [&](double r, double g, double b) {
        cairo_set_source_rgb(cr, clamp01(r * light.r * gains.red * exposure * boost),
                             clamp01(g * light.g * gains.green * exposure * boost),
                             clamp01(b * light.b * gains.blue * exposure * boost));
    };
    double w = width, h = height;
    if (scene == Scene::WhiteSurface) {
        paint(0.92, 0.92, 0.92);
        cairo_paint(cr);
        return;
    }
    if (scene == Scene::BlackSurface) {
        paint(0.02, 0.02, 0.02);
        cairo_paint(cr);
        return;
    }
    paint(0.5, 0.5, 0.5); // the wall
    cairo_paint(cr);
    paint(0.2, 0.2, 0.2); // the chart's card
    cairo_rectangle(cr, 0.10 * w, 0.28 * h, 0.80 * w, 0.42 * h);
    cairo_fill(cr);
    for (const auto& p : chartPatches()) {
        paint(p.r, p.g, p.b);
        cairo_rectangle(cr, p.x * w, p.y * h, p.w * w, p.h * h);
        cairo_fill(cr);
    }
    // The marker sweeps along the card's top band, over the patches, once a second.
    double phase = time - std::floor(time);
    paint(0.9, 0.9, 0.9);
    cairo_rectangle(cr, (0.11 + 0.72 * phase) * w, 0.285 * h, 0.06 * w, 0.03 * h);
    cairo_fill(cr);
    // The QR code card: white with a quiet zone of four modules, 60 % of the shorter side.
    if (qrWidth > 0) {
        double side = 0.6 * std::min(w, h);
        double module = side / (qrWidth + 8);
        double x0 = (w - side) / 2, y0 = (h - side) / 2;
        paint(0.95, 0.95, 0.95);
        cairo_rectangle(cr, x0, y0, side, side);
        cairo_fill(cr);
        paint(0.03, 0.03, 0.03);
        for (int y = 0; y < qrWidth; ++y) {
            for (int x = 0; x < qrWidth; ++x) {
                if (modules[static_cast<size_t>(y) * qrWidth + x]) {
                    cairo_rectangle(cr, x0 + (x + 4) * module, y0 + (y + 4) * module, module, module);
                }
            }
        }
        cairo_fill(cr);
    }
}

bool SimCamera::hasTorch() const {
    auto back = SimDevice::current().camera(Position::Back);
    std::lock_guard lock(mutex_);
    return back && back->present && back->hasFlash && torch_ != LightState::Absent;
}

bool SimCamera::hasFlash() const {
    auto back = SimDevice::current().camera(Position::Back);
    std::lock_guard lock(mutex_);
    return back && back->present && back->hasFlash && flash_ != LightState::Absent;
}

void SimCamera::setTorchOn(bool on) {
    std::lock_guard lock(mutex_);
    torchOn_ = on;
    bool lit = on && torch_ == LightState::Working;
    bool wasLit = !torchLog_.empty() && torchLog_.back().lit;
    if (lit != wasLit) {
        torchLog_.push_back({uptimeNow(), lit});
    }
}

bool SimCamera::torchLit() const {
    std::lock_guard lock(mutex_);
    return torchOn_ && torch_ == LightState::Working;
}

std::vector<SimCamera::TorchChange> SimCamera::torchLog() const {
    std::lock_guard lock(mutex_);
    return torchLog_;
}

bool SimCamera::fireFlash() {
    std::lock_guard lock(mutex_);
    return flash_ == LightState::Working;
}

double SimCamera::displayLuminance() const {
    double level = SimDevice::current().brightness();
    std::lock_guard lock(mutex_);
    return backlightStuck_ ? stuckLuminance_ : level;
}

void SimCamera::paintDisplayFaults(cairo_t* cr, double width, double height) const {
    DisplayFault fault = displayFault();
    cairo_save(cr);
    switch (fault) {
    case DisplayFault::None:
        break;
    case DisplayFault::DeadArea:
        // A patch of pixels that never light.
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_rectangle(cr, 0.55 * width, 0.30 * height, 0.25 * width, 0.12 * height);
        cairo_fill(cr);
        break;
    case DisplayFault::Ghost:
        // A keyboard burnt into the panel, faintly over whatever is shown.
        cairo_set_source_rgba(cr, 0.5, 0.5, 0.5, 0.18);
        for (int row = 0; row < 4; ++row) {
            for (int key = 0; key < 10; ++key) {
                cairo_rectangle(cr, (0.02 + key * 0.098) * width, (0.64 + row * 0.08) * height, 0.085 * width,
                                0.065 * height);
            }
        }
        cairo_fill(cr);
        break;
    case DisplayFault::Crack:
        // Cracks running from the lower left corner.
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_set_line_width(cr, std::max(2.0, width / 150));
        cairo_move_to(cr, 0, height);
        cairo_line_to(cr, 0.3 * width, 0.7 * height);
        cairo_line_to(cr, 0.45 * width, 0.72 * height);
        cairo_line_to(cr, 0.8 * width, 0.4 * height);
        cairo_move_to(cr, 0.3 * width, 0.7 * height);
        cairo_line_to(cr, 0.25 * width, 0.4 * height);
        cairo_line_to(cr, 0.4 * width, 0.1 * height);
        cairo_stroke(cr);
        break;
    }
    cairo_restore(cr);
}

SimCamera::Authorization SimCamera::authorization() const {
    std::lock_guard lock(mutex_);
    return authorization_;
}

void SimCamera::setAuthorization(Authorization authorization) {
    std::lock_guard lock(mutex_);
    authorization_ = authorization;
}

void SimCamera::setPromptAnswer(PromptAnswer answer, double promptDelay) {
    std::lock_guard lock(mutex_);
    promptAnswer_ = answer;
    promptDelay_ = std::isfinite(promptDelay) ? std::max(0.0, promptDelay) : 1.0;
}

void SimCamera::askAuthorization(std::function<void(bool granted)> reply) {
    auto queue = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    std::unique_lock lock(mutex_);
    if (authorization_ != Authorization::NotDetermined) {
        bool granted = authorization_ == Authorization::Authorized;
        lock.unlock();
        dispatch_async(queue, [reply = std::move(reply), granted] { reply(granted); });
        return;
    }
    bool first = pendingReplies_.empty();
    pendingReplies_.push_back(std::move(reply));
    if (!first || promptAnswer_ == PromptAnswer::Wait) {
        return;
    }
    bool allow = promptAnswer_ == PromptAnswer::Allow;
    uint64_t generation = promptGeneration_;
    double delay = promptDelay_;
    lock.unlock();
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(delay * NSEC_PER_SEC)), queue,
                   [this, allow, generation] {
                       {
                           std::lock_guard again(mutex_);
                           if (generation != promptGeneration_) {
                               return; // answered or reset meanwhile
                           }
                       }
                       answerAuthorizationPrompt(allow);
                   });
}

bool SimCamera::authorizationPromptShown() const {
    std::lock_guard lock(mutex_);
    return !pendingReplies_.empty();
}

void SimCamera::answerAuthorizationPrompt(bool allow) {
    std::vector<std::function<void(bool)>> replies;
    {
        std::lock_guard lock(mutex_);
        if (pendingReplies_.empty()) {
            return;
        }
        replies.swap(pendingReplies_);
        ++promptGeneration_;
        authorization_ = allow ? Authorization::Authorized : Authorization::Denied;
    }
    auto queue = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    for (auto& reply : replies) {
        dispatch_async(queue, [reply = std::move(reply), allow] { reply(allow); });
    }
}

bool SimCamera::lockedWhiteBalanceSupported(Position position) const {
    std::lock_guard lock(mutex_);
    return lockedWhiteBalance_[cameraIndex(position)];
}

void SimCamera::setLockedWhiteBalanceSupported(Position position, bool supported) {
    std::lock_guard lock(mutex_);
    lockedWhiteBalance_[cameraIndex(position)] = supported;
}

bool SimCamera::refusesConfigurationLock() const {
    std::lock_guard lock(mutex_);
    return refusesLock_;
}

void SimCamera::setRefusesConfigurationLock(bool refuses) {
    std::lock_guard lock(mutex_);
    refusesLock_ = refuses;
}

bool SimCamera::sessionStartFails() const {
    std::lock_guard lock(mutex_);
    return startFails_;
}

void SimCamera::setSessionStartFails(bool fails) {
    std::lock_guard lock(mutex_);
    startFails_ = fails;
}
