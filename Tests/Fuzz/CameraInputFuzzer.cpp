// Fuzzes what the camera side reads from outside: a faults overlay (the first byte 0), or a code in
// the camera's picture (any other first byte): the bytes are encoded as a QR code on the card before
// the camera, decoded from the rendered frame, and reach the scanner's reader as a batch.
#include <AVFoundation/AVCaptureMetadataOutput.h>
#include <Device/SimCamera.h>
#include <Foundation/NSData.h>
#include <Foundation/NSLog.h>
#include <UISupport/QRScanner.h>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool ready = [] {
        NSLogSetHook([](const std::string&) {});
        return true;
    }();
    (void)ready;
    if (size == 0) {
        return 0;
    }
    std::string text(reinterpret_cast<const char*>(bytes + 1), size - 1);
    auto& camera = SimCamera::current();
    if (bytes[0] == 0) {
        std::string error;
        (void)camera.applyFaults(text, &error);
        camera.reset();
        return 0;
    }
    if (!camera.setQRCode(text)) {
        return 0;
    }
    auto frame = camera.frame(SimCamera::Position::Back, 480, 640, camera.neutralGains(), 0);
    camera.setQRCode("");
    if (!frame) {
        return 0;
    }
    auto batch = NSMutableArray::array();
    for (const auto& code : AVDecodeQRCodes(*frame)) {
        auto value = NSString::stringWithDataEncoding(NSData::dataWithBytesLength(code.data(), code.size()),
                                                      NSUTF8StringEncoding);
        batch->addObject(make<AVMetadataMachineReadableCodeObject>(AVMetadataObjectTypeQRCode(), value));
    }
    // A reader that is not scanning drops the batch; one that is would hand each text on.
    auto reader = make<QRScanner>();
    reader->setCompletionWithBlock([](const Ref<NSString>&) {});
    reader->captureOutputDidOutputMetadataObjectsFromConnection(nullptr, batch, nullptr);
    return 0;
}
