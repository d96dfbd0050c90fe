#include "sim/services/WebPages.h"

#include "sim/SimContext.h"
#include "sim/demo/DemoData.h"
#include "sim/http/SimRequest.h"
#include "sim/http/TextUtil.h"
#include "sim/store/SessionStore.h"

namespace {

struct KnownPage {
    const char* path;
    const char* title;
};

const KnownPage kPages[] = {
    {"baseplate/logincenter/re.aspx", "学校管理平台"},
    {"davedevo/setmanage/setmendcheck.aspx", "报修审核"},
    {"davedevo/setmanage/setmenddetail.aspx", "报修详情"},
    {"face/5/submain.aspx", "办公平台"},
    {"davedevo/crbwpqg/itemapplyview.aspx", "物品申领详情"},
    {"davedevo/crbwpqg/itemapplyauditlist.aspx", "物品申领审核"},
    {"davedevo/msgmail/docsubmit.aspx", "电子公文"},
    {"davedevo/meetingroomapply/mymeeting.aspx", "我的会议"},
    {"web/notice/noticeview.aspx", "通知详情"},
    {"web/notice/noticeaudit.aspx", "通知审核进度"},
    {"davedevo/affair/affairview.aspx", "事务详情"},
};

}  // namespace

std::string WebPages::Title(const SimRequest& request) const {
    const std::string& key = request.RestKey();
    if (key == "web/msgindex.aspx")
        return request.Param("Type") == "3" ? "日程安排" : "通知公告";
    for (const KnownPage& page : kPages) {
        if (key == page.path)
            return page.title;
    }
    return "平台页面";
}

std::string WebPages::Document(const std::string& heading, const std::string& title,
                               const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" +
           text_util::HtmlEscape(title) + "</title></head>\n<body><p>" +
           text_util::HtmlEscape(heading) + "</p><h1>" + text_util::HtmlEscape(title) + "</h1>\n" +
           body + "<p><small>platform-sim</small></p></body></html>\n";
}

bool WebPages::UnitPage(const SimRequest& request, SimReply* reply) const {
    if (request.RestKey().empty())
        return false;
    const DemoUnit* unit = context_.demo.UnitById(request.UnitId());
    std::string body = "<p>地址：/" + text_util::HtmlEscape(request.Rest()) + "</p>\n";
    if (!request.Query().empty())
        body += "<p>参数：" + text_util::HtmlEscape(request.Query()) + "</p>\n";
    if (request.RestKey() == kPages[0].path) {
        const DemoUser* user =
            context_.demo.UserById(context_.sessions.UserOf(request.Param("GCheckStr")));
        body += user ? "<p>欢迎，" + text_util::HtmlEscape(user->name) + "</p>\n"
                     : "<p>登录已失效，请重新登录。</p>\n";
    }
    *reply = SimReply::Html(Document(unit ? unit->name : request.UnitId(), Title(request), body));
    return true;
}

bool WebPages::SitePage(const SimRequest& request, SimReply* reply) const {
    const std::string prefix = "/site/";
    if (!text_util::StartsWith(request.Key(), prefix))
        return false;
    const std::string rest = request.Path().substr(prefix.size());
    const DemoUnit* unit = context_.demo.UnitById(rest.substr(0, rest.find('/')));
    if (!unit) {
        *reply = SimReply::NotFound();
        return true;
    }
    *reply = SimReply::Html(
        Document(unit->name, unit->name + "欢迎您", "<p>学校简介、新闻动态、招生信息。</p>\n"));
    return true;
}
