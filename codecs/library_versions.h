// The libraries the core reads and writes sound with, by the versions the
// program runs on, for the About box: "libsndfile 1.2.0", ...
#pragma once

#include <string>
#include <vector>

std::vector<std::string> CoreLibraryVersions();
