// platform-sim: serves the platform's web services on loopback, or, given a command, drives a
// running simulator through its control interface.
#include "sim/PlatformSim.h"
#include "sim/SimCommand.h"
#include "sim/http/TextUtil.h"

#include <httplib.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: platform-sim [--port N] [--db FILE] [--demo FILE] [--hold-ms N] [--verbose]\n"
    "       platform-sim send --from USER --to USER|-GROUP (--text TEXT [--count N] | --file PATH"
    " [--type N] [--seconds S])\n"
    "       platform-sim remind --to USER --remind ID --text TEXT [--url URL]\n"
    "       platform-sim unread --user USER --remind ID --num N\n"
    "       platform-sim expire --user USER\n"
    "       platform-sim session --user USER\n"
    "       platform-sim fault --method NAME (--status N | --delay MS | --not-json | --drop |"
    " --eid1 | --hold | --huge | --clear) [--count N]\n"
    "       platform-sim publish --version X.Y.Z --file PATH\n"
    "Commands take --port N to reach a simulator on another port (default 8770).\n";

bool ServerOptions(const std::vector<std::string>& args, SimOptions* options) {
    options->long_threads = true;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool has_value = i + 1 < args.size();
        if (arg == "--verbose")
            options->verbose = true;
        else if (arg == "--port" && has_value)
            options->port = static_cast<int>(text_util::ToInt(args[++i], -1));
        else if (arg == "--db" && has_value)
            options->db_path = args[++i];
        else if (arg == "--demo" && has_value)
            options->demo_path = args[++i];
        else if (arg == "--hold-ms" && has_value)
            options->hold_ms = static_cast<int>(text_util::ToInt(args[++i], -1));
        else
            return false;
    }
    return options->port >= 0 && options->hold_ms >= 0;
}

int Serve(const SimOptions& options) {
    // Blocked before any thread starts, so only the wait below sees the signals.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    PlatformSim sim(options);
    std::string error;
    if (!sim.Start(&error)) {
        std::cerr << "platform-sim: " << error << std::endl;
        return 1;
    }
    std::cout << "platform-sim: listening on http://" << options.host << ":" << sim.Port()
              << "/ (units under /unit/<id>/, control under /_sim/)" << std::endl;
    int signal = 0;
    sigwait(&signals, &signal);
    std::cout << "platform-sim: stopping" << std::endl;
    sim.Stop();
    return 0;
}

int RunCommand(const std::vector<std::string>& args) {
    SimCommand command;
    std::string error;
    if (!command.Parse(args, &error)) {
        std::cerr << "platform-sim: " << error << "\n" << kUsage;
        return 2;
    }
    httplib::Client client("127.0.0.1", command.Port());
    const auto answer =
        client.Post(("/_sim/" + command.Operation()).c_str(), command.Body(), "application/json");
    if (!answer) {
        std::cerr << "platform-sim: no simulator answers on 127.0.0.1:" << command.Port()
                  << std::endl;
        return 1;
    }
    std::cout << answer->body << std::endl;
    return answer->status == 200 ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    if (!args.empty() && SimCommand::IsCommand(args[0]))
        return RunCommand(args);
    SimOptions options;
    if (!ServerOptions(args, &options)) {
        std::cerr << kUsage;
        return 2;
    }
    return Serve(options);
}
