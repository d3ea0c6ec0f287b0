// NSProgress: how much of a piece of work is done (completed and total unit counts), with
// cancellation and pausing that a caller can ask for and the worker can observe through handlers.
// The counts are key-value observable ("completedUnitCount", "totalUnitCount",
// "fractionCompleted").
#pragma once

#include <Foundation/NSString.h>

#include <cstdint>
#include <functional>
#include <mutex>

class NSProgress : public NSObject {
    NS_OBJECT(NSProgress, NSObject)
public:
    NSProgress() = default;
    static Ref<NSProgress> progressWithTotalUnitCount(int64_t unitCount);

    int64_t totalUnitCount() const;
    void setTotalUnitCount(int64_t count);
    int64_t completedUnitCount() const;
    void setCompletedUnitCount(int64_t count);
    // completed / total, 0 while the total is not positive.
    double fractionCompleted() const;

    bool isCancellable() const;
    void setCancellable(bool cancellable);
    bool isPausable() const;
    void setPausable(bool pausable);
    bool isCancelled() const;
    bool isPaused() const;

    // Each handler runs on the calling thread; cancellation is final.
    void cancel();
    void pause();
    void resume();
    void setCancellationHandler(std::function<void()> handler);
    void setPausingHandler(std::function<void()> handler);
    void setResumingHandler(std::function<void()> handler);

    Ref<NSString> description() const override;

private:
    void setCount(int64_t& field, const Ref<NSString>& key, int64_t count);

    mutable std::mutex mutex_;
    int64_t total_ = 0;
    int64_t completed_ = 0;
    bool cancellable_ = true;
    bool pausable_ = false;
    bool cancelled_ = false;
    bool paused_ = false;
    std::function<void()> cancellationHandler_;
    std::function<void()> pausingHandler_;
    std::function<void()> resumingHandler_;
};
