// AVCaptureDeviceInput: made only for a device that is there and that the app may use.
#include <AVFoundation/AVCaptureInput.h>

#include <Foundation/NSDictionary.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(AVCaptureInputPort, NSObject) {}
NS_IMPLEMENT_CLASS(AVCaptureInput, NSObject) {}
NS_IMPLEMENT_CLASS(AVCaptureDeviceInput, AVCaptureInput) {}

Ref<AVCaptureDeviceInput> AVCaptureDeviceInput::deviceInputWithDeviceError(const Ref<AVCaptureDevice>& device,
                                                                           Ref<NSError>* error) {
    auto fail = [&](NSInteger code, const char* text) -> Ref<AVCaptureDeviceInput> {
        if (error) {
            auto info = NSMutableDictionary::dictionary();
            info->setObjectForKey(NSString::from(text), NSString::from("NSLocalizedDescription"));
            *error = NSError::errorWithDomainCodeUserInfo(AVFoundationErrorDomain(), code, info);
        }
        return nullptr;
    };
    if (!device) {
        return fail(AVErrorDeviceNotConnected, "Cannot use a missing device");
    }
    if (!device->isConnected()) {
        return fail(AVErrorDeviceNotConnected, "Cannot Use Camera");
    }
    if (!device->isAudio() &&
        AVCaptureDevice::authorizationStatusForMediaType(AVMediaTypeVideo()) != AVAuthorizationStatusAuthorized) {
        return fail(AVErrorApplicationIsNotAuthorized, "Cannot use Camera");
    }
    auto input = make<AVCaptureDeviceInput>();
    input->device_ = device;
    auto ports = NSMutableArray::array();
    ports->addObject(make<AVCaptureInputPort>(Ref<AVCaptureInput>(input),
                                              device->isAudio() ? AVMediaTypeAudio() : AVMediaTypeVideo()));
    input->ports_ = ports;
    return input;
}
