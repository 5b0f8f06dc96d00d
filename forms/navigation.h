#pragma once

#include "clinic/hess.h"
#include "settings/ini.h"

#include <QList>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

class QScreen;
class frmpicture;

namespace clinic {
class Visit;
}

// The start screen's values that the settings file does not hold, since their save failed, and
// why, in the system's words.
struct UnsavedSettings
{
    settings::Values values;
    QString why;
    int distanceCm = clinic::hess::kDistanceDefaultCm;
};

// What a window asks of the program around it. One working window is open at a time: a window
// that hands over shows the next one first and then closes itself. Showing a window creates its
// controls afresh from its design and runs its loading; the values a window holds outlive its
// controls. The program object implements this; the windows know nothing above it.
class Navigation
{
public:
    virtual ~Navigation() = default;

    virtual void showFrmstart() = 0;
    virtual void showForm1() = 0;
    virtual void showFrmCali() = 0;
    // The Hess test over the patient's monitor, to the widest field chosen; from the start
    // screen alone.
    virtual void showHess(clinic::hess::Field widest) = 0;
    // Closes the calibration screen; nothing happens when it is not open.
    virtual void unloadFrmCali() = 0;

    // The hidden picture holder: loaded on first use, closed when the measurement screen goes.
    virtual frmpicture &loadFrmpicture() = 0;
    virtual void unloadFrmpicture() = 0;

    // Every window's loading asks this first: only one instance may run.
    virtual bool anotherInstanceRunning() = 0;
    // Ends the program at once; a loading that calls it returns right after.
    virtual void endProgram() = 0;

    // The monitor the patient looks at: the measurement and calibration screens cover it, and
    // every size and calibration on them is that monitor's.
    virtual QScreen *patientScreen() const = 0;

    // The folder whose "Kelvane.ini" holds the settings.
    virtual QByteArray programFolder() const = 0;

    // The date and time now, from the program's clock: every window takes them from here.
    virtual QDateTime now() const = 0;

    // Why this instance no longer saves the settings or the calibration (someone else has
    // started the program from the folder since its lock was taken from this one), for the
    // user; empty while it may save. Looked at anew by each call, right before a save.
    virtual QString savingStopped() = 0;
    // What the start screen could not save: the measurement and calibration screens go on with
    // these values instead of the file's, and the start screen shows the options again, so that
    // a failed save never stops a measurement nor changes what it is measured with. Empty once
    // a save has stored them.
    virtual std::optional<UnsavedSettings> &unsaved() = 0;

    // The results of this visit, kept in memory while the program runs: each opening of the
    // measurement screen that measured adds its last result when it is left.
    virtual clinic::Visit &visit() = 0;
    // Opens the visit's results over the start screen; nothing happens from any other window.
    virtual void showResults() = 0;
    // Each eye's Hess test as the window leaves it, complete or not: they join the visit as
    // one opening's results.
    virtual void keepHessTests(const QList<clinic::hess::Test> &tests) = 0;
    // Starts a new patient from the start screen, as "New patient" in the results does.
    virtual void newPatient() = 0;
};
