#pragma once

#include <QString>

class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace clinic {
class Visit;
}

// The visit's report: one page for the patient's record, on the paper size of the user's locale
// (Letter where the locale measures in US units, A4 elsewhere).

// Draws the report on `device`, whose page size and resolution the caller has set. False, with
// `error` set for the user, where the device cannot be painted on.
bool paintReport(QPagedPaintDevice &device, const clinic::Visit &visit, QString &error);

// Writes the report as a PDF file at `path`, readable by its owner only, whole or not at all
// (see platform::PrivateFile: a link or a file of another user's there is refused). False, with
// `error` set for the user and naming what is at fault, where the file cannot be written;
// nothing is left behind then.
bool saveReportPdf(const QString &path, const clinic::Visit &visit, QString &error);

// Prints the report on `printer`, set up already (by the print dialog). Where it prints to a
// file, that file is made as saveReportPdf() makes it. False, with `error` set for the user,
// where printing failed.
bool printReportOn(QPrinter &printer, const clinic::Visit &visit, QString &error);

// How a print ended: a dialog the user cancelled is neither a failure nor a printed report.
enum class Printing { Printed, Cancelled, Failed };

// Asks with the system's print dialog over `parent` and prints the report. Failed, with `error`
// set for the user, where printing failed.
Printing printReport(QWidget *parent, const clinic::Visit &visit, QString &error);
