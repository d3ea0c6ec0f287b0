// Contracts that debug builds enforce: an over-release stops the process, and a main-thread-only entry
// point raises on another thread.
#include <Dispatch/DispatchQueue.h>
#include <Runtime/NSObject.h>

#include <gtest/gtest.h>

#include <thread>

TEST(ContractsDeathTest, AnOverReleaseStopsADebugBuild) {
#ifdef NDEBUG
    GTEST_SKIP() << "checked in debug builds only";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A deallocation hook that releases its object once more than it retained it.
    EXPECT_DEATH(
        {
            auto object = make<NSObject>();
            object->addDeallocHook([](NSObject* self) { objc_detail::release(self); });
        },
        "over-release of a NSObject");
#endif
}

TEST(Contracts, BalancedReferencesInsideADeallocationHookAreFine) {
    bool ran = false;
    {
        auto object = make<NSObject>();
        object->addDeallocHook([&](NSObject* self) {
            Ref<NSObject> again(self); // retained and released during deallocation
            ran = again.get() == self;
        });
    }
    EXPECT_TRUE(ran);
}

TEST(Contracts, MainThreadEntryPointsRaiseOnOtherThreadsInDebugBuilds) {
    dispatch_adopt_current_thread_as_main();
    EXPECT_NO_THROW(DX_ASSERT_MAIN_THREAD());
    bool raised = false;
    std::thread other([&] {
        try {
            DX_ASSERT_MAIN_THREAD();
        } catch (const NSException&) {
            raised = true;
        }
    });
    other.join();
#ifdef NDEBUG
    EXPECT_FALSE(raised);
#else
    EXPECT_TRUE(raised);
#endif
}
