#pragma once

#include <QObject>
#include <QString>

#include "base/Account.h"

class ExternalLinkHttp;

// Turns a system message (its category and message id) into the address of its page on the
// platform's web site, on a thread of its own owned by the page manager.
class ExternalLink : public QObject {
    Q_OBJECT
public:
    explicit ExternalLink(QObject* parent = nullptr);
    ~ExternalLink() override;

    // The page of a category relative to the unit's base, given the message's url and whether
    // its row was found; empty when there is none. `unsupported`: the kind cannot be opened on
    // the PC.
    static QString PathFor(int remind_id, const QString& url, bool found, bool* unsupported);
    // "<unit base>/<path>", with "http://" in front when it has no scheme yet.
    static QString LinkFor(const QString& unit_base, const QString& path);

signals:
    void dont_support_on_pc();
    void open_link(QString link);

public slots:
    // Creates the request object on the worker thread.
    void OnStart();
    void OnOpenSysMsg(int remind_id, int message_id);

private:
    AccountMap account_;
    ExternalLinkHttp* http_ = nullptr;
};
