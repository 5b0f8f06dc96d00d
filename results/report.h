#pragma once

#include "base/expected.h"
#include "results/printing.h"

#include <QString>

class QDateTime;
class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace clinic {
class Visit;
}

// The visit's report: one page for the patient's record, on the paper size of the user's locale
// (Letter where the locale measures in US units, A4 elsewhere). Each function fails with a
// sentence or two for the user, naming what is at fault.

// Draws the report on `device`, whose page size and resolution the caller has set, as made at
// `madeAt`.
base::Expected<void> paintReport(
    QPagedPaintDevice &device, const clinic::Visit &visit, const QDateTime &madeAt);

// Writes the report as a PDF file at `path`, readable by its owner only, whole or not at all
// (see platform::PrivateFile: a link or a file of another user's there is refused); nothing is
// left behind where it fails.
base::Expected<void> saveReportPdf(
    const QString &path, const clinic::Visit &visit, const QDateTime &madeAt);

// Prints the report on `printer`, set up already (by the print dialog). Where it prints to a
// file, that file is made as saveReportPdf() makes it.
base::Expected<void> printReportOn(
    QPrinter &printer, const clinic::Visit &visit, const QDateTime &madeAt);

// Asks with the system's print dialog over `parent` and prints the report.
base::Expected<Printing> printReport(
    QWidget *parent, const clinic::Visit &visit, const QDateTime &madeAt);
