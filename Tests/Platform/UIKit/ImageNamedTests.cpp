// Images by name: the file of the screen's scale, the fall-backs, and the names that found none.
#include <Device/SimDevice.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class ImageNamedTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        folder_ = fs::temp_directory_path() / ("image-named-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        UIImage::setSearchFolders({folder_.string()});
        UIImage::clearNamesNotFound();
    }
    void TearDown() override {
        UIImage::setSearchFolders({std::string(DX_RESOURCES_DIR), std::string(DX_RESOURCES_DIR) + "/Images"});
        UIImage::clearNamesNotFound();
        std::error_code ec;
        fs::remove_all(folder_, ec);
        PlatformTestCase::TearDown();
    }
    // A file of `pixels` x `pixels`, so the file that was picked can be told by its size.
    void write(const std::string& file, size_t pixels) {
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(pixels, pixels), false, 1);
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        auto png = UIImagePNGRepresentation(image);
        ASSERT_TRUE(png);
        std::ofstream(folder_ / file, std::ios::binary)
            .write(reinterpret_cast<const char*>(png->bytes()), static_cast<std::streamsize>(png->length()));
    }
    fs::path folder_;
};

TEST_F(ImageNamedTests, TheFileOfTheScreensScaleIsPickedWithItsScale) {
    write("mark.png", 10);
    write("mark@2x.png", 20);
    write("mark@3x.png", 30);
    for (const char* profile : {"iPhone7,2", "iPhone10,3"}) {
        ASSERT_TRUE(SimDevice::current().loadProfile(profile));
        UIImage::setSearchFolders({folder_.string()}); // a fresh cache
        CGFloat scale = UIScreen::mainScreen()->scale();
        auto image = UIImage::imageNamed("mark"_ns);
        ASSERT_TRUE(image) << profile;
        EXPECT_EQ(image->scale(), scale) << profile;
        EXPECT_EQ(image->CGImage()->width(), static_cast<size_t>(10 * scale)) << profile;
        EXPECT_EQ(image->size(), CGSizeMake(10, 10)) << profile;
    }
}

TEST_F(ImageNamedTests, AMissingScaleFallsBackToTheNearestFile) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPhone10,3"));
    write("only1x.png", 12);
    write("only2x@2x.png", 24);
    auto lower = UIImage::imageNamed("only2x"_ns);
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->scale(), 2);
    auto plain = UIImage::imageNamed("only1x"_ns);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->scale(), 1);
    EXPECT_TRUE(UIImage::namesNotFound().empty());
}

TEST_F(ImageNamedTests, NamesThatFindNoImageAreRecordedOnceInOrder) {
    write("there.png", 4);
    std::ofstream(folder_ / "broken.png") << "not a picture";
    EXPECT_FALSE(UIImage::imageNamed("missing"_ns));
    EXPECT_TRUE(UIImage::imageNamed("there"_ns));
    EXPECT_FALSE(UIImage::imageNamed("broken"_ns));
    EXPECT_FALSE(UIImage::imageNamed("missing"_ns));
    EXPECT_EQ(UIImage::namesNotFound(), (std::vector<std::string>{"missing", "broken"}));
    UIImage::clearNamesNotFound();
    EXPECT_TRUE(UIImage::namesNotFound().empty());
    EXPECT_TRUE(UIImage::imageNamed("there"_ns));
    EXPECT_TRUE(UIImage::namesNotFound().empty());
}

} // namespace
