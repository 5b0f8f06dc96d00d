#pragma once

#include "base/expected.h"

#include <QByteArrayView>

// Code the program runs only when the user asks for it: a module (a shared object) beside the
// executable, loaded on first use so that what it links costs nothing at the start.
namespace platform {

// `symbol` of the module `name` in the executable's folder, loaded once and kept for the life of
// the process. A module is code the program runs: it is taken only where it is as much the
// installer's as the executable itself (the same owner, writable by nobody who may not write
// the executable), and it is loaded through the very descriptor that was judged, so that no
// other file can be put at its name in between (no TOCTOU). Fails with a sentence for the user
// naming the module.
base::Expected<void *> moduleSymbol(QByteArrayView name, const char *symbol);

} // namespace platform
