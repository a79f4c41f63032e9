#pragma once

#include "platform/audio/AudioOutput.h"

#include <memory>
#include <string>

namespace audio {

// Sound through OpenAL Soft (the device its configuration names, else the system's default
// one); files are decoded by libsndfile (WAV, FLAC, Ogg Vorbis). Null, with the reason in
// `problem`, when no device opens.
//
// One audio thread does all the work the main thread must not wait for: it opens and decodes
// files, refills the streamed voices' queues every few milliseconds, applies the committed
// voice changes in one batch, and frees the voices that have ended.
std::unique_ptr<Output> openOpenALOutput(SpeakerMode mode, std::string& problem);

} // namespace audio
