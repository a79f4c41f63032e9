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
//            loop="false" is3D="true" maxPlaybacks="16" volume="0.9" pitch="1.0"
//            minDistance="10" maxDistance="1000" stream="false">
//       <Sound file="Content/Audio/Thud1.wav"/>
//       <Sound file="Content/Audio/Thud2.wav"/>
//       <Parameter name="Velocity" min="0" max="100" volumeAtMin="0.3" volumeAtMax="1"
//                  pitchAtMin="0.85" pitchAtMax="1.1"/>
//     </Event>
//     <Effect index="25" event="GameAudio/Audio/UI/Click"/>
//   </GameAudio>
// Events: every event the game asks for, with its category, its length in seconds (the
// length of its sound; it counts where no sound file is read, as on the null output),
// whether it loops, whether it is placed in the world (is3D) and how many instances may play
// at once.
// Sounds: the event's files (WAV, FLAC or Ogg Vorbis, paths from the game's folder); every
// start picks one at random, so several takes of a thud vary. An event without one is silent.
// A 3D event's file is mixed down to one channel, so that it can be placed.
// How it sounds (all optional): volume (0..1, default 1) and pitch (a playback-rate factor,
// 0.1..4, default 1) of the event; stream="true" reads the file while it plays (music, long
// lines) instead of decoding it ahead (short effects). A 3D event plays at full volume up to
// minDistance (default 10) and fades with distance down to what it has at maxDistance
// (default 1000).
// Parameters: a name and a range. To make a parameter audible, give the volume and the pitch
// factors at the two ends of its range (volumeAtMin, volumeAtMax, pitchAtMin, pitchAtMax;
// default 1): in between they move linearly, so a collision's "Velocity" can make a soft
// tap quiet and low and a hard hit loud and bright.
// Effects: the rows of the sound-effect table.
struct AudioProject {
    audio::EventProject events;
    // Indexed by effect; an index the file does not give stays empty.
    std::vector<std::string> effectNames;
    // Elements that could not be used (no name, an effect index out of range, a sound
    // without a file).
    int skipped = 0;
};

// Reads the project through the guarded XML reader, so a file cut short is read as far as
// it goes. FileNotFound when it cannot be opened, FileBad when its root is not <GameAudio>.
audio::Result readAudioProject(irr::io::IFileSystem* fileSystem, const char* path,
                               int effectCount, AudioProject& project);
