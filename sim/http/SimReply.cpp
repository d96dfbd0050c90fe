#include "sim/http/SimReply.h"

#include <utility>

SimReply SimReply::Json(std::string body) {
    SimReply reply;
    reply.body = std::move(body);
    return reply;
}

SimReply SimReply::Html(std::string body) {
    return Bytes(std::move(body), "text/html; charset=utf-8");
}

SimReply SimReply::Bytes(std::string body, std::string content_type) {
    SimReply reply;
    reply.body = std::move(body);
    reply.content_type = std::move(content_type);
    return reply;
}

SimReply SimReply::NotFound() {
    SimReply reply = Html("<html><body><h1>404</h1><p>页面不存在</p></body></html>");
    reply.status = 404;
    return reply;
}
