#pragma once

#include "sim/http/SimReply.h"

#include <string>

class SimContext;
class SimRequest;

// Plain HTML stand-ins for the platform's web pages, so that every link the client opens
// lands on a page that names what it stands for.
class WebPages {
public:
    explicit WebPages(SimContext& context) : context_(context) {}

    // A page for any other path under a unit; false for the unit base itself, which is not a
    // page (an empty picture path must not fetch something).
    bool UnitPage(const SimRequest& request, SimReply* reply) const;
    // The school web site under "/site/<unit id>/"; false for other paths.
    bool SitePage(const SimRequest& request, SimReply* reply) const;

private:
    std::string Title(const SimRequest& request) const;
    static std::string Document(const std::string& heading, const std::string& title,
                                const std::string& body);

    SimContext& context_;
};
