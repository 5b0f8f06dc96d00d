#pragma once

#include <QByteArray>
#include <QString>

// What must hold for any settings file, however it was edited or damaged: the program reads it
// without harm, a value it writes reads back as written, a write leaves every line it does not
// concern as it was, and the five settings saved are the five read next time. Shared by the
// fuzzer and by the corpus replay that runs in the test suite.
namespace fuzzing {

// Puts `content` as the settings file into `folder` (a folder of its own, empty), then reads,
// writes and reads again the program's five keys through ReadINI and WriteINI. Returns what went
// wrong, or the empty text when every property held.
QString checkSettingsFile(const QByteArray &content, const QString &folder);

} // namespace fuzzing
