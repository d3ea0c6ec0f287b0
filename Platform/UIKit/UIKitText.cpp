#include <UIKit/UIFont.h>
#include <UIKit/UIKitText.h>

#include <Foundation/NSString.h>

#include <pango/pangocairo.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <unordered_map>

namespace uikit_text {
namespace {

// Draws a text attachment's picture (a CGImage) into the box of its shape attribute, whose top-left
// lies at the current point plus the rectangle's offset.
void drawPicture(cairo_t* cr, PangoAttrShape* shape, gboolean doPath, gpointer) {
    auto* image = static_cast<CGImage*>(shape->data);
    if (doPath || !image || !image->surface() || image->width() == 0 || image->height() == 0) {
        return;
    }
    double x = 0, y = 0;
    cairo_get_current_point(cr, &x, &y);
    double w = static_cast<double>(shape->logical_rect.width) / PANGO_SCALE;
    double h = static_cast<double>(shape->logical_rect.height) / PANGO_SCALE;
    cairo_save(cr);
    cairo_translate(cr, x, y + static_cast<double>(shape->logical_rect.y) / PANGO_SCALE);
    cairo_scale(cr, w / static_cast<double>(image->width()), h / static_cast<double>(image->height()));
    cairo_set_source_surface(cr, image->surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
}

struct Engine {
    std::mutex mutex;
    PangoFontMap* fontMap = nullptr;
    PangoContext* context = nullptr;
    std::set<std::string> families;
    std::unordered_map<std::string, Measure> cache;
    std::unordered_map<std::string, FontMetrics> metrics;
    std::atomic<size_t> hits{0};

    Engine() {
        fontMap = pango_cairo_font_map_new();
        context = pango_font_map_create_context(fontMap);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(context, options);
        cairo_font_options_destroy(options);
        pango_cairo_context_set_shape_renderer(context, drawPicture, nullptr, nullptr);
        PangoFontFamily** list = nullptr;
        int n = 0;
        pango_font_map_list_families(fontMap, &list, &n);
        for (int i = 0; i < n; ++i) {
            families.insert(pango_font_family_get_name(list[i]));
        }
        g_free(list);
    }
};

Engine& engine() {
    static Engine* e = new Engine;
    return *e;
}

constexpr size_t kCacheLimit = 8192;

bool contains(const std::string& s, const char* part) {
    return s.find(part) != std::string::npos;
}

// "HelveticaNeue" -> "Helvetica Neue".
std::string spacedFamily(const std::string& family) {
    std::string out;
    for (size_t i = 0; i < family.size(); ++i) {
        if (i > 0 && std::isupper(static_cast<unsigned char>(family[i])) &&
            std::islower(static_cast<unsigned char>(family[i - 1]))) {
            out += ' ';
        }
        out += family[i];
    }
    return out;
}

struct Face {
    std::string family;
    PangoWeight weight = PANGO_WEIGHT_NORMAL;
    PangoStyle style = PANGO_STYLE_NORMAL;
};

// Called with the engine locked.
Face faceOf(Engine& e, const UIFont& font) {
    Face face;
    std::string name = font.fontName() ? font.fontName()->str() : std::string();
    std::string family = name.substr(0, name.find('-'));
    std::string style = name.find('-') == std::string::npos ? std::string() : name.substr(name.find('-') + 1);
    if (font.isBold() || contains(style, "Bold") || contains(style, "Heavy") || contains(style, "Black")) {
        face.weight = PANGO_WEIGHT_BOLD;
    } else if (contains(style, "Light") || contains(style, "Thin")) {
        face.weight = PANGO_WEIGHT_LIGHT;
    }
    if (contains(style, "Italic") || contains(style, "Oblique")) {
        face.style = PANGO_STYLE_OBLIQUE;
    }
    if (name.empty() || name[0] == '.') {
        face.family = "DejaVu Sans";
    } else if (e.families.count(family)) {
        face.family = family;
    } else if (e.families.count(spacedFamily(family))) {
        face.family = spacedFamily(family);
    } else if (contains(name, "Courier") || contains(name, "Menlo") || contains(name, "Mono")) {
        face.family = "DejaVu Sans Mono";
    } else if (contains(name, "Times") || contains(name, "Georgia") || contains(name, "Serif")) {
        face.family = "DejaVu Serif";
    } else {
        face.family = "DejaVu Sans";
    }
    return face;
}

PangoFontDescription* descriptionOf(Engine& e, const UIFont& font) {
    Face face = faceOf(e, font);
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, face.family.c_str());
    pango_font_description_set_weight(d, face.weight);
    pango_font_description_set_style(d, face.style);
    double size = std::isfinite(font.pointSize()) ? std::clamp(font.pointSize(), 0.0, 10000.0) : 0.0;
    pango_font_description_set_absolute_size(d, std::max(1.0, size * PANGO_SCALE));
    return d;
}

std::string fontKey(const UIFont& font) {
    std::string key = font.fontName() ? font.fontName()->str() : std::string();
    key.push_back('\x1f');
    double size = font.pointSize();
    double weight = font.weight();
    key.append(reinterpret_cast<const char*>(&size), sizeof size);
    key.append(reinterpret_cast<const char*>(&weight), sizeof weight);
    return key;
}

// The byte offset in UTF-8 of a UTF-16 offset.
size_t byteOffset(const std::string& utf8, NSUInteger units) {
    size_t i = 0;
    NSUInteger u = 0;
    while (i < utf8.size() && u < units) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
        u += len == 4 ? 2 : 1;
        i += len;
    }
    return std::min(i, utf8.size());
}

// Builds a layout for the text; the caller holds the lock and frees it.
PangoLayout* makeLayout(Engine& e, const std::string& text, const UIFont& font, const Paragraph& p,
                        const std::vector<Run>& runs) {
    PangoLayout* layout = pango_layout_new(e.context);
    PangoFontDescription* d = descriptionOf(e, font);
    pango_layout_set_font_description(layout, d);
    pango_font_description_free(d);
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    if (p.lineSpacing > 0 && std::isfinite(p.lineSpacing)) {
        pango_layout_set_spacing(layout, static_cast<int>(p.lineSpacing * PANGO_SCALE));
    }
    bool wraps = p.lineBreakMode == NSLineBreakByWordWrapping || p.lineBreakMode == NSLineBreakByCharWrapping;
    bool width = p.width > 0 && std::isfinite(p.width);
    if (width && (wraps || p.maximumLines == 1 || p.lineBreakMode != NSLineBreakByClipping)) {
        pango_layout_set_width(layout, static_cast<int>(std::min(p.width, 1e6) * PANGO_SCALE));
        pango_layout_set_wrap(layout,
                              p.lineBreakMode == NSLineBreakByCharWrapping ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
    }
    NSInteger lines = p.maximumLines;
    if (width && !wraps && p.lineBreakMode != NSLineBreakByClipping) {
        pango_layout_set_ellipsize(layout, p.lineBreakMode == NSLineBreakByTruncatingHead     ? PANGO_ELLIPSIZE_START
                                           : p.lineBreakMode == NSLineBreakByTruncatingMiddle ? PANGO_ELLIPSIZE_MIDDLE
                                                                                              : PANGO_ELLIPSIZE_END);
        if (lines <= 0) {
            lines = 1;
        }
    }
    if (lines > 0 && width) {
        if (pango_layout_get_ellipsize(layout) == PANGO_ELLIPSIZE_NONE) {
            pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        }
        pango_layout_set_height(layout, -static_cast<int>(std::min<NSInteger>(lines, 100000)));
    }
    if (!runs.empty()) {
        PangoAttrList* list = pango_attr_list_new();
        for (const auto& run : runs) {
            guint start = static_cast<guint>(byteOffset(text, run.location));
            guint end = static_cast<guint>(byteOffset(text, run.location + run.length));
            if (run.font) {
                PangoFontDescription* rd = descriptionOf(e, *run.font);
                PangoAttribute* a = pango_attr_font_desc_new(rd);
                pango_font_description_free(rd);
                a->start_index = start;
                a->end_index = end;
                pango_attr_list_insert(list, a);
            }
            if (run.colour) {
                PangoAttribute* a = pango_attr_foreground_new(static_cast<guint16>(run.colour->red() * 65535),
                                                              static_cast<guint16>(run.colour->green() * 65535),
                                                              static_cast<guint16>(run.colour->blue() * 65535));
                a->start_index = start;
                a->end_index = end;
                pango_attr_list_insert(list, a);
                a = pango_attr_foreground_alpha_new(
                    static_cast<guint16>(std::clamp(run.colour->alpha(), 0.0, 1.0) * 65535));
                a->start_index = start;
                a->end_index = end;
                pango_attr_list_insert(list, a);
            }
            if (run.background && run.background->alpha() > 0) {
                PangoAttribute* a = pango_attr_background_new(static_cast<guint16>(run.background->red() * 65535),
                                                              static_cast<guint16>(run.background->green() * 65535),
                                                              static_cast<guint16>(run.background->blue() * 65535));
                a->start_index = start;
                a->end_index = end;
                pango_attr_list_insert(list, a);
                a = pango_attr_background_alpha_new(
                    static_cast<guint16>(std::clamp(run.background->alpha(), 0.0, 1.0) * 65535));
                a->start_index = start;
                a->end_index = end;
                pango_attr_list_insert(list, a);
            }
            if (run.attachment) {
                // The character takes the picture's box (none without a picture): pango's rectangle
                // is y down from the baseline. The shape renderer draws the picture there; the run
                // outlives the layout.
                CGRect box = run.pictureBounds;
                bool valid = run.picture && box.size.width > 0 && box.size.height > 0 && std::isfinite(box.origin.y) &&
                             std::isfinite(box.size.width) && std::isfinite(box.size.height) &&
                             std::abs(box.origin.y) < 1e5 && box.size.width < 1e5 && box.size.height < 1e5;
                if (!valid) {
                    box = CGRectZero;
                }
                PangoRectangle r{0, static_cast<int>(-(box.origin.y + box.size.height) * PANGO_SCALE),
                                 static_cast<int>(box.size.width * PANGO_SCALE),
                                 static_cast<int>(box.size.height * PANGO_SCALE)};
                PangoAttribute* a =
                    pango_attr_shape_new_with_data(&r, &r, valid ? run.picture.get() : nullptr, nullptr, nullptr);
                a->start_index = start;
                a->end_index = end;
                pango_attr_list_insert(list, a);
            }
            if (run.kern != 0 && std::isfinite(run.kern)) {
                PangoAttribute* a = pango_attr_letter_spacing_new(
                    static_cast<int>(std::clamp(run.kern, -1000.0, 1000.0) * PANGO_SCALE));
                a->start_index = start;
                a->end_index = end;
                pango_attr_list_insert(list, a);
            }
        }
        pango_layout_set_attributes(layout, list);
        pango_attr_list_unref(list);
    }
    return layout;
}

// Lines beyond what fits in the paragraph's height are dropped (at least one stays).
Measure measureLayout(PangoLayout* layout, const Paragraph& p, const FontMetrics& m) {
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    int lines = pango_layout_get_line_count(layout);
    double height = static_cast<double>(logical.height) / PANGO_SCALE;
    if (p.height > 0 && std::isfinite(p.height) && height > p.height && lines > 1) {
        int keep = 1;
        PangoLayoutIter* it = pango_layout_get_iter(layout);
        double bottom = 0;
        int index = 0;
        do {
            PangoRectangle line;
            pango_layout_iter_get_line_extents(it, nullptr, &line);
            double lineBottom = static_cast<double>(line.y + line.height) / PANGO_SCALE;
            if (lineBottom <= p.height + 0.01 || index == 0) {
                keep = index + 1;
                bottom = lineBottom;
            }
            ++index;
        } while (pango_layout_iter_next_line(it));
        pango_layout_iter_free(it);
        lines = keep;
        height = bottom;
    }
    double width = static_cast<double>(logical.x + logical.width) / PANGO_SCALE;
    if (p.width > 0 && std::isfinite(p.width)) {
        width = std::min(width, p.width);
    }
    (void)m;
    return {CGSizeMake(std::ceil(width - 0.001), std::ceil(height - 0.001)), lines};
}

FontMetrics computeMetrics(Engine& e, const UIFont& font) {
    PangoLayout* layout = pango_layout_new(e.context);
    PangoFontDescription* d = descriptionOf(e, font);
    pango_layout_set_font_description(layout, d);
    pango_layout_set_text(layout, "Hx", 2);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    FontMetrics m;
    m.lineHeight = static_cast<double>(logical.height) / PANGO_SCALE;
    m.ascender = static_cast<double>(pango_layout_get_baseline(layout)) / PANGO_SCALE;
    m.descender = m.ascender - m.lineHeight;
    PangoRectangle inkH, inkX;
    pango_layout_set_text(layout, "H", 1);
    pango_layout_get_extents(layout, &inkH, nullptr);
    pango_layout_set_text(layout, "x", 1);
    pango_layout_get_extents(layout, &inkX, nullptr);
    m.capHeight = static_cast<double>(inkH.height) / PANGO_SCALE;
    m.xHeight = static_cast<double>(inkX.height) / PANGO_SCALE;
    pango_font_description_free(d);
    g_object_unref(layout);
    return m;
}

FontMetrics metricsLocked(Engine& e, const UIFont& font) {
    std::string key = fontKey(font);
    auto it = e.metrics.find(key);
    if (it != e.metrics.end()) {
        return it->second;
    }
    FontMetrics m = computeMetrics(e, font);
    if (e.metrics.size() > kCacheLimit) {
        e.metrics.clear();
    }
    e.metrics.emplace(std::move(key), m);
    return m;
}

} // namespace

FontMetrics metricsOf(const UIFont& font) {
    Engine& e = engine();
    std::lock_guard lock(e.mutex);
    return metricsLocked(e, font);
}

std::string familyOf(const UIFont& font) {
    Engine& e = engine();
    std::lock_guard lock(e.mutex);
    return faceOf(e, font).family;
}

Measure measure(const Ref<NSString>& text, const Ref<UIFont>& font, const Paragraph& p, const std::vector<Run>& runs) {
    if (!text || text->length() == 0 || !font) {
        return {};
    }
    Engine& e = engine();
    std::string key;
    if (runs.empty()) {
        const std::string& s = text->str();
        key.reserve(s.size() + 64);
        key = fontKey(*font);
        key.push_back('\x1e');
        key.append(s);
        double numbers[4] = {p.width, p.height, p.lineSpacing, static_cast<double>(p.maximumLines)};
        key.append(reinterpret_cast<const char*>(numbers), sizeof numbers);
        key.push_back(static_cast<char>(p.lineBreakMode));
    }
    std::lock_guard lock(e.mutex);
    if (!key.empty()) {
        auto it = e.cache.find(key);
        if (it != e.cache.end()) {
            e.hits.fetch_add(1, std::memory_order_relaxed);
            return it->second;
        }
    }
    PangoLayout* layout = makeLayout(e, text->str(), *font, p, runs);
    Measure m = measureLayout(layout, p, metricsLocked(e, *font));
    g_object_unref(layout);
    if (!key.empty()) {
        if (e.cache.size() >= kCacheLimit) {
            e.cache.clear();
        }
        e.cache.emplace(std::move(key), m);
    }
    return m;
}

void draw(const CGContextRef& context, const Ref<NSString>& text, const Ref<UIFont>& font, const CGColorRef& colour,
          CGRect rect, const Paragraph& p, const std::vector<Run>& runs) {
    if (!context || !text || text->length() == 0 || !font || !std::isfinite(rect.origin.x) ||
        !std::isfinite(rect.origin.y)) {
        return;
    }
    Engine& e = engine();
    std::lock_guard lock(e.mutex);
    PangoLayout* layout = makeLayout(e, text->str(), *font, p, runs);
    Measure m = measureLayout(layout, p, metricsLocked(e, *font));
    // Alignment within the rectangle: pango aligns wrapped lines within the layout width; a single
    // unwrapped line is placed here.
    double offset = 0;
    double boxWidth = std::isfinite(rect.size.width) ? rect.size.width : 0;
    bool rtlNatural = false;
    NSTextAlignment align = p.alignment == NSTextAlignmentNatural && !rtlNatural ? NSTextAlignmentLeft : p.alignment;
    if (pango_layout_get_width(layout) > 0) {
        pango_layout_set_alignment(layout, align == NSTextAlignmentCenter  ? PANGO_ALIGN_CENTER
                                           : align == NSTextAlignmentRight ? PANGO_ALIGN_RIGHT
                                                                           : PANGO_ALIGN_LEFT);
        pango_layout_set_justify(layout, align == NSTextAlignmentJustified);
    } else if (boxWidth > 0) {
        if (align == NSTextAlignmentCenter) {
            offset = (boxWidth - m.size.width) / 2;
        } else if (align == NSTextAlignmentRight) {
            offset = boxWidth - m.size.width;
        }
    }
    // Lines that do not fit the height are not drawn.
    double clipHeight = p.height > 0 && std::isfinite(p.height) ? m.size.height : 0;
    double r = 0, g = 0, b = 0, a = 1;
    if (colour) {
        r = colour->red(), g = colour->green(), b = colour->blue(), a = colour->alpha();
    }
    cg_detail::paint(context, [&](cairo_t* cr, double alpha) {
        cairo_save(cr);
        if (clipHeight > 0) {
            cairo_rectangle(cr, rect.origin.x + offset - 1e4, rect.origin.y, 2e4 + boxWidth, clipHeight);
            cairo_clip(cr);
        }
        // Runs set their own colours, which would not carry the global alpha: they draw as a group
        // painted with it.
        bool group = !runs.empty() && alpha < 1;
        if (group) {
            cairo_push_group(cr);
        }
        cairo_set_source_rgba(cr, r, g, b, group ? a : a * alpha);
        cairo_move_to(cr, rect.origin.x + offset, rect.origin.y);
        pango_cairo_show_layout(cr, layout);
        cairo_new_path(cr);
        if (group) {
            cairo_pop_group_to_source(cr);
            cairo_paint_with_alpha(cr, alpha);
        }
        cairo_restore(cr);
    });
    g_object_unref(layout);
}

size_t cacheHits() {
    return engine().hits.load();
}

void clearCache() {
    Engine& e = engine();
    std::lock_guard lock(e.mutex);
    e.cache.clear();
}

} // namespace uikit_text

// Fontconfig keeps its font caches for the life of the process in memory that leak checkers cannot
// trace; the engine above lives as long, so those blocks are not leaks.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
