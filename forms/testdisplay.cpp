#include "forms/testdisplay.h"

#include "clinic/hess.h"
#include "forms/frmpicture.h"
#include "forms/monitor.h"
#include "forms/navigation.h"

#include <QCoreApplication>
#include <QLabel>

std::optional<Marks> fixingMarks(double filter, bool odFixes, Navigation &program)
{
    enum Ring { Red, Blue, Green };
    struct Choice
    {
        Ring ring;
        qint16 pointer;
    };
    // Per pair of glasses: when OD fixes, when OS fixes.
    static constexpr Choice kChoices[4][2] = {
        {{Red, 102}, {Blue, 101}}, // OD red, OS blue
        {{Red, 103}, {Green, 101}}, // OD red, OS green
        {{Blue, 101}, {Red, 102}}, // OD blue, OS red
        {{Green, 101}, {Red, 103}}, // OD green, OS red
    };
    for (int glasses = 1; glasses <= 4; ++glasses) {
        if (filter != glasses)
            continue;
        const Choice &choice = kChoices[glasses - 1][odFixes ? 0 : 1];
        const frmpicture &holder = program.loadFrmpicture();
        const QLabel *rings[] = {holder.Picture1, holder.Picture2, holder.Picture3};
        return Marks {rings[choice.ring]->pixmap(), choice.pointer};
    }
    return std::nullopt;
}

QString calibrationNote(clinic::NoteCase note)
{
    switch (note) {
    case clinic::NoteCase::None:
        return {};
    case clinic::NoteCase::FarFromReported:
        // Made here, but far from what the monitor says of itself: a mark set wrongly reads
        // wrongly, so the numbers are not to be trusted until checked with a ruler.
        return QCoreApplication::translate("Form1", "calibration far from the monitor's size");
    case clinic::NoteCase::NeverCalibrated:
    case clinic::NoteCase::OtherMonitor:
    case clinic::NoteCase::OtherResolution:
    case clinic::NoteCase::ChangedOutside:
        break;
    }
    return QCoreApplication::translate("Form1", "not calibrated for this screen");
}

QString displayNote(Navigation &program, const clinic::Monitor &monitor, clinic::NoteCase note)
{
    QStringList notes {calibrationNote(note),
        clinic::mirroredNote(monitor,
            clinic::mirroredAtAnotherSize(
                monitor, describeOtherMonitors(program.patientScreen())))};
    notes.removeAll(QString());
    return notes.join(QStringLiteral("; "));
}

void readOpeningValues(
    Navigation &program, const settings::Snapshot &file, settings::Values &values, int &distanceCm)
{
    if (const std::optional<UnsavedSettings> &unsaved = program.unsaved()) {
        values = unsaved->values;
        distanceCm = unsaved->distanceCm;
    } else {
        settings::readAll(file, values);
        distanceCm = clinic::hess::viewingDistance(file).cm;
    }
}
