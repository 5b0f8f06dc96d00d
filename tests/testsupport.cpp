#include "tests/testsupport.h"

#include "app/platform.h"
#include "app/windows.h"

#include <QApplication>
#include <QFile>
#include <QTest>
#include <QWidget>

namespace testsupport {

ProgramFolder::ProgramFolder()
{
    platform::setProgramFolder(m_dir.path());
}

ProgramFolder::~ProgramFolder()
{
    // A folder made for the next test may already be in place.
    if (platform::programFolder() == m_dir.path())
        platform::setProgramFolder({});
}

QString ProgramFolder::settingsFile() const
{
    return m_dir.path() + QStringLiteral("/Kelvane.ini");
}

bool ProgramFolder::hasSettings() const
{
    return QFile::exists(settingsFile());
}

QByteArray ProgramFolder::settings() const
{
    QFile file(settingsFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void ProgramFolder::writeSettings(const QByteArray &content) const
{
    QFile file(settingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

void resetProgram()
{
    windows::unloadFrmpicture();
    const auto tops = QApplication::topLevelWidgets();
    for (QWidget *window : tops)
        delete window;
    windows::resetValues();
    platform::resetProgramEnded();
}

} // namespace testsupport
