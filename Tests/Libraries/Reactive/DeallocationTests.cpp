// Deallocation bridges: rx_deallocDisposable, rx_willDeallocSignal, rx_didDeallocSignal.
#include "ReactiveTestSupport.h"

#include <Runtime/ClassBuilder.h>

using namespace rxtest;

namespace {
// Records, in order, what happens while it goes away.
class RXDeallocProbe : public NSObject {
    NS_OBJECT(RXDeallocProbe, NSObject)
public:
    explicit RXDeallocProbe(std::vector<std::string>* log = nullptr) : log_(log) {}
    ~RXDeallocProbe() override {
        if (log_) {
            log_->push_back("destructor");
        }
    }

private:
    std::vector<std::string>* log_;
};
} // namespace

NS_IMPLEMENT_CLASS(RXDeallocProbe, NSObject) {}

TEST(RXDeallocating, TheDeallocDisposableIsOnePerObjectAndDisposedAtTheStartOfDeallocation) {
    std::vector<std::string> log;
    auto object = make<RXDeallocProbe>(&log);
    Ref<RXCompoundDisposable> disposable = rx_deallocDisposable(object);
    EXPECT_EQ(disposable.get(), rx_deallocDisposable(object).get());
    Weak<RXDeallocProbe> weak(object);
    rx_addDeallocDisposable(object, RXDisposable::disposableWithBlock([&log, weak] {
                                // Weak references no longer resolve, the object is still whole.
                                log.push_back(weak.lock() ? "alive" : "disposed");
                            }));
    object = nullptr;
    EXPECT_EQ(log, (std::vector<std::string>{"disposed", "destructor"}));
    EXPECT_TRUE(disposable->isDisposed());
}

TEST(RXDeallocating, WillDeallocCompletesBeforeTheDestructorAndDidDeallocAfter) {
    Recorder late;
    std::vector<std::string> log;
    auto object = make<RXDeallocProbe>(&log);
    Ref<RXSignal> will = rx_willDeallocSignal(object);
    EXPECT_EQ(will.get(), rx_willDeallocSignal(object).get());
    will->subscribeNextCompleted([&log](const id&) { log.push_back("value"); }, [&log] { log.push_back("will"); });
    rx_didDeallocSignal(object)->subscribeCompleted([&log] { log.push_back("did"); });
    object = nullptr;
    EXPECT_EQ(log, (std::vector<std::string>{"will", "destructor", "did"}));
    // A late subscriber to the replayed will-dealloc signal still hears the completion.
    late.subscribe(will);
    EXPECT_EQ(late.events(), (Events{"completed"}));
}

TEST(RXDeallocating, AskingDuringDeallocationCompletesAtOnce) {
    Recorder r;
    auto object = make<RXDeallocProbe>();
    rx_addDeallocDisposable(object, RXDisposable::disposableWithBlock([&r, raw = object.get()] {
                                r.subscribe(rx_willDeallocSignal(id(raw)));
                                rx_addDeallocDisposable(
                                    id(raw), RXDisposable::disposableWithBlock([&r] { r.add("late disposable"); }));
                            }));
    object = nullptr;
    EXPECT_EQ(r.events(), (Events{"completed", "late disposable"}));
}

TEST(RXDeallocating, NilObjectsAnswerNil) {
    EXPECT_FALSE(rx_deallocDisposable(nullptr));
    EXPECT_FALSE(rx_willDeallocSignal(nullptr));
    EXPECT_FALSE(rx_didDeallocSignal(nullptr));
}
