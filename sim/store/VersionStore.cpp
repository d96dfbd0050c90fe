#include "sim/store/VersionStore.h"

#include "sim/demo/EmbeddedDemo.h"
#include "sim/http/TextUtil.h"
#include "sim/store/SimDb.h"

void VersionStore::Latest(std::string* no, std::string* url) {
    auto lock = db_.Lock();
    SimStatement query =
        db_.Prepare("SELECT no, url FROM versions ORDER BY version_id DESC LIMIT 1");
    if (query.Next()) {
        *no = query.Text(0);
        *url = query.Text(1);
    } else {
        *no = demo_no_;
        *url = demo_url_;
    }
}

void VersionStore::Publish(const std::string& no, const std::string& url, const std::string& data) {
    auto lock = db_.Lock();
    db_.Prepare("INSERT INTO versions (no, url, data) VALUES (:no, :url, :data)")
        .Bind(":no", no)
        .Bind(":url", url)
        .BindBlob(":data", data)
        .Run();
}

bool VersionStore::Installer(const std::string& url, std::string* data) {
    auto lock = db_.Lock();
    SimStatement query = db_.Prepare(
        "SELECT data FROM versions WHERE url = :url COLLATE NOCASE"
        " ORDER BY version_id DESC LIMIT 1");
    query.Bind(":url", url);
    if (query.Next()) {
        *data = query.Text(0);
        return true;
    }
    // The demo's own version has the demo installer.
    if (demo_url_.empty() || !text_util::EqualsIgnoreCase(url, demo_url_))
        return false;
    *data = EmbeddedDemoInstaller();
    return true;
}
