// AVCaptureStillImageOutput: a frame of the camera encoded as JPEG (CoreGraphics) with an EXIF
// segment written by libexif.
#include <AVFoundation/AVCaptureStillImageOutput.h>
#include <AVFoundation/AVFoundationInternal.h>

#include <CoreGraphics/CGImageCoding.h>
#include <Device/SimCamera.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <cairo.h>
#include <libexif/exif-data.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

NS_IMPLEMENT_CLASS(CMSampleBuffer, NSObject) {}
NS_IMPLEMENT_CLASS(AVCaptureStillImageOutput, AVCaptureOutput) {}

#define DX_STRING_CONSTANT(name, text)                                                                                 \
    const Ref<NSString>& name() {                                                                                      \
        static const Ref<NSString> s = NSString::from(text);                                                           \
        return s;                                                                                                      \
    }

DX_STRING_CONSTANT(AVVideoCodecKey, "AVVideoCodecKey")
DX_STRING_CONSTANT(AVVideoCodecJPEG, "jpeg")
DX_STRING_CONSTANT(kCGImagePropertyExifDictionary, "{Exif}")
DX_STRING_CONSTANT(kCGImagePropertyExifPixelXDimension, "PixelXDimension")
DX_STRING_CONSTANT(kCGImagePropertyExifPixelYDimension, "PixelYDimension")
DX_STRING_CONSTANT(kCGImagePropertyExifWhiteBalance, "WhiteBalance")
DX_STRING_CONSTANT(kCGImagePropertyExifFlash, "Flash")
DX_STRING_CONSTANT(kCGImagePropertyExifDigitalZoomRatio, "DigitalZoomRatio")
DX_STRING_CONSTANT(kCGImagePropertyExifDateTimeOriginal, "DateTimeOriginal")
DX_STRING_CONSTANT(kCGImagePropertyExifLensModel, "LensModel")

id CMGetAttachment(const CMSampleBufferRef& buffer, const Ref<NSString>& key, uint32_t* attachmentModeOut) {
    if (attachmentModeOut) {
        *attachmentModeOut = 0;
    }
    if (!buffer || !buffer->attachments() || !key) {
        return nullptr;
    }
    return buffer->attachments()->objectForKey(key);
}

namespace {

// What a still is taken with, read on the caller's thread.
struct StillSettings {
    SimCamera::Position position = SimCamera::Position::Back;
    SimCamera::Gains gains;
    int width = 0, height = 0;
    bool mirrored = false;
    double zoom = 1;
    bool manualWhiteBalance = false;
    int flash = 0; // EXIF: 0 did not fire, 1 fired, 0x20 no flash
    std::string lens;
};

ExifEntry* addEntry(ExifData* data, ExifIfd ifd, ExifTag tag) {
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(data->ifd[ifd], entry);
    exif_entry_initialize(entry, tag);
    exif_entry_unref(entry);
    return entry;
}

void setNumber(ExifData* data, ExifIfd ifd, ExifTag tag, uint32_t value) {
    ExifEntry* entry = exif_content_get_entry(data->ifd[ifd], tag);
    if (!entry) {
        entry = addEntry(data, ifd, tag);
    }
    ExifByteOrder order = exif_data_get_byte_order(data);
    if (entry->format == EXIF_FORMAT_SHORT && entry->size >= 2) {
        exif_set_short(entry->data, order, static_cast<ExifShort>(value));
    } else if (entry->format == EXIF_FORMAT_LONG && entry->size >= 4) {
        exif_set_long(entry->data, order, value);
    }
}

void setRational(ExifData* data, ExifIfd ifd, ExifTag tag, double value) {
    ExifEntry* entry = exif_content_get_entry(data->ifd[ifd], tag);
    if (!entry) {
        entry = addEntry(data, ifd, tag);
    }
    if (entry->format == EXIF_FORMAT_RATIONAL && entry->size >= 8) {
        exif_set_rational(entry->data, exif_data_get_byte_order(data), {static_cast<ExifLong>(value * 100 + 0.5), 100});
    }
}

void setText(ExifData* data, ExifIfd ifd, ExifTag tag, const std::string& text) {
    ExifMem* mem = exif_mem_new_default();
    ExifEntry* entry = exif_entry_new_mem(mem);
    auto* buffer = static_cast<unsigned char*>(exif_mem_alloc(mem, static_cast<ExifLong>(text.size() + 1)));
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    entry->data = buffer;
    entry->size = static_cast<unsigned int>(text.size() + 1);
    entry->tag = tag;
    entry->components = text.size() + 1;
    entry->format = EXIF_FORMAT_ASCII;
    exif_content_add_entry(data->ifd[ifd], entry);
    exif_mem_unref(mem);
    exif_entry_unref(entry);
}

std::string exifDate() {
    std::time_t t = static_cast<std::time_t>(NSDate::date()->timeIntervalSince1970());
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &tm);
    return text;
}

// The APP1 segment (marker, length, "Exif\0\0" and the TIFF structure) for a still.
std::string exifSegment(const StillSettings& s, const std::string& date) {
    ExifData* data = exif_data_new();
    exif_data_set_option(data, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_data_type(data, EXIF_DATA_TYPE_COMPRESSED);
    exif_data_set_byte_order(data, EXIF_BYTE_ORDER_INTEL);
    exif_data_fix(data);
    setNumber(data, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, static_cast<uint32_t>(s.width));
    setNumber(data, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, static_cast<uint32_t>(s.height));
    setNumber(data, EXIF_IFD_EXIF, EXIF_TAG_WHITE_BALANCE, s.manualWhiteBalance ? 1 : 0);
    setNumber(data, EXIF_IFD_EXIF, EXIF_TAG_FLASH, static_cast<uint32_t>(s.flash));
    setRational(data, EXIF_IFD_EXIF, EXIF_TAG_DIGITAL_ZOOM_RATIO, s.zoom);
    setText(data, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, date);
    setText(data, EXIF_IFD_0, EXIF_TAG_MODEL, SimDevice::current().identity().hardwareIdentifier);
    setText(data, EXIF_IFD_EXIF, static_cast<ExifTag>(0xa434), s.lens); // LensModel
    unsigned char* bytes = nullptr;
    unsigned int length = 0;
    exif_data_save_data(data, &bytes, &length);
    exif_data_unref(data);
    std::string segment;
    if (bytes && length + 2 <= 0xFFFF) {
        segment.push_back(static_cast<char>(0xFF));
        segment.push_back(static_cast<char>(0xE1));
        segment.push_back(static_cast<char>(((length + 2) >> 8) & 0xFF));
        segment.push_back(static_cast<char>((length + 2) & 0xFF));
        segment.append(reinterpret_cast<const char*>(bytes), length);
    }
    std::free(bytes);
    return segment;
}

Ref<NSError> stillError(NSInteger code, const char* text) {
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKey(NSString::from(text), NSString::from("NSLocalizedDescription"));
    return NSError::errorWithDomainCodeUserInfo(AVFoundationErrorDomain(), code, info);
}

} // namespace

Ref<NSDictionary> AVCaptureStillImageOutput::outputSettings() const {
    std::lock_guard lock(mutex_);
    if (!settings_) {
        auto d = NSMutableDictionary::dictionary();
        d->setObjectForKey(AVVideoCodecJPEG(), AVVideoCodecKey());
        return d;
    }
    return settings_;
}

void AVCaptureStillImageOutput::setOutputSettings(const Ref<NSDictionary>& settings) {
    auto codec = settings ? cast<NSString>(settings->objectForKey(AVVideoCodecKey())) : nullptr;
    if (settings && settings->count() && (!codec || !codec->isEqual(AVVideoCodecJPEG()))) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureStillImageOutput setOutputSettings:] Unsupported output settings");
    }
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

bool AVCaptureStillImageOutput::isCapturingStillImage() const {
    std::lock_guard lock(mutex_);
    return capturing_ > 0;
}

void AVCaptureStillImageOutput::captureStillImageAsynchronouslyFromConnectionCompletionHandler(
    const Ref<AVCaptureConnection>& connection,
    std::function<void(const CMSampleBufferRef& buffer, const Ref<NSError>& error)> handler) {
    if (!connection || connection->output().get() != this || !connection->isVideo() || !connection->isActive()) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureStillImageOutput captureStillImageAsynchronouslyFromConnection:"
                           "completionHandler:] - inactive/invalid connection passed.");
    }
    if (!handler) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureStillImageOutput captureStillImageAsynchronouslyFromConnection:"
                           "completionHandler:] - NULL completion handler passed.");
    }
    auto session = connection->output()->session();
    auto device = connection->device();
    StillSettings s;
    s.position = simPosition(*device);
    auto g = device->deviceWhiteBalanceGains();
    s.gains = {g.redGain, g.greenGain, g.blueGain};
    session->frameSize(&s.width, &s.height);
    s.mirrored = connection->isVideoMirrored();
    s.zoom = connection->videoScaleAndCropFactor();
    s.manualWhiteBalance = device->whiteBalanceMode() == AVCaptureWhiteBalanceModeLocked;
    if (!device->hasFlash()) {
        s.flash = 0x20;
    } else if (device->flashMode() == AVCaptureFlashModeOn) {
        s.flash = SimCamera::current().fireFlash() ? 1 : 0;
    }
    s.lens =
        device->position() == AVCaptureDevicePositionFront ? "front camera 2.87mm f/2.2" : "back camera 3.99mm f/1.8";
    {
        std::lock_guard lock(mutex_);
        ++capturing_;
    }
    std::string date = exifDate();
    double time = DispatchClock::uptime();
    Ref<AVCaptureStillImageOutput> self(this);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [self, s, date, time, handler] {
        auto finish = [&](const CMSampleBufferRef& buffer, const Ref<NSError>& error) {
            {
                std::lock_guard lock(self->mutex_);
                --self->capturing_;
            }
            handler(buffer, error);
        };
        auto frame = SimCamera::current().frame(s.position, s.width, s.height, s.gains, time, s.mirrored);
        if (!frame) {
            finish(nullptr, stillError(AVErrorDeviceWasDisconnected, "Cannot Complete Action"));
            return;
        }
        cairo_surface_t* surface = frame->newSurface();
        if (!surface) {
            finish(nullptr, stillError(AVErrorUnknown, "Cannot Encode Image"));
            return;
        }
        auto image = make<CGImage>(surface, CGColorSpaceCreateDeviceRGB(),
                                   static_cast<CGBitmapInfo>(kCGImageAlphaNoneSkipFirst) | kCGBitmapByteOrder32Little);
        auto jpeg = CGImageCreateJPEGData(image, 0.9, 1);
        if (!jpeg || jpeg->length() < 2) {
            finish(nullptr, stillError(AVErrorUnknown, "Cannot Encode Image"));
            return;
        }
        std::string bytes(reinterpret_cast<const char*>(jpeg->bytes()), jpeg->length());
        bytes.insert(2, exifSegment(s, date));
        auto exif = NSMutableDictionary::dictionary();
        exif->setObjectForKey(NSNumber::numberWithInt(s.width), kCGImagePropertyExifPixelXDimension());
        exif->setObjectForKey(NSNumber::numberWithInt(s.height), kCGImagePropertyExifPixelYDimension());
        exif->setObjectForKey(NSNumber::numberWithInt(s.manualWhiteBalance ? 1 : 0),
                              kCGImagePropertyExifWhiteBalance());
        exif->setObjectForKey(NSNumber::numberWithInt(s.flash), kCGImagePropertyExifFlash());
        exif->setObjectForKey(NSNumber::numberWithDouble(s.zoom), kCGImagePropertyExifDigitalZoomRatio());
        exif->setObjectForKey(NSString::from(date), kCGImagePropertyExifDateTimeOriginal());
        exif->setObjectForKey(NSString::from(s.lens), kCGImagePropertyExifLensModel());
        auto attachments = NSMutableDictionary::dictionary();
        attachments->setObjectForKey(exif, kCGImagePropertyExifDictionary());
        finish(make<CMSampleBuffer>(NSData::dataWithBytesLength(bytes.data(), bytes.size()), attachments), nullptr);
    });
}

Ref<NSData> AVCaptureStillImageOutput::jpegStillImageNSDataRepresentation(const CMSampleBufferRef& buffer) {
    return buffer ? buffer->data() : nullptr;
}
