// The RXSubscriber protocol: what a signal sends its events to. A signal sends any number of
// values, then at most one termination (an error or completion).
//
// The protocol is an interface that NSObject subclasses adopt next to their base class, so that a
// subject can be both a signal and a subscriber:
//
//     class MySubscriber : public NSObject, public RXSubscriber {
//         NS_OBJECT(MySubscriber, NSObject)
//     public:
//         MySubscriber() : RXSubscriber(this) {}
//         ...
//     };
//
// Ref<RXSubscriber> is a strong reference to the adopting object, like any other Ref.
#pragma once

#include <Foundation/NSString.h>

#include <type_traits>
#include <utility>

class NSError;
class RXCompoundDisposable;

class RXSubscriber {
public:
    virtual void sendNext(const id& value) = 0;
    virtual void sendError(const Ref<NSError>& error) = 0;
    virtual void sendCompleted() = 0;
    // Tells the subscriber about the disposable of a subscription made with it.
    virtual void didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) = 0;

    // The object that adopts the protocol.
    NSObject* subscriberObject() const noexcept { return object_; }

    // The runtime protocol "RXSubscriber", for conformsToProtocol.
    static Protocol* protocol();

protected:
    explicit RXSubscriber(NSObject* object) noexcept : object_(object) {}
    virtual ~RXSubscriber() = default;
    RXSubscriber(const RXSubscriber&) = delete;
    RXSubscriber& operator=(const RXSubscriber&) = delete;

private:
    NSObject* object_;
};

// A strong reference to a subscriber: it retains the adopting object.
template <>
class Ref<RXSubscriber> {
public:
    using element_type = RXSubscriber;

    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    Ref(RXSubscriber* p) noexcept : p_(p) {
        if (p_) {
            objc_detail::retain(p_->subscriberObject());
        }
    }
    Ref(const Ref& o) noexcept : Ref(o.p_) {}
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, RXSubscriber*>>>
    Ref(const Ref<U>& o) noexcept : Ref(static_cast<RXSubscriber*>(o.get())) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, RXSubscriber*>>>
    Ref(Ref<U>&& o) noexcept : p_(static_cast<RXSubscriber*>(o.leak())) {}
    ~Ref() {
        if (p_) {
            objc_detail::release(p_->subscriberObject());
        }
    }

    Ref& operator=(const Ref& o) noexcept {
        Ref(o).swap(*this);
        return *this;
    }
    Ref& operator=(Ref&& o) noexcept {
        Ref(std::move(o)).swap(*this);
        return *this;
    }
    Ref& operator=(std::nullptr_t) noexcept {
        Ref().swap(*this);
        return *this;
    }

    static Ref adopt(RXSubscriber* p) noexcept {
        Ref r;
        r.p_ = p;
        return r;
    }
    RXSubscriber* leak() noexcept { return std::exchange(p_, nullptr); }

    RXSubscriber* get() const noexcept { return p_; }
    RXSubscriber* operator->() const noexcept { return p_; }
    RXSubscriber& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void swap(Ref& o) noexcept { std::swap(p_, o.p_); }
    // The adopting object as an `id`.
    id object() const noexcept { return id(p_ ? p_->subscriberObject() : nullptr); }

    template <class U>
    bool operator==(const Ref<U>& o) const noexcept {
        return p_ == o.get();
    }
    bool operator==(std::nullptr_t) const noexcept { return p_ == nullptr; }
    bool operator==(const RXSubscriber* o) const noexcept { return p_ == o; }

private:
    RXSubscriber* p_ = nullptr;
};
