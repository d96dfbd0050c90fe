#pragma once

// The one index of the platform's web services: base paths and method names. Plain C++ so that
// platform-sim serves exactly what the client calls.
namespace service_paths {

// Under the vendor web host.
constexpr const char kVendorPath[] = "/DavEdevo/MobileManageCenter/InterfaceJson.asmx/";
constexpr const char kInstallerPath[] = "/UpLoad/MMC/";

// Under a unit's base URL (which ends with "/").
constexpr const char kLoginPath[] = "baseplate/interface/iinterfacejson.asmx/";
constexpr const char kInterfacePath[] = "BasePlate/Interface/IInterfaceJson.asmx/";
constexpr const char kSchedulePath[] = "DavEdevo/MSGSchedule/InterfaceJson.asmx/";
constexpr const char kUploadPath[] = "Upload/";

namespace method {
// Vendor host.
constexpr const char kAreaGetXD[] = "Area_GetXD";
constexpr const char kUnitGetList[] = "Unit_GetList";
constexpr const char kVersionGetLast[] = "Version_GetLast";
// Login.
constexpr const char kLoginUser[] = "LoginUser";
// Messaging.
constexpr const char kMessageGetByMaxID2[] = "Message_GetByMaxID2";
constexpr const char kMessageSend[] = "Message_Send";
constexpr const char kMessageSendFile[] = "Message_SendFile";
constexpr const char kMessageReadMulti[] = "Message_ReadMulti";
constexpr const char kMessageFileDownload[] = "MessageFile_Download";
constexpr const char kUserInfoGet[] = "UserInfo_Get";
// Contact directories.
constexpr const char kOrgAndUserGetList[] = "OrgAndUser_GetList";
constexpr const char kRoleAndUserGetList[] = "RoleAndUser_GetList";
constexpr const char kPublicGroupGetList[] = "PublicGroup_GetList";
constexpr const char kGroupUserGetList[] = "GroupUser_GetList";
constexpr const char kMyGroupGetList[] = "MyGroup_GetList";
constexpr const char kDiscussGroupGetList[] = "DiscussGroup_GetList";
// Schedule.
constexpr const char kTermGetList[] = "Term_GetList";
constexpr const char kTermWeekGetList[] = "TermWeek_GetList";
constexpr const char kScheduleSectionGetXD2[] = "ScheduleSection_GetXD2";
constexpr const char kScheduleGetTotalList[] = "Schedule_GetTotalList";
constexpr const char kCourseScheduleGetList[] = "CourseSchedule_GetList";
constexpr const char kPlanGetToDoList3[] = "Plan_GetToDoList3";
constexpr const char kMeetingAppointGetListProcessing[] = "MeetingAppoint_GetList_Processing";
}  // namespace method

// Web pages the client opens, relative to the unit base URL.
constexpr const char kManagementLogin[] = "%1/BasePlate/LoginCenter/re.aspx?GCheckStr=%2";
constexpr const char kScheduleWebPage[] = "%1/Web/MSGIndex.aspx?Type=3&MID=24064&RD=58135047";

}  // namespace service_paths
