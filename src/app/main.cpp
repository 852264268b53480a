#include "app/AppShell.h"
#include "headless/CommandLine.h"
#include "headless/RenderCommand.h"
#include "jianpu/NotationExport.h"
#include "platform/files/RecordFolder.h"
#include "practice/PracticeCommand.h"
#include "practice/PracticeGrading.h"
#include "widgets/AccessibleInterfaces.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QStringList>
#include <QTextStream>


namespace {

QStringList argumentList(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Everything that needs no window runs before any QApplication exists, so it
// works with no display at all: the command line export, help, version and
// the report of a mistaken command line.
int runWithoutWindows(int argc, char **argv, const CommandLine::Parsed *parsed)
{
    QCoreApplication app(argc, argv);
    CommandLine::setUpApplication(app);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parsed)
        return RenderCommand::run(QCoreApplication::arguments(), RecordFolder::locateForProgram(), out, err);
    switch (parsed->action) {
    case CommandLine::Action::Help:
        out << CommandLine::helpText() << Qt::endl;
        return 0;
    case CommandLine::Action::Version:
        out << CommandLine::versionText() << Qt::endl;
        return 0;
    default:
        err << "dzq: " << parsed->error << Qt::endl;
        return CommandLine::kUsageError;
    }
}

// Grading a recorded performance needs no window either.
int gradePerformance(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    CommandLine::setUpApplication(app);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return PracticeCommand::run(QCoreApplication::arguments(), RecordFolder::locateForProgram(), out, err);
}

// --mode and --speed of the practice window, checked before any window.
void checkPracticeChoices(CommandLine::Parsed *parsed, Practice::Mode *mode, int *speed)
{
    if (parsed->action != CommandLine::Action::Run)
        return;
    if (!parsed->practiceMode.isEmpty() && !Practice::modeFromName(parsed->practiceMode, mode)) {
        parsed->action = CommandLine::Action::Error;
        parsed->error = QStringLiteral("练习方式“%1”无法识别，只能是 wait（等待）、step（逐音）或 tempo（跟节奏）。")
                            .arg(parsed->practiceMode);
    } else if (!parsed->practiceSpeed.isEmpty() && !PracticeCommand::parseSpeed(parsed->practiceSpeed, speed)) {
        parsed->action = CommandLine::Action::Error;
        parsed->error = QStringLiteral("速度“%1”超出范围，只能是50到150（乐谱速度的百分数）。").arg(parsed->practiceSpeed);
    }
}

// The notation is drawn with fonts, which need a GUI application; the
// offscreen platform needs no display.
int drawPicture(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    CommandLine::setUpApplication(app);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RenderCommand::run(QCoreApplication::arguments(), RecordFolder::locateForProgram(), out, err,
                              &NotationExport::renderCommand);
}

}  // namespace

int main(int argc, char **argv)
{
    const QStringList arguments = argumentList(argc, argv);
    if (PracticeCommand::requested(arguments))
        return gradePerformance(argc, argv);
    if (RenderCommand::wantsPicture(arguments))
        return drawPicture(argc, argv);
    if (RenderCommand::requested(arguments))
        return runWithoutWindows(argc, argv, nullptr);
    CommandLine::Parsed parsed = CommandLine::parse(arguments);
    Practice::Mode practiceMode = Practice::Mode::Wait;
    int practiceSpeed = Practice::kNormalSpeed;
    checkPracticeChoices(&parsed, &practiceMode, &practiceSpeed);
    QString reason;
    if (parsed.action == CommandLine::Action::Run && !parsed.midiLogPath.isEmpty()
        && !CommandLine::checkWritable(parsed.midiLogPath, &reason)) {
        parsed.action = CommandLine::Action::Error;
        parsed.error = QStringLiteral("无法写入MIDI记录文件“%1”：%2").arg(parsed.midiLogPath, reason);
    }
    if (parsed.action != CommandLine::Action::Run)
        return runWithoutWindows(argc, argv, &parsed);

    QApplication app(argc, argv);
    CommandLine::setUpApplication(app);
    installAccessibleInterfaces();
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(9);
    QApplication::setFont(font);

    AppOptions options;
    options.midiLogPath = parsed.midiLogPath;
    options.scorePath = parsed.scorePath;
    options.practicePath = parsed.practicePath;
    options.practiceMode = Practice::modeName(practiceMode);
    options.practiceSpeed = practiceSpeed;
    options.midiIn = parsed.midiIn;
    options.soundFont = parsed.soundFontPath;
    AppShell shell(options);
    if (!shell.start())
        return 0;
    return app.exec();
}
