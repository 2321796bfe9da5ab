// The engine asks its host whether Escape is down while it runs a long wildcard
// search. On X11 the probe reads the keyboard state from the X server; on other
// platforms nothing is installed and such searches run to their end.
#pragma once

// Installs the probe when the program runs on X11; answers whether it did.
bool InstallEscapeProbe();
// Removes the probe and closes its connection to the X server.
void RemoveEscapeProbe();
