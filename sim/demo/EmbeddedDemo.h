#pragma once

#include <string>

// The demo data file sim/demo/demo.json, compiled in.
std::string EmbeddedDemoJson();
// sim/demo/installer.sh, served as the installer of the demo's versions.
std::string EmbeddedDemoInstaller();
