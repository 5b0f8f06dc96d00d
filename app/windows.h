#pragma once

class frmpicture;
class QWidget;

// Window switching. One working window is open at a time: a window that hands over shows the
// next one first and then closes itself. Showing a window creates its controls afresh from
// its design and runs its loading; the values a window holds outlive its controls.
namespace windows {

void showFrmstart();
void showForm1();
void showFrmCali();
// Closes the calibration screen; nothing happens when it is not open.
void unloadFrmCali();

// The hidden picture holder: loaded on first use, closed when the measurement screen goes.
frmpicture &loadFrmpicture();
void unloadFrmpicture();
bool frmpictureLoaded();

// The working window now open, or none. For tests and for start-up.
QWidget *current();

// Forgets what every window held, as at the program's start. For tests only.
void resetValues();

} // namespace windows
