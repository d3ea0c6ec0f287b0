#include <Networking/HCImageResponseSerializer.h>

#include <Networking/UIImage+HCNetworking.h>

#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(HCImageResponseSerializer, HCHTTPResponseSerializer) {
    NSCodingRegister(b);
    b.property("imageScale", &HCImageResponseSerializer::imageScale, &HCImageResponseSerializer::setImageScale);
    b.property("automaticallyInflatesResponseImage", &HCImageResponseSerializer::automaticallyInflatesResponseImage,
               &HCImageResponseSerializer::setAutomaticallyInflatesResponseImage);
}

HCImageResponseSerializer::HCImageResponseSerializer() : imageScale_(UIScreen::mainScreen()->scale()) {
    acceptableContentTypes_ = NSSet::setWithObjects({"image/tiff"_ns, "image/jpeg"_ns, "image/gif"_ns, "image/png"_ns,
                                                     "image/ico"_ns, "image/x-icon"_ns, "image/bmp"_ns,
                                                     "image/x-bmp"_ns, "image/x-xbitmap"_ns, "image/x-win-bitmap"_ns});
}

HCImageResponseSerializer::HCImageResponseSerializer(NSCoder* coder) : HCHTTPResponseSerializer(coder) {
    imageScale_ = coder->containsValueForKey("imageScale"_ns) ? coder->decodeDoubleForKey("imageScale"_ns)
                                                              : UIScreen::mainScreen()->scale();
    inflates_ = coder->containsValueForKey("automaticallyInflatesResponseImage"_ns)
                    ? coder->decodeBoolForKey("automaticallyInflatesResponseImage"_ns)
                    : true;
}

Ref<HCImageResponseSerializer> HCImageResponseSerializer::serializer() {
    return make<HCImageResponseSerializer>();
}

Ref<UIImage> HCScaledImageFromData(const Ref<NSData>& data, double scale) {
    auto image = hc_safeImageWithData(data);
    if (!image) {
        return nullptr;
    }
    return UIImage::imageWithDataScale(data, scale);
}

id HCImageResponseSerializer::responseObjectForResponseDataError(const Ref<NSURLResponse>& response,
                                                                 const Ref<NSData>& data, Ref<NSError>* error) {
    if (!validateForParsing(response, data, error)) {
        return nullptr;
    }
    if (!data || data->length() == 0) {
        return nullptr;
    }
    // Images here hold their encoded bytes and are decoded where they are drawn, so inflating ahead
    // of time has nothing to do: both settings give the scaled image.
    return HCScaledImageFromData(data, imageScale_);
}

void HCImageResponseSerializer::encodeWithCoder(NSCoder* coder) {
    HCHTTPResponseSerializer::encodeWithCoder(coder);
    coder->encodeDoubleForKey(imageScale_, "imageScale"_ns);
    coder->encodeBoolForKey(inflates_, "automaticallyInflatesResponseImage"_ns);
}

id HCImageResponseSerializer::copy() const {
    auto other = make<HCImageResponseSerializer>();
    other->acceptableStatusCodes_ = acceptableStatusCodes_;
    other->acceptableContentTypes_ = acceptableContentTypes_;
    other->imageScale_ = imageScale_;
    other->inflates_ = inflates_;
    return other;
}
