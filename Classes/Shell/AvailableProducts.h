// AvailableProducts: one product a login may use (its id and name).
#pragma once

#include <Networking/MMJSONAdapter.h>

class AvailableProducts : public MMModel {
    NS_OBJECT(AvailableProducts, MMModel)
    NS_PROPERTY(int64_t, productId, setProductId)
    NS_PROPERTY(Ref<NSString>, productName, setProductName)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey();
};
