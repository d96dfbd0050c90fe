#pragma once

#include <string>
#include <vector>

#include "ChildProcess.h"

class BenchContext;
class SimControl;

// One run of the client whose settings log zhanglei in by themselves at start: from the start
// to the main window, and what can be done with it afterwards.
class ClientSession {
public:
    ClientSession(BenchContext& bench, std::vector<std::string> env)
        : bench_(bench), env_(std::move(env)) {}
    ~ClientSession() { client_.Stop(); }

    // Starts the client and waits for the main window; login_ms is the time from the login
    // request (the animated click on 登录) to the main window drawn.
    bool LogIn(double* login_ms);
    // A message from `from_login` brings that conversation to the top of the list, whose
    // first row is then clicked; true once its page has shown the message.
    bool OpenConversation(SimControl& control, const std::string& from_login);
    bool Settle(int timeout_ms);
    // Ends the client as a desktop does at logout (SIGTERM); true when it quit by itself.
    bool Quit() { return client_.Stop(); }
    ChildProcess& Process() { return client_; }
    unsigned long MainWindow() const { return main_window_; }
    TimePoint Clicked() const { return clicked_; }

private:
    BenchContext& bench_;
    std::vector<std::string> env_;
    ChildProcess client_;
    unsigned long main_window_ = 0;
    TimePoint clicked_;
};
