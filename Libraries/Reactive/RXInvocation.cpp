#include <Reactive/RXInvocation.h>

#include <Foundation/NSNumber.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/RXTupleNil.h>
#include <Reactive/RXUnit.h>
#include <Runtime/ClassBuilder.h>

#include <cctype>

NS_IMPLEMENT_CLASS(RXInvocation, NSObject) {
    b.method("invoke", &RXInvocation::invoke);
}

namespace {

bool isQualifier(char c) {
    return c == 'r' || c == 'n' || c == 'N' || c == 'o' || c == 'O' || c == 'R' || c == 'V' || c == 'A';
}

// The end of the type starting at `at` (qualifiers already skipped).
size_t typeEnd(const std::string& types, size_t at) {
    if (at >= types.size()) {
        return at;
    }
    char c = types[at];
    auto nested = [&](char open, char close) {
        int depth = 0;
        size_t i = at;
        for (; i < types.size(); ++i) {
            if (types[i] == open) {
                ++depth;
            } else if (types[i] == close && --depth == 0) {
                return i + 1;
            }
        }
        return i;
    };
    switch (c) {
    case '{':
        return nested('{', '}');
    case '(':
        return nested('(', ')');
    case '[':
        return nested('[', ']');
    case '^':
        return typeEnd(types, at + 1);
    case 'b': {
        size_t i = at + 1;
        while (i < types.size() && std::isdigit(static_cast<unsigned char>(types[i]))) {
            ++i;
        }
        return i;
    }
    case '@':
        if (at + 1 < types.size() && types[at + 1] == '?') {
            return at + 2;
        }
        if (at + 1 < types.size() && types[at + 1] == '"') {
            size_t close = types.find('"', at + 2);
            return close == std::string::npos ? types.size() : close + 1;
        }
        return at + 1;
    default:
        return at + 1;
    }
}

// The encoding with its qualifiers dropped.
std::string bareType(const std::string& type) {
    size_t i = 0;
    while (i < type.size() && isQualifier(type[i])) {
        ++i;
    }
    return type.substr(i);
}

bool isScalar(char c) {
    switch (c) {
    case 'c':
    case 'i':
    case 's':
    case 'l':
    case 'q':
    case 'C':
    case 'I':
    case 'S':
    case 'L':
    case 'Q':
    case 'f':
    case 'd':
    case 'B':
        return true;
    default:
        return false;
    }
}

// The number as the parameter's kind.
Ref<NSNumber> numberOfKind(char kind, const Ref<NSNumber>& n) {
    switch (kind) {
    case 'c':
        return NSNumber::numberWithChar(n->charValue());
    case 'i':
        return NSNumber::numberWithInt(n->intValue());
    case 's':
        return NSNumber::numberWithShort(n->shortValue());
    case 'l':
    case 'q':
        return NSNumber::numberWithLong(n->longValue());
    case 'C':
        return NSNumber::numberWithUnsignedChar(n->unsignedCharValue());
    case 'I':
        return NSNumber::numberWithUnsignedInt(n->unsignedIntValue());
    case 'S':
        return NSNumber::numberWithUnsignedShort(n->unsignedShortValue());
    case 'L':
    case 'Q':
        return NSNumber::numberWithUnsignedLong(n->unsignedLongValue());
    case 'f':
        return NSNumber::numberWithFloat(n->floatValue());
    case 'd':
        return NSNumber::numberWithDouble(n->doubleValue());
    default:
        return NSNumber::numberWithBool(n->boolValue());
    }
}

[[noreturn]] void raiseMismatch(SEL selector, NSUInteger index, const std::string& type, const id& object) {
    NSException::raise(NSInvalidArgumentException, "-[RXInvocation rx_setArgument:atIndex:] " + selector.name() +
                                                       ": argument " + std::to_string(index) + " of type \"" + type +
                                                       "\" cannot take " + NSDescription(object)->str());
}

} // namespace

std::vector<std::string> RXInvocation::parseMethodTypes(const std::string& methodTypes) {
    std::vector<std::string> types;
    size_t at = 0;
    while (at < methodTypes.size()) {
        size_t start = at;
        while (at < methodTypes.size() && isQualifier(methodTypes[at])) {
            ++at;
        }
        size_t end = typeEnd(methodTypes, at);
        if (end == at) {
            break;
        }
        types.push_back(methodTypes.substr(start, end - start));
        at = end;
        while (at < methodTypes.size() && std::isdigit(static_cast<unsigned char>(methodTypes[at]))) {
            ++at; // frame offsets
        }
    }
    return types;
}

RXInvocation::RXInvocation(SEL selector, const std::string& methodTypes)
    : selector_(selector), methodTypes_(methodTypes) {
    std::vector<std::string> types = parseMethodTypes(methodTypes);
    if (types.size() < 3 || types.size() - 3 != selector.argumentCount()) {
        NSException::raise(NSInvalidArgumentException, "RXInvocation: the types \"" + methodTypes +
                                                           "\" do not fit the selector " + selector.name());
    }
    returnType_ = types[0];
    argumentTypes_.assign(types.begin() + 1, types.end());
    arguments_.resize(selector.argumentCount());
}

std::string RXInvocation::methodTypesForSelector(const id& target, SEL selector, Protocol* protocol) {
    if (target) {
        if (const ObjCMethod* method = target->getClass()->instanceMethod(selector); method && !method->types.empty()) {
            return method->types;
        }
    }
    if (protocol) {
        if (const ObjCMethodDescription* d = protocol->methodDescription(selector, false)) {
            return d->types;
        }
        if (const ObjCMethodDescription* d = protocol->methodDescription(selector, true)) {
            return d->types;
        }
    }
    return "v@:" + std::string(selector.argumentCount(), '@');
}

Ref<RXInvocation> RXInvocation::invocationWithTargetSelector(const id& target, SEL selector, Protocol* protocol) {
    auto invocation = make<RXInvocation>(selector, methodTypesForSelector(target, selector, protocol));
    invocation->setTarget(target);
    return invocation;
}

const std::string& RXInvocation::argumentTypeAtIndex(NSUInteger index) const {
    if (index >= argumentTypes_.size()) {
        NSException::raise(NSInvalidArgumentException, "RXInvocation: argument index " + std::to_string(index) +
                                                           " beyond " + std::to_string(argumentTypes_.size()));
    }
    return argumentTypes_[index];
}

void RXInvocation::checkIndex(NSUInteger index) const {
    if (index < 2 || index >= argumentTypes_.size()) {
        NSException::raise(NSInvalidArgumentException, "RXInvocation " + selector_.name() + ": argument index " +
                                                           std::to_string(index) + " is not an argument (2 to " +
                                                           std::to_string(argumentTypes_.size() - 1) + ")");
    }
}

void RXInvocation::invoke() {
    invokeWithTarget(target_);
}

void RXInvocation::invokeWithTarget(const id& target) {
    returnValue_ = target ? target->performSelectorWithArguments(selector_, arguments_) : nullptr;
}

id RXInvocation::rx_argumentAtIndex(NSUInteger index) const {
    checkIndex(index);
    const id& value = arguments_[index - 2];
    std::string type = bareType(argumentTypes_[index]);
    if (!value && !type.empty() && isScalar(type[0])) {
        return numberOfKind(type[0], NSNumber::numberWithInt(0));
    }
    return value;
}

void RXInvocation::rx_setArgumentAtIndex(const id& object, NSUInteger index) {
    checkIndex(index);
    const std::string& declared = argumentTypes_[index];
    std::string type = bareType(declared);
    char kind = type.empty() ? '@' : type[0];
    id stored = object;
    if (isScalar(kind)) {
        if (object) {
            auto number = cast<NSNumber>(object);
            if (!number) {
                raiseMismatch(selector_, index, declared, object);
            }
            stored = numberOfKind(kind, number);
        }
    } else if (kind == '*' || kind == ':') {
        if (object && !cast<NSString>(object)) {
            raiseMismatch(selector_, index, declared, object);
        }
    } else if (kind == '{' || kind == '(' || kind == '[') {
        auto value = cast<NSValue>(object);
        if (!value || cast<NSNumber>(object) || type != value->objCType()) {
            raiseMismatch(selector_, index, declared, object);
        }
    } else if (kind == '^') {
        if (object && !cast<NSValue>(object)) {
            raiseMismatch(selector_, index, declared, object);
        }
    } else if (kind == '@' && type.size() > 2 && type[1] == '"' && object) {
        // An object parameter that names its class.
        std::string className = type.substr(2, type.size() - 3);
        Class cls = NSClassFromString(className);
        if (cls && !object->isKindOfClass(cls)) {
            raiseMismatch(selector_, index, declared, object);
        }
    }
    arguments_[index - 2] = stored;
}

Ref<RXTuple> RXInvocation::rx_argumentsTuple() const {
    std::vector<id> values;
    for (NSUInteger index = 2; index < argumentTypes_.size(); ++index) {
        values.push_back(rx_argumentAtIndex(index));
    }
    return RXTuple::tupleWithObjectsFromVector(values);
}

void RXInvocation::setRx_argumentsTuple(const Ref<RXTuple>& arguments) {
    NSUInteger count = arguments ? arguments->count() : 0;
    if (count != argumentTypes_.size() - 2) {
        NSException::raise(NSInvalidArgumentException, "RXInvocation " + selector_.name() + " takes " +
                                                           std::to_string(argumentTypes_.size() - 2) +
                                                           " arguments, not " + std::to_string(count));
    }
    for (NSUInteger i = 0; i < count; ++i) {
        rx_setArgumentAtIndex(arguments->objectAtIndex(i), i + 2);
    }
}

id RXInvocation::rx_returnValue() const {
    if (bareType(returnType_) == "v") {
        return RXUnit::defaultUnit();
    }
    return returnValue_;
}
