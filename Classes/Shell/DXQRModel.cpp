#include <Shell/DXQRModel.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(DXQRModel, MMModel) {
    b.property("profile", &DXQRModel::profile, &DXQRModel::setProfile, "copy");
    b.property("company", &DXQRModel::company, &DXQRModel::setCompany, "copy");
    b.property("site", &DXQRModel::site, &DXQRModel::setSite, "copy");
    b.property("webserviceurl", &DXQRModel::webserviceurl, &DXQRModel::setWebserviceurl, "copy");
    b.property("operater", &DXQRModel::operater, &DXQRModel::setOperater, "copy");
    b.property("solutionid", &DXQRModel::solutionid, &DXQRModel::setSolutionid, "copy");
    b.property("productid", &DXQRModel::productid, &DXQRModel::setProductid, "copy");
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

Ref<NSDictionary> DXQRModel::JSONKeyPathsByPropertyKey() {
    return NSDictionary::dictionaryWithEntries({{"profile"_ns, "profile"_ns},
                                                {"company"_ns, "company"_ns},
                                                {"site"_ns, "site"_ns},
                                                {"webserviceurl"_ns, "webserviceurl"_ns},
                                                {"operater"_ns, "operator"_ns},
                                                {"solutionid"_ns, "solutionid"_ns},
                                                {"productid"_ns, "productid"_ns}});
}
