#pragma once

#include "sim/http/SimReply.h"

class SimContext;
class SimRequest;

// The vendor host: the region tree, the units of a district, the latest version and its
// installer.
class VendorService {
public:
    explicit VendorService(SimContext& context) : context_(context) {}

    // False when the path is not the vendor's.
    bool Handle(const SimRequest& request, SimReply* reply);

private:
    SimReply Areas() const;
    SimReply Units(const SimRequest& request) const;
    SimReply Version() const;
    SimReply Installer(const SimRequest& request) const;

    SimContext& context_;
};
