#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

class FaultTable;
class SimRouter;
class SimRequest;
struct SimReply;

// The HTTP side: decodes requests, applies injected faults, writes one log line per request.
class SimHttp {
public:
    using Logger = std::function<void(const std::string& line)>;

    SimHttp(SimRouter& router, FaultTable& faults, Logger log, bool verbose);
    ~SimHttp();

    // Binds to host:port (0: any free port); returns the port, or -1.
    int Bind(const std::string& host, int port);
    // Serves on a thread of its own until Stop.
    void Start();
    void Stop();

private:
    void Serve(const httplib::Request& req, httplib::Response& res, std::string body);
    SimReply Answer(const SimRequest& request);
    void Log(const SimRequest& request, const SimReply& reply) const;
    // Sleeps, but no longer than until Stop: a held answer never keeps the server from ending.
    void Hold(int ms);

    SimRouter& router_;
    FaultTable& faults_;
    Logger log_;
    bool verbose_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::mutex hold_mutex_;
    std::condition_variable hold_end_;
    bool stopping_ = false;
};
