#include <Dispatch/Dispatch.h>
#include <Foundation/NSRunLoop.h>
#include <QuartzCore/CABase.h>
#include <QuartzCore/CADisplayLink.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>

#include <cmath>
#include <vector>

namespace {

class DisplayLinkTests : public PlatformTestCase {};

class Screen : public NSObject {
    NS_OBJECT(Screen, NSObject)
public:
    void step(const Ref<CADisplayLink>& link) {
        timestamps.push_back(link->timestamp());
        if (stopAfter && static_cast<int>(timestamps.size()) == stopAfter) {
            link->invalidate();
        }
    }
    std::vector<double> timestamps;
    int stopAfter = 0;
};

} // namespace

NS_IMPLEMENT_CLASS(Screen, NSObject) {
    b.method("step:", &Screen::step);
}

TEST_F(DisplayLinkTests, TicksSixtyTimesASecondWithItsTimestamp) {
    auto screen = make<Screen>();
    auto link = CADisplayLink::displayLinkWithTargetSelector(screen, "step:");
    link->addToRunLoopForMode(NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode());
    double start = CACurrentMediaTime();
    advance(1.0);
    ASSERT_GE(screen->timestamps.size(), 59u);
    ASSERT_LE(screen->timestamps.size(), 60u);
    for (size_t i = 0; i < screen->timestamps.size(); ++i) {
        EXPECT_NEAR(screen->timestamps[i] - start, (i + 1) / 60.0, 1e-6);
    }
    EXPECT_DOUBLE_EQ(link->duration(), 1.0 / 60.0);
    EXPECT_DOUBLE_EQ(link->targetTimestamp(), link->timestamp() + link->duration());
    link->invalidate();
}

TEST_F(DisplayLinkTests, PausedLinkDoesNotTick) {
    int ticks = 0;
    auto link = CADisplayLink::displayLinkWithBlock([&](const Ref<CADisplayLink>&) { ++ticks; });
    link->addToRunLoopForMode(NSRunLoop::mainRunLoop(), NSRunLoopCommonModes());
    advance(0.5);
    int before = ticks;
    EXPECT_GE(before, 29);
    link->setPaused(true);
    EXPECT_TRUE(link->isPaused());
    advance(1);
    EXPECT_EQ(ticks, before);
    link->setPaused(false);
    advance(0.5);
    EXPECT_GE(ticks, before + 29);
    link->invalidate();
}

TEST_F(DisplayLinkTests, InvalidatedFromItsCallbackReleasesItsTarget) {
    Weak<Screen> weakScreen;
    Weak<CADisplayLink> weakLink;
    {
        auto screen = make<Screen>();
        screen->stopAfter = 3;
        weakScreen = screen;
        auto link = CADisplayLink::displayLinkWithTargetSelector(screen, "step:");
        weakLink = link;
        link->addToRunLoopForMode(NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode());
    }
    // The run loop holds the link, the link its target.
    ASSERT_TRUE(weakScreen.lock());
    advance(1);
    EXPECT_TRUE(weakScreen.expired());
    EXPECT_TRUE(weakLink.expired());
}
