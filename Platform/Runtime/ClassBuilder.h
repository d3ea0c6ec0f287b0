// Registration of a class with the runtime: its name, superclass, factory, the methods reached by
// selector, its properties for key-value coding, its class operations and protocols.
//
//     NS_IMPLEMENT_CLASS(DXTestModel, NSObject) {
//         b.method("viewWillAppear:", &DXTestModel::viewWillAppear);
//         b.property("result", &DXTestModel::result, &DXTestModel::setResult);
//         b.classMethod("isSupport", [] { return true; });
//     }
//
// Arguments arrive boxed (NSNumber for scalars, NSValue for structs) and are unboxed by the
// parameter types of the member function; a wrong type raises NSInvalidArgumentException.
#pragma once

#include <Foundation/NSNumber.h>
#include <Runtime/NSObject.h>

#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>

template <class T>
struct NSIsRef : std::false_type {};
template <class T>
struct NSIsRef<Ref<T>> : std::true_type {
    using element = T;
};
template <class T>
struct NSIsWeak : std::false_type {};
template <class T>
struct NSIsWeak<Weak<T>> : std::true_type {
    using element = T;
};

namespace objc_detail {

[[noreturn]] void raiseArgumentType(const char* expected, const id& got);
// Reads a property declaration's attribute list ("readonly", "weak", "copy", "atomic", "dynamic",
// "class=Name", "getter=name", "setter=name:", "ivar[=name]"); raises for an unknown attribute.
void applyPropertyAttributes(ObjCProperty& property, std::string_view attributes);
// The runtime class name of a C++ class: its name without namespaces, or empty for a template.
std::string classNameOfType(const std::type_info& type);
// "setName:" for "name".
std::string defaultSetterName(const std::string& name);

// Type encoding of a C++ parameter or return type.
template <class T>
std::string encodingOf() {
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_void_v<U>) {
        return "v";
    } else if constexpr (std::is_same_v<U, bool>) {
        return "B";
    } else if constexpr (std::is_same_v<U, char> || std::is_same_v<U, signed char>) {
        return "c";
    } else if constexpr (std::is_same_v<U, unsigned char>) {
        return "C";
    } else if constexpr (std::is_same_v<U, short>) {
        return "s";
    } else if constexpr (std::is_same_v<U, unsigned short>) {
        return "S";
    } else if constexpr (std::is_same_v<U, int>) {
        return "i";
    } else if constexpr (std::is_same_v<U, unsigned int>) {
        return "I";
    } else if constexpr (std::is_same_v<U, long> || std::is_same_v<U, long long>) {
        return "q";
    } else if constexpr (std::is_same_v<U, unsigned long> || std::is_same_v<U, unsigned long long>) {
        return "Q";
    } else if constexpr (std::is_same_v<U, float>) {
        return "f";
    } else if constexpr (std::is_same_v<U, double>) {
        return "d";
    } else if constexpr (std::is_same_v<U, SEL>) {
        return ":";
    } else if constexpr (std::is_same_v<U, Class>) {
        return "#";
    } else if constexpr (NSIsRef<U>::value || NSIsWeak<U>::value) {
        return "@";
    } else if constexpr (std::is_enum_v<U>) {
        return encodingOf<std::underlying_type_t<U>>();
    } else {
        return NSObjCType<U>::encoding();
    }
}

// The object as an E, or nullptr. An object of exactly class E skips the dynamic cast.
template <class E>
E* fastCast(NSObject* object) noexcept {
    if (!object) {
        return nullptr;
    }
    if (typeid(*object) == typeid(E)) {
        return static_cast<E*>(object);
    }
    return dynamic_cast<E*>(object);
}

template <class U>
U numberValue(const NSNumber* n) {
    if constexpr (std::is_same_v<U, bool>) {
        return n->boolValue();
    } else if constexpr (std::is_floating_point_v<U>) {
        return static_cast<U>(n->doubleValue());
    } else if constexpr (std::is_unsigned_v<U>) {
        return static_cast<U>(n->unsignedLongLongValue());
    } else {
        return static_cast<U>(n->longLongValue());
    }
}

template <class T>
std::remove_cvref_t<T> fromArgument(const id& arg) {
    using U = std::remove_cvref_t<T>;
    if constexpr (NSIsRef<U>::value) {
        using E = typename NSIsRef<U>::element;
        if (!arg) {
            return nullptr;
        }
        E* r = fastCast<E>(arg.get());
        if (!r) {
            raiseArgumentType(typeid(E).name(), arg);
        }
        return Ref<E>(r);
    } else if constexpr (NSIsWeak<U>::value) {
        return U(fromArgument<Ref<typename NSIsWeak<U>::element>>(arg));
    } else if constexpr (std::is_arithmetic_v<U>) {
        if (!arg) {
            return U{};
        }
        const NSNumber* n = fastCast<NSNumber>(arg.get());
        if (!n) {
            raiseArgumentType("NSNumber", arg);
        }
        return numberValue<U>(n);
    } else if constexpr (std::is_enum_v<U>) {
        if (!arg) {
            return U{};
        }
        const NSNumber* n = fastCast<NSNumber>(arg.get());
        if (!n) {
            raiseArgumentType("NSNumber", arg);
        }
        return static_cast<U>(n->longLongValue());
    } else if constexpr (std::is_same_v<U, SEL>) {
        auto s = cast<NSString>(arg);
        if (arg && !s) {
            raiseArgumentType("NSString (selector name)", arg);
        }
        return s ? SEL(s->str()) : SEL();
    } else {
        static_assert(std::is_trivially_copyable_v<U>, "only plain structs travel in an NSValue");
        U out{};
        auto v = cast<NSValue>(arg);
        if (arg && (!v || !v->getValue(out))) {
            raiseArgumentType(NSObjCType<U>::encoding().c_str(), arg);
        }
        return out;
    }
}

template <class T>
id toResult(T&& value) {
    using U = std::remove_cvref_t<T>;
    if constexpr (NSIsRef<U>::value) {
        return id(std::forward<T>(value));
    } else if constexpr (NSIsWeak<U>::value) {
        return id(value.lock());
    } else if constexpr (std::is_same_v<U, bool>) {
        return NSNumber::numberWithBool(value);
    } else if constexpr (std::is_arithmetic_v<U>) {
        return box(value);
    } else if constexpr (std::is_enum_v<U>) {
        return box(static_cast<std::underlying_type_t<U>>(value));
    } else if constexpr (std::is_same_v<U, SEL>) {
        return value.isNull() ? id() : id(NSString::from(value.name()));
    } else {
        static_assert(std::is_trivially_copyable_v<U>, "only plain structs travel in an NSValue");
        return NSValue::valueWithValue(value);
    }
}

template <class R, class F, class Tuple, size_t... I>
id callUnboxed(F& f, const std::vector<id>& args, std::index_sequence<I...>) {
    if constexpr (std::is_void_v<R>) {
        f(fromArgument<std::tuple_element_t<I, Tuple>>(args[I])...);
        return nullptr;
    } else {
        return toResult(f(fromArgument<std::tuple_element_t<I, Tuple>>(args[I])...));
    }
}

template <class R, class... A>
std::string signatureOf() {
    std::string s = encodingOf<R>() + "@:";
    ((s += encodingOf<A>()), ...);
    return s;
}

template <class F>
struct LambdaTraits : LambdaTraits<decltype(&F::operator())> {};
template <class C, class R, class... A>
struct LambdaTraits<R (C::*)(A...) const> {
    using Result = R;
    using Args = std::tuple<A...>;
};
template <class C, class R, class... A>
struct LambdaTraits<R (C::*)(A...)> {
    using Result = R;
    using Args = std::tuple<A...>;
};
template <class R, class... A>
struct LambdaTraits<R (*)(A...)> {
    using Result = R;
    using Args = std::tuple<A...>;
};

void checkArity(SEL selector, size_t expected, const std::vector<id>& args);

} // namespace objc_detail

template <class T>
class ClassBuilder {
public:
    explicit ClassBuilder(Class cls) : cls_(cls) {}
    Class cls() const { return cls_; }

    // An instance method from a member function; its parameters are unboxed from the arguments.
    template <class C, class R, class... A>
    ClassBuilder& method(SEL selector, R (C::*fn)(A...)) {
        return addMember<R, A...>(selector, [fn](T* self, A... a) -> R { return (self->*fn)(std::forward<A>(a)...); });
    }
    template <class C, class R, class... A>
    ClassBuilder& method(SEL selector, R (C::*fn)(A...) const) {
        return addMember<R, A...>(selector, [fn](T* self, A... a) -> R { return (self->*fn)(std::forward<A>(a)...); });
    }
    // An instance method from a callable taking (T* self, args...).
    template <class F>
    ClassBuilder& methodBlock(SEL selector, F f) {
        using Traits = objc_detail::LambdaTraits<F>;
        return addFromTuple<typename Traits::Result>(selector, std::move(f), (typename Traits::Args*)nullptr);
    }

    // A class operation from a callable taking the unboxed arguments.
    template <class F>
    ClassBuilder& classMethod(SEL selector, F f) {
        using Traits = objc_detail::LambdaTraits<std::decay_t<F>>;
        return addClassFromTuple<typename Traits::Result>(selector, std::move(f), (typename Traits::Args*)nullptr);
    }

    // A property for key-value coding, from its getter and setter member functions. `attributes`
    // is a comma-separated list: "readonly", "weak", "copy", "atomic", "dynamic", "class=Name",
    // "getter=isName", "setter=name:", "ivar=name". A property with a setter is backed by storage
    // (named `name_` unless "ivar=" says otherwise); declared "readonly", it is read-only to its
    // users while key-value coding can still set it, as the platform sets an instance variable.
    // The getter and setter also answer their selectors, unless the class has methods for them.
    template <class C, class V, class W>
    ClassBuilder& property(const char* name, V (C::*getter)() const, void (C::*setter)(W),
                           const char* attributes = "") {
        ObjCProperty p = makeProperty<V>(name, attributes);
        if (p.ivar.empty() && !p.dynamic) {
            p.ivar = std::string(name) + "_";
        }
        addAccessor(p.getterName.empty() ? std::string(name) : p.getterName, getter);
        addAccessor(p.setterName.empty() ? objc_detail::defaultSetterName(name) : p.setterName, setter);
        p.getter = [getter](NSObject* self) -> id { return objc_detail::toResult((static_cast<T*>(self)->*getter)()); };
        p.setter = [setter, name = std::string(name)](NSObject* self, const id& value) {
            using U = std::remove_cvref_t<W>;
            if constexpr (!NSIsRef<U>::value) {
                if (!value) {
                    self->setNilValueForKey(NSString::from(name));
                    return;
                }
            }
            (static_cast<T*>(self)->*setter)(objc_detail::fromArgument<U>(value));
        };
        cls_->addProperty(std::move(p));
        return *this;
    }
    // A read-only property computed by its getter (no storage unless the attributes name one).
    template <class C, class V>
    ClassBuilder& readonlyProperty(const char* name, V (C::*getter)() const, const char* attributes = "") {
        ObjCProperty p = makeProperty<V>(name, attributes);
        p.readonly = true;
        addAccessor(p.getterName.empty() ? std::string(name) : p.getterName, getter);
        p.getter = [getter](NSObject* self) -> id { return objc_detail::toResult((static_cast<T*>(self)->*getter)()); };
        cls_->addProperty(std::move(p));
        return *this;
    }
    // Changes of this key are announced by hand (willChange/didChange), not by the setter.
    ClassBuilder& manualNotification(const char* key) {
        cls_->setAutomaticallyNotifiesObserversForKey(key, false);
        return *this;
    }
    ClassBuilder& conformsTo(Protocol* protocol) {
        cls_->addProtocol(protocol);
        return *this;
    }

private:
    template <class V>
    ObjCProperty makeProperty(const char* name, const char* attributes) {
        using U = std::remove_cvref_t<V>;
        ObjCProperty p;
        p.name = name;
        p.type = objc_detail::encodingOf<U>();
        p.weak = NSIsWeak<U>::value;
        objc_detail::applyPropertyAttributes(p, attributes ? attributes : "");
        if constexpr (NSIsRef<U>::value) {
            setClassName<typename NSIsRef<U>::element>(p);
        } else if constexpr (NSIsWeak<U>::value) {
            setClassName<typename NSIsWeak<U>::element>(p);
        }
        return p;
    }

    // The class named by an object property's C++ type, unless the declaration names one (`id`,
    // Ref<NSObject>, names none).
    template <class E>
    static void setClassName(ObjCProperty& p) {
        if (p.className.empty() && !std::is_same_v<E, NSObject>) {
            p.className = objc_detail::classNameOfType(typeid(E));
        }
    }

    // Makes an accessor answer its selector, unless the class already has a method for it.
    template <class Fn>
    void addAccessor(const std::string& selector, Fn fn) {
        SEL sel(selector);
        if (cls_->ownInstanceMethod(sel)) {
            return;
        }
        method(sel, fn);
    }

    template <class R, class... A, class F>
    ClassBuilder& addMember(SEL selector, F f) {
        auto inner = [f](T* self, A... a) -> R { return f(self, std::forward<A>(a)...); };
        IMP imp = [selector, inner](NSObject* self, const std::vector<id>& args) -> id {
            objc_detail::checkArity(selector, sizeof...(A), args);
            auto bound = [&](A... a) -> R { return inner(static_cast<T*>(self), std::forward<A>(a)...); };
            return objc_detail::callUnboxed<R, decltype(bound), std::tuple<A...>>(bound, args,
                                                                                  std::index_sequence_for<A...>{});
        };
        cls_->replaceInstanceMethod(selector, std::move(imp), objc_detail::signatureOf<R, A...>());
        return *this;
    }
    template <class R, class F, class Self, class... A>
    ClassBuilder& addFromTuple(SEL selector, F f, std::tuple<Self, A...>*) {
        return addMember<R, A...>(selector, [f](T* self, A... a) -> R { return f(self, std::forward<A>(a)...); });
    }
    template <class R, class F, class... A>
    ClassBuilder& addClassFromTuple(SEL selector, F f, std::tuple<A...>*) {
        ClassIMP imp = [selector, f](const std::vector<id>& args) -> id {
            objc_detail::checkArity(selector, sizeof...(A), args);
            auto bound = [&](A... a) -> R { return f(std::forward<A>(a)...); };
            return objc_detail::callUnboxed<R, decltype(bound), std::tuple<A...>>(bound, args,
                                                                                  std::index_sequence_for<A...>{});
        };
        cls_->addClassMethod(selector, std::move(imp), objc_detail::signatureOf<R, A...>());
        return *this;
    }

    Class cls_;
};

namespace objc_detail {
template <class T>
std::function<id()> factoryFor() {
    if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>) {
        return [] { return id(make<T>()); };
    } else {
        return {};
    }
}
Class registerClass(const char* name, Class superclass, std::function<id()> factory,
                    const std::function<void(Class)>& setup);
} // namespace objc_detail

// Defines T::class_() and registers the class when the program starts. The block that follows is
// the class's setup, with `b` a ClassBuilder<T>.
#define NS_IMPLEMENT_CLASS(Name, Super)                                                                                \
    static void dx_setup_##Name(ClassBuilder<Name>& b);                                                                \
    Class Name::class_() {                                                                                             \
        static Class cls =                                                                                             \
            objc_detail::registerClass(#Name, Super::class_(), objc_detail::factoryFor<Name>(), [](Class c) {          \
                ClassBuilder<Name> b(c);                                                                               \
                dx_setup_##Name(b);                                                                                    \
            });                                                                                                        \
        return cls;                                                                                                    \
    }                                                                                                                  \
    [[maybe_unused]] static const Class dx_registered_##Name = Name::class_();                                         \
    static void dx_setup_##Name([[maybe_unused]] ClassBuilder<Name>& b)
