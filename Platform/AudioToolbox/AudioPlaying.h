// What the audio route answers for a sound it plays (audio_route::play in AudioRoute.h), for the
// players that keep it to stop the sound again. Apart from AudioRoute.h, which includes the device,
// so that a player's public header need not.
#pragma once

#include <cstdint>
#include <vector>

namespace audio_route {

struct Playing {
    std::vector<uint64_t> emissions;
};

} // namespace audio_route
