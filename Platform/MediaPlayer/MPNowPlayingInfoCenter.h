// MPNowPlayingInfoCenter: what the application says it is playing (title, album, artist, artwork,
// duration), shown by the system on the lock screen and in the control centre. Holding now-playing
// information makes the application the target of a headset's play/pause key (with remote-control
// events received, UIApplication). MPMediaItemArtwork wraps an image.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>
#include <UIKit/UIImage.h>

const Ref<NSString>& MPMediaItemPropertyTitle();
const Ref<NSString>& MPMediaItemPropertyAlbumTitle();
const Ref<NSString>& MPMediaItemPropertyArtist();
const Ref<NSString>& MPMediaItemPropertyAlbumArtist();
const Ref<NSString>& MPMediaItemPropertyArtwork();
const Ref<NSString>& MPMediaItemPropertyPlaybackDuration();

class MPMediaItemArtwork : public NSObject {
    NS_OBJECT(MPMediaItemArtwork, NSObject)
public:
    explicit MPMediaItemArtwork(Ref<UIImage> image) : image_(std::move(image)) {}
    Ref<UIImage> imageWithSize(CGSize) const { return image_; }
    const Ref<UIImage>& image() const noexcept { return image_; }

private:
    Ref<UIImage> image_;
};

class MPNowPlayingInfoCenter : public NSObject {
    NS_OBJECT(MPNowPlayingInfoCenter, NSObject)
public:
    static Ref<MPNowPlayingInfoCenter> defaultCenter();
    Ref<NSDictionary> nowPlayingInfo() const;
    // A copy is kept; nil clears it.
    void setNowPlayingInfo(const Ref<NSDictionary>& info);

private:
    mutable std::mutex mutex_;
    Ref<NSDictionary> info_;
};
