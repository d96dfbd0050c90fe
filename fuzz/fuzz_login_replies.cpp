// The replies of the login window: "LoginUser", the region tree of "Area_GetXD" walked down to
// the districts as the unit chooser does, and the units of "Unit_GetList". Each input is tried
// as all three.
#include <QJsonObject>

#include "FuzzSupport.h"
#include "login/LoginReply.h"
#include "login/RegionReply.h"

namespace {

// Province, city, district: the chooser asks each level for the next.
void WalkRegions(const QJsonArray& areas, int depth) {
    for (const QJsonValue& area : areas) {
        const QJsonObject object = area.toObject();
        object.value(QLatin1String("Name")).toString();
        if (depth == 2)
            object.value(QLatin1String("ID")).toString();
        else
            WalkRegions(RegionReply::Areas(object.value(QLatin1String("Area"))), depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::InitCore(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = fuzz::Bytes(data, size);
    const LoginReply login = LoginReply::Parse(input);
    if (login.kind == LoginReply::Kind::kAccepted)
        fuzz::Expect(login.values.size() == LoginReply::Keys().size(), "every key read");
    WalkRegions(RegionReply::Provinces(input), 0);
    for (const RegionReply::Unit& unit : RegionReply::Units(input))
        fuzz::Expect(unit.record.count(QLatin1Char(',')) >= 3, "four fields in a unit record");
    return 0;
}
