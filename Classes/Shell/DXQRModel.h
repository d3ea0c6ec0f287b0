// DXQRModel: the fields of a back-office QR code (profile, company, site, web-service address,
// operator, solution and product).
#pragma once

#include <Networking/MMJSONAdapter.h>

class DXQRModel : public MMModel {
    NS_OBJECT(DXQRModel, MMModel)
    NS_PROPERTY(Ref<NSString>, profile, setProfile)
    NS_PROPERTY(Ref<NSString>, company, setCompany)
    NS_PROPERTY(Ref<NSString>, site, setSite)
    NS_PROPERTY(Ref<NSString>, webserviceurl, setWebserviceurl)
    NS_PROPERTY(Ref<NSString>, operater, setOperater)
    NS_PROPERTY(Ref<NSString>, solutionid, setSolutionid)
    NS_PROPERTY(Ref<NSString>, productid, setProductid)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey();
};
