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

HessResultsModel::HessResultsModel(const clinic::Visit &visit, QObject *parent)
    : QAbstractTableModel(parent)
    , m_visit(visit)
    , m_points(visit.hessPoints())
{
}

int HessResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_points.size());
}

int HessResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant HessResultsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const clinic::HessPoint &point = m_points.at(index.row());
    const clinic::hess::Test &test = *point.test;
    // A test left half way and a calibration not made for this screen stand out in bold.
    if (role == Qt::FontRole
        && ((index.column() == Test && !test.complete)
            || (index.column() == CalibrationNote && !test.calibrationNote.isEmpty()))) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role != Qt::DisplayRole)
        return {};
    const clinic::hess::Target &target = clinic::hess::kTargets[point.target];
    const clinic::hess::PointResult *result = point.result();
    const auto pair = [](clinic::hess::Angles angles) {
        return clinic::degreesText(angles.alpha) + QStringLiteral("  ")
            + clinic::degreesText(angles.beta);
    };
    const clinic::hess::PointDioptres dioptres = result
        ? clinic::hess::pointDioptres(*result, test.screenH, test.screenV)
        : clinic::hess::PointDioptres {};
    switch (Column(index.column())) {
    case Time:
        return clinic::timeText(test.measuredAt);
    case Test:
        return test.complete ? tr("complete") : tr("incomplete");
    case EyePlotted:
        return clinic::eyeName(test.plotted);
    case FixingEye:
        return clinic::eyeName(test.fixing);
    case Field:
        return clinic::fieldName(target.field);
    case Target:
        return pair(target.gaze);
    case Point:
        return result ? pair(result->measured) : clinic::hessStateText(point.state());
    case Deviation:
        return result ? pair(result->deviation) : QString();
    case Across:
        return result ? clinic::shownText(dioptres.across) : QString();
    case Down:
        return result ? clinic::shownText(dioptres.down) : QString();
    case CalibrationNote:
        return test.calibrationNote;
    case Columns:
        break;
    }
    return {};
}

QVariant HessResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (Column(section)) {
    case Time:
        return tr("Time");
    case Test:
        return tr("Test");
    case EyePlotted:
        return tr("Eye\nplotted");
    case FixingEye:
        return tr("Fixing\neye");
    case Field:
        return tr("Field");
    case Target:
        return tr("Target\nα  β");
    case Point:
        return tr("Measured\nα  β");
    case Deviation:
        return tr("Deviation\nα  β");
    case Across:
        return tr("Horizontal");
    case Down:
        return tr("Vertical");
    case CalibrationNote:
        return tr("Calibration note");
    case Columns:
        break;
    }
    return {};
}

void HessResultsModel::reload()
{
    beginResetModel();
    m_points = m_visit.hessPoints();
    endResetModel();
}
