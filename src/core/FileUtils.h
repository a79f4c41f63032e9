#pragma once

#include <string>

// Creates every folder of a path, parents first. '/' and '\' both separate folders (content
// files may carry either). True when the whole path exists as a folder afterwards; false for
// an empty path or when a part cannot be created (a file in the way, no permission).
bool createDirectoryPath(const std::string& path);
