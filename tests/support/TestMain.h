#pragma once

#include <QCoreApplication>
#include <QTest>

// Runs several Qt Test classes in one executable (one executable per room).
namespace dzqtest {

template <typename Test>
int runOne(int argc, char **argv)
{
    Test test;
    return QTest::qExec(&test, argc, argv);
}

template <typename... Tests>
int runAll(int argc, char **argv)
{
    return (0 + ... + runOne<Tests>(argc, argv));
}

}  // namespace dzqtest

#define DZQ_TEST_MAIN(...)                                      \
    int main(int argc, char **argv)                             \
    {                                                           \
        QCoreApplication app(argc, argv);                       \
        return dzqtest::runAll<__VA_ARGS__>(argc, argv);        \
    }

// Window tests include <QApplication> before this header.
#define DZQ_GUI_TEST_MAIN(...)                                  \
    int main(int argc, char **argv)                             \
    {                                                           \
        QApplication app(argc, argv);                           \
        return dzqtest::runAll<__VA_ARGS__>(argc, argv);        \
    }
