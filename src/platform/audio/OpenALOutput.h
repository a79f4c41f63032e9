#pragma once

#include "platform/audio/AudioOutput.h"

#include <cstdint>
#include <functional>
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

// The same on OpenAL Soft's loopback device: nothing is mixed until `render` asks for that
// many stereo 16-bit frames at the rate, whenever its caller likes (a device that is held up
// and then catches up at once). `render` serves while the output lives. Null, with the reason,
// when OpenAL Soft has no loopback device.
std::unique_ptr<Output> openOpenALLoopbackOutput(int rate, std::function<void(std::int16_t*, int)>& render,
                                                 std::string& problem);

} // namespace audio
