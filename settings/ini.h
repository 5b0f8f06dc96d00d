#pragma once

#include "base/expected.h"
#include "settings/profiletext.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <initializer_list>
#include <optional>

// The settings file: five numbers shared by the start, measurement and calibration screens,
// kept in "Kelvane.ini" in the program's folder.
namespace settings {
inline constexpr char kFileName[] = "Kelvane.ini";

inline constexpr char kSectionFilter[] = "Filter";
inline constexpr char kSectionScreen[] = "Screen";

// The five settings, in the order every window reads them and the start screen writes them, and
// the viewing distance in centimetres, a key of its own beside them in [Filter]: a file written
// before it existed reads as it always did.
enum class Key { Filter, Target, FixEye, ScreenH, ScreenV, Distance };
const char *sectionOf(Key key);
const char *nameOf(Key key);

// The five values as the windows hold them: ScreenV is a whole number of pixels.
struct Values
{
    double Filter = 0;
    double Target = 0;
    double FixEye = 0;
    double ScreenH = 0; // pixels that make 150 mm across
    qint16 ScreenV = 0; // pixels that make 150 mm down
};

// The settings file of the program in `folder`: the folder joined with "Kelvane.ini". Empty
// when the folder is unknown, and then nothing is read or written anywhere else.
QByteArray settingsPath(const QByteArray &folder);

// What a read found in the file.
enum class Stored {
    Number, // a number, now in the value
    Nothing, // no file, section, key or text: the value reads as 0
    Unreadable, // text with no number at its start (read as 0), or a number the value's type
                // cannot hold (the value is left as it was)
};

// Reads one setting into `value`. A read that fails (a number its type cannot hold) leaves
// `value` as it was, so that the window keeps what it held.
Stored read(const QByteArray &folder, Key key, double &value);
Stored read(const QByteArray &folder, Key key, qint16 &value);
// Reads the five in order, each a step of its own, from one read of the file. Says what was
// found for each, in the order of Key.
std::array<Stored, 5> readAll(const QByteArray &folder, Values &values);

class Snapshot;
// The same from a file already read, for a window that reads more than the five.
Stored read(const Snapshot &file, Key key, double &value);
Stored read(const Snapshot &file, Key key, qint16 &value);
std::array<Stored, 5> readAll(const Snapshot &file, Values &values);

// One save: the values in the order given, then `more` entries (the calibration's records),
// all in one replacement of the file. A save that cannot be done has no effect on the file and
// fails with why, in the system's words, for the window to tell the user.
// Anything at the file's name but a plain file of one name and of a settings file's size is
// refused, and so is a save that would make the file larger than one; the reason names the file.
struct Setting
{
    Key key;
    double value;
};
// One setting as the save writes it, for a value saved with `more`.
profile::Entry entryOf(Setting setting);
base::Expected<void> save(const QByteArray &folder, std::initializer_list<Setting> settings,
    const QList<profile::Entry> &more = {});
base::Expected<void> saveAll(
    const QByteArray &folder, const Values &values, const QList<profile::Entry> &more = {});

// The settings file as it stood at one moment, for a reader of many values (the calibration's
// records): one read of the file, then values and section names looked up as ReadINI and the
// profile functions would find them, each in time that grows with its section, not the file.
class Snapshot
{
public:
    Snapshot() = default; // no file
    explicit Snapshot(const QByteArray &folder);

    // The value of `key` in `section`, as ReadINI returns it; empty when missing.
    QString value(const QString &section, const QString &key) const;
    // Whether the setting's key stands in the file, even with no text after it.
    bool contains(Key key) const;
    // The sections in the order they stand, each once.
    QStringList sections() const;
    // Whether both read the same text, so that every value and section reads the same in both.
    bool readsAs(const Snapshot &other) const { return m_index == other.m_index; }
    // Why the file at the settings name was not read (a link, a second name, a pipe, a folder,
    // a file too large), naming it, for the window to tell the user; empty when the file was
    // read or is missing. A refused file reads as missing.
    QString refusal() const { return m_refusal; }

private:
    profile::Index m_index;
    QString m_refusal;
};

// Why the file at `path` is refused, given a read's or a save's error number: "<path> is a
// symbolic link, ...". Empty for an error that is no refusal.
QString refusalText(int error, const QByteArray &path);

// Removes what saves cut short by a crash left beside the settings file. For the start of an
// instance that holds the instance guard, when no save of another can be under way.
void removeLeftovers(const QByteArray &folder);

// A value as WriteINI hands it to the profile writer.
profile::Entry profileEntry(const QString &section, const QString &key, const QString &value);

// A number as the file stores it: plain decimal text, one leading blank when not negative.
QString numberText(double value);

// A number as the captions show it: plain decimal text, no blank, no point for a whole number.
QString captionText(double value);

// The decimal number at the start of `text` (0 when there is none). Empty when the number is
// beyond the double-precision range: that read fails and the caller keeps what it held.
std::optional<double> textToDouble(const QString &text);

// A number rounded to a whole number, a half going to the even neighbour (300.5 gives 300,
// 301.5 gives 302), as a 16-bit integer. Empty when it falls outside -32768 to 32767.
std::optional<qint16> toInteger16(double value);
// The number at the start of `text`, so rounded.
std::optional<qint16> textToInteger16(const QString &text);
} // namespace settings

// Reads one value; a missing file, section or key gives the empty text.
QString ReadINI(const QString &strsection, const QString &strkey, const QByteArray &strfullpath);

// Writes one value; a write that cannot be done has no effect and reports nothing to the caller
// (the settings log keeps it).
void WriteINI(const QString &strsection, const QString &strkey, const QString &strkeyvalue,
    const QByteArray &strfullpath);
