// Audio format identifiers, with the platform's values.
#pragma once

#include <cstdint>

using AudioFormatID = uint32_t;
inline constexpr AudioFormatID kAudioFormatLinearPCM = 0x6c70636d; // 'lpcm'
inline constexpr AudioFormatID kAudioFormatMPEG4AAC = 0x61616320;  // 'aac '
