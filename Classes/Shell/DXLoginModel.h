// DXLoginModel: a back-office login record: the user, the company and site, whether the login is
// active, when its password was last reset, and the products it may use.
#pragma once

#include <Shell/AvailableProducts.h>

#include <Foundation/NSDate.h>

class DXLoginModel : public MMModel {
    NS_OBJECT(DXLoginModel, MMModel)
    NS_PROPERTY(Ref<NSString>, username, setUsername)
    NS_PROPERTY(Ref<NSString>, first_name, setFirst_name)
    NS_PROPERTY(Ref<NSString>, last_name, setLast_name)
    NS_PROPERTY(Ref<NSDate>, lastpwdreset, setLastpwdreset)
    NS_PROPERTY(int64_t, company, setCompany)
    NS_PROPERTY(bool, is_active, setIs_active)
    NS_PROPERTY(Ref<NSArray>, availableProducts, setAvailableProducts)
    NS_PROPERTY(Ref<NSNumber>, site, setSite)
    NS_PROPERTY(int64_t, loginid, setLoginid)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey();
    // Text "yyyy-MM-dd'T'HH:mm:ssZ" to a date and back; nil for text that does not parse.
    static Ref<NSValueTransformer> lastpwdresetJSONTransformer();
    // An array of dictionaries to an array of AvailableProducts and back.
    static Ref<NSValueTransformer> availableProductsJSONTransformer();
};
