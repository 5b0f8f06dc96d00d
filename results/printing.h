#pragma once

#include "base/expected.h"

#include <QMarginsF>
#include <QPageSize>
#include <QString>

#include <functional>

class QPagedPaintDevice;
class QPrinter;
class QWidget;

// How a print ended: a dialog the user cancelled is neither a failure nor a printed report.
enum class Printing { Printed, Cancelled };

// What the report asks of Qt Print Support. Built apart as the module kelvane-print.so and
// loaded when the user first prints (platform::moduleSymbol), so that the library and what it
// brings are not linked into every start; the report itself is drawn by the program, handed
// over as `paint`.
namespace printing {

inline constexpr char kModuleName[] = "kelvane-print.so";
// The module's one symbol: a function that returns its Functions.
inline constexpr char kEntryName[] = "kelvane_print_functions";
// Raised with every change of Job or Functions: a module of another build is refused.
inline constexpr int kInterface = 1;

struct Job
{
    QString documentName;
    QString creator;
    QPageSize pageSize;
    QMarginsF marginsMm;
    // Draws the report on the printer's page.
    std::function<base::Expected<void>(QPagedPaintDevice &)> paint;
    // Where the printer prints to a file at `path`: makes that file (see platform::PrivateFile)
    // and gives the name the printer is to write instead; then puts it in place.
    std::function<base::Expected<QString>(const QString &path)> openFile;
    std::function<base::Expected<void>()> commitFile;
};

struct Functions
{
    int interface;
    // Asks with the print dialog over `parent`, then prints.
    base::Expected<Printing> (*withDialog)(QWidget *parent, const Job &job);
    // Prints on a printer set up already.
    base::Expected<void> (*on)(QPrinter &printer, const Job &job);
};

using Entry = const Functions *(*)();

} // namespace printing
