// Replacing a method's implementation takes effect for the next call on every thread, even on a thread
// that has the old implementation in its method cache.
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace {

class ReplacedGreeter : public NSObject {
    NS_OBJECT(ReplacedGreeter, NSObject)
public:
    long answer() const { return 1; }
};
class ReplacedGreeterChild : public ReplacedGreeter {
    NS_OBJECT(ReplacedGreeterChild, ReplacedGreeter)
};

long answerOf(const Ref<NSObject>& object) {
    return unbox<long>(object->performSelector("answer"));
}

// A worker thread that calls `answer` whenever it is asked to, and reports what it got.
class Caller {
public:
    explicit Caller(Ref<NSObject> object) : Caller([object] { return answerOf(object); }) {}
    explicit Caller(std::function<long()> work) : work_(std::move(work)), thread_([this] { run(); }) {}
    ~Caller() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    long call() {
        std::unique_lock lock(mutex_);
        ++asked_;
        cv_.notify_all();
        cv_.wait(lock, [&] { return answered_ == asked_; });
        return last_;
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            cv_.wait(lock, [&] { return stop_ || asked_ > answered_; });
            if (stop_) {
                return;
            }
            last_ = work_();
            ++answered_;
            cv_.notify_all();
        }
    }
    std::function<long()> work_;
    std::mutex mutex_;
    std::condition_variable cv_;
    int asked_ = 0;
    int answered_ = 0;
    long last_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace

NS_IMPLEMENT_CLASS(ReplacedGreeter, NSObject) {
    b.method("answer", &ReplacedGreeter::answer);
}
NS_IMPLEMENT_CLASS(ReplacedGreeterChild, ReplacedGreeter) {}

TEST(MethodReplacement, TakesEffectOnTheNextCallOnEveryThread) {
    auto object = make<ReplacedGreeterChild>();
    Class cls = ReplacedGreeter::class_();
    Caller other(object);
    // Both threads have the method cached (through the subclass, so the cache holds an inherited entry).
    EXPECT_EQ(answerOf(object), 1);
    EXPECT_EQ(other.call(), 1);
    EXPECT_EQ(other.call(), 1);

    IMP previous =
        cls->replaceInstanceMethod("answer", [](NSObject*, const std::vector<id>&) -> id { return box(2L); });
    ASSERT_TRUE(previous);
    EXPECT_EQ(answerOf(object), 2) << "the replacing thread";
    EXPECT_EQ(other.call(), 2) << "a thread that had the old method cached";

    // Putting the old implementation back is a replacement like any other.
    cls->replaceInstanceMethod("answer", previous);
    EXPECT_EQ(other.call(), 1);
    EXPECT_EQ(answerOf(object), 1);
}

TEST(MethodReplacement, AMethodAddedToASubclassOverridesACachedInheritedOne) {
    auto object = make<ReplacedGreeterChild>();
    Caller other(object);
    EXPECT_EQ(other.call(), 1);
    ASSERT_TRUE(ReplacedGreeterChild::class_()->addInstanceMethod(
        "answer", [](NSObject*, const std::vector<id>&) -> id { return box(3L); }));
    EXPECT_EQ(other.call(), 3);
    EXPECT_EQ(answerOf(make<ReplacedGreeter>()), 1) << "the superclass keeps its own";
}

TEST(MethodReplacement, ACachedMissIsForgottenWhenTheMethodIsAdded) {
    auto object = make<ReplacedGreeter>();
    Caller other([object] { return long(object->respondsToSelector("lateAddition")); });
    EXPECT_EQ(other.call(), 0);
    EXPECT_EQ(other.call(), 0);
    ReplacedGreeter::class_()->addInstanceMethod("lateAddition",
                                                 [](NSObject*, const std::vector<id>&) -> id { return nullptr; });
    EXPECT_EQ(other.call(), 1) << "a thread that had cached the miss";
}
