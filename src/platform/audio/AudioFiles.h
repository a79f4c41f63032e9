#pragma once

#include "platform/audio/AudioTypes.h"
#include "platform/audio/EventSystem.h"

#include <string>
#include <vector>

// Readers of the files the audio layer takes in: the event catalogue and WAV headers.
namespace audio {

struct EventCatalogue {
    std::vector<std::string> categories;
    std::vector<EventDescription> events;
};

// Reads the catalogue's <Category name> and <Event name category length loop is3D
// maxPlaybacks> elements with their <Parameter name min max> children. Other elements are
// left to other readers of the same file. FileNotFound when it cannot be opened, FileBad
// when its root element is not "GameAudio".
Result readEventCatalogue(const char* file, EventCatalogue& catalogue);

// Play length in seconds of a PCM WAV file; 0 when the file is not one.
float wavLengthSeconds(const char* file);

} // namespace audio
