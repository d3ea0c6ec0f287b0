#include <Shell/DXLoginModel.h>

#include <Foundation/NSDateFormatter.h>
#include <Networking/MMValueTransformer.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(DXLoginModel, MMModel) {
    b.property("username", &DXLoginModel::username, &DXLoginModel::setUsername, "copy");
    b.property("first_name", &DXLoginModel::first_name, &DXLoginModel::setFirst_name, "copy");
    b.property("last_name", &DXLoginModel::last_name, &DXLoginModel::setLast_name, "copy");
    b.property("lastpwdreset", &DXLoginModel::lastpwdreset, &DXLoginModel::setLastpwdreset, "copy");
    b.property("company", &DXLoginModel::company, &DXLoginModel::setCompany);
    b.property("is_active", &DXLoginModel::is_active, &DXLoginModel::setIs_active);
    b.property("availableProducts", &DXLoginModel::availableProducts, &DXLoginModel::setAvailableProducts);
    b.property("site", &DXLoginModel::site, &DXLoginModel::setSite, "copy");
    b.property("loginid", &DXLoginModel::loginid, &DXLoginModel::setLoginid);
    b.classMethod("lastpwdresetJSONTransformer", [] { return DXLoginModel::lastpwdresetJSONTransformer(); });
    b.classMethod("availableProductsJSONTransformer", [] { return DXLoginModel::availableProductsJSONTransformer(); });
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

namespace {

Ref<NSDateFormatter> resetFormatter() {
    auto formatter = make<NSDateFormatter>();
    formatter->setDateFormat("yyyy-MM-dd'T'HH:mm:ssZ"_ns);
    return formatter;
}

} // namespace

Ref<NSDictionary> DXLoginModel::JSONKeyPathsByPropertyKey() {
    return NSDictionary::dictionaryWithEntries({{"username"_ns, "username"_ns},
                                                {"first_name"_ns, "first_name"_ns},
                                                {"last_name"_ns, "last_name"_ns},
                                                {"lastpwdreset"_ns, "last_pwd_reset"_ns},
                                                {"company"_ns, "company"_ns},
                                                {"is_active"_ns, "is_active"_ns},
                                                {"availableProducts"_ns, "available_products"_ns},
                                                {"site"_ns, "site"_ns},
                                                {"loginid"_ns, "id"_ns}});
}

Ref<NSValueTransformer> DXLoginModel::lastpwdresetJSONTransformer() {
    return MMValueTransformer::reversibleTransformerWithForwardBlockReverseBlock(
        [](const id& value) -> id {
            auto text = cast<NSString>(value);
            return text ? id(resetFormatter()->dateFromString(text)) : id();
        },
        [](const id& value) -> id {
            auto date = cast<NSDate>(value);
            return date ? id(resetFormatter()->stringFromDate(date)) : id();
        });
}

Ref<NSValueTransformer> DXLoginModel::availableProductsJSONTransformer() {
    return MMJSONAdapter::arrayTransformerWithModelClass(AvailableProducts::class_());
}
