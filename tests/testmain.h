#pragma once

#include "app/application.h"
#include "app/platform.h"

#include <QTemporaryDir>
#include <QTest>

// Every test program runs with the program's own application object (key preview included),
// scaling off as in the real program, and an instance guard of its own, so that test programs
// running side by side never see each other as "another instance".
#define KELVANE_TEST_MAIN(TestClass)                                                               \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        platform::prepareApplication();                                                            \
        Application app(argc, argv);                                                               \
        QTemporaryDir guardFolder;                                                                 \
        platform::setInstanceGuardFolder(guardFolder.path());                                      \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
