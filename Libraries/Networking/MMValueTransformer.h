// Block-based value transformers that report failure through a success flag and an error instead
// of an exception, and the protocol through which any transformer may do so.
#pragma once

#include <Foundation/NSError.h>
#include <Foundation/NSValueTransformer.h>
#include <Runtime/ProtocolBuilder.h>

#include <functional>

// The domain of transformer failures, its one code and the key of the rejected input.
const Ref<NSString>& MMTransformerErrorHandlingErrorDomain();
inline constexpr NSInteger MMTransformerErrorHandlingErrorInvalidInput = 1;
const Ref<NSString>& MMTransformerErrorHandlingInputValueErrorKey();

// `@protocol MMTransformerErrorHandling`. A transformer that adopts it derives from this class as
// well as from NSValueTransformer. On failure an implementation sets *success to NO and, when
// `error` is given, an error; on success it leaves *success as it found it. Either pointer may be
// null.
class MMTransformerErrorHandling {
public:
    virtual ~MMTransformerErrorHandling() = default;
    virtual id transformedValueSuccessError(const id& value, bool* success, Ref<NSError>* error) = 0;
    // The optional reverse form: a transformer that implements it answers YES here (the platform's
    // respondsToSelector: for `reverseTransformedValue:success:error:`).
    virtual bool respondsToReverseTransformedValueSuccessError() const { return false; }
    virtual id reverseTransformedValueSuccessError(const id& value, bool* success, Ref<NSError>* error);
};
NS_DECLARE_PROTOCOL(MMTransformerErrorHandling);

// The adopted protocol of a transformer, or nullptr.
MMTransformerErrorHandling* mm_errorHandling(const Ref<NSValueTransformer>& transformer);

// A transformation: (value, success out, error out) -> value. The transformer presets *success to
// YES and *error to nil before calling it; both pointers are always valid inside a block.
using MMValueTransformerBlock = std::function<id(const id& value, bool* success, Ref<NSError>* error)>;
// The older block form that knows nothing of success or error.
using MMValueTransformerPlainBlock = std::function<id(const id& value)>;

class MMValueTransformer : public NSValueTransformer, public MMTransformerErrorHandling {
    NS_OBJECT(MMValueTransformer, NSValueTransformer)
public:
    // `initWithForwardBlock:reverseBlock:` (the reverse block may be empty).
    MMValueTransformer(MMValueTransformerBlock forwardBlock, MMValueTransformerBlock reverseBlock);

    // A forward-only transformer.
    static Ref<MMValueTransformer> transformerUsingForwardBlock(MMValueTransformerBlock forwardBlock);
    // A reversible transformer with the same block both ways.
    static Ref<MMValueTransformer> transformerUsingReversibleBlock(MMValueTransformerBlock block);
    // Always an MMReversibleValueTransformer.
    static Ref<MMValueTransformer> transformerUsingForwardBlockReverseBlock(MMValueTransformerBlock forwardBlock,
                                                                            MMValueTransformerBlock reverseBlock);
    // The older factories over one-argument blocks; they never fail.
    static Ref<MMValueTransformer> transformerWithBlock(MMValueTransformerPlainBlock block);
    static Ref<MMValueTransformer> reversibleTransformerWithBlock(MMValueTransformerPlainBlock block);
    static Ref<MMValueTransformer>
    reversibleTransformerWithForwardBlockReverseBlock(MMValueTransformerPlainBlock forward,
                                                      MMValueTransformerPlainBlock reverse);

    const MMValueTransformerBlock& forwardBlock() const noexcept { return forwardBlock_; }
    const MMValueTransformerBlock& reverseBlock() const noexcept { return reverseBlock_; }

    // The forward block's result; success and error are dropped.
    id transformedValue(const id& value) override;
    // The forward block's result; afterwards its success and error (nil unless the block set one)
    // are written to the given pointers.
    id transformedValueSuccessError(const id& value, bool* success, Ref<NSError>* error) override;

protected:
    static id runBlock(const MMValueTransformerBlock& block, const id& value, bool* success, Ref<NSError>* error);

private:
    MMValueTransformerBlock forwardBlock_;
    MMValueTransformerBlock reverseBlock_;
};

class MMReversibleValueTransformer : public MMValueTransformer {
    NS_OBJECT(MMReversibleValueTransformer, MMValueTransformer)
public:
    MMReversibleValueTransformer(MMValueTransformerBlock forwardBlock, MMValueTransformerBlock reverseBlock)
        : MMValueTransformer(std::move(forwardBlock), std::move(reverseBlock)) {}

    bool allowsReverseTransformation() const override { return true; }
    id reverseTransformedValue(const id& value) override;
    bool respondsToReverseTransformedValueSuccessError() const override { return true; }
    id reverseTransformedValueSuccessError(const id& value, bool* success, Ref<NSError>* error) override;
};

// Internal: sets *error (when given) to a transformer error with the description, the failure
// reason and the input (when not nil), sets *success (when given) to NO, and answers nil. The
// texts are already localized and filled.
id mm_failTransformation(const Ref<NSString>& description, const Ref<NSString>& reason, const id& input, bool* success,
                         Ref<NSError>* error);
// Internal: a text of the model mapping through the main bundle's string tables (empty default).
Ref<NSString> mm_localized(const char* text);
