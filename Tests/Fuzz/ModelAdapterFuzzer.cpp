// Fuzzes the JSON model adapter with arbitrary JSON: the bytes are parsed as JSON and every
// dictionary found goes through the adapter for an order model with a nested customer, an array of
// line items, a boolean, a URL, numbers and deep key paths. Any input must give a model that
// validates and writes back to JSON, or an error of the mapping's domains; never a crash, a leak
// or a model without its error.
#include <Networking/MMJSONAdapter.h>
#include <Networking/NSValueTransformer+MMPredefinedTransformerAdditions.h>

#include <Foundation/NSData.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSURL.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class MMFuzzCustomer : public MMModel {
    NS_OBJECT(MMFuzzCustomer, MMModel)
    NS_PROPERTY(Ref<NSString>, name, setName)
    NS_PROPERTY(Ref<NSURL>, site, setSite)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey() {
        return NSDictionary::dictionaryWithEntries({{"name"_ns, "name"_ns}, {"site"_ns, "links.site"_ns}});
    }
};

class MMFuzzItem : public MMModel {
    NS_OBJECT(MMFuzzItem, MMModel)
    NS_PROPERTY(Ref<NSString>, sku, setSku)
    NS_PROPERTY(NSInteger, quantity, setQuantity)
    NS_PROPERTY(double, price, setPrice)
    NS_PROPERTY(bool, gift, setGift)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey() {
        return NSDictionary::dictionaryWithEntries(
            {{"sku"_ns, "sku"_ns}, {"quantity"_ns, "qty"_ns}, {"price"_ns, "price.amount"_ns}, {"gift"_ns, "gift"_ns}});
    }
};

class MMFuzzOrder : public MMModel {
    NS_OBJECT(MMFuzzOrder, MMModel)
    NS_PROPERTY(Ref<NSString>, identifier, setIdentifier)
    NS_PROPERTY(Ref<NSNumber>, total, setTotal)
    NS_PROPERTY(bool, paid, setPaid)
    NS_PROPERTY(Ref<MMFuzzCustomer>, customer, setCustomer)
    NS_PROPERTY(Ref<NSArray>, items, setItems)
    NS_PROPERTY(Ref<NSDictionary>, window, setWindow)
    NS_PROPERTY(Ref<NSString>, status, setStatus)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey() {
        return NSDictionary::dictionaryWithEntries({{"identifier"_ns, "id"_ns},
                                                    {"total"_ns, "totals.grand"_ns},
                                                    {"paid"_ns, "paid"_ns},
                                                    {"customer"_ns, "customer"_ns},
                                                    {"items"_ns, "items"_ns},
                                                    {"window"_ns, NSArray::arrayWithObjects({"from"_ns, "to"_ns})},
                                                    {"status"_ns, "state"_ns}});
    }
    static Ref<NSValueTransformer> JSONTransformerForKey(const Ref<NSString>& key) {
        if (key->isEqualToString("status"_ns)) {
            return mm_valueMappingTransformerWithDictionaryDefaultValueReverseDefaultValue(
                NSDictionary::dictionaryWithEntries({{box(1), "open"_ns}, {box(2), "closed"_ns}}), "unknown"_ns,
                box(0));
        }
        return nullptr;
    }
};

} // namespace

NS_IMPLEMENT_CLASS(MMFuzzCustomer, MMModel) {
    b.property("name", &MMFuzzCustomer::name, &MMFuzzCustomer::setName, "copy");
    b.property("site", &MMFuzzCustomer::site, &MMFuzzCustomer::setSite);
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

NS_IMPLEMENT_CLASS(MMFuzzItem, MMModel) {
    b.property("sku", &MMFuzzItem::sku, &MMFuzzItem::setSku, "copy");
    b.property("quantity", &MMFuzzItem::quantity, &MMFuzzItem::setQuantity);
    b.property("price", &MMFuzzItem::price, &MMFuzzItem::setPrice);
    b.property("gift", &MMFuzzItem::gift, &MMFuzzItem::setGift);
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

NS_IMPLEMENT_CLASS(MMFuzzOrder, MMModel) {
    b.property("identifier", &MMFuzzOrder::identifier, &MMFuzzOrder::setIdentifier, "copy");
    b.property("total", &MMFuzzOrder::total, &MMFuzzOrder::setTotal);
    b.property("paid", &MMFuzzOrder::paid, &MMFuzzOrder::setPaid);
    b.property("customer", &MMFuzzOrder::customer, &MMFuzzOrder::setCustomer);
    b.property("items", &MMFuzzOrder::items, &MMFuzzOrder::setItems);
    b.property("window", &MMFuzzOrder::window, &MMFuzzOrder::setWindow);
    b.property("status", &MMFuzzOrder::status, &MMFuzzOrder::setStatus);
    b.classMethod("itemsJSONTransformer",
                  []() { return MMJSONAdapter::arrayTransformerWithModelClass(MMFuzzItem::class_()); });
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

namespace {

bool knownDomain(const Ref<NSError>& error) {
    const auto& domain = error->domain();
    return domain->isEqualToString(MMJSONAdapterErrorDomain()) || domain->isEqualToString(MMModelErrorDomain()) ||
           domain->isEqualToString(MMTransformerErrorHandlingErrorDomain());
}

void check(const Ref<NSDictionary>& json) {
    Ref<NSError> error;
    auto order = MMJSONAdapter::modelOfClassFromJSONDictionaryError<MMFuzzOrder>(json, &error);
    if (!order) {
        if (!error || !knownDomain(error)) {
            std::abort(); // a failure must say why, in the mapping's own terms
        }
        return;
    }
    Ref<NSError> invalid;
    if (!order->validate(&invalid)) {
        std::abort(); // a model handed out is a whole model
    }
    for (const id& item : order->items() ? order->items()->objects() : std::vector<id>{}) {
        if (!cast<MMFuzzItem>(item) && item.get() != NSNull::null().get()) {
            std::abort();
        }
    }
    // Writing back and reading again gives an equal model (the window may only keep its two keys).
    Ref<NSError> writeError;
    auto written = MMJSONAdapter::JSONDictionaryFromModelError(order, &writeError);
    if (!written) {
        if (!writeError || !knownDomain(writeError)) {
            std::abort();
        }
        return;
    }
    auto copy = cast<MMFuzzOrder>(order->copy());
    if (!copy || !copy->isEqual(order)) {
        std::abort();
    }
}

void visit(const id& value, int depth) {
    if (depth > 8) {
        return;
    }
    if (auto dictionary = cast<NSDictionary>(value)) {
        check(dictionary);
        for (const auto& [key, element] : *dictionary) {
            visit(element, depth + 1);
        }
    } else if (auto array = cast<NSArray>(value)) {
        Ref<NSError> error;
        auto models = MMJSONAdapter::modelsOfClassFromJSONArrayError(MMFuzzItem::class_(), array, &error);
        if (!models && !error) {
            std::abort();
        }
        for (const id& element : *array) {
            visit(element, depth + 1);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    NSLogSetHook([](const std::string&) {}); // the adapter logs caught exceptions; keep the run quiet
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto bytes = NSData::dataWithBytesLength(data, size);
    Ref<NSError> error;
    id json = NSJSONSerialization::JSONObjectWithDataOptionsError(bytes, NSJSONReadingAllowFragments, &error);
    visit(json, 0);
    return 0;
}
