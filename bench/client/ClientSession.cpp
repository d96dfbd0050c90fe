#include "ClientSession.h"

#include "BenchContext.h"
#include "SimControl.h"
#include "XWatch.h"

namespace {
// The first row of the conversation list, inside the main window.
constexpr int kFirstRowX = 150;
constexpr int kFirstRowY = 195;
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
    const std::string shown = "<p>" + text + "</p>";
    // Expected before the message is sent: a page the window opened by itself shows it at once.
    int page = client_.Expect(shown);
    if (!control.Send(from_login, "zhanglei", text) || !client_.Wait(arrived, 10000))
        return false;
    // Let the list take the new order before clicking its first row.
    Settle(10000);
    // A click while the list is being rebuilt may meet no row: click again.
    for (int click = 0;; ++click) {
        bench_.Click(main_window_, kFirstRowX, kFirstRowY);
        if (client_.Wait(page, 2000))
            return true;
        if (click == 2)
            return false;
        page = client_.Expect(shown);
    }
}
