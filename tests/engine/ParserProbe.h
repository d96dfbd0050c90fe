#pragma once

// A MsgParse run on the test thread, with a spy on the signals the tests look at.

#include "EngineTestEnv.h"
#include "engine/ConnectListItemInfo.h"
#include "engine/MessageSysItemInfo.h"
#include "engine/MsgParse.h"

namespace engine_test {

struct ParserProbe {
    MsgParse parse;
    QSignalSpy polls{&parse, &MsgParse::req_heart_msg};
    QSignalSpy lists{&parse, &MsgParse::update_connect_list_ui};
    QSignalSpy downloads{&parse, &MsgParse::download_resource};
    QSignalSpy pages{&parse, &MsgParse::update_msg_page_ui};
    QSignalSpy receipts{&parse, &MsgParse::msgs_has_receive};
    QSignalSpy avatars{&parse, &MsgParse::req_avatar};
    QSignalSpy sys_lists{&parse, &MsgParse::msgs_sys_has_receive};
    QSignalSpy send_requests{&parse, &MsgParse::req_send_msg};
    QSignalSpy send_states{&parse, &MsgParse::update_msg_send_reback_state};
    QSignalSpy read_marks{&parse, &MsgParse::update_msg_is_read};
    QSignalSpy bubbles{&parse, &MsgParse::update_msg_count_to_bubble_on_main_wid};
    QSignalSpy to_ids{&parse, &MsgParse::update_to_id};
    QSignalSpy trays{&parse, &MsgParse::notify_tray};
    QSignalSpy sys_counts{&parse, &MsgParse::fix_sys_msg_count_ui};

    ParserProbe() { parse.OnStart(); }
    ~ParserProbe() { Clear(); }

    void Clear() {
        FreeRecords<ConnectListItemInfoPointers>(lists);
        FreeRecords<MessageSysItemInfoPointers>(sys_lists);
        for (QSignalSpy* spy : {&polls, &downloads, &pages, &receipts, &avatars, &send_requests,
                                &send_states, &read_marks, &bubbles, &to_ids, &trays, &sys_counts})
            spy->clear();
    }
    void Feed(const Reply& reply) {
        Clear();
        parse.OnHeartBeatMsgToParse(reply.Text());
        parse.FlushWidgets();
    }
    // The id the last local message got.
    int Send(int other_id, int msg_type, int tmp_id, const QString& text) {
        parse.OnMsgSend(other_id, "李老师", msg_type, tmp_id, text);
        return to_ids.last().at(1).toInt();
    }

    static QList<int> Ints(const QSignalSpy& spy, int arg = 0, int call = 0) {
        return spy.at(call).at(arg).value<QList<int>>();
    }
    QList<int> LastPoll() const { return polls.last().at(0).value<QList<int>>(); }
    int LastBubble() const { return bubbles.last().at(0).toInt(); }
    // "other_id:number:message_order" of the last list sent, in list order.
    QStringList LastList() const {
        QStringList entries;
        for (const auto* item : lists.last().at(0).value<ConnectListItemInfoPointers>())
            entries << QStringLiteral("%1:%2:%3")
                           .arg(item->other_id)
                           .arg(item->number)
                           .arg(item->message_order);
        return entries;
    }
};

}  // namespace engine_test
