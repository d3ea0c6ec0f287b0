#include <Networking/MMValueTransformer.h>

#include <Foundation/NSBundle.h>
#include <Foundation/NSDictionary.h>
#include <Runtime/ProtocolBuilder.h>

NS_IMPLEMENT_CLASS(MMValueTransformer, NSValueTransformer) {
    b.conformsTo(NS_PROTOCOL(MMTransformerErrorHandling));
}
NS_IMPLEMENT_CLASS(MMReversibleValueTransformer, MMValueTransformer) {}

NS_IMPLEMENT_PROTOCOL(MMTransformerErrorHandling) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.required("transformedValue:success:error:", "@@:@^B^@");
    p.optional("reverseTransformedValue:success:error:", "@@:@^B^@");
}

const Ref<NSString>& MMTransformerErrorHandlingErrorDomain() {
    static const Ref<NSString> domain = NSString::from("MMTransformerErrorHandlingErrorDomain");
    return domain;
}

const Ref<NSString>& MMTransformerErrorHandlingInputValueErrorKey() {
    static const Ref<NSString> key = NSString::from("MMTransformerErrorHandlingInputValueErrorKey");
    return key;
}

Ref<NSString> mm_localized(const char* text) {
    return NSBundle::mainBundle()->localizedStringForKeyValueTable(NSString::from(text), NSString::string(), nullptr);
}

id mm_failTransformation(const Ref<NSString>& description, const Ref<NSString>& reason, const id& input, bool* success,
                         Ref<NSError>* error) {
    if (error) {
        auto info = NSMutableDictionary::dictionary();
        info->setObjectForKey(description, NSLocalizedDescriptionKey());
        info->setObjectForKey(reason, NSLocalizedFailureReasonErrorKey());
        if (input) {
            info->setObjectForKey(input, MMTransformerErrorHandlingInputValueErrorKey());
        }
        *error =
            make<NSError>(MMTransformerErrorHandlingErrorDomain(), MMTransformerErrorHandlingErrorInvalidInput, info);
    }
    if (success) {
        *success = false;
    }
    return nullptr;
}

id MMTransformerErrorHandling::reverseTransformedValueSuccessError(const id& value, bool* success,
                                                                   Ref<NSError>* error) {
    NSException::raise(NSInvalidArgumentException, "reverseTransformedValue:success:error: is not implemented");
}

MMTransformerErrorHandling* mm_errorHandling(const Ref<NSValueTransformer>& transformer) {
    return dynamic_cast<MMTransformerErrorHandling*>(transformer.get());
}

MMValueTransformer::MMValueTransformer(MMValueTransformerBlock forwardBlock, MMValueTransformerBlock reverseBlock)
    : forwardBlock_(std::move(forwardBlock)), reverseBlock_(std::move(reverseBlock)) {}

Ref<MMValueTransformer> MMValueTransformer::transformerUsingForwardBlock(MMValueTransformerBlock forwardBlock) {
    return make<MMValueTransformer>(std::move(forwardBlock), nullptr);
}

Ref<MMValueTransformer> MMValueTransformer::transformerUsingReversibleBlock(MMValueTransformerBlock block) {
    return transformerUsingForwardBlockReverseBlock(block, block);
}

Ref<MMValueTransformer>
MMValueTransformer::transformerUsingForwardBlockReverseBlock(MMValueTransformerBlock forwardBlock,
                                                             MMValueTransformerBlock reverseBlock) {
    return make<MMReversibleValueTransformer>(std::move(forwardBlock), std::move(reverseBlock));
}

namespace {
MMValueTransformerBlock wrap(MMValueTransformerPlainBlock block) {
    return
        [block = std::move(block)](const id& value, bool*, Ref<NSError>*) -> id { return block ? block(value) : id(); };
}
} // namespace

Ref<MMValueTransformer> MMValueTransformer::transformerWithBlock(MMValueTransformerPlainBlock block) {
    return transformerUsingForwardBlock(wrap(std::move(block)));
}

Ref<MMValueTransformer> MMValueTransformer::reversibleTransformerWithBlock(MMValueTransformerPlainBlock block) {
    return transformerUsingReversibleBlock(wrap(std::move(block)));
}

Ref<MMValueTransformer>
MMValueTransformer::reversibleTransformerWithForwardBlockReverseBlock(MMValueTransformerPlainBlock forward,
                                                                      MMValueTransformerPlainBlock reverse) {
    return transformerUsingForwardBlockReverseBlock(wrap(std::move(forward)), wrap(std::move(reverse)));
}

id MMValueTransformer::runBlock(const MMValueTransformerBlock& block, const id& value, bool* success,
                                Ref<NSError>* error) {
    bool ok = true;
    Ref<NSError> failure;
    id result = block ? block(value, &ok, &failure) : id();
    if (success) {
        *success = ok;
    }
    if (error) {
        *error = failure;
    }
    return result;
}

id MMValueTransformer::transformedValue(const id& value) {
    return runBlock(forwardBlock_, value, nullptr, nullptr);
}

id MMValueTransformer::transformedValueSuccessError(const id& value, bool* success, Ref<NSError>* error) {
    return runBlock(forwardBlock_, value, success, error);
}

id MMReversibleValueTransformer::reverseTransformedValue(const id& value) {
    return runBlock(reverseBlock(), value, nullptr, nullptr);
}

id MMReversibleValueTransformer::reverseTransformedValueSuccessError(const id& value, bool* success,
                                                                     Ref<NSError>* error) {
    return runBlock(reverseBlock(), value, success, error);
}
