#include "sim/store/FileStore.h"

#include "sim/http/TextUtil.h"
#include "sim/store/SimDb.h"

std::string FileStore::Put(const std::string& name, const std::string& data) {
    const std::string suffix = text_util::SafeSuffix(name);
    const std::string reference =
        "MsgFile/" + text_util::RandomHex(12) + (suffix.empty() ? "" : "." + suffix);
    auto lock = db_.Lock();
    db_.Prepare("INSERT INTO files (reference, name, data) VALUES (:reference, :name, :data)")
        .Bind(":reference", reference)
        .Bind(":name", name)
        .BindBlob(":data", data)
        .Run();
    return reference;
}

bool FileStore::Get(const std::string& reference, std::string* name, std::string* data) {
    auto lock = db_.Lock();
    SimStatement query =
        db_.Prepare("SELECT name, data FROM files WHERE reference = :reference COLLATE NOCASE");
    query.Bind(":reference", reference);
    if (!query.Next())
        return false;
    *name = query.Text(0);
    *data = query.Text(1);
    return true;
}
