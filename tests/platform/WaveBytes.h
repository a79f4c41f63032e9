#pragma once

#include <string>

// A 16-bit PCM wave file's bytes: its header and `frames` silent frames.
std::string waveBytes(int rate, int channels, int frames);
