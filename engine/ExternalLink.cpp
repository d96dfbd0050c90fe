#include "ExternalLink.h"

#include <QDebug>

#include "ExternalLinkHttp.h"

// The account is copied here, on the GUI thread that owns it, before the worker moves.
ExternalLink::ExternalLink(QObject* parent)
    : QObject(parent), account_(Account::GetAccountInfo(Account::CurUserId())) {}

ExternalLink::~ExternalLink() {
    delete http_;
    qDebug() << "ExternalLink::~ExternalLink";
}

void ExternalLink::OnStart() {
    if (!http_)
        http_ = new ExternalLinkHttp;
}
