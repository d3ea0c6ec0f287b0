#include <CoreGraphics/CGImageCoding.h>

#include <cairo.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

bool sideOK(size_t w, size_t h) {
    return w > 0 && h > 0 && w <= kCGImageMaximumSide && h <= kCGImageMaximumSide;
}

std::string sizeError(size_t w, size_t h) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "image of %zu x %zu pixels refused: each side must be 1 to %zu pixels", w, h,
                  kCGImageMaximumSide);
    return buf;
}

void fail(std::string* error, std::string why) {
    if (error) {
        *error = std::move(why);
    }
}

// MARK: EXIF orientation

uint32_t read16(const uint8_t* p, bool big) {
    return big ? (uint32_t(p[0]) << 8) | p[1] : (uint32_t(p[1]) << 8) | p[0];
}

uint32_t read32(const uint8_t* p, bool big) {
    return big ? (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]
               : (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

// The orientation tag of the first image directory of a TIFF block; 1 when absent or invalid.
int tiffOrientation(const uint8_t* d, size_t n) {
    if (n < 8) {
        return 1;
    }
    bool big;
    if (d[0] == 'M' && d[1] == 'M') {
        big = true;
    } else if (d[0] == 'I' && d[1] == 'I') {
        big = false;
    } else {
        return 1;
    }
    uint32_t ifd = read32(d + 4, big);
    if (ifd > n || n - ifd < 2) {
        return 1;
    }
    uint32_t count = read16(d + ifd, big);
    for (uint32_t i = 0; i < count; ++i) {
        size_t at = ifd + 2 + size_t(i) * 12;
        if (at + 12 > n) {
            break;
        }
        if (read16(d + at, big) == 0x0112 && read16(d + at + 2, big) == 3) {
            int o = static_cast<int>(read16(d + at + 8, big));
            return o >= 1 && o <= 8 ? o : 1;
        }
    }
    return 1;
}

// A big-endian TIFF block holding only the orientation.
std::vector<uint8_t> tiffWithOrientation(int orientation) {
    return {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, static_cast<uint8_t>(orientation),
            0,   0,   0, 0,  0, 0};
}

// MARK: PNG

struct PNGReadBuffer {
    const uint8_t* data;
    size_t length;
    size_t at;
};

struct PNGJump {
    jmp_buf jump;
    png_bytep* rows;
    char message[200];
};

void pngError(png_structp png, png_const_charp message) {
    auto* j = static_cast<PNGJump*>(png_get_error_ptr(png));
    std::snprintf(j->message, sizeof j->message, "corrupt PNG data: %s", message);
    longjmp(j->jump, 1);
}

void pngWarning(png_structp, png_const_charp) {}

void pngRead(png_structp png, png_bytep out, png_size_t length) {
    auto* b = static_cast<PNGReadBuffer*>(png_get_io_ptr(png));
    if (b->length - b->at < length) {
        png_error(png, "truncated data");
    }
    std::memcpy(out, b->data + b->at, length);
    b->at += length;
}

// Decodes into `*surface` (ARGB32, premultiplied). Kept free of objects with destructors, since a
// decoding error leaves through longjmp.
bool pngDecode(const uint8_t* bytes, size_t length, cairo_surface_t** surface, int* orientation, PNGJump* j,
               png_uint_32* outW, png_uint_32* outH) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, j, pngError, pngWarning);
    if (!png) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    j->rows = nullptr;
    if (!info || setjmp(j->jump)) {
        png_free(png, j->rows);
        png_destroy_read_struct(&png, &info, nullptr);
        if (*surface) {
            cairo_surface_destroy(*surface);
            *surface = nullptr;
        }
        return false;
    }
    PNGReadBuffer buffer{bytes, length, 0};
    png_set_read_fn(png, &buffer, pngRead);
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    *outW = w;
    *outH = h;
    if (!sideOK(w, h)) {
        std::snprintf(j->message, sizeof j->message, "%s", sizeError(w, h).c_str());
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    int colorType = png_get_color_type(png, info);
    png_set_expand(png);
    png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    if (kLittleEndian) {
        png_set_bgr(png);
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    } else {
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
        png_set_swap_alpha(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(w) * 4) {
        png_error(png, "unexpected pixel layout");
    }
    *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(w), static_cast<int>(h));
    if (cairo_surface_status(*surface) != CAIRO_STATUS_SUCCESS) {
        png_error(png, "out of memory");
    }
    unsigned char* data = cairo_image_surface_get_data(*surface);
    int stride = cairo_image_surface_get_stride(*surface);
    j->rows = static_cast<png_bytep*>(png_malloc(png, sizeof(png_bytep) * h));
    for (png_uint_32 y = 0; y < h; ++y) {
        j->rows[y] = data + size_t(y) * static_cast<size_t>(stride);
    }
    png_read_image(png, j->rows);
    png_read_end(png, info);
    png_bytep exif = nullptr;
    png_uint_32 exifLength = 0;
    if (png_get_eXIf_1(png, info, &exifLength, &exif) && exif) {
        *orientation = tiffOrientation(exif, exifLength);
    }
    png_free(png, j->rows);
    j->rows = nullptr;
    png_destroy_read_struct(&png, &info, nullptr);
    // Straight alpha to premultiplied, as the drawing library keeps pixels.
    for (png_uint_32 y = 0; y < h; ++y) {
        auto* px = reinterpret_cast<uint32_t*>(data + size_t(y) * static_cast<size_t>(stride));
        for (png_uint_32 x = 0; x < w; ++x) {
            uint32_t p = px[x];
            uint32_t a = p >> 24;
            if (a == 255) {
                continue;
            }
            uint32_t r = ((p >> 16) & 0xFF) * a, g = ((p >> 8) & 0xFF) * a, b = (p & 0xFF) * a;
            r = (r + 128 + ((r + 128) >> 8)) >> 8;
            g = (g + 128 + ((g + 128) >> 8)) >> 8;
            b = (b + 128 + ((b + 128) >> 8)) >> 8;
            px[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(*surface);
    return true;
}

void pngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void pngFlush(png_structp) {}

bool pngEncode(cairo_surface_t* s, int orientation, std::vector<uint8_t>* out, PNGJump* j, png_bytep* row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, j, pngError, pngWarning);
    if (!png) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(j->jump)) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    bool alpha = cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32;
    png_set_write_fn(png, out, pngWrite, pngFlush);
    png_set_compression_level(png, 3);
    png_set_filter(png, 0, PNG_FILTER_SUB | PNG_FILTER_UP);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<uint8_t> tiff = tiffWithOrientation(orientation);
    if (orientation != 1) {
        png_set_eXIf_1(png, info, static_cast<png_uint_32>(tiff.size()), tiff.data());
    }
    png_write_info(png, info);
    const unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) {
        const auto* px = reinterpret_cast<const uint32_t*>(data + size_t(y) * static_cast<size_t>(stride));
        png_bytep o = *row;
        for (int x = 0; x < w; ++x) {
            uint32_t p = px[x];
            uint32_t a = alpha ? p >> 24 : 255;
            uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (a != 255 && a != 0) {
                r = std::min<uint32_t>(255, (r * 255 + a / 2) / a);
                g = std::min<uint32_t>(255, (g * 255 + a / 2) / a);
                b = std::min<uint32_t>(255, (b * 255 + a / 2) / a);
            }
            *o++ = static_cast<png_byte>(r);
            *o++ = static_cast<png_byte>(g);
            *o++ = static_cast<png_byte>(b);
            if (alpha) {
                *o++ = static_cast<png_byte>(a);
            }
        }
        png_write_row(png, *row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// MARK: JPEG

struct JPEGError {
    jpeg_error_mgr base;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX + 32];
};

void jpegErrorExit(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<JPEGError*>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    cinfo->err->format_message(cinfo, text);
    std::snprintf(e->message, sizeof e->message, "corrupt JPEG data: %s", text);
    longjmp(e->jump, 1);
}

// A warning means damaged data (a short file, a bad Huffman code): the image is refused rather
// than shown with grey patches.
void jpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0) {
        jpegErrorExit(cinfo);
    }
}

bool jpegDecode(const uint8_t* bytes, size_t length, cairo_surface_t** surface, int* orientation, JPEGError* err,
                jpeg_decompress_struct* cinfo) {
    cinfo->err = jpeg_std_error(&err->base);
    err->base.error_exit = jpegErrorExit;
    err->base.emit_message = jpegMessage;
    if (setjmp(err->jump)) {
        jpeg_destroy_decompress(cinfo);
        if (*surface) {
            cairo_surface_destroy(*surface);
            *surface = nullptr;
        }
        return false;
    }
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, bytes, static_cast<unsigned long>(length));
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(cinfo, TRUE);
    if (!sideOK(cinfo->image_width, cinfo->image_height)) {
        std::snprintf(err->message, sizeof err->message, "%s",
                      sizeError(cinfo->image_width, cinfo->image_height).c_str());
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            *orientation = tiffOrientation(m->data + 6, m->data_length - 6);
        }
    }
    cinfo->out_color_space = kLittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_start_decompress(cinfo);
    int w = static_cast<int>(cinfo->output_width), h = static_cast<int>(cinfo->output_height);
    *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    if (cairo_surface_status(*surface) != CAIRO_STATUS_SUCCESS) {
        std::snprintf(err->message, sizeof err->message, "out of memory");
        longjmp(err->jump, 1);
    }
    unsigned char* data = cairo_image_surface_get_data(*surface);
    int stride = cairo_image_surface_get_stride(*surface);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = data + size_t(cinfo->output_scanline) * static_cast<size_t>(stride);
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    cairo_surface_mark_dirty(*surface);
    return true;
}

bool jpegEncode(cairo_surface_t* s, int quality, int orientation, unsigned char** out, unsigned long* outLength,
                JPEGError* err, jpeg_compress_struct* cinfo) {
    cinfo->err = jpeg_std_error(&err->base);
    err->base.error_exit = jpegErrorExit;
    if (setjmp(err->jump)) {
        jpeg_destroy_compress(cinfo);
        return false;
    }
    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, out, outLength);
    cinfo->image_width = static_cast<JDIMENSION>(cairo_image_surface_get_width(s));
    cinfo->image_height = static_cast<JDIMENSION>(cairo_image_surface_get_height(s));
    cinfo->input_components = 4;
    cinfo->in_color_space = kLittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    if (orientation != 1) {
        uint8_t app1[6 + 26] = {'E', 'x', 'i', 'f', 0, 0};
        auto tiff = tiffWithOrientation(orientation);
        std::memcpy(app1 + 6, tiff.data(), tiff.size());
        jpeg_write_marker(cinfo, JPEG_APP0 + 1, app1, sizeof app1);
    }
    unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = data + size_t(cinfo->next_scanline) * static_cast<size_t>(stride);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    return true;
}

} // namespace

CGImageFormat CGImageFormatOfData(const uint8_t* d, size_t n) {
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (d && n >= 8 && std::equal(png, png + 8, d)) {
        return CGImageFormat::PNG;
    }
    if (d && n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) {
        return CGImageFormat::JPEG;
    }
    return CGImageFormat::Unknown;
}

CGImageRef CGImageCreateFromEncodedData(const uint8_t* bytes, size_t length, int* exifOrientation, std::string* error) {
    int orientation = 1;
    cairo_surface_t* surface = nullptr;
    switch (CGImageFormatOfData(bytes, length)) {
    case CGImageFormat::PNG: {
        PNGJump j{};
        png_uint_32 w = 0, h = 0;
        if (!pngDecode(bytes, length, &surface, &orientation, &j, &w, &h)) {
            fail(error, j.message);
            return nullptr;
        }
        if (exifOrientation) {
            *exifOrientation = orientation;
        }
        return make<CGImage>(surface, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
    }
    case CGImageFormat::JPEG: {
        JPEGError err{};
        jpeg_decompress_struct cinfo{};
        if (!jpegDecode(bytes, length, &surface, &orientation, &err, &cinfo)) {
            fail(error, err.message);
            return nullptr;
        }
        if (exifOrientation) {
            *exifOrientation = orientation;
        }
        return make<CGImage>(surface, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNoneSkipLast);
    }
    case CGImageFormat::Unknown:
        break;
    }
    fail(error, "not PNG or JPEG data");
    return nullptr;
}

Ref<NSData> CGImageCreatePNGData(const CGImageRef& image, int exifOrientation) {
    if (!image || !image->surface()) {
        return nullptr;
    }
    cairo_surface_flush(image->surface());
    std::vector<uint8_t> out;
    out.reserve(image->width() * image->height());
    std::vector<png_byte> row(image->width() * 4);
    png_bytep rowPtr = row.data();
    PNGJump j{};
    if (!pngEncode(image->surface(), exifOrientation >= 1 && exifOrientation <= 8 ? exifOrientation : 1, &out, &j,
                   &rowPtr)) {
        return nullptr;
    }
    return NSData::dataWithBytesLength(out.data(), out.size());
}

Ref<NSData> CGImageCreateJPEGData(const CGImageRef& image, CGFloat quality, int exifOrientation) {
    if (!image || !image->surface()) {
        return nullptr;
    }
    cairo_surface_flush(image->surface());
    int q = static_cast<int>(std::lround(std::clamp(std::isfinite(quality) ? quality : 1.0, 0.0, 1.0) * 100));
    unsigned char* out = nullptr;
    unsigned long length = 0;
    JPEGError err{};
    jpeg_compress_struct cinfo{};
    bool ok =
        jpegEncode(image->surface(), std::max(q, 1), exifOrientation >= 1 && exifOrientation <= 8 ? exifOrientation : 1,
                   &out, &length, &err, &cinfo);
    Ref<NSData> data = ok ? NSData::dataWithBytesLength(out, length) : nullptr;
    std::free(out);
    return data;
}
