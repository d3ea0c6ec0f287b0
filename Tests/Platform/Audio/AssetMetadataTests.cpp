// Assets: the duration and metadata (title, artist, album, artwork) of sound files, read from the
// bundled sounds, from files written with tags, and from files that hold none or are broken.
#include "AudioTestSupport.h"

#include <AVFoundation/AVAsset.h>
#include <UIKit/UIImage.h>

#include <fstream>
#include <iterator>
#include <map>

namespace {

// The asset's common items as key → item.
std::map<std::string, Ref<AVMetadataItem>> itemsByKey(const Ref<NSArray>& items) {
    std::map<std::string, Ref<AVMetadataItem>> out;
    for (const id& entry : *items) {
        auto item = cast<AVMetadataItem>(entry);
        if (item && item->commonKey()) {
            out[item->commonKey()->str()] = item;
        }
    }
    return out;
}

std::string text(const Ref<AVMetadataItem>& item) {
    return item && item->stringValue() ? item->stringValue()->str() : std::string("<none>");
}

} // namespace

class AssetMetadataTests : public audio_test::FolderTestCase {
protected:
    static std::string bundledBytes(const char* name, const char* type) {
        std::ifstream in(bundled(name, type)->path()->str(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

TEST_F(AssetMetadataTests, TheBundledSilencesCarryTitleArtistAlbumAndArtwork) {
    for (auto [name, seconds] : {std::pair{"10-seconds-of-silence", 10.0}, {"30-seconds-of-silence", 30.0}}) {
        SCOPED_TRACE(name);
        auto asset = AVURLAsset::URLAssetWithURLOptions(bundled(name, "mp3"));
        EXPECT_NEAR(CMTimeGetSeconds(asset->duration()), seconds, 0.1);
        ASSERT_EQ(asset->availableMetadataFormats()->count(), 1u);
        auto format = cast<NSString>(asset->availableMetadataFormats()->objectAtIndex(0));
        EXPECT_TRUE(format->isEqualToString(AVMetadataFormatID3Metadata()));
        auto items = itemsByKey(asset->metadataForFormat(format));
        EXPECT_EQ(itemsByKey(asset->commonMetadata()).size(), items.size());
        EXPECT_EQ(text(items["title"]), std::string(seconds == 10.0 ? "10" : "30") + " Seconds of Silence");
        EXPECT_EQ(text(items["artist"]), "Celvix");
        EXPECT_EQ(text(items["albumName"]), "Diagnostics");
        ASSERT_TRUE(items["artwork"]);
        EXPECT_FALSE(items["artwork"]->stringValue());
        auto image = UIImage::imageWithData(items["artwork"]->dataValue());
        ASSERT_TRUE(image) << "the artwork decodes as an image";
        EXPECT_EQ(image->size().width, 64);
        EXPECT_EQ(image->size().height, 64);
        EXPECT_EQ(asset->metadataForFormat(AVMetadataFormatiTunesMetadata())->count(), 0u);
    }
}

TEST_F(AssetMetadataTests, TagsAndArtworkWrittenToAnM4aReadBack) {
    auto data = audio_test::tone(0.5, 440, 2);
    data.metadata = {{"title", "Tone"}, {"artist", "Bench"}, {"album", "Checks"}};
    auto silence = AudioFileProbe(bundled("10-seconds-of-silence", "mp3")->path()->str(), nullptr);
    ASSERT_TRUE(silence);
    data.artwork = silence->artwork;
    std::string error;
    ASSERT_TRUE(AudioFileEncode(path("tagged.m4a"), "m4a", data, 44100, &error)) << error;
    auto asset = AVAsset::assetWithURL(url("tagged.m4a"));
    EXPECT_NEAR(CMTimeGetSeconds(asset->duration()), 0.5, 0.1);
    ASSERT_EQ(asset->availableMetadataFormats()->count(), 1u);
    EXPECT_TRUE(cast<NSString>(asset->availableMetadataFormats()->objectAtIndex(0))
                    ->isEqualToString(AVMetadataFormatiTunesMetadata()));
    auto items = itemsByKey(asset->commonMetadata());
    EXPECT_EQ(text(items["title"]), "Tone");
    EXPECT_EQ(text(items["artist"]), "Bench");
    EXPECT_EQ(text(items["albumName"]), "Checks");
    ASSERT_TRUE(items["artwork"]);
    EXPECT_TRUE(UIImage::imageWithData(items["artwork"]->dataValue()));
}

TEST_F(AssetMetadataTests, ArtworkThatIsNoImageIsRefused) {
    auto data = audio_test::tone(0.2, 440);
    data.artwork = "not a picture";
    std::string error;
    EXPECT_FALSE(AudioFileEncode(path("bad.mp3"), "mp3", data, 44100, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(AssetMetadataTests, ASoundWithoutTagsHasADurationButNoMetadata) {
    auto asset = AVURLAsset::URLAssetWithURLOptions(bundled("audiotest", "mp3"));
    EXPECT_GT(CMTimeGetSeconds(asset->duration()), 3.0);
    EXPECT_EQ(asset->availableMetadataFormats()->count(), 0u);
    EXPECT_EQ(asset->commonMetadata()->count(), 0u);
    EXPECT_EQ(asset->metadataForFormat(AVMetadataFormatID3Metadata())->count(), 0u);
    EXPECT_EQ(asset->metadataForFormat(nullptr)->count(), 0u);
}

TEST_F(AssetMetadataTests, MissingEmptyAndCorruptFilesGiveAnEmptyAsset) {
    std::ofstream(path("empty.mp3")).close();
    std::ofstream(path("garbage.mp3")) << "this is not a sound file at all, only some words";
    // The tag block of a real file cut short: the ID3 header promises more than there is.
    std::string head = bundledBytes("10-seconds-of-silence", "mp3").substr(0, 300);
    std::ofstream(path("truncated.mp3"), std::ios::binary) << head;
    std::vector<Ref<AVAsset>> assets{AVAsset::assetWithURL(nullptr), AVAsset::assetWithURL(url("missing.mp3"))};
    for (const char* name : {"empty.mp3", "garbage.mp3", "truncated.mp3"}) {
        assets.push_back(AVURLAsset::URLAssetWithURLOptions(url(name)));
    }
    for (const auto& asset : assets) {
        ASSERT_TRUE(asset);
        EXPECT_EQ(CMTimeGetSeconds(asset->duration()), 0.0);
        EXPECT_EQ(asset->availableMetadataFormats()->count(), 0u);
        EXPECT_EQ(asset->commonMetadata()->count(), 0u);
    }
    std::string error;
    double seconds = -1;
    EXPECT_FALSE(AudioFileProbeMemory(reinterpret_cast<const uint8_t*>(head.data()), head.size(), &seconds, &error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(AudioFileProbeMemory(nullptr, 0, &seconds, &error));
    EXPECT_FALSE(error.empty());
}
