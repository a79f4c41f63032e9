#pragma once

#include <string>

// Stand-in for the character animation profile of the characters subsystem, which completes
// it (its animations, sounds, loading and finishing). The level manager's profile cache
// holds profiles of this type and hands out pointers that stay valid while the cache lives.
struct CharacterProfile {
    CharacterProfile() = default;
    CharacterProfile(const CharacterProfile&) = delete;
    CharacterProfile& operator=(const CharacterProfile&) = delete;

    // The file the profile was read from; empty for the cache's default profile.
    std::string fileName;
};
