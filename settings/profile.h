#pragma once

#include <QByteArray>
#include <QString>

// A private-profile reader and writer: the "[Section]" / "key=value" text layout that people
// also edit by hand. It reads a file as the Windows profile functions read it, and it writes
// one value while keeping every other byte of the file as it was.
namespace profile {

// Copies the value of `key` in `section` of `fileName` into `buffer` (at most size - 1 bytes,
// then a NUL) and returns the number of bytes copied. A missing file, section or key copies
// `defaultValue` instead. Names match in any letter case.
qsizetype getPrivateProfileString(const QByteArray &section, const QByteArray &key,
    const QByteArray &defaultValue, char *buffer, qsizetype size, const QByteArray &path);

// Stores `value` under `key` in `section` of `fileName`, creating key, section and file as
// needed. Returns false, leaving the file whole and unchanged, when the write cannot be done.
bool writePrivateProfileString(const QByteArray &section, const QByteArray &key,
    const QByteArray &value, const QByteArray &path);

} // namespace profile
