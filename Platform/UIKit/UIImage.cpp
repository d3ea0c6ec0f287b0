#include <Runtime/ClassBuilder.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>

namespace {

enum class Format { None, PNG, JPEG, GIF };

struct Header {
    Format format = Format::None;
    double width = 0;
    double height = 0;
};

uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint16_t be16(const uint8_t* p) {
    return uint16_t((p[0] << 8) | p[1]);
}

// Reads the pixel size from the image header without decoding.
Header readHeader(const uint8_t* d, size_t n) {
    Header h;
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (n >= 24 && std::equal(png, png + 8, d) && std::equal(d + 12, d + 16, "IHDR")) {
        h.format = Format::PNG;
        h.width = be32(d + 16);
        h.height = be32(d + 20);
        return h;
    }
    if (n >= 10 && (std::equal(d, d + 6, "GIF87a") || std::equal(d, d + 6, "GIF89a"))) {
        h.format = Format::GIF;
        h.width = d[6] | (d[7] << 8);
        h.height = d[8] | (d[9] << 8);
        return h;
    }
    if (n >= 4 && d[0] == 0xFF && d[1] == 0xD8) {
        size_t i = 2;
        while (i + 9 < n) {
            if (d[i] != 0xFF) {
                ++i;
                continue;
            }
            uint8_t marker = d[i + 1];
            if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0xFF) {
                ++i;
                continue;
            }
            uint16_t length = be16(d + i + 2);
            bool frame = (marker >= 0xC0 && marker <= 0xCF) && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
            if (frame) {
                h.format = Format::JPEG;
                h.height = be16(d + i + 5);
                h.width = be16(d + i + 7);
                return h;
            }
            i += 2 + length;
        }
    }
    return h;
}

struct Store {
    std::mutex mutex;
    std::vector<std::string> folders{std::string(DX_RESOURCES_DIR), std::string(DX_RESOURCES_DIR) + "/Images"};
    std::map<std::string, Ref<UIImage>> cache;
};

Store& store() {
    static Store* s = new Store;
    return *s;
}

// The scale written in a file name ("icon@2x.png" -> 2), 1 without one.
CGFloat scaleInName(const std::string& stem) {
    auto at = stem.rfind('@');
    if (at != std::string::npos && stem.size() >= at + 3 && stem.back() == 'x') {
        double s = std::atof(stem.substr(at + 1, stem.size() - at - 2).c_str());
        if (s > 0) {
            return s;
        }
    }
    return 1;
}

} // namespace

NS_IMPLEMENT_CLASS(UIImage, NSObject) {
    b.readonlyProperty("size", &UIImage::size);
    b.readonlyProperty("scale", &UIImage::scale);
    b.readonlyProperty("renderingMode", &UIImage::renderingMode);
    b.methodBlock("imageWithRenderingMode:", [](UIImage* self, long mode) {
        return self->imageWithRenderingMode(static_cast<UIImageRenderingMode>(mode));
    });
    b.classMethod("imageNamed:", [](const Ref<NSString>& name) { return UIImage::imageNamed(name); });
}

UIImage::UIImage(CGSize size, CGFloat scale, Ref<NSData> data) : size_(size), scale_(scale), data_(std::move(data)) {}

Ref<UIImage> UIImage::imageWithRenderingMode(UIImageRenderingMode mode) const {
    if (mode == renderingMode_) {
        return Ref<UIImage>(const_cast<UIImage*>(this));
    }
    auto copy = make<UIImage>(size_, scale_, data_);
    copy->name_ = name_;
    copy->renderingMode_ = mode;
    return copy;
}

void UIImage::setSearchFolders(std::vector<std::string> folders) {
    auto& s = store();
    std::lock_guard lock(s.mutex);
    s.folders = std::move(folders);
    s.cache.clear();
}

Ref<UIImage> UIImage::imageNamed(const Ref<NSString>& name) {
    if (!name || name->length() == 0) {
        return nullptr;
    }
    auto& s = store();
    std::vector<std::string> folders;
    {
        std::lock_guard lock(s.mutex);
        if (auto it = s.cache.find(name->str()); it != s.cache.end()) {
            return it->second;
        }
        folders = s.folders;
    }
    namespace fs = std::filesystem;
    fs::path requested(name->str());
    std::string stem = requested.stem().string();
    std::string ext = requested.extension().string();
    if (!requested.has_extension() || (ext != ".png" && ext != ".jpg" && ext != ".jpeg" && ext != ".gif")) {
        stem = requested.filename().string();
        ext.clear();
    }
    int screenScale = static_cast<int>(std::lround(UIScreen::mainScreen()->scale()));
    std::vector<std::string> candidates;
    std::vector<std::string> exts =
        ext.empty() ? std::vector<std::string>{".png", ".jpg", ".jpeg", ".gif"} : std::vector<std::string>{ext};
    std::string dir = requested.parent_path().string();
    for (const auto& e : exts) {
        for (int sc = screenScale; sc >= 2; --sc) {
            candidates.push_back(stem + "@" + std::to_string(sc) + "x" + e);
        }
        candidates.push_back(stem + e);
        for (int sc = screenScale + 1; sc <= 3; ++sc) {
            candidates.push_back(stem + "@" + std::to_string(sc) + "x" + e);
        }
    }
    for (const auto& folder : folders) {
        for (const auto& c : candidates) {
            fs::path p = fs::path(folder) / dir / c;
            std::error_code ec;
            if (!fs::is_regular_file(p, ec)) {
                continue;
            }
            auto data = NSData::dataWithContentsOfFile(NSString::from(p.string()));
            auto image = imageWithDataScale(data, scaleInName(fs::path(c).stem().string()));
            if (image) {
                image->name_ = name;
                std::lock_guard lock(s.mutex);
                s.cache[name->str()] = image;
                return image;
            }
        }
    }
    return nullptr;
}

Ref<UIImage> UIImage::imageWithContentsOfFile(const Ref<NSString>& path) {
    if (!path) {
        return nullptr;
    }
    auto data = NSData::dataWithContentsOfFile(path);
    return imageWithDataScale(data, scaleInName(std::filesystem::path(path->str()).stem().string()));
}

Ref<UIImage> UIImage::imageWithData(const Ref<NSData>& data) {
    return imageWithDataScale(data, 1);
}

Ref<UIImage> UIImage::imageWithDataScale(const Ref<NSData>& data, CGFloat scale) {
    if (!data || scale <= 0) {
        return nullptr;
    }
    Header h = readHeader(data->bytes(), data->length());
    if (h.format == Format::None || h.width <= 0 || h.height <= 0) {
        return nullptr;
    }
    return make<UIImage>(CGSizeMake(h.width / scale, h.height / scale), scale, data);
}

Ref<NSString> UIImage::description() const {
    return NSString::stringWithFormat("<UIImage: %p>, {%g, %g}", static_cast<const void*>(this), size_.width,
                                      size_.height);
}

Ref<NSData> UIImagePNGRepresentation(const Ref<UIImage>& image) {
    if (!image || !image->data()) {
        return nullptr;
    }
    auto d = image->data();
    return readHeader(d->bytes(), d->length()).format == Format::PNG ? d : nullptr;
}

Ref<NSData> UIImageJPEGRepresentation(const Ref<UIImage>& image, CGFloat) {
    if (!image || !image->data()) {
        return nullptr;
    }
    auto d = image->data();
    return readHeader(d->bytes(), d->length()).format == Format::JPEG ? d : nullptr;
}
