#pragma once

#include <QString>

// What one row of a conversation shows and keeps: a message bubble or a day separator. The
// list holds one per row; the row's widget (MessageItem) is made from it while the row is near
// the visible part of the list, and state changes are kept here so a new widget shows them.
struct Bubble {
    // Sides: a received message, one's own, anything else centred (the day separator).
    static constexpr int kLeft = 1;
    static constexpr int kRight = 2;
    static constexpr int kCenter = 0x84;
    // msg_type of a day separator.
    static constexpr int kSeparator = -1;
    // A state value that shows no state label.
    static constexpr int kNoState = 3;

    QString content;
    int msg_type = 1;
    int side = kLeft;
    bool group = false;
    int state = kNoState;
    // The text as sent and stored ("[name]" emoji), for text messages.
    QString text;
    // The attachment's file: what the bubble shows and a re-send sends.
    QString local_path;
    // What a click on a picture, voice or video hands to the downloader (its server reference
    // and name, or the file it was sent from), the reference alone, and the message's url.
    QString request;
    QString reference;
    QString url;
    int is_read = 0;
    // The stored row (message_all id) of a message from the history; 0 for the others.
    int id = 0;
    int message_id = 0;
    int client_message_id = 0;
    int tmp_msg_id = 0;
    // The sender whose picture the bubble shows (0: none) and the name above a group message.
    int avatar_id = 0;
    QString avatar_name;
    QString sender_name;
    // A file's download as the downloader last reported it ("0".."99", "100", "err: ...");
    // empty before any. Kept here so a rebuilt widget shows it.
    QString file_state;
    // Where a save-as copies the file once it is downloaded; empty when none waits.
    QString save_as;
    // The voice message the player is playing now.
    bool playing = false;
    // A missing picture, voice or video was asked for once already.
    bool fetch_asked = false;

    bool Failed() const { return state == -1; }
    // What a re-send hands on: the text of a text message, the file of any other.
    QString SentValue() const { return msg_type == 1 ? text : local_path; }
};
