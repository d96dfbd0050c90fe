#include "sim/http/SimRouter.h"

#include "base/ServicePaths.h"
#include "sim/SimContext.h"
#include "sim/demo/DemoData.h"
#include "sim/http/SimRequest.h"
#include "sim/http/TextUtil.h"
#include "sim/services/ControlService.h"

namespace method = service_paths::method;

SimRouter::SimRouter(SimContext& context, ControlService& control)
    : context_(context),
      control_(control),
      vendor_(context),
      account_(context),
      messages_(context),
      directory_(context),
      schedule_(context),
      plans_(context),
      pages_(context) {}

SimReply SimRouter::Route(const SimRequest& request) {
    SimReply reply;
    if (control_.Handle(request, &reply) || vendor_.Handle(request, &reply) ||
        pages_.SitePage(request, &reply))
        return reply;
    if (!request.UnitId().empty())
        return UnitRoute(request);
    // Attachments are also reachable from the host root.
    if (messages_.Attachment(request.Path().substr(1), &reply))
        return reply;
    return SimReply::NotFound();
}

SimReply SimRouter::UnitRoute(const SimRequest& request) {
    if (!context_.demo.UnitById(request.UnitId()))
        return SimReply::NotFound();
    // The login path is the same as the interface path apart from its case.
    const std::string interface_path = text_util::Lower(service_paths::kInterfacePath);
    const std::string schedule_path = text_util::Lower(service_paths::kSchedulePath);
    SimReply reply;
    if (text_util::StartsWith(request.RestKey(), interface_path))
        return InterfaceMethod(request);
    if (text_util::StartsWith(request.RestKey(), schedule_path)) {
        if (schedule_.Handle(request, &reply) || plans_.Handle(request, &reply))
            return reply;
        return SimReply::NotFound();
    }
    if (account_.Picture(request, &reply) || messages_.Attachment(request.Rest(), &reply))
        return reply;
    // A service the platform does not have is no web page: a client calling the wrong base must
    // fail, not take a page for its answer.
    const bool service = request.RestKey().find(".asmx") != std::string::npos;
    if (!service && pages_.UnitPage(request, &reply))
        return reply;
    return SimReply::NotFound();
}

SimReply SimRouter::InterfaceMethod(const SimRequest& request) {
    const std::string& name = request.Method();
    const auto is = [&](const char* candidate) {
        return text_util::EqualsIgnoreCase(name, candidate);
    };
    if (is(method::kLoginUser))
        return account_.Login(request);
    if (is(method::kUserInfoGet))
        return account_.UserInfo(request);
    if (is(method::kMessageGetByMaxID2))
        return messages_.Poll(request);
    if (is(method::kMessageSend))
        return messages_.Send(request);
    if (is(method::kMessageSendFile))
        return messages_.SendFile(request);
    if (is(method::kMessageReadMulti))
        return messages_.ReadMulti(request);
    if (is(method::kMessageFileDownload))
        return messages_.Download(request);
    SimReply reply;
    if (directory_.Handle(request, &reply))
        return reply;
    return SimReply::NotFound();
}
