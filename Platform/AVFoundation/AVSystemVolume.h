// The system side of the audio hardware that the platform announces to applications: the system
// volume notification ("AVSystemController_SystemVolumeDidChangeNotification", on the main thread)
// for every change of the output volume, and the headset's play/pause key as a remote-control
// event of the application (while it receives them). Started once, by the first use of the
// platform's audio system; idempotent.
#pragma once

namespace avsystem_detail {

void startSystemVolumeNotifications();

} // namespace avsystem_detail
