#pragma once

#include "sim/http/SimReply.h"
#include "sim/services/AccountService.h"
#include "sim/services/DirectoryService.h"
#include "sim/services/MessageService.h"
#include "sim/services/PlanService.h"
#include "sim/services/ScheduleService.h"
#include "sim/services/VendorService.h"
#include "sim/services/WebPages.h"

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
