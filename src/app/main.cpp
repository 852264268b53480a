#include "app/AppShell.h"

#include <QApplication>
#include <QFont>
#include <QStringList>

#include <cstdio>

namespace {

void usage()
{
    std::fprintf(stderr, "用法: dzq [--midi-log 文件]\n");
}

}  // namespace

int main(int argc, char **argv)
{
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
