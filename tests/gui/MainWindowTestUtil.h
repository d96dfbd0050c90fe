#pragma once

// Shared by the main window's tests against platform-sim: 张磊 signed in and his window shown.

#include "ChatTestUtil.h"
#include "chat/MainWidget.h"
#include "tests/support/SimServer.h"

namespace chat_test {

// 张磊 signed in at `sim` with a new session; his main window, shown, its engine not started.
// Null when the sign-in failed.
inline MainWidget* ShowMainWindow(SimServer& sim) {
    if (!engine_test::SignInAs("zhanglei", kUserId, sim.UnitRecord(), sim.OpenSession("zhanglei")))
        return nullptr;
    auto* main = new MainWidget;
    main->Init();
    main->resize(1000, 700);
    main->show();
    return main;
}

}  // namespace chat_test
