#include "app/AppShell.h"
#include "app/RenderCommand.h"
#include "platform/RecordFolder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

namespace {

void usage()
{
    std::fprintf(stderr, "用法: dzq [--midi-log 文件]\n"
                         "       dzq --render 乐谱文件.txt|编辑文件.lnk -o 输出文件.mid|输出文件.wav\n"
                         "       dzq --import 乐谱文件.txt -o 编辑文件.lnk [--time 2/4|3/4|4/4]\n");
}

// The command line export needs no windows: it runs before any QApplication
// exists, so it works with no display at all.
int renderScore(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dzq"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RenderCommand::run(QCoreApplication::arguments(), RecordFolder::locateForProgram(), out, err);
}

bool wantsRender(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return RenderCommand::requested(arguments);
}

}  // namespace

int main(int argc, char **argv)
{
    if (wantsRender(argc, argv))
        return renderScore(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dzq"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvane电子琴"));
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(9);
    QApplication::setFont(font);

    AppOptions options;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--midi-log") && i + 1 < args.size()) {
            options.midiLogPath = args[++i];
        } else {
            usage();
            return 1;
        }
    }

    AppShell shell(options);
    if (!shell.start())
        return 0;
    return app.exec();
}
