// MPNowPlayingInfoCenter and MPMediaItemArtwork (see MPNowPlayingInfoCenter.h).
#include <MediaPlayer/MPNowPlayingInfoCenter.h>

#include <Dispatch/Clock.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(MPMediaItemArtwork, NSObject) {}

NS_IMPLEMENT_CLASS(MPNowPlayingInfoCenter, NSObject) {
    b.property("nowPlayingInfo", &MPNowPlayingInfoCenter::nowPlayingInfo, &MPNowPlayingInfoCenter::setNowPlayingInfo);
    b.classMethod("defaultCenter", [] { return MPNowPlayingInfoCenter::defaultCenter(); });
}

#define DX_MP_STRING(name, text)                                                                                       \
    const Ref<NSString>& name() {                                                                                      \
        static const Ref<NSString>& value = *new Ref<NSString>(NSString::from(text));                                  \
        return value;                                                                                                  \
    }
DX_MP_STRING(MPMediaItemPropertyTitle, "title")
DX_MP_STRING(MPMediaItemPropertyAlbumTitle, "albumTitle")
DX_MP_STRING(MPMediaItemPropertyArtist, "artist")
DX_MP_STRING(MPMediaItemPropertyAlbumArtist, "albumArtist")
DX_MP_STRING(MPMediaItemPropertyArtwork, "artwork")
DX_MP_STRING(MPMediaItemPropertyPlaybackDuration, "playbackDuration")
#undef DX_MP_STRING

Ref<MPNowPlayingInfoCenter> MPNowPlayingInfoCenter::defaultCenter() {
    static const Ref<MPNowPlayingInfoCenter>& center = []() -> const Ref<MPNowPlayingInfoCenter>& {
        auto* made = new Ref<MPNowPlayingInfoCenter>(make<MPNowPlayingInfoCenter>());
        // A process that starts holds no now-playing information: what one test's screen announced
        // would otherwise make the next test's application the target of the headset's play key.
        DispatchClock::addTestEndHandler([center = made->get()] { center->setNowPlayingInfo(nullptr); });
        return *made;
    }();
    return center;
}

Ref<NSDictionary> MPNowPlayingInfoCenter::nowPlayingInfo() const {
    std::lock_guard lock(mutex_);
    return info_;
}

void MPNowPlayingInfoCenter::setNowPlayingInfo(const Ref<NSDictionary>& info) {
    Ref<NSDictionary> copy = info ? cast<NSDictionary>(info->copy()) : nullptr;
    changeValueForKey("nowPlayingInfo", [&] {
        std::lock_guard lock(mutex_);
        info_ = copy;
    });
}
