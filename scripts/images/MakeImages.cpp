// Draws the bundled images of the app into a folder (Resources/Images/ by default): each test's
// icon, the result marks, and the pictures of the test screens, at 1x, 2x and 3x ("name.png",
// "name@2x.png", "name@3x.png"), since the platform's imageNamed picks the file of the screen's
// scale. Built and run by scripts/make-images.sh; the files it writes are committed, and running it
// again writes the same pictures.
//
// Every picture is drawn in points (y down); a test icon is drawn in a 100 x 100 box scaled to its
// size: a white pictogram on a rounded tile in the colour of the test's family.
#include <cairo.h>
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Colour {
    double r, g, b, a = 1;
};

// The families' tiles.
constexpr Colour kQuestions{0.47, 0.50, 0.56};
constexpr Colour kSensors{0.00, 0.58, 0.60};
constexpr Colour kAudio{0.95, 0.52, 0.10};
constexpr Colour kCamera{0.55, 0.35, 0.80};
constexpr Colour kTouch{0.10, 0.48, 0.93};
constexpr Colour kPower{0.27, 0.33, 0.72};
constexpr Colour kBrand{0.05, 0.40, 0.70};

// The marks: pass green and fail red (the answer bar's YES and NO), not applicable grey.
constexpr Colour kGreen{0.30, 0.69, 0.31};
constexpr Colour kRed{0.90, 0.24, 0.21};
constexpr Colour kGrey{0.60, 0.62, 0.65};
constexpr Colour kBlue{0.00, 0.48, 1.00};
constexpr Colour kWhite{1, 1, 1};
constexpr Colour kDark{0.16, 0.17, 0.19, 0.94};

constexpr double kPi = std::numbers::pi;

double rad(double degrees) {
    return degrees * kPi / 180;
}

// A thin layer over cairo for short drawing code.
class Pen {
public:
    explicit Pen(cairo_t* c) : c_(c) {
        cairo_set_line_cap(c_, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(c_, CAIRO_LINE_JOIN_ROUND);
    }
    cairo_t* raw() const { return c_; }
    Pen& colour(Colour k) {
        cairo_set_source_rgba(c_, k.r, k.g, k.b, k.a);
        return *this;
    }
    Pen& width(double w) {
        cairo_set_line_width(c_, w);
        return *this;
    }
    void stroke() { cairo_stroke(c_); }
    void fill() { cairo_fill(c_); }
    // Paths.
    Pen& circle(double x, double y, double r) {
        cairo_new_sub_path(c_);
        cairo_arc(c_, x, y, r, 0, 2 * kPi);
        return *this;
    }
    Pen& arc(double x, double y, double r, double from, double to) {
        cairo_new_sub_path(c_);
        cairo_arc(c_, x, y, r, rad(from), rad(to));
        return *this;
    }
    Pen& rrect(double x, double y, double w, double h, double r) {
        cairo_new_sub_path(c_);
        cairo_arc(c_, x + w - r, y + r, r, rad(-90), 0);
        cairo_arc(c_, x + w - r, y + h - r, r, 0, rad(90));
        cairo_arc(c_, x + r, y + h - r, r, rad(90), rad(180));
        cairo_arc(c_, x + r, y + r, r, rad(180), rad(270));
        cairo_close_path(c_);
        return *this;
    }
    Pen& poly(std::initializer_list<std::pair<double, double>> points, bool close) {
        bool first = true;
        for (auto [x, y] : points) {
            if (first) {
                cairo_move_to(c_, x, y);
                first = false;
            } else {
                cairo_line_to(c_, x, y);
            }
        }
        if (close) {
            cairo_close_path(c_);
        }
        return *this;
    }
    // A filled rectangle.
    void box(double x, double y, double w, double h) {
        cairo_rectangle(c_, x, y, w, h);
        cairo_fill(c_);
    }
    Pen& line(double x1, double y1, double x2, double y2) {
        cairo_move_to(c_, x1, y1);
        cairo_line_to(c_, x2, y2);
        return *this;
    }
    Pen& curve(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3) {
        cairo_move_to(c_, x0, y0);
        cairo_curve_to(c_, x1, y1, x2, y2, x3, y3);
        return *this;
    }
    // A stroked line with a filled head at its end.
    void arrow(double x1, double y1, double x2, double y2, double head, double lineWidth) {
        double a = std::atan2(y2 - y1, x2 - x1);
        double bx = x2 - head * 0.8 * std::cos(a), by = y2 - head * 0.8 * std::sin(a);
        width(lineWidth).line(x1, y1, bx, by).stroke();
        head_(x2, y2, a, head);
    }
    // A stroked arc (degrees, clockwise on the screen) with a head at its end.
    void arcArrow(double x, double y, double r, double from, double to, double head, double lineWidth) {
        double step = to > from ? 1 : -1;
        double trim = step * (head * 0.7 / r) * 180 / kPi;
        width(lineWidth).arc(x, y, r, std::min(from, to - trim), std::max(from, to - trim));
        stroke();
        double ex = x + r * std::cos(rad(to)), ey = y + r * std::sin(rad(to));
        double tangent = rad(to) + step * kPi / 2;
        head_(ex, ey, tangent, head);
    }

private:
    void head_(double x, double y, double angle, double size) {
        double s = size;
        poly({{x, y},
              {x - s * std::cos(angle - 0.5), y - s * std::sin(angle - 0.5)},
              {x - s * std::cos(angle + 0.5), y - s * std::sin(angle + 0.5)}},
             true);
        fill();
    }
    cairo_t* c_;
};

struct Image {
    std::string name;
    double width, height; // points
    std::function<void(Pen&)> draw;
};

// --- Shapes shared by several pictures (in the 100-unit box) ---

void phone(Pen& p, double x, double y, double w, double h, double lineWidth) {
    p.width(lineWidth).rrect(x, y, w, h, w * 0.2).stroke();
    p.width(lineWidth * 0.8).line(x + w * 0.4, y + h * 0.1, x + w * 0.6, y + h * 0.1).stroke();
}

void tick(Pen& p, double cx, double cy, double size, double lineWidth) {
    p.width(lineWidth)
        .poly({{cx - size * 0.5, cy}, {cx - size * 0.15, cy + size * 0.35}, {cx + size * 0.5, cy - size * 0.32}}, false)
        .stroke();
}

void cross(Pen& p, double cx, double cy, double size, double lineWidth) {
    double d = size / 2;
    p.width(lineWidth).line(cx - d, cy - d, cx + d, cy + d).stroke();
    p.line(cx + d, cy - d, cx - d, cy + d).stroke();
}

void sunRays(Pen& p, double cx, double cy, double inner, double outer, double lineWidth) {
    p.width(lineWidth);
    for (int i = 0; i < 8; ++i) {
        double a = i * kPi / 4;
        p.line(cx + inner * std::cos(a), cy + inner * std::sin(a), cx + outer * std::cos(a), cy + outer * std::sin(a))
            .stroke();
    }
}

void camera(Pen& p, double lineWidth) {
    p.width(lineWidth).rrect(16, 32, 68, 46, 9).stroke();
    p.rrect(36, 22, 28, 12, 3).fill();
    p.width(lineWidth).circle(50, 55, 13).stroke();
    p.circle(72, 42, 3.5).fill();
}

void microphone(Pen& p, double cx, double top) {
    p.width(6).rrect(cx - 10, top, 20, 34, 10).stroke();
    p.arc(cx, top + 20, 18, 0, 180).stroke();
    p.line(cx, top + 38, cx, top + 48).stroke();
    p.line(cx - 10, top + 48, cx + 10, top + 48).stroke();
}

void speaker(Pen& p, double x, double y) {
    p.poly({{x, y - 10}, {x + 12, y - 10}, {x + 28, y - 24}, {x + 28, y + 24}, {x + 12, y + 10}, {x, y + 10}}, true)
        .fill();
}

void bolt(Pen& p, double cx, double cy, double s) {
    p.poly({{cx + 0.10 * s, cy - 0.50 * s},
            {cx - 0.28 * s, cy + 0.06 * s},
            {cx - 0.02 * s, cy + 0.06 * s},
            {cx - 0.12 * s, cy + 0.50 * s},
            {cx + 0.28 * s, cy - 0.08 * s},
            {cx + 0.02 * s, cy - 0.08 * s}},
           true)
        .fill();
}

void grid(Pen& p, double x, double y, double w, double h, int n, double lineWidth) {
    p.width(lineWidth).rrect(x, y, w, h, 4).stroke();
    for (int i = 1; i < n; ++i) {
        p.line(x + w * i / n, y, x + w * i / n, y + h).stroke();
        p.line(x, y + h * i / n, x + w, y + h * i / n).stroke();
    }
}

// A test icon: the pictogram in white over a rounded tile.
Image icon(std::string name, Colour tile, std::function<void(Pen&)> pictogram) {
    return {std::move(name), 60, 60, [tile, pictogram](Pen& p) {
                cairo_scale(p.raw(), 0.6, 0.6);
                p.colour(tile).rrect(0, 0, 100, 100, 22).fill();
                p.colour(kWhite);
                pictogram(p);
            }};
}

// A round mark: a disc with a symbol in white, or cut out of it (`cut`: for a button's image,
// which a tinting button would otherwise show as a plain disc).
Image mark(std::string name, double side, Colour disc, std::function<void(Pen&)> symbol, bool cut = false) {
    return {std::move(name), side, side, [side, disc, symbol, cut](Pen& p) {
                cairo_scale(p.raw(), side / 100, side / 100);
                p.colour(disc).circle(50, 50, 48).fill();
                p.colour(kWhite);
                if (cut) {
                    cairo_set_operator(p.raw(), CAIRO_OPERATOR_CLEAR);
                }
                symbol(p);
            }};
}

// The hint of an axis test: a phone seen from the front with the axis through it, and either a
// straight double arrow (move or shake) or a turning arrow around the axis (tilt or rotate).
Image axisHint(const std::string& verb, char axis) {
    bool turn = verb == "Tilt or Rotate";
    std::string name = "PNG_AccelerometerTest Graphic_" + verb + " on " + std::string(1, axis) + " Axis";
    return {name, 64, 64, [axis, turn](Pen& p) {
                cairo_scale(p.raw(), 0.64, 0.64);
                Colour body{0.35, 0.37, 0.40};
                p.colour(body);
                phone(p, 38, 26, 24, 48, 5);
                p.colour(kBlue);
                if (axis == 'X') {
                    if (turn) {
                        p.width(3).line(4, 50, 96, 50).stroke();
                        p.arcArrow(50, 50, 40, 200, 330, 16, 7);
                    } else {
                        p.arrow(32, 50, 2, 50, 17, 7);
                        p.arrow(68, 50, 98, 50, 17, 7);
                    }
                } else if (axis == 'Y') {
                    if (turn) {
                        p.width(3).line(50, 4, 50, 96).stroke();
                        p.arcArrow(50, 50, 40, -60, 60, 16, 7);
                    } else {
                        p.arrow(50, 20, 50, 1, 15, 7);
                        p.arrow(50, 80, 50, 99, 15, 7);
                    }
                } else {
                    // Out of the screen: a dot in a ring, seen head on.
                    p.width(4).circle(50, 50, 8).stroke();
                    p.circle(50, 50, 3).fill();
                    if (turn) {
                        p.arcArrow(50, 50, 43, -150, 150, 16, 7);
                    } else {
                        p.arrow(30, 70, 5, 95, 17, 7);
                        p.arrow(70, 30, 95, 5, 17, 7);
                    }
                }
            }};
}

std::vector<Image> images() {
    std::vector<Image> all;
    auto add = [&](Image image) { all.push_back(std::move(image)); };

    // --- The tests' icons ---
    add(icon("icon_decoration", kQuestions, [](Pen& p) {
        p.poly({{50, 16}, {59, 39}, {84, 40}, {64, 55}, {71, 80}, {50, 66}, {29, 80}, {36, 55}, {16, 40}, {41, 39}},
               true)
            .fill();
    }));
    add(icon("icon_crash_screen", kQuestions, [](Pen& p) {
        phone(p, 30, 14, 40, 72, 6);
        p.width(4).poly({{40, 30}, {52, 44}, {43, 54}, {58, 66}, {53, 78}}, false).stroke();
    }));
    add(icon("icon_water_damage", kQuestions, [](Pen& p) {
        p.curve(50, 14, 44, 30, 26, 46, 26, 60);
        cairo_curve_to(p.raw(), 26, 74, 37, 86, 50, 86);
        cairo_curve_to(p.raw(), 63, 86, 74, 74, 74, 60);
        cairo_curve_to(p.raw(), 74, 46, 56, 30, 50, 14);
        p.fill();
    }));
    add(icon("icon_engraving", kQuestions, [](Pen& p) {
        p.width(6).rrect(28, 14, 44, 72, 9).stroke();
        p.width(4).rrect(35, 21, 12, 16, 4).stroke();
        p.width(4).line(38, 58, 62, 58).stroke();
        p.line(42, 68, 58, 68).stroke();
    }));
    add(icon("icon_accessory", kQuestions, [](Pen& p) {
        double dash[] = {6, 6};
        cairo_set_dash(p.raw(), dash, 2, 0);
        p.width(4).rrect(16, 14, 44, 72, 11).stroke();
        cairo_set_dash(p.raw(), nullptr, 0, 0);
        phone(p, 22, 20, 32, 60, 5);
        p.arrow(62, 50, 88, 50, 13, 6);
    }));
    add(icon("icon_power", kQuestions, [](Pen& p) {
        p.width(8).arc(50, 54, 26, -60, 240).stroke();
        p.line(50, 18, 50, 50).stroke();
    }));
    add(icon("icon_sim_tray", kQuestions, [](Pen& p) {
        p.width(6).poly({{30, 14}, {60, 14}, {72, 26}, {72, 86}, {30, 86}}, true).stroke();
        p.width(4).rrect(38, 44, 26, 30, 4).stroke();
        p.line(51, 44, 51, 74).stroke();
        p.line(38, 59, 64, 59).stroke();
    }));

    add(icon("icon_compass", kSensors, [](Pen& p) {
        p.width(6).circle(50, 50, 34).stroke();
        p.poly({{50, 22}, {59, 50}, {41, 50}}, true).fill();
        p.colour({1, 1, 1, 0.55}).poly({{50, 78}, {59, 50}, {41, 50}}, true).fill();
    }));
    add(icon("icon_motion", kSensors, [](Pen& p) {
        cairo_save(p.raw());
        cairo_translate(p.raw(), 50, 50);
        cairo_rotate(p.raw(), rad(-18));
        phone(p, -16, -30, 32, 60, 6);
        cairo_restore(p.raw());
        p.width(5).arc(50, 50, 40, 150, 200).stroke();
        p.arc(50, 50, 40, -30, 20).stroke();
    }));
    add(icon("icon_accelerometer", kSensors, [](Pen& p) {
        phone(p, 38, 22, 24, 56, 5);
        p.arrow(32, 50, 10, 50, 12, 6);
        p.arrow(68, 50, 90, 50, 12, 6);
    }));
    add(icon("icon_gyroscope", kSensors, [](Pen& p) {
        p.width(5).circle(50, 50, 10).fill();
        cairo_save(p.raw());
        cairo_translate(p.raw(), 50, 50);
        cairo_scale(p.raw(), 1, 0.4);
        p.width(5).circle(0, 0, 34);
        cairo_restore(p.raw());
        p.stroke();
        p.arcArrow(50, 50, 34, 110, 390, 12, 5);
    }));
    add(icon("icon_barometer", kSensors, [](Pen& p) {
        p.width(6).circle(50, 52, 34).stroke();
        p.width(4);
        for (int i = 0; i <= 6; ++i) {
            double a = rad(150 + i * 40);
            p.line(50 + 26 * std::cos(a), 52 + 26 * std::sin(a), 50 + 32 * std::cos(a), 52 + 32 * std::sin(a)).stroke();
        }
        p.width(6).line(50, 52, 50 + 22 * std::cos(rad(-50)), 52 + 22 * std::sin(rad(-50))).stroke();
        p.circle(50, 52, 6).fill();
    }));
    add(icon("icon_proximity", kSensors, [](Pen& p) {
        phone(p, 32, 40, 36, 50, 6);
        p.width(5).arc(50, 44, 14, 220, 320).stroke();
        p.arc(50, 44, 26, 225, 315).stroke();
        p.arc(50, 44, 38, 230, 310).stroke();
    }));
    add(icon("icon_ambient_light", kSensors, [](Pen& p) {
        p.circle(50, 50, 14).fill();
        sunRays(p, 50, 50, 22, 34, 6);
    }));
    add(icon("icon_gps", kSensors, [](Pen& p) {
        p.curve(50, 88, 40, 70, 24, 56, 24, 40);
        cairo_arc(p.raw(), 50, 40, 26, rad(180), rad(360));
        cairo_curve_to(p.raw(), 76, 56, 60, 70, 50, 88);
        cairo_close_path(p.raw());
        p.circle(50, 40, 10);
        cairo_set_fill_rule(p.raw(), CAIRO_FILL_RULE_EVEN_ODD);
        p.fill();
        cairo_set_fill_rule(p.raw(), CAIRO_FILL_RULE_WINDING);
    }));
    add(icon("icon_vibration", kSensors, [](Pen& p) {
        phone(p, 34, 18, 32, 64, 6);
        p.width(4).poly({{22, 30}, {14, 38}, {22, 46}, {14, 54}, {22, 62}, {14, 70}}, false).stroke();
        p.poly({{78, 30}, {86, 38}, {78, 46}, {86, 54}, {78, 62}, {86, 70}}, false).stroke();
    }));

    add(icon("icon_loudspeaker", kAudio, [](Pen& p) {
        speaker(p, 18, 50);
        p.width(6).arc(50, 50, 16, -45, 45).stroke();
        p.arc(50, 50, 30, -45, 45).stroke();
    }));
    add(icon("icon_low_frequency", kAudio, [](Pen& p) {
        p.width(6);
        cairo_move_to(p.raw(), 14, 50);
        for (int i = 1; i <= 72; ++i) {
            double x = 14 + i;
            cairo_line_to(p.raw(), x, 50 - 22 * std::sin(i * 2 * kPi / 72));
        }
        p.stroke();
        p.width(3).line(14, 78, 86, 78).stroke();
    }));
    add(icon("icon_mic_record", kAudio, [](Pen& p) {
        microphone(p, 42, 18);
        p.colour(kRed).circle(74, 28, 10).fill();
        p.colour(kWhite).width(3).circle(74, 28, 10).stroke();
    }));
    add(icon("icon_mic_loopback", kAudio, [](Pen& p) {
        microphone(p, 36, 18);
        p.arcArrow(62, 44, 20, -80, 170, 10, 5);
    }));
    add(icon("icon_headset", kAudio, [](Pen& p) {
        p.width(7).arc(50, 54, 30, 180, 360).stroke();
        p.rrect(16, 52, 16, 28, 6).fill();
        p.rrect(68, 52, 16, 28, 6).fill();
    }));
    add(icon("icon_call", kAudio, [](Pen& p) {
        p.width(13).curve(30, 28, 22, 52, 48, 78, 72, 72).stroke();
        p.rrect(18, 16, 20, 20, 6).fill();
        p.rrect(66, 62, 20, 20, 6).fill();
    }));

    add(icon("icon_back_camera", kCamera, [](Pen& p) { camera(p, 6); }));
    add(icon("icon_front_camera", kCamera, [](Pen& p) {
        phone(p, 28, 12, 44, 76, 6);
        p.circle(50, 30, 6).fill();
        p.circle(50, 54, 9).fill();
        p.arc(50, 80, 17, 200, 340).fill();
    }));
    add(icon("icon_video", kCamera, [](Pen& p) {
        p.rrect(12, 30, 54, 40, 8).fill();
        p.poly({{70, 44}, {88, 32}, {88, 68}, {70, 56}}, true).fill();
    }));
    add(icon("icon_flash", kCamera, [](Pen& p) { bolt(p, 50, 50, 72); }));
    add(icon("icon_backlight", kCamera, [](Pen& p) {
        p.width(6).rrect(16, 18, 68, 48, 5).stroke();
        p.line(50, 66, 50, 78).stroke();
        p.line(34, 82, 66, 82).stroke();
        p.circle(50, 42, 7).fill();
        sunRays(p, 50, 42, 11, 17, 3.5);
    }));
    add(icon("icon_lcd_fill", kCamera, [](Pen& p) {
        p.colour({1, 0.35, 0.35}).rrect(22, 16, 56, 24, 4).fill();
        p.colour({0.45, 0.95, 0.45}).box(22, 38, 56, 24);
        p.colour({0.45, 0.65, 1}).rrect(22, 60, 56, 24, 4).fill();
        p.colour(kWhite).width(5).rrect(20, 14, 60, 72, 6).stroke();
    }));
    add(icon("icon_lcd_crack", kCamera, [](Pen& p) {
        p.width(6).rrect(16, 18, 68, 52, 5).stroke();
        p.line(50, 70, 50, 80).stroke();
        p.line(34, 84, 66, 84).stroke();
        p.width(4).poly({{30, 26}, {44, 40}, {38, 48}, {56, 56}, {62, 64}}, false).stroke();
        p.poly({{44, 40}, {66, 30}}, false).stroke();
    }));
    add(icon("icon_ghost_screen", kCamera, [](Pen& p) {
        p.curve(26, 84, 26, 60, 26, 50, 26, 44);
        cairo_arc(p.raw(), 50, 44, 24, rad(180), rad(360));
        cairo_line_to(p.raw(), 74, 84);
        cairo_line_to(p.raw(), 66, 76);
        cairo_line_to(p.raw(), 58, 84);
        cairo_line_to(p.raw(), 50, 76);
        cairo_line_to(p.raw(), 42, 84);
        cairo_line_to(p.raw(), 34, 76);
        cairo_close_path(p.raw());
        p.fill();
        p.colour(kCamera).circle(41, 44, 5).fill();
        p.circle(59, 44, 5).fill();
    }));
    add(icon("icon_white_balance", kCamera, [](Pen& p) {
        p.colour({1, 0.78, 0.45}).arc(50, 50, 32, 90, 270).fill();
        p.colour({0.75, 0.88, 1}).arc(50, 50, 32, -90, 90).fill();
        p.colour(kWhite).width(6).circle(50, 50, 32).stroke();
        p.line(50, 18, 50, 82).stroke();
    }));
    add(icon("icon_truetone", kCamera, [](Pen& p) {
        p.colour({1, 0.80, 0.50}).circle(50, 50, 16).fill();
        p.colour(kWhite);
        sunRays(p, 50, 50, 24, 34, 6);
        p.width(4).circle(50, 50, 16).stroke();
    }));

    add(icon("icon_touch_screen", kTouch, [](Pen& p) {
        // A grid of cells, some already swiped green.
        p.colour({0.55, 0.95, 0.55});
        p.box(24, 18, 26, 22);
        p.box(50, 18, 26, 22);
        p.box(24, 40, 26, 22);
        p.colour(kWhite);
        p.width(5).rrect(24, 18, 52, 66, 4).stroke();
        p.width(3).line(50, 18, 50, 84).stroke();
        p.line(24, 40, 76, 40).stroke();
        p.line(24, 62, 76, 62).stroke();
    }));
    add(icon("icon_touch_panel", kTouch, [](Pen& p) {
        grid(p, 18, 18, 64, 64, 4, 3);
        p.width(6).line(18, 18, 82, 82).stroke();
        p.line(82, 18, 18, 82).stroke();
    }));
    add(icon("icon_touch_draw", kTouch, [](Pen& p) {
        p.width(6).curve(16, 72, 30, 20, 50, 90, 62, 44).stroke();
        cairo_save(p.raw());
        cairo_translate(p.raw(), 72, 34);
        cairo_rotate(p.raw(), rad(45));
        p.rrect(-7, -24, 14, 40, 3).fill();
        p.poly({{-7, 18}, {7, 18}, {0, 30}}, true).fill();
        cairo_restore(p.raw());
    }));
    add(icon("icon_multi_touch", kTouch, [](Pen& p) {
        for (auto [x, y] : {std::pair{28.0, 60.0}, {50.0, 34.0}, {72.0, 60.0}}) {
            p.circle(x, y, 8).fill();
            p.width(4).circle(x, y, 15).stroke();
        }
    }));
    add(icon("icon_stylus", kTouch, [](Pen& p) {
        cairo_save(p.raw());
        cairo_translate(p.raw(), 50, 50);
        cairo_rotate(p.raw(), rad(45));
        p.rrect(-9, -40, 18, 56, 4).fill();
        p.poly({{-9, 20}, {9, 20}, {0, 40}}, true).fill();
        cairo_restore(p.raw());
    }));
    add(icon("icon_force_touch", kTouch, [](Pen& p) {
        p.circle(50, 56, 10).fill();
        p.width(4).circle(50, 56, 19).stroke();
        p.circle(50, 56, 28).stroke();
        p.arrow(50, 8, 50, 36, 12, 6);
    }));
    add(icon("icon_keys", kTouch, [](Pen& p) {
        phone(p, 30, 14, 40, 72, 6);
        p.rrect(18, 26, 8, 14, 3).fill();
        p.rrect(18, 44, 8, 14, 3).fill();
        p.rrect(74, 30, 8, 20, 3).fill();
    }));
    add(icon("icon_home_key", kTouch, [](Pen& p) {
        p.width(6).circle(50, 50, 32).stroke();
        p.width(4).rrect(38, 38, 24, 24, 6).stroke();
    }));

    add(icon("icon_battery", kPower, [](Pen& p) {
        p.width(6).rrect(14, 32, 62, 36, 7).stroke();
        p.rrect(78, 42, 8, 16, 3).fill();
        p.rrect(22, 40, 32, 20, 3).fill();
    }));
    add(icon("icon_charger", kPower, [](Pen& p) {
        p.width(7).line(40, 14, 40, 32).stroke();
        p.line(60, 14, 60, 32).stroke();
        p.rrect(28, 30, 44, 30, 8).fill();
        p.width(7).line(50, 60, 50, 88).stroke();
    }));
    add(icon("icon_usb", kPower, [](Pen& p) {
        p.width(6).line(50, 20, 50, 84).stroke();
        p.poly({{50, 12}, {58, 24}, {42, 24}}, true).fill();
        p.circle(50, 84, 7).fill();
        p.width(5).poly({{50, 64}, {30, 52}, {30, 40}}, false).stroke();
        p.circle(30, 36, 6).fill();
        p.poly({{50, 56}, {70, 44}, {70, 32}}, false).stroke();
        p.rrect(64, 22, 12, 12, 1).fill();
    }));
    add(icon("icon_wireless_charging", kPower, [](Pen& p) {
        bolt(p, 50, 38, 46);
        cairo_save(p.raw());
        cairo_translate(p.raw(), 50, 74);
        cairo_scale(p.raw(), 1, 0.3);
        p.circle(0, 0, 34);
        cairo_restore(p.raw());
        p.width(6).stroke();
    }));
    add(icon("icon_wifi", kPower, [](Pen& p) {
        p.circle(50, 74, 7).fill();
        p.width(7).arc(50, 74, 20, 225, 315).stroke();
        p.arc(50, 74, 36, 225, 315).stroke();
        p.arc(50, 74, 52, 225, 315).stroke();
    }));
    add(icon("icon_bluetooth", kPower, [](Pen& p) {
        p.width(6).poly({{34, 34}, {66, 64}, {50, 80}, {50, 20}, {66, 36}, {34, 66}}, false).stroke();
    }));
    add(icon("icon_rf", kPower, [](Pen& p) {
        p.width(6).line(50, 40, 50, 86).stroke();
        p.line(50, 52, 38, 86).stroke();
        p.line(50, 52, 62, 86).stroke();
        p.circle(50, 36, 6).fill();
        p.width(5).arc(50, 36, 16, 140, 220).stroke();
        p.arc(50, 36, 16, -40, 40).stroke();
        p.arc(50, 36, 28, 145, 215).stroke();
        p.arc(50, 36, 28, -35, 35).stroke();
    }));
    add(icon("icon_sms", kPower, [](Pen& p) {
        p.rrect(14, 18, 72, 50, 14).fill();
        p.poly({{30, 64}, {26, 84}, {46, 66}}, true).fill();
        p.colour(kPower).circle(34, 43, 5).fill();
        p.circle(50, 43, 5).fill();
        p.circle(66, 43, 5).fill();
    }));
    add(icon("icon_faceid", kPower, [](Pen& p) {
        p.width(6);
        p.poly({{18, 34}, {18, 18}, {34, 18}}, false).stroke();
        p.poly({{66, 18}, {82, 18}, {82, 34}}, false).stroke();
        p.poly({{18, 66}, {18, 82}, {34, 82}}, false).stroke();
        p.poly({{66, 82}, {82, 82}, {82, 66}}, false).stroke();
        p.line(38, 38, 38, 46).stroke();
        p.line(62, 38, 62, 46).stroke();
        p.poly({{51, 38}, {51, 56}, {46, 56}}, false).stroke();
        p.arc(50, 56, 14, 30, 150).stroke();
    }));
    add(icon("icon_fingerprint", kPower, [](Pen& p) {
        p.width(5);
        p.arc(50, 54, 8, 180, 360).stroke();
        p.line(58, 54, 58, 66).stroke();
        p.arc(50, 54, 17, 170, 370).stroke();
        p.arc(50, 54, 26, 190, 350).stroke();
        p.arc(50, 54, 35, 205, 335).stroke();
        p.line(42, 54, 40, 74).stroke();
        p.line(33, 57, 32, 70).stroke();
        p.line(67, 58, 64, 80).stroke();
    }));
    add(icon("icon_device_info", kPower, [](Pen& p) {
        p.width(6).circle(50, 50, 34).stroke();
        p.circle(50, 33, 5).fill();
        p.width(8).line(50, 46, 50, 68).stroke();
    }));
    add(icon("icon_jailbreak", kPower, [](Pen& p) {
        p.rrect(24, 46, 52, 40, 8).fill();
        p.width(7).arc(64, 34, 14, 180, 360).stroke();
        p.line(78, 34, 78, 42).stroke();
        p.line(50, 34, 50, 46).stroke();
        p.colour(kPower).circle(50, 62, 5).fill();
        p.width(5).line(50, 62, 50, 74).stroke();
    }));
    // The app's own mark, also the icon of a manual test: a phone with a tick.
    add(icon("icon_logo-1", kBrand, [](Pen& p) {
        phone(p, 28, 12, 44, 76, 6);
        p.colour(kGreen);
        p.circle(50, 52, 15).fill();
        p.colour(kWhite);
        tick(p, 50, 52, 16, 5);
    }));

    // --- Marks ---
    add(mark("icon_success_shape", 30, kGreen, [](Pen& p) { tick(p, 50, 52, 50, 12); }));
    add(mark("icon_right_n", 30, kGreen, [](Pen& p) { tick(p, 50, 52, 50, 12); }));
    add(mark("icon_fail_shape", 30, kRed, [](Pen& p) { cross(p, 50, 50, 40, 12); }));
    add(mark("icon_fail_n", 30, kRed, [](Pen& p) { cross(p, 50, 50, 40, 12); }));
    add(mark("na", 30, kGrey, [](Pen& p) { p.width(12).line(28, 50, 72, 50).stroke(); }));
    // Shown inline after a caption: a gap of 3 points on its left keeps it off the last letter.
    add({"icon_small_success", 19, 16, [](Pen& p) {
             cairo_translate(p.raw(), 3, 0);
             cairo_scale(p.raw(), 0.16, 0.16);
             p.colour(kGreen).circle(50, 50, 48).fill();
             p.colour(kWhite);
             tick(p, 50, 52, 52, 14);
         }});
    // The combined keys' failed row: a bare red cross.
    add({"icon_failed_x", 24, 24, [](Pen& p) {
             p.colour(kRed);
             cross(p, 12, 12, 14, 3.5);
         }});
    // The headset's fail buttons show what their next tap marks: not applicable, or failed.
    add(mark(
        "icon_headset_na", 22, kGrey,
        [](Pen& p) {
            p.width(9).circle(50, 50, 24).stroke();
            p.line(33, 67, 67, 33).stroke();
        },
        true));
    add(mark(
        "icon_headset_failed", 22, kRed, [](Pen& p) { cross(p, 50, 50, 40, 12); }, true));

    // --- Touch screens ---
    add({"icon_multitouch_circle_normal", 100, 100, [](Pen& p) {
             p.colour({kBlue.r, kBlue.g, kBlue.b, 0.12}).circle(50, 50, 46).fill();
             p.colour(kBlue).width(4).circle(50, 50, 46).stroke();
             p.width(3).circle(50, 50, 16).stroke();
         }});
    add({"icon_multitouch_circle_touched", 100, 100, [](Pen& p) {
             p.colour(kGreen).circle(50, 50, 48).fill();
             p.colour(kWhite);
             tick(p, 50, 52, 40, 8);
         }});
    // The stylus target: an arrow pointing into the corner it starts in, blue, and orange while held.
    auto arrow = [](Colour colour) {
        return [colour](Pen& p) {
            // On a white disc, so that it shows over any ground.
            p.colour(kWhite).circle(16, 16, 15).fill();
            p.colour(colour).width(2.5).circle(16, 16, 14.5).stroke();
            p.poly({{6, 6}, {20, 9}, {16, 12}, {25, 21}, {21, 25}, {12, 16}, {9, 20}}, true).fill();
        };
    };
    add({"icon_arrow_n", 32, 32, arrow(kBlue)});
    add({"icon_arrow_h", 32, 32, arrow({0.95, 0.52, 0.10})});

    // --- Camera ---
    // The picker's corner icon: a camera with the lens turned to the person (front) or away (back).
    auto pickerIcon = [](bool front) {
        return [front](Pen& p) {
            p.colour({0, 0, 0, 0.45}).rrect(1, 1, 48, 38, 8).fill();
            p.colour(kWhite).width(2.5).rrect(9, 12, 32, 21, 4).stroke();
            p.rrect(19, 8, 12, 5, 1.5).fill();
            if (front) {
                p.circle(25, 20, 3.5).fill();
                p.arc(25, 31, 7, 180, 360).fill();
            } else {
                p.width(2.5).circle(25, 22.5, 6).stroke();
            }
        };
    };
    add({"icon_picture_app_front_advanced", 50, 40, pickerIcon(true)});
    add({"icon_picture_app_back_advanced", 50, 40, pickerIcon(false)});

    // --- Sensors ---
    add({"light_on", 64, 64, [](Pen& p) {
             Colour yellow{1.0, 0.78, 0.10};
             p.colour(yellow);
             sunRays(p, 32, 26, 19, 26, 3);
             p.circle(32, 26, 15).fill();
             p.rrect(25, 38, 14, 8, 2).fill();
             p.colour({0.45, 0.47, 0.50}).rrect(25, 44, 14, 10, 2).fill();
             p.colour(kWhite).width(1.5).line(25, 48, 39, 48).stroke();
             p.colour({0.45, 0.47, 0.50}).rrect(28, 54, 8, 4, 2).fill();
         }});
    for (const char* verb : {"Move or Shake", "Tilt or Rotate"}) {
        for (char axis : {'X', 'Y', 'Z'}) {
            add(axisHint(verb, axis));
        }
    }

    // --- Shell ---
    add({"grade_comment_triangle", 30, 26, [](Pen& p) {
             p.colour({0.40, 0.42, 0.45}).poly({{8, 9}, {22, 9}, {15, 18}}, true).fill();
         }});
    add({"icon_root_selected_button", 26, 26, [](Pen& p) {
             p.colour(kBlue).circle(13, 13, 12).fill();
             p.colour(kWhite);
             tick(p, 13, 13.5, 12, 2.5);
         }});
    add({"icon_root_unselect_button", 26, 26, [](Pen& p) { p.colour(kGrey).width(2).circle(13, 13, 11.5).stroke(); }});
    add({"options_pointer", 23, 11, [](Pen& p) { p.colour(kDark).poly({{0, 11}, {11.5, 0}, {23, 11}}, true).fill(); }});
    add({"Menu_PopOver_BG", 250, 128, [](Pen& p) { p.colour(kDark).rrect(0, 0, 250, 128, 8).fill(); }});
    add({"DefaultLine", 10, 1, [](Pen& p) { p.colour({0.45, 0.46, 0.48}).rrect(0, 0, 10, 1, 0).fill(); }});
    return all;
}

// Writes the surface as an 8-bit RGBA PNG at the strongest compression (cairo's own writer uses
// the default level): the pictures are committed, so every byte counts.
bool writePNG(cairo_surface_t* surface, const std::string& file) {
    cairo_surface_flush(surface);
    int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<unsigned char> rows(static_cast<size_t>(w) * 4 * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t v;
            std::memcpy(&v, data + y * stride + x * 4, 4);
            unsigned a = v >> 24, r = (v >> 16) & 255, g = (v >> 8) & 255, b = v & 255;
            auto out = &rows[(static_cast<size_t>(y) * w + x) * 4];
            // Premultiplied to straight alpha; a clear pixel is all zero.
            out[0] = a ? static_cast<unsigned char>((r * 255 + a / 2) / a) : 0;
            out[1] = a ? static_cast<unsigned char>((g * 255 + a / 2) / a) : 0;
            out[2] = a ? static_cast<unsigned char>((b * 255 + a / 2) / a) : 0;
            out[3] = static_cast<unsigned char>(a);
        }
    }
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    // A picture of at most 256 colours (most pictograms: two colours and their edges) is written
    // with a palette, losslessly; the rest as RGBA.
    std::map<uint32_t, int> index;
    for (size_t i = 0; i < rows.size() && index.size() <= 256; i += 4) {
        uint32_t key;
        std::memcpy(&key, &rows[i], 4);
        index.emplace(key, 0);
    }
    if (index.size() <= 256) {
        std::vector<png_color> palette;
        std::vector<png_byte> alpha;
        for (auto& [key, slot] : index) {
            unsigned char rgba[4];
            std::memcpy(rgba, &key, 4);
            slot = static_cast<int>(palette.size());
            palette.push_back({rgba[0], rgba[1], rgba[2]});
            alpha.push_back(rgba[3]);
        }
        png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_PALETTE,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
        png_set_tRNS(png, info, alpha.data(), static_cast<int>(alpha.size()), nullptr);
        png_write_info(png, info);
        std::vector<png_byte> row(static_cast<size_t>(w));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                uint32_t key;
                std::memcpy(&key, &rows[(static_cast<size_t>(y) * w + x) * 4], 4);
                row[static_cast<size_t>(x)] = static_cast<png_byte>(index[key]);
            }
            png_write_row(png, row.data());
        }
    } else {
        png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < h; ++y) {
            png_write_row(png, &rows[static_cast<size_t>(y) * w * 4]);
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

bool write(const Image& image, const std::string& folder, int scale) {
    int w = static_cast<int>(std::lround(image.width * scale));
    int h = static_cast<int>(std::lround(image.height * scale));
    auto* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    auto* c = cairo_create(surface);
    cairo_scale(c, scale, scale);
    Pen pen(c);
    image.draw(pen);
    cairo_destroy(c);
    std::string file = folder + "/" + image.name + (scale == 1 ? "" : "@" + std::to_string(scale) + "x") + ".png";
    bool written = writePNG(surface, file);
    cairo_surface_destroy(surface);
    if (!written) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
    }
    return written;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    int count = 0;
    for (const auto& image : images()) {
        for (int scale = 1; scale <= 3; ++scale) {
            if (!write(image, folder, scale)) {
                return 1;
            }
        }
        ++count;
    }
    std::printf("%d images, each at 1x, 2x and 3x, in %s\n", count, folder.c_str());
    return 0;
}
