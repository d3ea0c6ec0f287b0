// AVCaptureMetadataOutput: zbar over the camera's frames.
#include <AVFoundation/AVCaptureMetadataOutput.h>
#include <Device/SimCamera.h>

#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

#include <zbar.h>

NS_IMPLEMENT_CLASS(AVMetadataObject, NSObject) {}
NS_IMPLEMENT_CLASS(AVMetadataMachineReadableCodeObject, AVMetadataObject) {}
NS_IMPLEMENT_CLASS(AVCaptureMetadataOutput, AVCaptureOutput) {}

const Ref<NSString>& AVMetadataObjectTypeQRCode() {
    static const Ref<NSString> s = NSString::from("org.iso.QRCode");
    return s;
}
const Ref<NSString>& AVMetadataObjectTypeEAN13Code() {
    static const Ref<NSString> s = NSString::from("org.gs1.EAN-13");
    return s;
}
const Ref<NSString>& AVMetadataObjectTypeFace() {
    static const Ref<NSString> s = NSString::from("face");
    return s;
}

namespace {

constexpr double kLookInterval = 0.2;

bool validUTF8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size()) {
            return false;
        }
        uint32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += n;
    }
    return true;
}

} // namespace

std::vector<std::string> AVDecodeQRCodes(const SimFrame& frame) {
    using namespace zbar;
    std::vector<std::string> texts;
    if (frame.width <= 0 || frame.height <= 0) {
        return texts;
    }
    std::vector<unsigned char> grey(static_cast<size_t>(frame.width) * frame.height);
    for (size_t i = 0; i < grey.size(); ++i) {
        uint32_t p = frame.pixels[i];
        grey[i] =
            static_cast<unsigned char>((((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100);
    }
    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_BINARY, 1);
    zbar_image_t* image = zbar_image_create();
    zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(image, static_cast<unsigned>(frame.width), static_cast<unsigned>(frame.height));
    zbar_image_set_data(image, grey.data(), grey.size(), nullptr);
    if (zbar_scan_image(scanner, image) > 0) {
        for (const zbar_symbol_t* symbol = zbar_image_first_symbol(image); symbol; symbol = zbar_symbol_next(symbol)) {
            if (zbar_symbol_get_type(symbol) == ZBAR_QRCODE) {
                texts.emplace_back(zbar_symbol_get_data(symbol), zbar_symbol_get_data_length(symbol));
            }
        }
    }
    zbar_image_destroy(image);
    zbar_image_scanner_destroy(scanner);
    return texts;
}

void AVCaptureMetadataOutput::setMetadataObjectsDelegateQueue(const id& delegate, const dispatch_queue_t& queue) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
    queue_ = queue;
}

id AVCaptureMetadataOutput::metadataObjectsDelegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

Ref<NSArray> AVCaptureMetadataOutput::availableMetadataObjectTypes() const {
    if (!connectionWithMediaType(AVMediaTypeVideo())) {
        return NSArray::array();
    }
    return NSArray::arrayWithObjects({AVMetadataObjectTypeQRCode(), AVMetadataObjectTypeEAN13Code()});
}

Ref<NSArray> AVCaptureMetadataOutput::metadataObjectTypes() const {
    std::lock_guard lock(mutex_);
    return types_;
}

void AVCaptureMetadataOutput::setMetadataObjectTypes(const Ref<NSArray>& types) {
    auto available = availableMetadataObjectTypes();
    auto wanted = types ? types : NSArray::array();
    for (const id& t : *wanted) {
        if (!available->containsObject(t)) {
            NSException::raise(NSInvalidArgumentException,
                               "*** -[AVCaptureMetadataOutput setMetadataObjectTypes:] Unsupported type found - use "
                               "-availableMetadataObjectTypes");
        }
    }
    std::lock_guard lock(mutex_);
    types_ = types ? types : NSArray::array();
}

void AVCaptureMetadataOutput::sessionTick(double time) {
    Ref<NSArray> types;
    id delegate;
    dispatch_queue_t queue;
    {
        std::lock_guard lock(mutex_);
        if (lastLook_ >= 0 && time - lastLook_ < kLookInterval - 1e-9) {
            return;
        }
        lastLook_ = time;
        types = types_;
        delegate = delegate_.lock();
        queue = queue_ ? queue_ : dispatch_get_main_queue();
    }
    auto session = this->session();
    auto connection = connectionWithMediaType(AVMediaTypeVideo());
    if (!delegate || !session || !connection || !types->containsObject(AVMetadataObjectTypeQRCode())) {
        return;
    }
    // The detector works on a small picture of the camera, as the platform's does.
    auto frame = session->currentFrame(480, 640, false);
    if (!frame) {
        return;
    }
    auto batch = NSMutableArray::array();
    for (const auto& text : AVDecodeQRCodes(*frame)) {
        batch->addObject(make<AVMetadataMachineReadableCodeObject>(
            AVMetadataObjectTypeQRCode(), validUTF8(text) ? NSString::from(text) : Ref<NSString>()));
    }
    if (batch->count() == 0) {
        return;
    }
    Weak<NSObject> weakDelegate(delegate);
    Ref<AVCaptureMetadataOutput> self(this);
    dispatch_async(queue, [weakDelegate, self, batch, connection] {
        auto target = weakDelegate.lock();
        if (!target || !target->respondsToSelector("captureOutput:didOutputMetadataObjects:fromConnection:")) {
            return;
        }
        target->performSelectorWithArguments("captureOutput:didOutputMetadataObjects:fromConnection:",
                                             {self, batch, connection});
    });
}
