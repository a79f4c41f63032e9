#include "level/LevelShellHooks.h"

#include "level/LevelManager.h"
#include "render/SpriteAnimation.h"
#include "level/SaveManager.h"
#include "level/SceneNodeFactory.h"
#include "level/SceneNodeTypes.h"
#include "level/SoundObject.h"
#include "player/PlayerHooks.h"

#include "core/FileUtils.h"
#include "core/Globals.h"
#include "core/Stopwatch.h"

void registerLevelShellHooks() {
    // The input code keeps the remapping file in the save manager's folder.
    playerHooks().saves.saveFolder = [] {
        return saveManager ? saveManager->getFolder() : saveFolderPath();
    };
}
