#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class QWidget;

namespace testsupport {

// A fresh program folder for one test: the settings file lives here, never in a real one.
class ProgramFolder
{
public:
    ProgramFolder();
    ~ProgramFolder();

    QString path() const { return m_dir.path(); }
    QString settingsFile() const;
    bool hasSettings() const;
    QByteArray settings() const;
    void writeSettings(const QByteArray &content) const;

private:
    QTemporaryDir m_dir;
};

// Closes every window and forgets what the windows held, as at the program's start.
void resetProgram();

// The working window now open, as its class, or null.
template<typename Window> Window *currentWindow();

} // namespace testsupport

#include "app/windows.h"

template<typename Window> Window *testsupport::currentWindow()
{
    return qobject_cast<Window *>(windows::current());
}
