// The QR code scanner screen on the simulated camera: a code is read from the camera's frames and
// handed to the block and the delegate; a stopped scan reports nothing more; Cancel reports nil;
// bad codes, a missing camera and a session without an input are handled.
#include <Support/PlatformTestCase.h>

#include <Device/SimCamera.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIWindow.h>
#include <UISupport/QRScannerViewController.h>

namespace {

class ScanListener : public NSObject {
    NS_OBJECT(ScanListener, NSObject)
public:
    ScanListener() = default;
    void readerDidScanResult(const id&, const Ref<NSString>& text) { results.push_back(text ? text->str() : "<nil>"); }
    void readerDidCancel(const id&) { ++cancels; }
    std::vector<std::string> results;
    int cancels = 0;
};

} // namespace

NS_IMPLEMENT_CLASS(ScanListener, NSObject) {
    b.method("reader:didScanResult:", &ScanListener::readerDidScanResult);
    b.method("readerDidCancel:", &ScanListener::readerDidCancel);
}

namespace {

const char* kLink = "https://store.example/download_app/?sessionid=4242";

class QRScannerTest : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        SimCamera::current().reset();
    }
    void TearDown() override {
        if (scanner) {
            scanner->stopScanning();
        }
        scanner = nullptr;
        window = nullptr;
        PlatformTestCase::TearDown();
    }
    void show(bool torchButton = false) {
        scanner = QRScannerViewController::
            readerWithCancelButtonTitleCodeReaderStartScanningAtLoadShowSwitchCameraButtonShowTorchButton(
                "Cancel"_ns, make<QRScanner>(), true, true, torchButton);
        scanner->setDelegate(listener);
        scanner->setCompletionWithBlock(
            [this](const Ref<NSString>& text) { texts.push_back(text ? text->str() : "<nil>"); });
        window = UITestDriver::showRootViewController(scanner);
        UITestDriver::layout();
    }
    Ref<QRScannerViewController> scanner;
    Ref<UIWindow> window;
    Ref<ScanListener> listener = make<ScanListener>();
    std::vector<std::string> texts;
};

TEST_F(QRScannerTest, ReadsTheCodeInThePictureAndTellsBlockAndDelegate) {
    show();
    EXPECT_TRUE(scanner->codeReader()->running());
    advance(0.5);
    EXPECT_TRUE(texts.empty()); // nothing in front of the camera yet
    ASSERT_TRUE(SimCamera::current().setQRCode(kLink));
    advance(0.3);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0], kLink);
    ASSERT_FALSE(listener->results.empty());
    EXPECT_EQ(listener->results[0], kLink);
    // A code that stays in view is read again until the owner stops the scan.
    advance(0.5);
    EXPECT_GE(texts.size(), 2u);
}

TEST_F(QRScannerTest, AStoppedScanReportsNothingMoreEvenFromBatchesOnTheirWay) {
    show();
    ASSERT_TRUE(SimCamera::current().setQRCode(kLink));
    // The owner stops at the first text, as the session join does.
    scanner->setCompletionWithBlock([this](const Ref<NSString>& text) {
        texts.push_back(text->str());
        scanner->stopScanning();
    });
    advance(1.0);
    EXPECT_EQ(texts.size(), 1u);
    // A batch that was already queued for the main queue when the scan stopped is dropped.
    auto code = make<AVMetadataMachineReadableCodeObject>(AVMetadataObjectTypeQRCode(), NSString::from(kLink));
    scanner->codeReader()->captureOutputDidOutputMetadataObjectsFromConnection(
        nullptr, NSArray::arrayWithObjects({code}), nullptr);
    EXPECT_EQ(texts.size(), 1u);
}

TEST_F(QRScannerTest, OnlyTheFirstRequestedCodeOfABatchCounts) {
    show();
    auto reader = scanner->codeReader();
    auto ean = make<AVMetadataMachineReadableCodeObject>(AVMetadataObjectTypeEAN13Code(), "4006381333931"_ns);
    auto first = make<AVMetadataMachineReadableCodeObject>(AVMetadataObjectTypeQRCode(), "first"_ns);
    auto second = make<AVMetadataMachineReadableCodeObject>(AVMetadataObjectTypeQRCode(), "second"_ns);
    reader->captureOutputDidOutputMetadataObjectsFromConnection(
        nullptr, NSArray::arrayWithObjects({ean, first, second}), nullptr);
    EXPECT_EQ(texts, std::vector<std::string>{"first"});
}

TEST_F(QRScannerTest, CancelStopsAndReportsNil) {
    show();
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Cancel"));
    EXPECT_FALSE(scanner->codeReader()->running());
    EXPECT_EQ(texts, std::vector<std::string>{"<nil>"});
    EXPECT_EQ(listener->cancels, 1);
    EXPECT_TRUE(scanner->view()->window()); // the owner dismisses it
}

TEST_F(QRScannerTest, BadCodesAreNotReported) {
    show();
    ASSERT_TRUE(SimCamera::current().setQRCode(std::string("\xc3\x28 not text", 10)));
    advance(1.0);
    EXPECT_TRUE(texts.empty());
    // Far too long for any QR code: nothing is in the picture to read.
    EXPECT_FALSE(SimCamera::current().setQRCode(std::string(4000, 'x') + "\xff"));
    ASSERT_TRUE(SimCamera::current().setQRCode(std::string(2000, 'y')));
    advance(1.0);
    // A dense code the camera cannot resolve from the guide's distance is simply not read.
    for (const auto& t : texts) {
        EXPECT_EQ(t, std::string(2000, 'y'));
    }
}

TEST_F(QRScannerTest, SwitchingCameraOnASessionWithoutInputDoesNothing) {
    show();
    auto reader = scanner->codeReader();
    ASSERT_TRUE(scanner->switchCameraButton());
    reader->switchDeviceInput();
    auto inputs = reader->session()->inputs();
    ASSERT_EQ(inputs->count(), 1u);
    EXPECT_EQ(cast<AVCaptureDeviceInput>(inputs->objectAtIndex(0))->device()->position(), AVCaptureDevicePositionFront);
    reader->session()->removeInput(cast<AVCaptureInput>(inputs->objectAtIndex(0)));
    reader->switchDeviceInput(); // nothing to remove: no crash
    EXPECT_EQ(reader->session()->inputs()->count(), 0u);
}

TEST_F(QRScannerTest, WithoutACameraTheScreenStillCancels) {
    SimCamera::current().setCameraState(SimCamera::Position::Back, SimCamera::CameraState::Absent);
    SimCamera::current().setCameraState(SimCamera::Position::Front, SimCamera::CameraState::Absent);
    EXPECT_FALSE(QRScanner::isAvailable());
    EXPECT_FALSE(QRScanner::supportsMetadataObjectTypes(nullptr));
    show(true);
    EXPECT_FALSE(scanner->codeReader()->session());
    EXPECT_FALSE(scanner->switchCameraButton());
    EXPECT_FALSE(scanner->toggleTorchButton());
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Cancel"));
    EXPECT_EQ(texts, std::vector<std::string>{"<nil>"});
}

TEST_F(QRScannerTest, TorchButtonTogglesTheTorchAndOrientationsMapAsThePlatformNumbersThem) {
    show(true);
    ASSERT_TRUE(scanner->toggleTorchButton());
    ASSERT_TRUE(UITestDriver::tapView(scanner->toggleTorchButton()));
    EXPECT_TRUE(SimCamera::current().torchLit());
    ASSERT_TRUE(UITestDriver::tapView(scanner->toggleTorchButton()));
    EXPECT_FALSE(SimCamera::current().torchLit());
    EXPECT_EQ(QRScanner::videoOrientationFromInterfaceOrientation(0), 2);
    EXPECT_EQ(QRScanner::videoOrientationFromInterfaceOrientation(3), 3);
    EXPECT_EQ(QRScanner::videoOrientationFromInterfaceOrientation(9), 2);
    EXPECT_TRUE(QRScanner::supportsMetadataObjectTypes(nullptr));
    EXPECT_FALSE(QRScanner::supportsMetadataObjectTypes(NSArray::arrayWithObjects({AVMetadataObjectTypeFace()})));
}

} // namespace
