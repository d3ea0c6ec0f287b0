// AudioRoute: the platform's own state of the audio route, shared by the audio session, the players,
// the recorder, the voice-processing unit and the system sounds: the session's category and output
// override, the selected microphone (data source or headset), and where sound goes now. The parts
// themselves are the device's (SimAudio); this is what the system decided about them.
//
// Outputs: a plugged-in headset takes everything (left and right earpieces); otherwise the output
// override to the speaker, a category other than play-and-record, or a device without a receiver
// send sound to the loudspeaker; play-and-record without an override uses the receiver.
// Inputs: the headset microphone while a headset is plugged in; otherwise the built-in microphone's
// selected data source ("Bottom" by default, or "Front").
//
// Thread-safe.
#pragma once

#include <AudioToolbox/AudioPlaying.h>
#include <Device/SimAudio.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AudioFileData;

namespace audio_route {

enum class Override { None, Speaker };
enum class DataSource { Bottom, Front };

void setCategory(const std::string& category, uint64_t options);
std::string category();
uint64_t categoryOptions();
void setMode(const std::string& mode);
std::string mode();
void setOverride(Override value);
Override override_();
bool active();
void setActive(bool active);
DataSource dataSource();
void setDataSource(DataSource source);

// Back to the system's defaults (category "AVAudioSessionCategorySoloAmbient", no override, the
// bottom microphone, inactive), where a process starts; also done when a test ends.
void reset();

// Where sound goes now: one transducer, or the two earpieces (left first).
std::vector<SimAudio::Part> outputs();
// The microphone that records now.
SimAudio::Part input();

// Plays decoded sound on the current outputs from `start` (uptime), `loops` extra times (-1:
// until stopped), at `gain` (already including the output volume where it applies), panned (-1
// left .. 1 right; only the earpieces tell). Answers the emissions (AudioPlaying.h), for stop().
Playing play(const AudioFileData& audio, double start, int loops, float gain, float pan = 0, double offset = 0);
void stop(const Playing& playing, double at);

} // namespace audio_route
