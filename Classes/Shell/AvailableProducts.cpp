#include <Shell/AvailableProducts.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(AvailableProducts, MMModel) {
    b.property("productId", &AvailableProducts::productId, &AvailableProducts::setProductId);
    b.property("productName", &AvailableProducts::productName, &AvailableProducts::setProductName, "copy");
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

Ref<NSDictionary> AvailableProducts::JSONKeyPathsByPropertyKey() {
    return NSDictionary::dictionaryWithEntries({{"productId"_ns, "id"_ns}, {"productName"_ns, "name"_ns}});
}
