#pragma once

#include "clinic/visit.h"

#include <QAbstractTableModel>
#include <QList>

// The visit's results as a table, one row per result, newest last: what the Results window
// lists. Removing a row removes the result from the visit.
class ResultsModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Whether the calibration was made for this screen stands before the numbers, where it is
    // read with them and seen at the window's smallest size; the note saying why follows at the
    // end.
    enum Column {
        Time,
        Target,
        FixingEye,
        SeeingEye,
        CalibratedHere,
        Across,
        Down,
        Glasses,
        CalibrationNote,
        Distance,
        Columns
    };

    explicit ResultsModel(clinic::Visit &visit, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;

    // The visit changed as a whole (a new patient).
    void reload();

private:
    clinic::Visit &m_visit;
};

// The visit's Hess tests as a table, one row per target of each eye's test, in the order
// measured and shown: what the Results window lists under its Hess filter. A test left half
// way says so in every row.
class HessResultsModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        Time,
        Test,
        EyePlotted,
        FixingEye,
        Field,
        Target,
        Point,
        Deviation,
        Across,
        Down,
        CalibrationNote,
        Columns
    };

    explicit HessResultsModel(const clinic::Visit &visit, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The visit changed: its points are read anew.
    void reload();
    const clinic::HessPoint &point(int row) const { return m_points.at(row); }

private:
    const clinic::Visit &m_visit;
    QList<clinic::HessPoint> m_points;
};
