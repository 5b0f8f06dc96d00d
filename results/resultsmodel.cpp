#include "results/resultsmodel.h"

#include "clinic/format.h"
#include "clinic/visit.h"

#include <QFont>

ResultsModel::ResultsModel(clinic::Visit &visit, QObject *parent)
    : QAbstractTableModel(parent)
    , m_visit(visit)
{
}

int ResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_visit.results().size());
}

int ResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant ResultsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const clinic::VisitResult &r = m_visit.results().at(index.row());
    // A calibration not made for this screen is flagged in bold, with its note on the flag.
    if (index.column() == CalibratedHere && !r.calibratedForScreen()) {
        if (role == Qt::FontRole) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        if (role == Qt::ToolTipRole)
            return r.calibrationNote;
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (Column(index.column())) {
    case Time:
        return clinic::timeText(r.measuredAt);
    case Target:
        return clinic::targetName(r.target);
    case FixingEye:
        return clinic::fixingEyeName(r.fixingEye);
    case SeeingEye:
        return r.seeingEye;
    case CalibratedHere:
        return r.calibratedForScreen() ? tr("yes") : tr("no");
    case Across:
        return clinic::shownText(r.across);
    case Down:
        return clinic::shownText(r.down);
    case Glasses:
        return clinic::glassesName(r.glasses);
    case CalibrationNote:
        return r.calibrationNote;
    case Distance:
        return tr("%1 cm").arg(r.viewingDistanceCm);
    case Columns:
        break;
    }
    return {};
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    // On two lines where the cells are short, so that the numbers fit beside the calibration's
    // flag at the window's smallest size.
    switch (Column(section)) {
    case Time:
        return tr("Time");
    case Target:
        return tr("Target");
    case FixingEye:
        return tr("Fixing\neye");
    case SeeingEye:
        return tr("Cross\nseen by");
    case CalibratedHere:
        return tr("Calibrated\nhere");
    case Across:
        return tr("Horizontal");
    case Down:
        return tr("Vertical");
    case Glasses:
        return tr("Glasses");
    case CalibrationNote:
        return tr("Calibration note");
    case Distance:
        return tr("Viewing\ndistance");
    case Columns:
        break;
    }
    return {};
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

bool ResultsModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || count <= 0 || row < 0 || row + count > rowCount())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    for (int i = 0; i < count; ++i)
        m_visit.remove(row);
    endRemoveRows();
    return true;
}

void ResultsModel::reload()
{
    beginResetModel();
    endResetModel();
}
