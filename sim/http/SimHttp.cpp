#include "sim/http/SimHttp.h"

#include "sim/http/Envelope.h"
#include "sim/http/FaultTable.h"
#include "sim/http/SimReply.h"
#include "sim/http/SimRequest.h"
#include "sim/http/SimRouter.h"
#include "sim/http/TextUtil.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <chrono>

namespace {

// Long polls hold a pool thread each, so the pool is larger than the library's default: a few
// hundred clients polling at once leave threads for everything else. A waiting thread costs
// little more than its stack.
const int kPoolThreads = 512;
const size_t kLoggedBody = 2000;

// The name a request is logged and faulted under: the method for service calls.
std::string NameOf(const SimRequest& request) {
    const std::string& key = request.Key();
    if (key.find(".asmx/") != std::string::npos)
        return request.Method();
    if (text_util::StartsWith(key, "/_sim/"))
        return "_sim/" + request.Method();
    if (key.find("/upload/headpic/") != std::string::npos)
        return "HeadPic";
    if (key.find("/upload/mmc/") != std::string::npos)
        return "Installer";
    if (key.find("/upload/") != std::string::npos)
        return "Upload";
    return "Page";
}

std::string UserOf(const SimRequest& request) {
    for (const char* field : {"User_ID", "loginid"}) {
        const std::string value = request.Param(field);
        if (!value.empty())
            return value;
    }
    // Control calls name their user in a JSON body.
    const std::string& text = request.Body();
    const auto body = text.empty() || text[0] != '{' ? nlohmann::json()
                                                     : nlohmann::json::parse(text, nullptr, false);
    if (body.is_object()) {
        for (const char* field : {"from", "user", "to"}) {
            if (body.contains(field) && body[field].is_string())
                return body[field].get<std::string>();
        }
    }
    return "-";
}

// Passwords and file contents stay out of the log.
std::string Printable(const SimRequest& request) {
    if (!request.Body().empty() && request.Body()[0] == '{')
        return request.Body().size() > kLoggedBody
                   ? "<" + std::to_string(request.Body().size()) + " bytes>"
                   : request.Body();
    std::string out;
    for (const auto& field : text_util::ParseForm(request.Body())) {
        std::string value = field.second;
        if (text_util::EqualsIgnoreCase(field.first, "encyptpassword"))
            value = "***";
        else if (value.size() > 200)
            value = "<" + std::to_string(value.size()) + " bytes>";
        out += (out.empty() ? "" : "&") + field.first + "=" + value;
    }
    return out;
}

std::string Shortened(const std::string& body) {
    return body.size() > kLoggedBody ? body.substr(0, kLoggedBody) + "..." : body;
}

// The real answer made far larger than any: a reply envelope gets a member that many MB long,
// anything else that many bytes more.
void Pad(SimReply* reply, int megabytes) {
    const std::string padding(static_cast<size_t>(megabytes) * 1024 * 1024, 'x');
    if (!reply->body.empty() && reply->body[0] == '{')
        reply->body.insert(1, "\"Padding\":\"" + padding + "\",");
    else
        reply->body += padding;
}

SimReply Spoiled(const SimFault& fault) {
    SimReply reply;
    switch (fault.kind) {
        case FaultKind::kStatus:
            reply = SimReply::Html("<html><body><h1>Server Error</h1></body></html>");
            reply.status = fault.value > 0 ? fault.value : 500;
            break;
        case FaultKind::kNotJson:
            reply = SimReply::Html("<html><body>Runtime Error</body></html>");
            break;
        case FaultKind::kEid1:
            reply = envelope::Error("1", "登录已失效，请重新登录");
            break;
        default:
            break;
    }
    return reply;
}

}  // namespace

SimHttp::SimHttp(SimRouter& router, FaultTable& faults, Logger log, bool verbose)
    : router_(router),
      faults_(faults),
      log_(std::move(log)),
      verbose_(verbose),
      server_(new httplib::Server) {
    server_->new_task_queue = [] { return new httplib::ThreadPool(kPoolThreads); };
    // An answer goes out as two writes, the headers and then the body. With Nagle's algorithm
    // the body waits for the client to acknowledge the headers, which a client waiting for the
    // rest delays by up to 40 ms.
    server_->set_tcp_nodelay(true);
    server_->Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        Serve(req, res, req.body);
    });
    server_->Post(".*", [this](const httplib::Request& req, httplib::Response& res,
                               const httplib::ContentReader& reader) {
        // Read here rather than by the library, which refuses form bodies above 8 KB.
        std::string body;
        reader([&](const char* data, size_t size) {
            body.append(data, size);
            return true;
        });
        Serve(req, res, std::move(body));
    });
}

SimHttp::~SimHttp() {
    Stop();
}

int SimHttp::Bind(const std::string& host, int port) {
    if (port == 0)
        return server_->bind_to_any_port(host);
    return server_->bind_to_port(host, port) ? port : -1;
}

void SimHttp::Start() {
    {
        std::lock_guard<std::mutex> lock(hold_mutex_);
        stopping_ = false;
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // Stop only takes effect once the server runs.
    while (!server_->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void SimHttp::Stop() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(hold_mutex_);
        stopping_ = true;
    }
    hold_end_.notify_all();
    server_->stop();
    thread_.join();
}

void SimHttp::Serve(const httplib::Request& req, httplib::Response& res, std::string body) {
    const auto mark = req.target.find('?');
    SimRequest request(req.method, req.path,
                       mark == std::string::npos ? std::string() : req.target.substr(mark + 1),
                       std::move(body));
    for (const auto& param : req.params)
        request.AddParam(param.first, param.second);
    if (req.get_header_value("Content-Type").find("form-urlencoded") != std::string::npos) {
        for (const auto& field : text_util::ParseForm(request.Body()))
            request.AddParam(field.first, field.second);
    }
    const SimReply reply = Answer(request);
    Log(request, reply);
    res.status = reply.status;
    if (!reply.drop) {
        res.set_content(reply.body, reply.content_type);
        return;
    }
    // Announce a body and close the connection before sending any of it.
    res.set_content_provider(reply.body.size() + 1, reply.content_type,
                             [](size_t, size_t, httplib::DataSink&) { return false; });
}

SimReply SimHttp::Answer(const SimRequest& request) {
    const std::string name = NameOf(request);
    const SimFault fault = text_util::StartsWith(name, "_sim/") ? SimFault() : faults_.Take(name);
    if (fault.kind == FaultKind::kDelay)
        Hold(fault.value);
    if (fault.kind == FaultKind::kHold)
        Hold(fault.value > 0 ? fault.value : FaultTable::kHoldMs);
    if (fault.kind == FaultKind::kStatus || fault.kind == FaultKind::kNotJson ||
        fault.kind == FaultKind::kEid1)
        return Spoiled(fault);
    SimReply reply = router_.Route(request);
    reply.drop = fault.kind == FaultKind::kDrop;
    if (fault.kind == FaultKind::kHuge)
        Pad(&reply, fault.value > 0 ? fault.value : FaultTable::kHugeMb);
    return reply;
}

void SimHttp::Hold(int ms) {
    std::unique_lock<std::mutex> lock(hold_mutex_);
    hold_end_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

void SimHttp::Log(const SimRequest& request, const SimReply& reply) const {
    if (!log_)
        return;
    std::string line = request.Verb() + " " + NameOf(request) + " user=" + UserOf(request) + " " +
                       std::to_string(reply.status) + (reply.drop ? " dropped" : "");
    if (verbose_) {
        line += "\n  > " + Printable(request);
        const bool text = reply.content_type.find("json") != std::string::npos ||
                          reply.content_type.find("html") != std::string::npos;
        line += "\n  < " + (text ? Shortened(reply.body)
                                 : "<" + std::to_string(reply.body.size()) + " bytes>");
    }
    log_(line);
}
