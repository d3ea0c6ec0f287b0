// A 375 x 812 screen at scale 3 with about 50 views (a bar with a title, a table of labelled
// rows with separators, buttons) rendered through the platform (views, layers, backing stores,
// CGContext, pango) against the same rectangles and texts drawn straight on cairo and pango, each
// with and without the PNG encoding; and the rate of measuring the same short string again.
#include <CoreGraphics/CGImageCoding.h>
#include <Dispatch/DispatchQueue.h>
#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UILabel.h>

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <string>
#include <vector>

namespace {

constexpr double kWidth = 375, kHeight = 812, kScale = 3;

struct Box {
    CGRect frame;
    double grey;
    std::string text; // empty: a plain rectangle
    double fontSize = 17;
    bool bold = false;
};

// The screen's content, shared by both renderers.
const std::vector<Box>& boxes() {
    static const std::vector<Box> list = [] {
        std::vector<Box> b;
        b.push_back({CGRectMake(0, 0, kWidth, 88), 0.97, "", 17});
        b.push_back({CGRectMake(100, 44, 175, 44), 0.97, "Diagnostics", 17, true});
        b.push_back({CGRectMake(0, 87.5, kWidth, 0.5), 0.7, ""});
        for (int row = 0; row < 14; ++row) {
            double y = 88 + row * 44;
            b.push_back({CGRectMake(15, y + 43.5, kWidth - 15, 0.5), 0.78, ""});
            b.push_back({CGRectMake(15, y, 250, 43), 1, "Test item " + std::to_string(row + 1), 17});
            b.push_back({CGRectMake(280, y, 80, 43), 1, row % 2 ? "Passed" : "Failed", 15});
        }
        for (int i = 0; i < 3; ++i) {
            b.push_back({CGRectMake(20 + i * 115, 720, 105, 44), 0.85,
                         i == 0   ? "Start"
                         : i == 1 ? "Skip"
                                  : "Exit",
                         18});
        }
        return b;
    }();
    return list;
}

Ref<UIView> makeScreen(std::vector<Ref<UIView>>* all) {
    auto root = make<UIView>(CGRectMake(0, 0, kWidth, kHeight));
    root->setBackgroundColor(UIColor::whiteColor());
    all->push_back(root);
    for (const auto& b : boxes()) {
        Ref<UIView> v;
        if (b.text.empty()) {
            v = make<UIView>(b.frame);
        } else if (b.fontSize == 18) {
            auto button = make<UIButton>(b.frame);
            button->setTitleForState(NSString::from(b.text), UIControlStateNormal);
            v = button;
        } else {
            auto label = make<UILabel>(b.frame);
            label->setText(NSString::from(b.text));
            label->setFont(b.bold ? UIFont::boldSystemFontOfSize(b.fontSize) : UIFont::systemFontOfSize(b.fontSize));
            v = label;
        }
        v->setBackgroundColor(UIColor::colorWithWhiteAlpha(b.grey, 1));
        root->addSubview(v);
        all->push_back(v);
        for (const auto& sub : v->subviewList()) {
            all->push_back(sub);
        }
    }
    return root;
}

void setUp() {
    static bool done = [] {
        dispatch_adopt_current_thread_as_main();
        return true;
    }();
    (void)done;
}

void BM_PlatformScreen(benchmark::State& state) {
    setUp();
    bool png = state.range(0) != 0;
    std::vector<Ref<UIView>> all;
    auto root = makeScreen(&all);
    root->layoutIfNeeded();
    size_t bytes = 0;
    for (auto _ : state) {
        for (const auto& v : all) {
            v->setNeedsDisplay(); // a full redraw every time
        }
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(kWidth, kHeight), true, kScale);
        root->layer()->renderInContext(UIGraphicsGetCurrentContext());
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        if (png) {
            bytes = UIImagePNGRepresentation(image)->length();
        }
        benchmark::DoNotOptimize(image);
    }
    state.counters["views"] = static_cast<double>(all.size());
    state.counters["png_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_PlatformScreen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PlainCairoScreen(benchmark::State& state) {
    bool png = state.range(0) != 0;
    PangoFontMap* map = pango_cairo_font_map_new();
    PangoContext* context = pango_font_map_create_context(map);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    for (auto _ : state) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(kWidth * kScale),
                                                        static_cast<int>(kHeight * kScale));
        cairo_t* cr = cairo_create(s);
        cairo_scale(cr, kScale, kScale);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        for (const auto& b : boxes()) {
            cairo_set_source_rgb(cr, b.grey, b.grey, b.grey);
            cairo_rectangle(cr, b.frame.origin.x, b.frame.origin.y, b.frame.size.width, b.frame.size.height);
            cairo_fill(cr);
            if (!b.text.empty()) {
                PangoLayout* layout = pango_layout_new(context);
                PangoFontDescription* d = pango_font_description_new();
                pango_font_description_set_family(d, "DejaVu Sans");
                pango_font_description_set_weight(d, b.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
                pango_font_description_set_absolute_size(d, b.fontSize * PANGO_SCALE);
                pango_layout_set_font_description(layout, d);
                pango_layout_set_text(layout, b.text.c_str(), -1);
                int w, h;
                pango_layout_get_pixel_size(layout, &w, &h);
                cairo_set_source_rgb(cr, 0, 0, 0);
                cairo_move_to(cr, b.frame.origin.x, b.frame.origin.y + (b.frame.size.height - h) / 2);
                pango_cairo_show_layout(cr, layout);
                pango_font_description_free(d);
                g_object_unref(layout);
            }
        }
        cairo_destroy(cr);
        if (png) {
            auto image = make<CGImage>(s, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNoneSkipLast);
            benchmark::DoNotOptimize(CGImageCreatePNGData(image));
        } else {
            cairo_surface_destroy(s);
        }
    }
    g_object_unref(context);
    g_object_unref(map);
}
BENCHMARK(BM_PlainCairoScreen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_RepeatedMeasurement(benchmark::State& state) {
    auto font = UIFont::systemFontOfSize(17);
    auto text = "Battery health"_ns;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sizeWithFont(text, font));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RepeatedMeasurement);

} // namespace
