#pragma once

#include <QByteArrayView>
#include <QString>

// What must hold for any settings file, however it was edited or damaged, stated as the
// profile layout's rules and checked on the text layer in memory. Shared by the fuzzer and by
// the corpus replay that runs in the test suite.
namespace fuzzing {

// Runs `input` through the rules twice: once as a settings file's bytes, once as the choices
// that build a small file whose every value is known from how it was built. Returns what went
// wrong, or the empty text when every rule held.
QString checkProfile(QByteArrayView input);

} // namespace fuzzing
