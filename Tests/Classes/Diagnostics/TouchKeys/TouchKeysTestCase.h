// Fixture of the touch and key screen tests: one record run in the run container on the simulated
// device, whose digitizer, keys and switch the test breaks, and a finger that draws through views
// on the screen, on virtual time.
#pragma once

#include "RunTestCase.h"

#include <Device/SimDevice.h>
#include <Device/SimTouchKeys.h>
#include <UIKit/UIEvent.h>

#include <vector>

class TouchKeysTestCase : public RunTestCase {
protected:
    using Key = SimTouchKeys::Key;
    using KeyState = SimTouchKeys::KeyState;

    SimTouchKeys& keys = SimTouchKeys::current();

    Ref<DXBaseViewController> run(const char* controller, NSInteger timeout = 0, bool hasMute = true) {
        auto r = record("TOUCHKEYS", controller);
        r->setTimeout(timeout);
        r->setHasMute(hasMute);
        startRun({r}, DXRunTypeProfile);
        auto screen = testScreen();
        EXPECT_TRUE(screen) << UITestDriver::describeScreen();
        return screen;
    }
    NSInteger result() const { return model(0)->result(); }
    bool ended() const { return resultScreen() != nullptr; }
    std::string subResult(const char* key) const {
        auto value = model(0)->subTestItemsResult()->objectForKey(NSString::from(key));
        return value ? NSDescription(value)->str() : "";
    }

    // The centre of a view in window coordinates.
    static CGPoint centre(const Ref<UIView>& view) {
        CGRect b = view->bounds();
        return view->convertPointToView(CGPointMake(CGRectGetMidX(b), CGRectGetMidY(b)), nullptr);
    }
    // One stroke through the centres of the views, in order.
    template <class V>
    static void strokeThrough(const std::vector<Ref<V>>& views, double speed = 1000) {
        std::vector<CGPoint> points;
        for (const auto& v : views) {
            points.push_back(centre(v));
        }
        UITestDriver::drawPath(points, speed);
    }
    // Strokes along each row of a five-column grid.
    template <class V>
    static void strokeRows(const std::vector<Ref<V>>& cells) {
        for (size_t row = 0; row * 5 < cells.size(); ++row) {
            std::vector<Ref<V>> line(cells.begin() + static_cast<long>(row * 5),
                                     cells.begin() + static_cast<long>(std::min(cells.size(), row * 5 + 5)));
            strokeThrough(line);
        }
    }
    // Strokes along the canvas's top row, right column, bottom row, left column and diagonals.
    template <class V>
    static void strokeBorderAndDiagonals(const std::vector<Ref<V>>& items) {
        if (items.size() < 26) {
            return;
        }
        long n = (static_cast<long>(items.size()) - 16) / 4;
        std::vector<long> groups = {13, n - 2, 13, n - 2, n - 3, n - 3};
        long at = 0;
        for (long count : groups) {
            if (count <= 0 || at + count > static_cast<long>(items.size())) {
                continue;
            }
            strokeThrough(std::vector<Ref<V>>(items.begin() + at, items.begin() + at + count));
            at += count;
        }
    }
};
