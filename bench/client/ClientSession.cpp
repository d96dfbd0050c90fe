#include "ClientSession.h"

#include "BenchContext.h"
#include "SimControl.h"
#include "XWatch.h"

namespace {
// The first row of the conversation list, inside the main window.
constexpr int kFirstRowX = 150;
constexpr int kFirstRowY = 140;
constexpr int kShowTimeoutMs = 60000;
}  // namespace

bool ClientSession::LogIn(double* login_ms) {
    const int login = client_.Expect("------------------ LoginUser");
    if (!bench_.StartClient(client_, env_))
        return false;
    const auto clicked = client_.Wait(login, kShowTimeoutMs);
    if (!clicked) {
        bench_.Log("the client did not log in by itself:\n" + client_.LastLinesText());
        return false;
    }
    const auto shown = bench_.X().WaitShown("Coralbridge", *clicked, kShowTimeoutMs);
    if (!shown) {
        bench_.Log("no main window:\n" + client_.LastLinesText());
        return false;
    }
    main_window_ = shown->window;
    clicked_ = *clicked;
    if (login_ms)
        *login_ms = MsBetween(*clicked, shown->painted);
    return true;
}

bool ClientSession::Settle(int timeout_ms) {
    return bench_.Settle(client_.Pid(), timeout_ms);
}

bool ClientSession::OpenConversation(SimControl& control, const std::string& from_login) {
    const std::string text =
        "bench-open-" + std::to_string(Clock::now().time_since_epoch().count());
    const int arrived = client_.Expect("MsgLoader::msg_load_ready");
    if (!control.Send(from_login, "zhanglei", text) || !client_.Wait(arrived, 10000))
        return false;
    // Let the list take the new order before clicking its first row.
    Settle(10000);
    const int page = client_.Expect(text);
    bench_.Click(main_window_, kFirstRowX, kFirstRowY);
    return client_.Wait(page, 5000).has_value();
}
