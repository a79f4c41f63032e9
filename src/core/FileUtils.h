#pragma once

#include <string>

// Creates every folder of a path, parents first. '/' and '\' both separate folders (content
// files may carry either). True when the whole path exists as a folder afterwards; false for
// an empty path or when a part cannot be created (a file in the way, no permission).
bool createDirectoryPath(const std::string& path);

// The folder of the player's files (the save, its backups, checkpoints, the remapping file):
// the user's data folder for "Paddlestone" (platform::userDataFolder). It is created, parents
// first, when missing; a folder that cannot be created is logged once per call and its path
// is answered all the same (the writes into it then fail with their own lines).
std::string saveFolderPath();
