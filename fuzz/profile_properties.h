#pragma once

#include <QByteArrayView>
#include <QString>

// What must hold for any settings file, however it was edited or damaged, stated as the
// profile layout's rules and checked on the text layer in memory. Shared by the fuzzer and by
// the corpus replay that runs in the test suite.
namespace fuzzing {

// The rules fall into families: reading a file, writing its own first or last bytes into it,
// saving five numbers, and a small file built from the input as choices, whose every value is
// known from how it was built. The fuzzer checks one family per input, so that each execution
// stays short; the corpus replay checks every family on every file.
inline constexpr int kRuleFamilies = 5;

// Runs `input` through one family of rules. Returns what went wrong, or the empty text when
// every rule held.
QString checkProfile(QByteArrayView input, int family);

// The same for every family.
QString checkProfile(QByteArrayView input);

} // namespace fuzzing
