#include <Core/DXSectionModel.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(DXSectionModel, NSObject) {
    b.property("label", &DXSectionModel::label, &DXSectionModel::setLabel);
    b.property("buttontitle", &DXSectionModel::buttontitle, &DXSectionModel::setButtontitle);
    b.property("list", &DXSectionModel::list, &DXSectionModel::setList);
    b.property("type", &DXSectionModel::type, &DXSectionModel::setType);
}
