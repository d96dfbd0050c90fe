#pragma once

#include "AccountService.h"
#include "DirectoryService.h"
#include "MessageService.h"
#include "PlanService.h"
#include "ScheduleService.h"
#include "SimReply.h"
#include "VendorService.h"
#include "WebPages.h"

class ControlService;
class SimContext;
class SimRequest;

// Sends each request to the service that owns its path. Paths match without regard to case.
class SimRouter {
public:
    SimRouter(SimContext& context, ControlService& control);

    SimReply Route(const SimRequest& request);

private:
    SimReply UnitRoute(const SimRequest& request);
    SimReply InterfaceMethod(const SimRequest& request);

    SimContext& context_;
    ControlService& control_;
    VendorService vendor_;
    AccountService account_;
    MessageService messages_;
    DirectoryService directory_;
    ScheduleService schedule_;
    PlanService plans_;
    WebPages pages_;
};
