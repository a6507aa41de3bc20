#pragma once
// The dialogs the platform layers show on the system's behalf: the audio format
// chooser behind acmFormatChooseW and a compressor's configuration and About boxes
// behind ICConfigure and ICAbout. Without them the format choice is cancelled and
// no compressor offers a dialog.
//
// Installs them; the application calls this once at start-up, after the Qt
// application object exists. Installing again changes nothing.
void InstallPlatformDialogs();
