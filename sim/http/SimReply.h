#pragma once

#include <string>

// What a service answers; `drop` closes the connection after the headers instead.
struct SimReply {
    int status = 200;
    std::string content_type = "application/json; charset=utf-8";
    std::string body;
    bool drop = false;

    static SimReply Json(std::string body);
    static SimReply Html(std::string body);
    static SimReply Bytes(std::string body, std::string content_type);
    static SimReply NotFound();
};
