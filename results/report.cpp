#include "results/report.h"

#include "clinic/visit.h"

bool paintReport(QPagedPaintDevice &device, const clinic::Visit &visit, QString &error)
{
    Q_UNUSED(device);
    Q_UNUSED(visit);
    error.clear();
    return false;
}

bool saveReportPdf(const QString &path, const clinic::Visit &visit, QString &error)
{
    Q_UNUSED(path);
    Q_UNUSED(visit);
    error.clear();
    return false;
}

bool printReport(QWidget *parent, const clinic::Visit &visit, QString &error)
{
    Q_UNUSED(parent);
    Q_UNUSED(visit);
    error.clear();
    return false;
}
