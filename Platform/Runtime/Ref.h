// Strong and zeroing-weak references to runtime objects.
//
// Every object derives from NSObject, carries an intrusive reference count and is created through
// make<T>(). Ref<T> is a strong, nullable reference (nil is null); Weak<T> is a zeroing weak
// reference that stops resolving as soon as the object starts to deallocate.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <type_traits>
#include <utility>

class NSObject;

namespace objc_detail {
void retain(const NSObject* object) noexcept;
void release(const NSObject* object) noexcept;
struct WeakControl;
WeakControl* weakControlFor(const NSObject* object);
void weakControlRetain(WeakControl* control) noexcept;
void weakControlRelease(WeakControl* control) noexcept;
// Returns the object with one more strong reference, or nullptr when it is gone or deallocating.
NSObject* weakControlLoad(WeakControl* control) noexcept;
} // namespace objc_detail

template <class T>
class Ref {
public:
    using element_type = T;

    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    // Takes a new strong reference to a raw object pointer (as a message to self would).
    Ref(T* p) noexcept : p_(p) {
        if (p_) {
            objc_detail::retain(p_);
        }
    }
    Ref(const Ref& o) noexcept : Ref(o.p_) {}
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(const Ref<U>& o) noexcept : Ref(static_cast<T*>(o.get())) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(Ref<U>&& o) noexcept : p_(static_cast<T*>(o.leak())) {}
    ~Ref() {
        if (p_) {
            objc_detail::release(p_);
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

    // Wraps a pointer that already carries one strong reference (the one make<T>() starts with).
    static Ref adopt(T* p) noexcept {
        Ref r;
        r.p_ = p;
        return r;
    }
    // Gives up the reference without releasing it.
    T* leak() noexcept { return std::exchange(p_, nullptr); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void swap(Ref& o) noexcept { std::swap(p_, o.p_); }

    template <class U>
    bool operator==(const Ref<U>& o) const noexcept {
        return static_cast<const void*>(p_) == static_cast<const void*>(o.get());
    }
    bool operator==(std::nullptr_t) const noexcept { return p_ == nullptr; }
    bool operator==(const T* o) const noexcept { return p_ == o; }

private:
    T* p_ = nullptr;
};

template <class T>
class Weak {
public:
    Weak() noexcept = default;
    Weak(std::nullptr_t) noexcept {}
    Weak(T* p) { reset(p); }
    Weak(const Ref<T>& r) { reset(r.get()); }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Weak(const Ref<U>& r) {
        reset(static_cast<T*>(r.get()));
    }
    Weak(const Weak& o) noexcept : control_(o.control_), p_(o.p_) {
        if (control_) {
            objc_detail::weakControlRetain(control_);
        }
    }
    Weak(Weak&& o) noexcept : control_(std::exchange(o.control_, nullptr)), p_(std::exchange(o.p_, nullptr)) {}
    ~Weak() { clear(); }

    Weak& operator=(const Weak& o) noexcept {
        Weak(o).swap(*this);
        return *this;
    }
    Weak& operator=(Weak&& o) noexcept {
        Weak(std::move(o)).swap(*this);
        return *this;
    }
    Weak& operator=(const Ref<T>& r) {
        Weak(r).swap(*this);
        return *this;
    }
    Weak& operator=(T* p) {
        Weak(p).swap(*this);
        return *this;
    }
    Weak& operator=(std::nullptr_t) noexcept {
        clear();
        return *this;
    }

    // A strong reference to the object, or nil once it has started to deallocate.
    Ref<T> lock() const noexcept {
        if (!control_ || !objc_detail::weakControlLoad(control_)) {
            return nullptr;
        }
        return Ref<T>::adopt(p_);
    }
    // The raw pointer the reference was made from, never dereferenced here; for identity only.
    const void* unsafePointer() const noexcept { return p_; }
    bool expired() const noexcept { return !lock(); }
    void swap(Weak& o) noexcept {
        std::swap(control_, o.control_);
        std::swap(p_, o.p_);
    }

private:
    void reset(T* p) {
        clear();
        if (p) {
            control_ = objc_detail::weakControlFor(p);
            if (control_) {
                objc_detail::weakControlRetain(control_);
                p_ = p;
            }
        }
    }
    void clear() noexcept {
        if (control_) {
            objc_detail::weakControlRelease(control_);
        }
        control_ = nullptr;
        p_ = nullptr;
    }

    objc_detail::WeakControl* control_ = nullptr;
    T* p_ = nullptr;
};

// Creates an object. Every object is made here, so that it starts with one strong reference.
template <class T, class... Args>
Ref<T> make(Args&&... args) {
    return Ref<T>::adopt(new T(std::forward<Args>(args)...));
}

// A checked down-cast: the object as a T, or nil when it is nil or not a T.
template <class T, class U>
Ref<T> cast(const Ref<U>& r) noexcept {
    return Ref<T>(dynamic_cast<T*>(r.get()));
}
template <class T, class U>
Ref<T> cast(U* p) noexcept {
    return Ref<T>(dynamic_cast<T*>(p));
}

using id = Ref<NSObject>;

template <class T>
struct std::hash<Ref<T>> {
    size_t operator()(const Ref<T>& r) const noexcept { return std::hash<const void*>()(r.get()); }
};
