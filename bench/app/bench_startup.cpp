// Start-up time of the program as the user meets it, measured on the real
// application shell in a fresh child process for every run:
//   (a) launch of the process -> the welcome dialog painted;
//   (b) "知道了" clicked -> the main window painted and initialised with the
//       sound engine ready (a key would sound).
// (b) is taken twice: with a click as soon as the welcome dialog shows (the
// sound font is still loading) and with a click once the font is ready.
//
//   xvfb-run -a bench_startup [runs per kind]
//
// The child runs as the program does (same application set-up, the record
// folder beside it, the user's sound server: "engine ready" includes opening
// the real output) but with a lock folder of its own, so a running copy of
// the program does not stop it. Launch -> first sound as heard through a
// sound server is measured by bench/platform/bench_audio_e2e.sh.

#include "app/AppShell.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const char *const kLaunchVariable = "DZQ_BENCH_LAUNCH_NS";

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double msBetween(qint64 fromNs, qint64 toNs)
{
    return double(toNs - fromNs) / 1e6;
}

// ---- the child: one start of the program ------------------------------------

enum class ClickWhen { AtOnce, AfterFont };

// The same set-up as the program's main().
void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("dzq"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvane电子琴"));
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(9);
    QApplication::setFont(font);
}

void clickWelcomeButton()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("DZQQD") && w->isVisible()) {
            if (auto *button = w->findChild<QPushButton *>(QStringLiteral("Command1"))) {
                button->click();
                return;
            }
        }
    }
    std::fprintf(stderr, "the welcome dialog's button \"知道了\" was not found\n");
    QCoreApplication::exit(3);
}

int runChild(int argc, char **argv, ClickWhen when)
{
    const qint64 mainNs = steadyNs();
    QApplication app(argc, argv);
    setUpApplication();
    const qint64 launchNs = qEnvironmentVariable(kLaunchVariable).toLongLong();

    qint64 welcomeNs = -1, soundNs = -1, clickNs = -1, readyNs = -1;
    AppShell shell{AppOptions{}};
    auto clickWhenDue = [&] {
        if (clickNs >= 0 || welcomeNs < 0 || (when == ClickWhen::AfterFont && soundNs < 0))
            return;
        // As the user's click: a new event after what the dialog is doing.
        QTimer::singleShot(0, &shell, [&] {
            clickNs = steadyNs();
            clickWelcomeButton();
        });
    };
    QObject::connect(&shell, &AppShell::welcomeShown, &shell, [&] {
        welcomeNs = steadyNs();
        clickWhenDue();
    });
    QObject::connect(&shell, &AppShell::soundReady, &shell, [&] {
        soundNs = steadyNs();
        clickWhenDue();
    });
    QObject::connect(&shell, &AppShell::mainWindowReady, &shell, [&] {
        readyNs = steadyNs();
        QCoreApplication::quit();
    });
    // Never hang: a start-up that does not finish is a result too.
    QTimer::singleShot(60000, &shell, [] { QCoreApplication::exit(4); });

    if (!shell.start()) {
        std::fprintf(stderr, "another copy of the program is running\n");
        return 2;
    }
    const int rc = app.exec();
    if (rc != 0)
        return rc;
    std::printf("result platform=%s main=%.3f welcome=%.3f sound=%.3f click=%.3f ready=%.3f\n",
                qPrintable(QGuiApplication::platformName()), msBetween(launchNs, mainNs),
                msBetween(launchNs, welcomeNs), msBetween(launchNs, soundNs), msBetween(launchNs, clickNs),
                msBetween(launchNs, readyNs));
    std::fflush(stdout);
    return 0;
}

// ---- the parent: runs the children and sums up -----------------------------

struct Run {
    double main = 0, welcome = 0, sound = 0, click = 0, ready = 0;
    double handOver() const { return ready - click; }
};

bool parseRun(const QString &output, Run *run, QString *platform)
{
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("result ")))
            continue;
        for (const QString &field : line.mid(7).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString key = field.section(QLatin1Char('='), 0, 0);
            const QString value = field.section(QLatin1Char('='), 1);
            if (key == QLatin1String("platform"))
                *platform = value;
            else if (key == QLatin1String("main"))
                run->main = value.toDouble();
            else if (key == QLatin1String("welcome"))
                run->welcome = value.toDouble();
            else if (key == QLatin1String("sound"))
                run->sound = value.toDouble();
            else if (key == QLatin1String("click"))
                run->click = value.toDouble();
            else if (key == QLatin1String("ready"))
                run->ready = value.toDouble();
        }
        return true;
    }
    return false;
}

struct Summary {
    double median = 0, min = 0, max = 0;
};

Summary summarise(std::vector<double> values)
{
    Summary s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    s.median = values[values.size() / 2];
    s.min = values.front();
    s.max = values.back();
    return s;
}

void printSummary(const char *what, const std::vector<double> &values)
{
    const Summary s = summarise(values);
    std::printf("  %-52s median %8.1f ms   min %8.1f   max %8.1f\n", what, s.median, s.min, s.max);
}

int runParent(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, QString(argv[1]).toInt()) : 5;
    QTemporaryDir lockFolder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Only the lock folder is our own; the runtime folder (and with it the
    // sound server) stays the user's.
    env.insert(QStringLiteral("TMPDIR"), lockFolder.path());

    bool allMet = true;
    for (const ClickWhen when : {ClickWhen::AtOnce, ClickWhen::AfterFont}) {
        const bool atOnce = when == ClickWhen::AtOnce;
        std::printf("%s\n", atOnce ? "click on \"知道了\" as soon as the welcome dialog shows (font still loading)"
                                   : "click on \"知道了\" once the sound font is ready");
        std::vector<double> mains, welcomes, sounds, handOvers;
        QString platform;
        for (int i = 0; i < runs; ++i) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            QProcessEnvironment childEnv = env;
            const qint64 launchNs = steadyNs();
            childEnv.insert(QString::fromLatin1(kLaunchVariable), QString::number(launchNs));
            child.setProcessEnvironment(childEnv);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--child"), atOnce ? QStringLiteral("at-once") : QStringLiteral("after-font")});
            if (!child.waitForFinished(90000)) {
                child.kill();
                child.waitForFinished(5000);
                std::printf("  run %d: no result within 90 s\n", i + 1);
                allMet = false;
                continue;
            }
            Run run;
            if (child.exitCode() != 0 || !parseRun(QString::fromUtf8(child.readAllStandardOutput()), &run, &platform)) {
                std::printf("  run %d: the child failed (exit code %d)\n", i + 1, child.exitCode());
                allMet = false;
                continue;
            }
            std::printf("  run %d: main() at %.1f ms, welcome painted %.1f ms, font ready %.1f ms, click %.1f ms, "
                        "main window ready %.1f ms -> (b) %.1f ms\n",
                        i + 1, run.main, run.welcome, run.sound, run.click, run.ready, run.handOver());
            mains.push_back(run.main);
            welcomes.push_back(run.welcome);
            sounds.push_back(run.sound);
            handOvers.push_back(run.handOver());
        }
        std::printf(" on the platform \"%s\", %d runs:\n", qPrintable(platform), int(welcomes.size()));
        printSummary("launch -> main() entered", mains);
        printSummary("(a) launch -> welcome dialog painted", welcomes);
        printSummary("launch -> sound font loaded, engine ready", sounds);
        printSummary("(b) click -> main window ready, sound ready", handOvers);
        const double worst = summarise(handOvers).max;
        if (!atOnce) {
            const bool met = !handOvers.empty() && worst <= 500.0;
            allMet = allMet && met;
            std::printf("  target (b) <= 500 ms after the font is ready: %s\n", met ? "met" : "NOT met");
        }
        std::fflush(stdout);
    }
    return allMet ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv, qstrcmp(argv[2], "after-font") == 0 ? ClickWhen::AfterFont : ClickWhen::AtOnce);
    return runParent(argc, argv);
}
