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

signals:
    void dont_support_on_pc();
    void open_link(QString link);

public slots:
    // Creates the request object on the worker thread.
    void OnStart();

private:
    AccountMap account_;
    ExternalLinkHttp* http_ = nullptr;
};
