#include "sim/services/VendorService.h"

#include "base/ServicePaths.h"
#include "sim/SimContext.h"
#include "sim/demo/DemoData.h"
#include "sim/http/Envelope.h"
#include "sim/http/SimRequest.h"
#include "sim/http/TextUtil.h"
#include "sim/store/VersionStore.h"

using envelope::Json;
namespace method = service_paths::method;

bool VendorService::Handle(const SimRequest& request, SimReply* reply) {
    const std::string vendor = text_util::Lower(service_paths::kVendorPath);
    const std::string installer = text_util::Lower(service_paths::kInstallerPath);
    if (text_util::StartsWith(request.Key(), installer)) {
        *reply = Installer(request);
        return true;
    }
    if (!text_util::StartsWith(request.Key(), vendor))
        return false;
    const std::string& name = request.Method();
    if (text_util::EqualsIgnoreCase(name, method::kAreaGetXD))
        *reply = Areas();
    else if (text_util::EqualsIgnoreCase(name, method::kUnitGetList))
        *reply = Units(request);
    else if (text_util::EqualsIgnoreCase(name, method::kVersionGetLast))
        *reply = Version();
    else
        *reply = SimReply::NotFound();
    return true;
}

SimReply VendorService::Areas() const {
    Json velta = envelope::Ok();
    velta["Area"] = Json::parse(context_.demo.areas_json);
    return envelope::Reply(velta);
}

SimReply VendorService::Units(const SimRequest& request) const {
    const std::string district = request.Param("area_id");
    const std::string keyword = request.Param("keyword");
    Json units = Json::array();
    for (const DemoUnit& unit : context_.demo.units) {
        if (unit.district_id != district || unit.name.find(keyword) == std::string::npos)
            continue;
        units.push_back(Json{{"Unit_ID", unit.id},
                             {"UnitName", unit.name},
                             {"UnitUrl", context_.UnitUrl(unit.id)},
                             {"UnitUrl2", context_.SiteUrl(unit)}});
    }
    Json velta = envelope::Ok();
    velta["R"] = envelope::ListOrObject(units);
    return envelope::Reply(velta);
}

SimReply VendorService::Version() const {
    std::string no, url;
    context_.versions.Latest(&no, &url);
    Json velta = envelope::Ok();
    velta["V"] = Json{{"No", no}, {"Url", url}};
    return envelope::Reply(velta);
}

SimReply VendorService::Installer(const SimRequest& request) const {
    const std::string reference =
        request.Path().substr(std::string(service_paths::kInstallerPath).size());
    std::string data;
    if (!context_.versions.Installer(reference, &data))
        return SimReply::NotFound();
    return SimReply::Bytes(data, "application/octet-stream");
}
