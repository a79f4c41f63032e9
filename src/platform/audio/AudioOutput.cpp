#include "platform/audio/AudioOutput.h"

#ifdef PADDLESTONE_HAVE_OPENAL
#include "platform/audio/OpenALOutput.h"
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace audio {

bool isStreamed(std::int64_t frames, int rate, bool stream) {
    return stream || (rate > 0 && static_cast<float>(frames) / static_cast<float>(rate) > longestPreloadSeconds);
}

std::uint64_t keptSoundBytes(std::int64_t frames, int rate, int channels, bool stream) {
    if (frames <= 0 || rate <= 0 || channels <= 0)
        return 0;
    const auto frameBytes = static_cast<std::uint64_t>(channels) * sizeof(std::int16_t);
    if (isStreamed(frames, rate, stream))
        return std::min<std::uint64_t>(static_cast<std::uint64_t>(frames), streamBuffers * streamBufferFrames) * frameBytes;
    return static_cast<std::uint64_t>(frames) * frameBytes;
}

NullOutput::NullOutput(std::string why) : text("null (" + std::move(why) + ")") {}

std::unique_ptr<Output> createOutput(OutputChoice choice, SpeakerMode mode) {
    if (choice == OutputChoice::FromEnvironment) {
        const char* named = std::getenv("PADDLESTONE_AUDIO_OUTPUT");
        if (named && std::strcmp(named, "null") == 0)
            return std::make_unique<NullOutput>("PADDLESTONE_AUDIO_OUTPUT=null");
        choice = named && std::strcmp(named, "openal") == 0 ? OutputChoice::OpenAL : OutputChoice::Automatic;
    }
    if (choice == OutputChoice::Null)
        return std::make_unique<NullOutput>("chosen by the game");
#ifdef PADDLESTONE_HAVE_OPENAL
    std::string problem;
    if (std::unique_ptr<Output> output = openOpenALOutput(mode, problem))
        return output;
    return std::make_unique<NullOutput>("no audio device could be opened: " + problem);
#else
    (void)mode;
    return std::make_unique<NullOutput>("this build plays no sound");
#endif
}

} // namespace audio
