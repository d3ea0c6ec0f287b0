#include <Core/TestBaseModel.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(TestBaseModel, NSObject) {
    b.property("name", &TestBaseModel::name, &TestBaseModel::setName, "copy");
    b.property("title", &TestBaseModel::title, &TestBaseModel::setTitle, "copy");
    b.property("message", &TestBaseModel::message, &TestBaseModel::setMessage, "copy");
    b.property("icon", &TestBaseModel::icon, &TestBaseModel::setIcon, "copy");
    b.property("selected", &TestBaseModel::selected, &TestBaseModel::setSelected);
    b.property("isAuto", &TestBaseModel::isAuto, &TestBaseModel::setIsAuto);
    b.property("success", &TestBaseModel::success, &TestBaseModel::setSuccess);
    b.property("endTestCode", &TestBaseModel::endTestCode, &TestBaseModel::setEndTestCode);
    b.property("lastCode", &TestBaseModel::lastCode, &TestBaseModel::setLastCode);
    b.property("direction", &TestBaseModel::direction, &TestBaseModel::setDirection, "copy");
    b.property("color", &TestBaseModel::color, &TestBaseModel::setColor, "copy");
    b.property("profile", &TestBaseModel::profile, &TestBaseModel::setProfile, "copy");
    b.property("header", &TestBaseModel::header, &TestBaseModel::setHeader);
}

TestBaseModel::TestBaseModel(const Ref<NSDictionary>& properties) {
    setProperties(properties);
}

void TestBaseModel::setProperties(const Ref<NSDictionary>& properties) {
    if (!properties) {
        return;
    }
    auto keys = properties->allKeys();
    for (const auto& key : *keys) {
        setValueForKey(properties->objectForKey(key), cast<NSString>(key));
    }
}

Ref<TestBaseModel> TestBaseModel::customClassWithProperties(Class cls, const Ref<NSDictionary>& properties) {
    auto made = cls ? cast<TestBaseModel>(cls->createInstance()) : nullptr;
    if (!made) {
        made = make<TestBaseModel>();
    }
    made->setProperties(properties);
    return made;
}
