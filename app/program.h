#pragma once

#include "calibrate/frmcali.h"
#include "clinic/clock.h"
#include "clinic/visit.h"
#include "forms/navigation.h"
#include "hess/hesswindow.h"
#include "measure/form1.h"
#include "platform/platform.h"
#include "results/frmresults.h"
#include "start/frmstart.h"

#include <QPointer>
#include <QScreen>

#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

// The running program: the values each window holds from one opening to the next, the window
// now open, and the instance guard. The real program makes one in main(); a test makes a fresh
// one for each test function, which is the program's start all over again.
class Program final : public Navigation
{
public:
    // `programFolder` is the folder of the settings file and the folder lock; empty: the
    // installed one (installedSettingsFolder()), found anew for every read and write.
    // `guardFolder` is where the instance guard lives. `clock` tells every window the date and
    // time: the system's in main(), one a test sets in a test.
    explicit Program(QByteArray programFolder = {},
        QByteArray guardFolder = platform::runtimeFolder(),
        clinic::Clock clock = clinic::systemTime);
    ~Program() override;
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    bool ended() const { return m_ended; }
    // Who holds the instance guard, as the last instance check found it.
    platform::InstanceGuard::Holder instanceHolder() const { return m_holder; }
    // The user who runs the program from this folder, and since when, as the kernel tells it.
    QString inUseBy() const { return m_guard.folderHolder(); }
    // What the user is told when this instance may not run (instanceHolder() OtherUser or
    // Refused).
    QString turnedAway() const;
    // For the running instance, every little while: puts the program folder's lock back where a
    // user removed or replaced it. When someone else has started the program from the folder
    // meanwhile, this instance goes on with its windows and its visit but saves nothing more
    // until it is started again (savingStopped()), and the start screen says so. False from
    // then on.
    bool keepInstanceGuard();
    // The working window now open, or none.
    QWidget *current() const { return m_current; }
    bool frmpictureLoaded() const { return !m_frmpicture.isNull(); }

    void showFrmstart() override;
    void showForm1() override;
    void showFrmCali() override;
    void showHess(clinic::hess::Field widest) override;
    void unloadFrmCali() override;
    frmpicture &loadFrmpicture() override;
    void unloadFrmpicture() override;
    bool anotherInstanceRunning() override;
    void endProgram() override;
    QByteArray programFolder() const override;
    QDateTime now() const override { return m_clock(); }
    QString savingStopped() override;
    std::optional<UnsavedSettings> &unsaved() override { return m_unsaved; }
    // The build's settings folder (KELVANE_SETTINGS_DIR) when it has one, else the running
    // executable's folder; empty when neither can be found.
    static QByteArray installedSettingsFolder();
    QScreen *patientScreen() const override;
    clinic::Visit &visit() override { return m_visit; }
    void showResults() override;
    void newPatient() override;
    void keepHessTests(const QList<clinic::hess::Test> &tests) override;
    // The visit's Hess tests, each eye's as its window left it, oldest first.
    QList<clinic::hess::Test> hessTests() const { return m_visit.hessTests(); }

private:
    template<typename Window, typename Values> Window *load(Values &values);
    // Returns the start screen, or null where it is not the window open.
    QWidget *takePatientScreenFromStart();
    void showFullScreen(QWidget *window, QWidget *start);
    void followMonitors(frmstart *window);
    void leaveOnScreenChange(QWidget *window, std::function<void()> wayBack);

    QByteArray m_programFolder;
    clinic::Clock m_clock;
    platform::InstanceGuard m_guard;
    platform::InstanceGuard::Holder m_holder = platform::InstanceGuard::Holder::Nobody;
    bool m_ended = false;
    // Why this instance no longer saves; empty while it holds the folder's lock.
    QString m_savingStopped;
    std::optional<UnsavedSettings> m_unsaved;

    frmstartValues m_frmstartValues;
    Form1Values m_form1Values;
    FrmCaliValues m_frmCaliValues;
    HessValues m_hessValues;
    // The patient's results live as long as the program and are never written to disk: only a
    // report the clinician saves takes them there.
    clinic::Visit m_visit;

    platform::MonitorWatch m_monitors;
    // The monitor the start screen stood on when it last handed over; null until then, and
    // when that monitor has gone.
    QPointer<QScreen> m_patientScreen;
    QPointer<QWidget> m_current;
    QPointer<FrmCali> m_frmCali;
    QPointer<frmpicture> m_frmpicture;
    QPointer<FrmResults> m_frmResults;
};

// A message for the user who is turned away or must stop. Shown as plain text: the names in it
// come from the system and from file names, which may hold anything.
std::unique_ptr<QMessageBox> noticeBox(const QString &text, QWidget *parent = nullptr);
