#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

#include <optional>

// The private-profile text layout ("[Section]" headers, "key=value" lines) on a file's bytes in
// memory: finding, reading and editing one value. No I/O: settings/profile.h reads and writes
// the file around these.
namespace profile {

// One value to store: `value` under `key` in `section`. An entry without a key and without a
// value removes the section instead: every section of its name, header and lines, so that no
// later one of the name comes to be read in its place.
struct Entry
{
    QByteArray section;
    QByteArray key;
    QByteArray value;

    static Entry removal(const QByteArray &section) { return {section, {}, {}}; }
    bool removes() const { return key.isEmpty() && value.isEmpty(); }
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

// Whether `value` can be stored under `key` in `section` (or, with neither, the section
// removed) without breaking the layout or planting lines of its own (no line break or NUL, no
// ']' in a section, no '=' in a key...).
bool isStorable(QByteArrayView section, QByteArrayView key, QByteArrayView value);

// The names of the sections of a file holding `content`, in the order they first stand, each
// once (letter case ignored): the name as the header spells it, blanks around it dropped.
QList<QByteArray> sectionNames(QByteArrayView content);

// The content with every entry stored, in order: each one replaces the value of its key in its
// line, or adds the key to its section, or the section to the end, or removes its section;
// every other byte stays as it was. Empty, when an entry cannot be stored. Removals that follow
// one another take one pass over the content, however many sections they name.
std::optional<QByteArray> withValues(QByteArrayView content, const QList<Entry> &entries);

// A file's content read once for many look-ups: where each section stands is found in one pass,
// so that a look-up costs the length of its section, never of the file, and a reader of every
// section (the calibration's records) takes time in proportion to the file's size. Reads
// exactly as valueIn() and sectionNames() read the same content.
class Index
{
public:
    Index() = default;
    explicit Index(const QByteArray &content);

    std::optional<QByteArray> value(QByteArrayView section, QByteArrayView key) const;
    const QList<QByteArray> &sectionNames() const { return m_names; }
    // Equal indexes read the same text: every look-up in one gives what it gives in the other.
    friend bool operator==(const Index &a, const Index &b)
    {
        return a.m_utf16 == b.m_utf16 && a.m_text == b.m_text;
    }

private:
    // The value as it stands in m_text, for names as m_text spells them.
    std::optional<QByteArrayView> find(QByteArrayView section, QByteArrayView key) const;

    QByteArray m_text; // the content as it is read: a file in UTF-16 as UTF-8 text
    bool m_utf16 = false;
    QByteArray m_lower; // m_text in lower case, never changed: m_bodies' names point into it
    // The lines of the first section of each name, after its header: [start, end) of m_text,
    // by the name in lower case.
    QHash<QByteArrayView, std::pair<qsizetype, qsizetype>> m_bodies;
    QList<QByteArray> m_names;
};

} // namespace profile
