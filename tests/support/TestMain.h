#pragma once

#include <QCoreApplication>
#include <QTest>

#include <utility>
#include <vector>

// Runs several Qt Test classes in one executable (one executable per room).
namespace dzqtest {

template <typename Test>
int runOne(int argc, char **argv)
{
    Test test;
    return QTest::qExec(&test, argc, argv);
}

// Test classes defined in other files of the executable register themselves
// with DZQ_REGISTER_TEST(Class) and run after the ones named in the main macro.
using Runner = int (*)(int, char **);
inline std::vector<Runner> &registry()
{
    static std::vector<Runner> runners;
    return runners;
}
struct Registrar {
    explicit Registrar(Runner runner) { registry().push_back(runner); }
};

template <typename... Tests>
int runAll(int argc, char **argv)
{
    int failures = (0 + ... + runOne<Tests>(argc, argv));
    for (Runner runner : registry())
        failures += runner(argc, argv);
    return failures;
}

}  // namespace dzqtest

#define DZQ_REGISTER_TEST(Class) \
    static const dzqtest::Registrar dzqRegistrar##Class(&dzqtest::runOne<Class>);

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
