// RXInvocation: a message as an object (the platform's invocation with the library's argument
// boxing): a target, a selector, the method's type encoding and the arguments as objects. The
// runtime passes every argument boxed (NSNumber for scalars, NSValue for structs), so an invocation
// holds exactly what `performSelectorWithArguments` takes.
//
// Indexes follow the platform: 0 is the receiver, 1 the selector, the first argument is index 2.
// Writing an argument checks the object against the parameter's type encoding and raises
// NSInvalidArgumentException for a mismatch (a string for an integer, an NSValue of another struct),
// instead of letting a wrong value reach the method.
#pragma once

#include <Reactive/RXTuple.h>

#include <string>
#include <vector>

class RXInvocation : public NSObject {
    NS_OBJECT(RXInvocation, NSObject)
public:
    // An invocation of the selector with the method types (such as "v@:@q"); raises
    // NSInvalidArgumentException when the types do not fit the selector's argument count.
    RXInvocation(SEL selector, const std::string& methodTypes);

    // The method types of the selector on the target: its class's method, else the protocol's
    // optional then required method, else "v@:" and one "@" per argument.
    static std::string methodTypesForSelector(const id& target, SEL selector, Protocol* protocol = nullptr);
    static Ref<RXInvocation> invocationWithTargetSelector(const id& target, SEL selector, Protocol* protocol = nullptr);
    // The encodings of a method type string, one per element: the return type, then the receiver,
    // the selector and the arguments (offsets dropped).
    static std::vector<std::string> parseMethodTypes(const std::string& methodTypes);

    SEL selector() const noexcept { return selector_; }
    const std::string& methodTypes() const noexcept { return methodTypes_; }
    // The receiver, the selector and the arguments.
    NSUInteger numberOfArguments() const noexcept { return argumentTypes_.size(); }
    const std::string& argumentTypeAtIndex(NSUInteger index) const;
    const std::string& methodReturnType() const noexcept { return returnType_; }

    id target() const { return target_; }
    void setTarget(const id& target) { target_ = target; }
    // Sends the message to the target (performSelectorWithArguments) and keeps the result.
    void invoke();
    void invokeWithTarget(const id& target);

    // The argument at the index, as an object: a scalar as an NSNumber of its kind (0 when unset), a
    // struct as its NSValue, an object as itself.
    id rx_argumentAtIndex(NSUInteger index) const;
    // Sets the argument after checking it against the parameter's type; an NSNumber for a scalar
    // parameter is converted to the parameter's kind. Raises NSInvalidArgumentException for a
    // mismatch or an index outside the arguments.
    void rx_setArgumentAtIndex(const id& object, NSUInteger index);
    // The arguments from index 2 on, nil as RXTupleNil.
    Ref<RXTuple> rx_argumentsTuple() const;
    // Element i is written at index i + 2 (RXTupleNil as nil); the count must match.
    void setRx_argumentsTuple(const Ref<RXTuple>& arguments);
    // The result of the last invoke: the unit value for a void method.
    id rx_returnValue() const;

    // The boxed arguments (index 2 on), as the runtime takes them.
    const std::vector<id>& arguments() const noexcept { return arguments_; }

private:
    void checkIndex(NSUInteger index) const;

    SEL selector_;
    std::string methodTypes_;
    std::string returnType_;
    std::vector<std::string> argumentTypes_;
    std::vector<id> arguments_;
    id target_;
    id returnValue_;
};
