#include "app/AppShell.h"
#include "headless/CommandLine.h"
#include "headless/RenderCommand.h"
#include "jianpu/NotationExport.h"
#include "platform/files/RecordFolder.h"
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
    if (RenderCommand::wantsPicture(arguments))
        return drawPicture(argc, argv);
    if (RenderCommand::requested(arguments))
        return runWithoutWindows(argc, argv, nullptr);
    CommandLine::Parsed parsed = CommandLine::parse(arguments);
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
    options.midiIn = parsed.midiIn;
    options.soundFont = parsed.soundFontPath;
    AppShell shell(options);
    if (!shell.start())
        return 0;
    return app.exec();
}
