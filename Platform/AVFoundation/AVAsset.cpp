// AVAsset on the platform's sound-file codec (see AVAsset.h).
#include <AVFoundation/AVAsset.h>

#include <AudioToolbox/AudioFileCodec.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>

NS_IMPLEMENT_CLASS(AVMetadataItem, NSObject) {
    using P = AVMetadataItem;
    b.readonlyProperty("commonKey", &P::commonKey);
}
NS_IMPLEMENT_CLASS(AVAsset, NSObject) {}
NS_IMPLEMENT_CLASS(AVURLAsset, AVAsset) {}

double CMTimeGetSeconds(CMTime time) {
    return time.timescale > 0 ? static_cast<double>(time.value) / time.timescale : 0.0;
}

#define DX_CONSTANT(name, text)                                                                                        \
    const Ref<NSString>& name() {                                                                                      \
        static const Ref<NSString> value = NSString::from(text);                                                       \
        return value;                                                                                                  \
    }
DX_CONSTANT(AVMetadataCommonKeyTitle, "title")
DX_CONSTANT(AVMetadataCommonKeyArtist, "artist")
DX_CONSTANT(AVMetadataCommonKeyAlbumName, "albumName")
DX_CONSTANT(AVMetadataCommonKeyArtwork, "artwork")
DX_CONSTANT(AVMetadataFormatID3Metadata, "org.id3")
DX_CONSTANT(AVMetadataFormatiTunesMetadata, "com.apple.itunes")
DX_CONSTANT(AVMetadataFormatQuickTimeUserData, "com.apple.quicktime.udta")
#undef DX_CONSTANT

Ref<NSString> AVMetadataItem::stringValue() const {
    return value_ ? cast<NSString>(value_) : nullptr;
}

Ref<NSData> AVMetadataItem::dataValue() const {
    if (!value_) {
        return nullptr;
    }
    if (auto data = cast<NSData>(value_)) {
        return data;
    }
    if (auto text = cast<NSString>(value_)) {
        return NSData::dataWithString(text->str());
    }
    return nullptr;
}

Ref<AVAsset> AVAsset::assetWithURL(const Ref<NSURL>& url) {
    auto asset = make<AVAsset>();
    asset->load(url);
    return asset;
}

void AVAsset::load(const Ref<NSURL>& url) {
    AVAsset* asset = this;
    asset->url_ = url;
    if (!url || !url->path()) {
        return;
    }
    double seconds = 0;
    auto probed = AudioFileProbe(url->path()->str(), &seconds, nullptr);
    if (!probed) {
        return;
    }
    if (std::isfinite(seconds) && seconds > 0 && seconds < 1e9) {
        asset->duration_ = CMTime{static_cast<int64_t>(std::llround(seconds * 1000000.0)), 1000000};
    }
    // The codec's tag names and their common keys, in a fixed order.
    const std::pair<const char*, const Ref<NSString>*> keys[] = {{"title", &AVMetadataCommonKeyTitle()},
                                                                 {"artist", &AVMetadataCommonKeyArtist()},
                                                                 {"album", &AVMetadataCommonKeyAlbumName()}};
    for (const auto& [tag, key] : keys) {
        if (auto it = probed->metadata.find(tag); it != probed->metadata.end() && !it->second.empty()) {
            asset->items_.push_back(make<AVMetadataItem>(*key, NSString::from(it->second)));
        }
    }
    if (!probed->artwork.empty()) {
        asset->items_.push_back(make<AVMetadataItem>(
            AVMetadataCommonKeyArtwork(), NSData::dataWithBytesLength(probed->artwork.data(), probed->artwork.size())));
    }
    if (!asset->items_.empty()) {
        const std::string& c = probed->container;
        asset->format_ = c == "mp3"                           ? AVMetadataFormatID3Metadata()
                         : c.find("mp4") != std::string::npos ? AVMetadataFormatiTunesMetadata()
                                                              : AVMetadataFormatQuickTimeUserData();
    }
}

Ref<NSArray> AVAsset::commonMetadata() const {
    return NSArray::arrayWithRefs(items_);
}

Ref<NSArray> AVAsset::availableMetadataFormats() const {
    return format_ ? NSArray::arrayWithObjects({format_}) : NSArray::array();
}

Ref<NSArray> AVAsset::metadataForFormat(const Ref<NSString>& format) const {
    return format_ && format && format->isEqualToString(format_) ? NSArray::arrayWithRefs(items_) : NSArray::array();
}

Ref<AVURLAsset> AVURLAsset::URLAssetWithURLOptions(const Ref<NSURL>& url, const id&) {
    auto asset = make<AVURLAsset>();
    asset->load(url);
    return asset;
}
