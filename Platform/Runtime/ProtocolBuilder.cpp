#include <Runtime/ProtocolBuilder.h>

#include <algorithm>

ProtocolBuilder& ProtocolBuilder::inherits(Protocol* protocol) {
    if (!protocol) {
        NSException::raise(NSInvalidArgumentException, "protocol " + name_ + " inherits from a nil protocol");
    }
    inherits_.push_back(protocol);
    return *this;
}

ProtocolBuilder& ProtocolBuilder::required(SEL selector, std::string types) {
    add(required_, selector, std::move(types));
    return *this;
}

ProtocolBuilder& ProtocolBuilder::optional(SEL selector, std::string types) {
    add(optional_, selector, std::move(types));
    return *this;
}

void ProtocolBuilder::add(std::vector<ObjCMethodDescription>& list, SEL selector, std::string types) {
    auto listed = [&](const std::vector<ObjCMethodDescription>& l) {
        return std::any_of(l.begin(), l.end(), [&](const auto& m) { return m.selector == selector; });
    };
    if (selector.isNull() || selector.name().empty()) {
        NSException::raise(NSInvalidArgumentException, "protocol " + name_ + " lists an empty selector");
    }
    if (listed(required_) || listed(optional_)) {
        NSException::raise(NSInvalidArgumentException,
                           "protocol " + name_ + " lists the method " + selector.name() + " twice");
    }
    if (types.empty()) {
        types = "v@:" + std::string(selector.argumentCount(), '@');
    }
    list.push_back({selector, std::move(types)});
}

void ProtocolBuilder::checkArity(SEL selector, size_t arity) const {
    if (selector.argumentCount() != arity) {
        NSException::raise(NSInvalidArgumentException, "protocol " + name_ + ": the method " + selector.name() +
                                                           " takes " + std::to_string(selector.argumentCount()) +
                                                           " arguments, its signature " + std::to_string(arity));
    }
}

Protocol* ProtocolBuilder::registerProtocol() {
    return objc_registerProtocol(new Protocol(name_, required_, optional_, inherits_));
}

NS_IMPLEMENT_PROTOCOL(NSObject) {
    p.required("isEqual:", "B@:@");
    p.required("hash", "Q@:");
    p.required("superclass", "#@:");
    p.required("class", "#@:");
    p.required("self", "@@:");
    p.required("performSelector:", "@@::");
    p.required("performSelector:withObject:", "@@::@");
    p.required("performSelector:withObject:withObject:", "@@::@@");
    p.required("isProxy", "B@:");
    p.required("isKindOfClass:", "B@:#");
    p.required("isMemberOfClass:", "B@:#");
    p.required("conformsToProtocol:", "B@:@");
    p.required("respondsToSelector:", "B@::");
    p.required("description", "@@:");
    p.optional("debugDescription", "@@:");
}

NS_IMPLEMENT_PROTOCOL(NSCopying) {
    p.required("copyWithZone:", "@@:^v");
}

NS_IMPLEMENT_PROTOCOL(NSMutableCopying) {
    p.required("mutableCopyWithZone:", "@@:^v");
}
