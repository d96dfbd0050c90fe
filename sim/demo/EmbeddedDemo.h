#pragma once

#include <string>

// The demo data file sim/demo/demo.json, compiled in.
std::string EmbeddedDemoJson();
