#include <Shell/DXQuerySNModel.h>

#include <Foundation/NSNumberFormatter.h>
#include <Networking/MMValueTransformer.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(DXQuerySNModel, MMModel) {
    b.property("companyid", &DXQuerySNModel::companyid, &DXQuerySNModel::setCompanyid, "copy");
    b.property("staticfileserver", &DXQuerySNModel::staticfileserver, &DXQuerySNModel::setStaticfileserver, "copy");
    b.property("installitunes", &DXQuerySNModel::installitunes, &DXQuerySNModel::setInstallitunes, "copy");
    b.property("adminconsoleserver", &DXQuerySNModel::adminconsoleserver, &DXQuerySNModel::setAdminconsoleserver,
               "copy");
    b.property("siteid", &DXQuerySNModel::siteid, &DXQuerySNModel::setSiteid, "copy");
    b.property("snid", &DXQuerySNModel::snid, &DXQuerySNModel::setSnid, "copy");
    b.property("solutionid", &DXQuerySNModel::solutionid, &DXQuerySNModel::setSolutionid, "copy");
    b.property("webserviceserver", &DXQuerySNModel::webserviceserver, &DXQuerySNModel::setWebserviceserver, "copy");
    b.property("productid", &DXQuerySNModel::productid, &DXQuerySNModel::setProductid, "copy");
    b.classMethod("companyidJSONTransformer", [] { return DXQuerySNModel::companyidJSONTransformer(); });
    b.classMethod("siteidJSONTransformer", [] { return DXQuerySNModel::siteidJSONTransformer(); });
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

namespace {

Ref<NSValueTransformer> numberFromTextTransformer() {
    return MMValueTransformer::transformerUsingForwardBlockReverseBlock(
        [](const id& value, bool*, Ref<NSError>*) -> id {
            auto text = cast<NSString>(value);
            if (!text) {
                return value;
            }
            auto formatter = make<NSNumberFormatter>();
            formatter->setNumberStyle(NSNumberFormatterDecimalStyle);
            return formatter->numberFromString(text);
        },
        [](const id&, bool*, Ref<NSError>*) -> id { return nullptr; });
}

} // namespace

Ref<NSDictionary> DXQuerySNModel::JSONKeyPathsByPropertyKey() {
    return NSDictionary::dictionaryWithEntries({{"companyid"_ns, "companyid"_ns},
                                                {"staticfileserver"_ns, "staticfileserver"_ns},
                                                {"installitunes"_ns, "installitunes"_ns},
                                                {"adminconsoleserver"_ns, "adminconsoleserver"_ns},
                                                {"siteid"_ns, "siteid"_ns},
                                                {"snid"_ns, "_id"_ns},
                                                {"solutionid"_ns, "solutionid"_ns},
                                                {"webserviceserver"_ns, "webserviceserver"_ns},
                                                {"productid"_ns, "productid"_ns}});
}

Ref<NSValueTransformer> DXQuerySNModel::companyidJSONTransformer() {
    return numberFromTextTransformer();
}

Ref<NSValueTransformer> DXQuerySNModel::siteidJSONTransformer() {
    return numberFromTextTransformer();
}
