// The listeners of a simulated component: added and removed by token from any thread, told of a change
// on the calling thread with no lock held (a listener may add or remove listeners while it is told).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

template <class Change>
class SimListeners {
public:
    uint64_t add(std::function<void(Change)> listener) {
        std::lock_guard lock(mutex_);
        uint64_t token = nextToken_++;
        listeners_.emplace_back(token, std::make_shared<std::function<void(Change)>>(std::move(listener)));
        return token;
    }

    void remove(uint64_t token) {
        std::lock_guard lock(mutex_);
        std::erase_if(listeners_, [&](const auto& l) { return l.first == token; });
    }

    void notify(Change change) const {
        std::vector<std::shared_ptr<std::function<void(Change)>>> listeners;
        {
            std::lock_guard lock(mutex_);
            for (const auto& l : listeners_) {
                listeners.push_back(l.second);
            }
        }
        for (const auto& l : listeners) {
            (*l)(change);
        }
    }

private:
    mutable std::mutex mutex_;
    uint64_t nextToken_ = 1;
    std::vector<std::pair<uint64_t, std::shared_ptr<std::function<void(Change)>>>> listeners_;
};
