#pragma once

#include "platform/audio/EventSystem.h"

#include <string>
#include <vector>

namespace irr::io {
class IFileSystem;
}

// The game's audio event project, "Content/Audio/GameAudio.xml":
//   <GameAudio>
//     <Category name="music"/>
//     <Event name="GameAudio/Audio/Collisions/Wicker" category="sounds" length="0.6"
//            loop="false" is3D="true" maxPlaybacks="16">
//       <Parameter name="Velocity" min="0" max="100"/>
//     </Event>
//     <Effect index="25" event="GameAudio/Audio/UI/Click"/>
//   </GameAudio>
// Events: every event the game asks for, with its category, its length in seconds, whether
// it loops, whether it is placed in the world and how many instances may play at once.
// Effects: the rows of the sound-effect table.
struct AudioProject {
    audio::EventProject events;
    // Indexed by effect; an index the file does not give stays empty.
    std::vector<std::string> effectNames;
    // Elements that could not be used (no name, an effect index out of range).
    int skipped = 0;
};

// Reads the project through the guarded XML reader, so a file cut short is read as far as
// it goes. FileNotFound when it cannot be opened, FileBad when its root is not <GameAudio>.
audio::Result readAudioProject(irr::io::IFileSystem* fileSystem, const char* path,
                               int effectCount, AudioProject& project);
