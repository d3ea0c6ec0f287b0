// DXCaptureScanner: plugs the device's camera into the root screen's session join. The camera's
// authorisation comes from the capture framework (the prompt's answer arrives off the main
// thread; the root screen moves it to the main queue), and the scanner is the QR code scanner
// screen of the UI support library: every text it reads goes to the road, and its Cancel button
// takes the operator to the typed form. A process that does not call it has no camera for the
// road, which then takes the typed path.
#pragma once

// Installs the capture framework's authorisation and the QR code scanner as the root screen's
// camera and scanner. Main thread.
void DXUseCaptureScanner();
