#pragma once

#include "settings/profiletext.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cerrno>

// The private-profile file functions: the layout of settings/profiletext.h read from and written
// to a file. Paths are the system's own bytes, so a folder whose name is in no known encoding
// works like any other.
namespace profile {

// The largest file taken for a settings file. The program writes a few hundred bytes, a file of
// many monitors' records a few kilobytes; anything larger is no settings file, and reading it
// whole could take all the memory there is. Such a file is neither read nor replaced, and no
// save writes one: a file the next start would refuse would cost every value in it.
inline constexpr qint64 kMaximumSize = qint64(1) << 20;

// Why what stands at the settings file's name is refused, given as the error number of a read
// or a save beside the system's own (a folder there gives EISDIR). See settings::refusalText.
inline constexpr int kRefusedLink = ELOOP; // a symbolic link: never followed
inline constexpr int kRefusedHardLink = EMLINK; // a file with another name elsewhere
inline constexpr int kRefusedNotPlain = ENODEV; // a pipe, a device, a socket
inline constexpr int kRefusedTooLarge
    = EOVERFLOW; // larger than kMaximumSize (EFBIG is a full disk)
inline constexpr int kRefusedWouldBeTooLarge = E2BIG; // a save that would make it so

// Copies the value of `key` in `section` of the file at `path` into `buffer` (at most size - 1
// bytes, then a NUL) and returns the number of bytes copied. A missing file, section or key
// copies `defaultValue` instead. Names match in any letter case.
qsizetype getPrivateProfileString(QByteArrayView section, QByteArrayView key,
    QByteArrayView defaultValue, char *buffer, qsizetype size, const QByteArray &path);

// The whole content of the file at `path`, for a reader of many values at once; empty when the
// file is missing, cannot be read or is refused, as for the reads above. `error`, when given,
// gets 0 for a file that was read, or the error number of why not (ENOENT for none).
QByteArray getPrivateProfileContent(const QByteArray &path, int *error = nullptr);

// Stores every entry, in order, in one replacement of the file whose bytes are exactly those
// that storing them one after another would leave, flushed to disk once. Creates keys,
// sections and the file as needed. Returns false, leaving the file whole and unchanged, when
// the write cannot be done (kRefusedWouldBeTooLarge for a file that would grow beyond
// kMaximumSize), and then puts the system's error number in `error` when given.
bool writePrivateProfileStrings(
    const QList<Entry> &entries, const QByteArray &path, int *error = nullptr);

// The same for one value.
bool writePrivateProfileString(
    QByteArrayView section, QByteArrayView key, QByteArrayView value, const QByteArray &path);

// Removes what interrupted saves left beside the file at `path`: the temporary files of this
// program's own naming pattern ("Kelvane.ini.saving.XXXXXX"), and nothing else. For the start of
// a program that holds the instance lock, when no save can be under way. Returns how many it
// removed.
int removeStaleTemporaries(const QByteArray &path);

} // namespace profile
