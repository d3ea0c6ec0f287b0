#include <UIKit/UIAccessibility.h>
#include <UIKit/UIKitInternal.h>

#include <deque>

namespace {

constexpr size_t kKept = 100;

std::deque<UIAccessibilityPosting>& postings() {
    static auto* list = new std::deque<UIAccessibilityPosting>;
    return *list;
}

} // namespace

void UIAccessibilityPostNotification(UIAccessibilityNotifications notification, const id& argument) {
    uikit_detail::assertMainThread("UIAccessibilityPostNotification");
    auto& list = postings();
    list.push_back({notification, argument});
    while (list.size() > kKept) {
        list.pop_front();
    }
}

bool UIAccessibilityIsVoiceOverRunning() {
    return false;
}

std::vector<UIAccessibilityPosting> UIAccessibilityPostedNotifications() {
    uikit_detail::assertMainThread("UIAccessibilityPostedNotifications");
    const auto& list = postings();
    return {list.begin(), list.end()};
}
