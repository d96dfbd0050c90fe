#pragma once

// Shared by the main window's tests against platform-sim: 张磊 signed in and his window shown.

#include <QtTest>
#include <memory>

#include "ChatTestUtil.h"
#include "chat/MainWidget.h"
#include "chat/MessagePage.h"
#include "chat/MessagePageMgr.h"
#include "engine/EngineMetaTypes.h"
#include "tests/support/SimServer.h"

namespace chat_test {

// platform-sim for the whole program, and for each test 张磊's main window on it afresh.
struct SimWindow {
    // For initTestCase: false when platform-sim did not start.
    bool Ready() {
        EngineMetaTypes::Register();
        return sim.IsRunning();
    }
    // For init: signs 张磊 in with a new session and shows his window, its engine started when
    // `start`. False when the sign-in failed.
    bool Open(bool start = true) {
        session = sim.OpenSession("zhanglei");
        if (!engine_test::SignInAs("zhanglei", kUserId, sim.UnitRecord(), session))
            return false;
        main.reset(new MainWidget);
        main->Init();
        main->resize(1000, 700);
        main->show();
        if (start)
            main->StartEngine();
        return true;
    }
    // The conversation's page, opened as from the list, once its history is shown; null when
    // none came.
    MessagePage* OpenConversation(int other_id, const QString& name) {
        main->PageMgr()->OnConnectItemChanged(other_id, name);
        MessagePage* page = main->PageMgr()->Page(other_id);
        return QTest::qWaitFor([page] { return !page->IsEmpty(); }, 10000) ? page : nullptr;
    }

    SimServer sim{2000, 300};
    QString session;
    std::unique_ptr<MainWidget> main;
};

}  // namespace chat_test
