// DXQuerySNModel: a back-office client record: company and site, the static-file, iTunes, admin
// console and web-service addresses, and the record, solution and product ids.
#pragma once

#include <Networking/MMJSONAdapter.h>

class DXQuerySNModel : public MMModel {
    NS_OBJECT(DXQuerySNModel, MMModel)
    NS_PROPERTY(Ref<NSNumber>, companyid, setCompanyid)
    NS_PROPERTY(Ref<NSString>, staticfileserver, setStaticfileserver)
    NS_PROPERTY(Ref<NSString>, installitunes, setInstallitunes)
    NS_PROPERTY(Ref<NSString>, adminconsoleserver, setAdminconsoleserver)
    NS_PROPERTY(Ref<NSNumber>, siteid, setSiteid)
    NS_PROPERTY(Ref<NSString>, snid, setSnid)
    NS_PROPERTY(Ref<NSString>, solutionid, setSolutionid)
    NS_PROPERTY(Ref<NSString>, webserviceserver, setWebserviceserver)
    NS_PROPERTY(Ref<NSString>, productid, setProductid)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey();
    // A text becomes the number a decimal formatter reads from it (nil when none); other values
    // pass unchanged. The reverse direction answers nil.
    static Ref<NSValueTransformer> companyidJSONTransformer();
    static Ref<NSValueTransformer> siteidJSONTransformer();
};
