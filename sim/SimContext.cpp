#include "sim/SimContext.h"

#include "sim/demo/DemoData.h"
#include "sim/http/Envelope.h"
#include "sim/http/SimRequest.h"
#include "sim/http/TextUtil.h"
#include "sim/store/SessionStore.h"

std::string SimContext::HostPort() const {
    return "127.0.0.1:" + std::to_string(port);
}

std::string SimContext::UnitUrl(const std::string& unit_id) const {
    return "http://" + HostPort() + "/unit/" + unit_id + "/";
}

std::string SimContext::SiteUrl(const DemoUnit& unit) const {
    const std::string site = HostPort() + "/site/" + unit.id + "/";
    return unit.site_scheme ? "http://" + site : site;
}

int64_t SimContext::SessionUser(const SimRequest& request) const {
    const int64_t user_id = sessions.UserOf(request.Param("SessionID"));
    const DemoUser* user = demo.UserById(user_id);
    if (!user || user->unit_id != request.UnitId())
        return 0;
    const std::string claimed = request.Param("User_ID");
    if (!claimed.empty() && text_util::ToInt(claimed, -1) != user_id)
        return 0;
    return user_id;
}

SimReply SimContext::Expired() {
    return envelope::Error("1", "登录已失效，请重新登录");
}
