#pragma once

// The audio files the layer reads itself.
namespace audio {

// Play length in seconds of a PCM WAV file; 0 when the file is not one.
float wavLengthSeconds(const char* file);

} // namespace audio
