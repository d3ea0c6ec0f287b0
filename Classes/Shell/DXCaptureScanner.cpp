// DXCaptureScanner: the capture framework and the QR code scanner behind the root screen's seams.
#include <Shell/DXCaptureScanner.h>

#include <AVFoundation/AVCaptureDevice.h>
#include <Runtime/ClassBuilder.h>
#include <Shell/DXRootTableViewController.h>
#include <UISupport/QRScannerViewController.h>

namespace {

// Hears the scanner's Cancel for the road; kept alive by the scanner it listens to.
class DXScannerCancelRelay : public NSObject {
    NS_OBJECT(DXScannerCancelRelay, NSObject)
public:
    DXScannerCancelRelay() = default;
    void readerDidCancel(const id&) {
        if (onCancel) {
            onCancel();
        }
    }
    std::function<void()> onCancel;
};

const char kRelayKey = 0;

} // namespace

NS_IMPLEMENT_CLASS(DXScannerCancelRelay, NSObject) {
    b.method("readerDidCancel:", &DXScannerCancelRelay::readerDidCancel);
}

void DXUseCaptureScanner() {
    DXRootTableViewController::setCameraAuthorization(
        {[] { return static_cast<NSInteger>(AVCaptureDevice::authorizationStatusForMediaType(AVMediaTypeVideo())); },
         [](std::function<void(bool granted)> answer) {
             AVCaptureDevice::requestAccessForMediaTypeCompletionHandler(AVMediaTypeVideo(), std::move(answer));
         }});
    DXRootTableViewController::setQRScannerFactory([](std::function<void(const Ref<NSString>& text)> onText,
                                                      std::function<void()> onCancel) -> Ref<UIViewController> {
        auto scanner = QRScannerViewController::readerWithCancelButtonTitle(nullptr);
        scanner->setCompletionWithBlock([onText](const Ref<NSString>& text) {
            // Cancel reports nil: not a session link, so the road ignores it.
            if (text && text->length() > 0) {
                onText(text);
            }
        });
        auto relay = make<DXScannerCancelRelay>();
        relay->onCancel = std::move(onCancel);
        scanner->setDelegate(relay);
        scanner->setAssociatedObject(&kRelayKey, relay, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        return scanner;
    });
}
