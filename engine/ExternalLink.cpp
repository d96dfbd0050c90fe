#include "ExternalLink.h"

#include <QDebug>
#include <QVariantMap>

#include "ExternalLinkHttp.h"
#include "base/Services.h"
#include "base/SqlExec.h"

namespace {

const char kNoticeIndex[] = "/Web/MSGIndex.aspx?Type=1&MID=24064&RD=58135047";

bool Unsupported(int remind_id) {
    switch (remind_id) {
        case 9402:
        case 9406:
        case 9407:
        case 9408:
        case 9409:
        case 9411:
        case 9412:
        case 9413:
        case 9414:
        case 9421:
        case 9422:
            return true;
        default:
            return false;
    }
}

// "/<url>" for a message that names its page, else the category's general page.
QString OwnOrGeneral(const QString& url, bool found, const char* general) {
    // A row without a url names no page either.
    return found && !url.isEmpty() ? QLatin1Char('/') + url : QLatin1String(general);
}

}  // namespace

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

QString ExternalLink::PathFor(int remind_id, const QString& url, bool found, bool* unsupported) {
    *unsupported = Unsupported(remind_id);
    switch (remind_id) {
        case 2201:
            return QStringLiteral("/DavEdevo/SetManage/SetMendCheck.aspx");
        case 2202:
            return QStringLiteral("/DavEdevo/SetManage/SetMendDetail.aspx?SetMend_ID=%1").arg(url);
        case 2302:
        case 2305:
        case 2306:
            return OwnOrGeneral(url, found, "/Face/5/SubMain.aspx?MID=5888");
        case 7613:
        case 7614:
            return QStringLiteral("/Face/5/SubMain.aspx?MID=19456");
        case 9417:
        case 9418:
        case 9428:
            return OwnOrGeneral(url, found, kNoticeIndex);
        case 9424:
            return found ? QStringLiteral("/DavEdevo/crbWPQG/ItemApplyView.aspx?Apply_ID=/%1")
                               .arg(url)
                         : QString();
        case 9425:
            return QStringLiteral("/DavEdevo/crbWPQG/ItemApplyAuditList.aspx");
        case 9427:
            return QStringLiteral("/DavEdevo/MSGMail/DocSubmit.aspx");
        case 9701:
        case 9702:
            return QStringLiteral("/DavEdevo/MeetingRoomApply/MyMeeting.aspx");
        default:
            return QString();
    }
}

QString ExternalLink::LinkFor(const QString& unit_base, const QString& path) {
    const QString link = QStringLiteral("%1/%2").arg(unit_base, path);
    // "http" or "https" in any case: the scheme is there already.
    if (link.startsWith(QLatin1String("http"), Qt::CaseInsensitive))
        return link;
    return QStringLiteral("http://%1").arg(link);
}

void ExternalLink::OnOpenSysMsg(int remind_id, int message_id) {
    qDebug() << "ExternalLink::OnOpenSysMsg"
             << "remind_id:" << remind_id << ", message_id:" << message_id;
    const QVariantMap row = SqlExec::SelectRow(
        QStringLiteral(
            "SELECT * FROM message_all WHERE other_id2=:remind_id AND message_id=:message_id"),
        {{"remind_id", remind_id}, {"message_id", message_id}});
    bool unsupported = false;
    const QString path = PathFor(remind_id, row.value(QStringLiteral("url")).toString(),
                                 !row.isEmpty(), &unsupported);
    if (unsupported) {
        emit dont_support_on_pc();
        return;
    }
    if (path.isEmpty())
        return;
    emit open_link(LinkFor(Services::UnitBase(account_), path));
}
