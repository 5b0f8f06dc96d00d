#pragma once

#include <QDialog>

class Navigation;

namespace clinic {
class Visit;
}

// The results of the visit: a table of every result, the latest one per target and fixing eye,
// the picture, the clinician's free text, and the copy, report and clear. An ordinary window of
// the desktop over the start screen, not full screen.
class FrmResults final : public QDialog
{
    Q_OBJECT
public:
    FrmResults(clinic::Visit &visit, QWidget *parent = nullptr);

private:
    clinic::Visit &m_visit;
};
