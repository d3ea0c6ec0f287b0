// AVAsset / AVURLAsset: a sound file seen as a whole, without playing it: its duration and its
// metadata. AVMetadataItem is one metadata entry with its common key ("title", "artist",
// "albumName", "artwork") and its value (an NSString, or NSData for the artwork's image bytes).
// CMTime is the platform's time value (value / timescale seconds).
//
// The file is read (container only, no decoding) when the asset is made. A missing, empty or
// unreadable file gives an asset with no metadata formats, no metadata items and a zero duration,
// never an error or a crash. Metadata formats: "org.id3" for MP3, "com.apple.itunes" for M4A/MP4,
// "com.apple.quicktime.udta" for other containers that carry tags.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSData.h>
#include <Foundation/NSString.h>
#include <Foundation/NSURL.h>
#include <Runtime/NSObject.h>

#include <cstdint>

struct CMTime {
    int64_t value = 0;
    int32_t timescale = 1;
};
double CMTimeGetSeconds(CMTime time);

const Ref<NSString>& AVMetadataCommonKeyTitle();
const Ref<NSString>& AVMetadataCommonKeyArtist();
const Ref<NSString>& AVMetadataCommonKeyAlbumName();
const Ref<NSString>& AVMetadataCommonKeyArtwork();
const Ref<NSString>& AVMetadataFormatID3Metadata();
const Ref<NSString>& AVMetadataFormatiTunesMetadata();
const Ref<NSString>& AVMetadataFormatQuickTimeUserData();

class AVMetadataItem : public NSObject {
    NS_OBJECT(AVMetadataItem, NSObject)
public:
    AVMetadataItem() = default;
    AVMetadataItem(Ref<NSString> commonKey, id value) : commonKey_(std::move(commonKey)), value_(std::move(value)) {}
    const Ref<NSString>& commonKey() const noexcept { return commonKey_; }
    const id& value() const noexcept { return value_; }
    // The value as a string (nil for the artwork) and as data (a string's UTF-8 bytes).
    Ref<NSString> stringValue() const;
    Ref<NSData> dataValue() const;

private:
    Ref<NSString> commonKey_;
    id value_;
};

class AVAsset : public NSObject {
    NS_OBJECT(AVAsset, NSObject)
public:
    AVAsset() = default;
    // Never nil: a nil URL or an unreadable file gives an empty asset.
    static Ref<AVAsset> assetWithURL(const Ref<NSURL>& url);

    const Ref<NSURL>& URL() const noexcept { return url_; }
    CMTime duration() const noexcept { return duration_; }
    // Every item with a common key, across all formats.
    Ref<NSArray> commonMetadata() const;
    // NSStrings of the formats the file's metadata is in (empty when it has none).
    Ref<NSArray> availableMetadataFormats() const;
    // The items of one format (empty for a format the file does not offer).
    Ref<NSArray> metadataForFormat(const Ref<NSString>& format) const;

protected:
    // Reads the file's container: its duration and metadata.
    void load(const Ref<NSURL>& url);

private:
    Ref<NSURL> url_;
    CMTime duration_;
    Ref<NSString> format_; // nil: no metadata
    std::vector<Ref<AVMetadataItem>> items_;
};

class AVURLAsset : public AVAsset {
    NS_OBJECT(AVURLAsset, AVAsset)
public:
    AVURLAsset() = default;
    // `URLAssetWithURL:options:` (no options are read).
    static Ref<AVURLAsset> URLAssetWithURLOptions(const Ref<NSURL>& url, const id& options = nullptr);
};
