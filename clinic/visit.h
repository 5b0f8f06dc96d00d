#pragma once

#include "clinic/format.h"
#include "clinic/hess.h"
#include "clinic/measurement.h"
#include "clinic/monitor.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

// The results of one patient's visit: what each opening of the measurement screen showed when
// the clinician left it. Kept in memory only: a patient's results reach the disk only in a
// report the clinician saves.
namespace clinic {

// The start screen's choices as they read in the clinic's record. Out-of-range values (a file
// edited by hand) read "not chosen".
// They are numbers as the file holds them, and a value between two choices is none of them.
QString glassesName(double filter); // 1 to 4: "OD red, OS blue", ...
QString targetName(double target); // 1 to 3: "Center", "Right", "Left"
QString fixingEyeName(double fixEye); // 1: "OD", anything else: "OS", as the screen takes it
// Whether two FixEye values name the same eye, as the screen takes them.
bool sameFixingEye(double a, double b);

// One result, with everything it was measured with.
struct VisitResult
{
    QDateTime measuredAt; // UTC; invalid until the first click of the opening
    double glasses = 0; // the start screen's Filter
    double target = 0; // its Target
    double fixingEye = 0; // its FixEye
    QString seeingEye; // the eye that saw the cross, as the screen named it
    // As the screen showed them; none where the calibration gave nothing to divide by ("--").
    std::optional<Deviation> across;
    std::optional<Deviation> down;
    // The calibration in use, in pixels per 150 mm, and the day it was made on this monitor
    // (invalid where none was).
    double screenH = 0;
    double screenV = 0;
    QDate calibrationDate;
    // "Calibrated 2026-01-15 by alice": when and by whom the calibration in use was made, as its
    // record says (clinic::madeText); empty where no record holds it.
    QString calibratedBy;
    // Why the calibration may not fit this screen, as the measurement screen said it; empty
    // where it was made for it.
    QString calibrationNote;
    Monitor monitor;
    // The screen's size in pixels as the measurement screen took it.
    QSizeF screenSize;
    int viewingDistanceCm = kViewingDistanceCm;

    bool measured() const { return measuredAt.isValid(); }
    // Where the cross stood from the target, in prism dioptres as the screen rounded them, as
    // its bases say: x to the right of it, y below it on the screen; 0 for a direction shown as
    // "--".
    QPointF offsetDioptres() const;
    bool calibratedForScreen() const { return calibrationNote.isEmpty(); }
};

// The one line Ctrl+C on the measurement screen puts on the clipboard for the clinic's record:
// the result with the glasses, fixing eye, calibration, screen, target and viewing distance,
// and the calibration's note where there is one. The time is local, to the minute.
QString copyLine(const VisitResult &result);

// One target of a Hess test as the record lists it: measured, passed by, or why not.
enum class HessState { Measured, Skipped, NotOnScreen, NotMeasured };
struct HessPoint
{
    const hess::Test *test = nullptr;
    std::size_t target = 0; // into hess::kTargets
    HessState state() const;
    // The result where the state is Measured; null otherwise.
    const hess::PointResult *result() const;
};

// "OD", "OS"; "inner", "outer"; "skipped", "not on this screen", "not measured".
QString eyeName(hess::Eye eye);
QString fieldName(hess::Field field);
QString hessStateText(HessState state);
// "OS plotted, OD fixing": the eye that saw the cross and the one that held the ring.
QString hessEyesText(const hess::Test &test);
// A Hess point as one line of the copy, with everything it was measured with, and the mark of
// a test left half way.
QString hessCopyLine(const HessPoint &point);

// The visit: results in the order they were measured, newest last, and the clinician's free
// text for the copy and the report.
class Visit
{
public:
    const QList<VisitResult> &results() const { return m_results; }
    // Neither a three-target result nor a Hess test.
    bool isEmpty() const { return m_results.isEmpty() && m_hessRuns.isEmpty(); }
    // A result that was never measured (no click) is not added.
    void add(const VisitResult &result);
    void remove(qsizetype index);
    // The Hess tests, one list per opening of the Hess window (an eye each, in the order
    // tested), oldest first; every test as the window left it, complete or not.
    const QList<QList<hess::Test>> &hessRuns() const { return m_hessRuns; }
    QList<hess::Test> hessTests() const;
    // An opening's tests join the visit as a result does; an empty list adds nothing.
    void addHessRun(const QList<hess::Test> &tests);
    // Every target of every Hess test, in the order measured and shown; the pointers hold
    // until the visit changes.
    QList<HessPoint> hessPoints() const;

    // A new patient: results and free text go.
    void clear();

    // Whether the visit holds results that were not copied ("Copy all"), saved as PDF or
    // printed since they last changed: a result added or removed, or the identifier or the note
    // edited while there are results, since a copy or report made before lacks what was typed
    // and could not be told apart from another patient's. Free text alone is not asked about.
    bool hasUnsavedResults() const;
    // The visit as it stands has been copied, saved as PDF or printed. Ctrl+C on the
    // measurement screen copies one result only and does not count.
    void markSaved();

    // The latest result at `target` (1 to 3) with `fixingEye` (1 OD, 2 OS) fixing; none where
    // there is none.
    const VisitResult *latest(double target, double fixingEye) const;

    // The patient identifier and the note, as the clinician typed them.
    QString identifier;
    QString note;

    // The whole visit as the copy gives it: one copy line per result, and as tab-separated
    // values with a header row, one column per field, for a spreadsheet; a lower bound's size
    // cell carries its mark, "≥23.3". The Hess points follow the three-target results: as
    // lines of their own, and as a second table after an empty row.
    QString plainText() const;
    QString tabSeparated() const;

private:
    QStringList hessTable() const;

    QList<VisitResult> m_results;
    QList<QList<hess::Test>> m_hessRuns;
    bool m_resultsChanged = false;
    // The free text as the last copy, save or print took it.
    QString m_savedIdentifier;
    QString m_savedNote;
};

// The name a report is offered under when saved: the program's, the patient identifier made
// safe for any file system the report may go to (a USB stick, a network share), and the local
// date and time to the second, so that two patients of one day never share a name. Without an
// identifier the name holds no patient data.
QString reportFileName(const QString &identifier, const QDateTime &localTime);

} // namespace clinic
