// Declaration of protocols: named sets of required and optional methods with their type encodings.
//
//     // in a header
//     NS_DECLARE_PROTOCOL(UITableViewDelegate);
//     // in the source file
//     NS_IMPLEMENT_PROTOCOL(UITableViewDelegate) {
//         p.inherits(NS_PROTOCOL(NSObject));
//         p.optional<void(Ref<UITableView>, Ref<NSIndexPath>)>("tableView:didSelectRowAtIndexPath:");
//         p.required("tableView:numberOfRowsInSection:", "q@:@q");
//     }
//     // anywhere: the protocol, as @protocol(UITableViewDelegate) would give it
//     NS_PROTOCOL(UITableViewDelegate)
//
// The protocol registers when the program starts, so NSProtocolFromString finds it by name. A
// class adopts it in its NS_IMPLEMENT_CLASS block with b.conformsTo(NS_PROTOCOL(Name)).
#pragma once

#include <Runtime/ClassBuilder.h>

#include <string>
#include <vector>

namespace objc_detail {
template <class Signature>
struct FunctionSignature;
template <class R, class... A>
struct FunctionSignature<R(A...)> {
    static constexpr size_t arity = sizeof...(A);
    static std::string encoding() { return signatureOf<R, A...>(); }
};
} // namespace objc_detail

class ProtocolBuilder {
public:
    explicit ProtocolBuilder(std::string name) : name_(std::move(name)) {}

    ProtocolBuilder& inherits(Protocol* protocol);
    // A method with its type encoding. Without one, the result and every argument are objects:
    // "v@:" followed by "@" per argument. Raises NSInvalidArgumentException for a selector listed twice.
    ProtocolBuilder& required(SEL selector, std::string types = {});
    ProtocolBuilder& optional(SEL selector, std::string types = {});
    // A method whose type encoding comes from a C++ signature, e.g. optional<void(Ref<UIView>, bool)>.
    // Raises NSInvalidArgumentException when the signature's arity differs from the selector's.
    template <class Signature>
    ProtocolBuilder& required(SEL selector) {
        checkArity(selector, objc_detail::FunctionSignature<Signature>::arity);
        return required(selector, objc_detail::FunctionSignature<Signature>::encoding());
    }
    template <class Signature>
    ProtocolBuilder& optional(SEL selector) {
        checkArity(selector, objc_detail::FunctionSignature<Signature>::arity);
        return optional(selector, objc_detail::FunctionSignature<Signature>::encoding());
    }

    // Registers the protocol (once per name: a second registration of a name answers the first).
    Protocol* registerProtocol();

private:
    void checkArity(SEL selector, size_t arity) const;
    void add(std::vector<ObjCMethodDescription>& list, SEL selector, std::string types);

    std::string name_;
    std::vector<ObjCMethodDescription> required_;
    std::vector<ObjCMethodDescription> optional_;
    std::vector<Protocol*> inherits_;
};

#define NS_PROTOCOL(Name) dx_protocol_##Name()
#define NS_DECLARE_PROTOCOL(Name) Protocol* dx_protocol_##Name()
#define NS_IMPLEMENT_PROTOCOL(Name)                                                                                    \
    static void dx_protocol_setup_##Name(ProtocolBuilder& p);                                                          \
    Protocol* dx_protocol_##Name() {                                                                                   \
        static Protocol* protocol = [] {                                                                               \
            ProtocolBuilder p(#Name);                                                                                  \
            dx_protocol_setup_##Name(p);                                                                               \
            return p.registerProtocol();                                                                               \
        }();                                                                                                           \
        return protocol;                                                                                               \
    }                                                                                                                  \
    [[maybe_unused]] static Protocol* const dx_protocol_registered_##Name = dx_protocol_##Name();                      \
    static void dx_protocol_setup_##Name([[maybe_unused]] ProtocolBuilder& p)

// The runtime's own protocols: NSObject (what every object answers), NSCopying (copy) and
// NSMutableCopying (mutableCopy). The NSObject class adopts NSObject.
NS_DECLARE_PROTOCOL(NSObject);
NS_DECLARE_PROTOCOL(NSCopying);
NS_DECLARE_PROTOCOL(NSMutableCopying);
