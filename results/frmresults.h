#pragma once

#include "clinic/clock.h"

#include <QDialog>

class HessResultsModel;
class QComboBox;
class QLabel;
class QStackedWidget;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTableWidget;
class ResultsModel;

namespace clinic {
class Visit;
}
namespace hesschart {
class HessChart;
}

// The results of the visit: a table of every result, the latest one per target and fixing eye,
// the picture, the clinician's free text, and the copy, report and new patient. An ordinary
// window of the desktop over the start screen, not full screen.
class FrmResults final : public QDialog
{
    Q_OBJECT
public:
    // `clock` dates the report and its file name.
    FrmResults(clinic::Visit &visit, clinic::Clock clock, QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showVisit();
    void showSummary();
    void selectionChanged();
    void filterChanged();
    void showHessChart();

    void removeResult();
    void copyAll();
    void saveAsPdf();
    void print();
    void newPatient();
    void warn(const QString &title, const QString &error);

    clinic::Visit &m_visit;
    clinic::Clock m_clock;
    ResultsModel *m_model = nullptr;
    QLineEdit *m_identifier = nullptr;
    QPlainTextEdit *m_note = nullptr;
    QLabel *m_empty = nullptr;
    QTableView *m_table = nullptr;
    QTableWidget *m_summary = nullptr;
    QWidget *m_picture = nullptr;
    // Three targets or Hess: each with its table and, beside it, its summary and picture or
    // the Hess charts.
    QComboBox *m_filter = nullptr;
    QStackedWidget *m_tables = nullptr;
    QStackedWidget *m_sides = nullptr;
    HessResultsModel *m_hessModel = nullptr;
    QTableView *m_hessTable = nullptr;
    hesschart::HessChart *m_hessChart = nullptr;
    QPushButton *m_remove = nullptr;
    QPushButton *m_copy = nullptr;
    QPushButton *m_pdf = nullptr;
    QPushButton *m_print = nullptr;
    QPushButton *m_newPatient = nullptr;
    QPushButton *m_close = nullptr;
};

// A new patient, from the Results window or the start screen (`parent`): asks first where the
// visit holds results not copied, saved or printed, keeping them the default, then for the new
// patient's identifier, which may stay empty. Clears the visit and keeps that identifier; false
// where the clinician kept the visit.
bool askNewPatient(QWidget *parent, clinic::Visit &visit);
