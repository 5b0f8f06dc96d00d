// The module kelvane-print.so: the report's printing, the program's only use of Qt Print
// Support, loaded when the user first prints (see results/printing.h). Measured: linked into the
// program, the library cost every start its loading and 865 symbol bindings.
#include "results/printing.h"

#include <QCoreApplication>
#include <QPrintDialog>
#include <QPrinter>

namespace {

base::Expected<void> printOn(QPrinter &printer, const printing::Job &job)
{
    // The printer opens its file by name, following any link and giving it the umask's mode:
    // it is given the name of a private file made for it instead.
    const QString path = printer.outputFileName();
    if (!path.isEmpty()) {
        const base::Expected<QString> file = job.openFile(path);
        if (!file)
            return base::unexpected(file.error());
        printer.setOutputFileName(*file);
    }
    if (base::Expected<void> painted = job.paint(printer); !painted)
        return painted;
    if (printer.printerState() == QPrinter::Error)
        return base::unexpected(
            QCoreApplication::translate("Report", "The printer %1 did not take the report.")
                .arg(printer.printerName()));
    return path.isEmpty() ? base::Expected<void>() : job.commitFile();
}

base::Expected<Printing> withDialog(QWidget *parent, const printing::Job &job)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(job.pageSize);
    printer.setPageMargins(job.marginsMm, QPageLayout::Millimeter);
    printer.setDocName(job.documentName);
    printer.setCreator(job.creator);
    QPrintDialog dialog(&printer, parent);
    // One page, always: there is no range to choose.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted)
        return Printing::Cancelled;
    if (base::Expected<void> printed = printOn(printer, job); !printed)
        return base::unexpected(printed.error());
    return Printing::Printed;
}

constexpr printing::Functions kFunctions {printing::kInterface, withDialog, printOn};

} // namespace

extern "C" Q_DECL_EXPORT const printing::Functions *kelvane_print_functions()
{
    return &kFunctions;
}
