#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// The private-profile text layout ("[Section]" headers, "key=value" lines) on a file's bytes in
// memory: finding, reading and editing one value. No I/O: settings/profile.h reads and writes
// the file around these.
namespace profile {

// One value to store: `value` under `key` in `section`.
struct Entry
{
    QByteArray section;
    QByteArray key;
    QByteArray value;
};

// The value of `key` in `section` of a file holding `content`, as the Windows profile functions
// read it (names in any letter case, blanks and one pair of matching quotes around the value
// dropped); empty when the section or the key is missing or the key's line holds no '='.
std::optional<QByteArray> valueIn(
    QByteArrayView content, QByteArrayView section, QByteArrayView key);

// The value of `key` in `section` of `content` (or `defaultValue` when it is missing), copied
// into `buffer`: at most size - 1 bytes, then a NUL. Returns the number of bytes copied.
qsizetype getProfileString(QByteArrayView content, QByteArrayView section, QByteArrayView key,
    QByteArrayView defaultValue, char *buffer, qsizetype size);

// Whether `value` can be stored under `key` in `section` without breaking the layout or
// planting lines of its own (no line break or NUL, no ']' in a section, no '=' in a key...).
bool isStorable(QByteArrayView section, QByteArrayView key, QByteArrayView value);

// The names of the sections of a file holding `content`, in the order they first stand, each
// once (letter case ignored): the name as the header spells it, blanks around it dropped.
QList<QByteArray> sectionNames(QByteArrayView content);

// The content with every entry stored, in order: each one replaces the value of its key in its
// line, or adds the key to its section, or the section to the end; every other byte stays as it
// was. Empty, when an entry cannot be stored.
std::optional<QByteArray> withValues(QByteArrayView content, const QList<Entry> &entries);

} // namespace profile
