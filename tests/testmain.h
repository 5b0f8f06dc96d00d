#pragma once

#include "app/application.h"
#include "platform/platform.h"

#include <QTest>

// Every test program runs with the program's own application object (key preview included)
// and scaling off, as in the real program.
#define KELVANE_TEST_MAIN(TestClass)                                                               \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        platform::prepareApplication();                                                            \
        Application app(argc, argv);                                                               \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
