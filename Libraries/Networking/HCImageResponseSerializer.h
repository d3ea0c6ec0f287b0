// HCImageResponseSerializer: validates a reply and makes an image of its body at the screen's
// scale (PNG, JPEG, GIF and the other image types).
#pragma once

#include <Networking/HCHTTPResponseSerializer.h>
#include <UIKit/UIImage.h>

class HCImageResponseSerializer : public HCHTTPResponseSerializer {
    NS_OBJECT(HCImageResponseSerializer, HCHTTPResponseSerializer)
public:
    HCImageResponseSerializer();
    explicit HCImageResponseSerializer(NSCoder* coder);

    static Ref<HCImageResponseSerializer> serializer();

    double imageScale() const noexcept { return imageScale_; }
    void setImageScale(double scale) { imageScale_ = scale; }
    bool automaticallyInflatesResponseImage() const noexcept { return inflates_; }
    void setAutomaticallyInflatesResponseImage(bool inflates) { inflates_ = inflates; }

    id responseObjectForResponseDataError(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
                                          Ref<NSError>* error) override;
    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

private:
    double imageScale_ = 1;
    bool inflates_ = true;
};

// The image of the data at the scale, or nil when the data is no image.
Ref<UIImage> HCScaledImageFromData(const Ref<NSData>& data, double scale);
