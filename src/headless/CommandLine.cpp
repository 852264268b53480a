#include "headless/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <utility>

#ifndef DZQ_VERSION
#define DZQ_VERSION "0"
#endif

namespace CommandLine {

namespace {

QString quoted(const QString &text)
{
    return QStringLiteral("“%1”").arg(text);
}

}  // namespace

Parsed parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption midiLog(QStringLiteral("midi-log"), QString(), QStringLiteral("file"));
    const QCommandLineOption midiIn(QStringLiteral("midi-in"), QString(), QStringLiteral("input"));
    const QCommandLineOption soundFont(QStringLiteral("soundfont"), QString(), QStringLiteral("file"));
    const QCommandLineOption practice(QStringLiteral("practice"), QString(), QStringLiteral("file"));
    const QCommandLineOption mode(QStringLiteral("mode"), QString(), QStringLiteral("mode"));
    const QCommandLineOption speed(QStringLiteral("speed"), QString(), QStringLiteral("percent"));
    parser.addOption(help);
    parser.addOption(soundFont);
    parser.addOption(version);
    parser.addOption(midiLog);
    parser.addOption(midiIn);
    parser.addOption(practice);
    parser.addOption(mode);
    parser.addOption(speed);

    Parsed result;
    const auto failed = [&result](const QString &text) {
        result.action = Action::Error;
        result.error = text;
        return result;
    };
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString dashes = unknown.first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--");
            return failed(QStringLiteral("无法识别的选项%1。请用 dzq --help 查看用法。").arg(quoted(dashes + unknown.first())));
        }
        if (parser.errorText().contains(QStringLiteral("soundfont")))
            return failed(QStringLiteral("选项“--soundfont”后面缺少音色库文件名。"));
        const std::pair<QString, QString> missing[] = {
            {QStringLiteral("practice"), QStringLiteral("乐谱文件名")},
            {QStringLiteral("mode"), QStringLiteral("练习方式（wait、step 或 tempo）")},
            {QStringLiteral("speed"), QStringLiteral("速度（50到150）")},
        };
        for (const auto &[option, what] : missing) {
            if (parser.errorText().contains(QStringLiteral("--") + option))
                return failed(QStringLiteral("选项“--%1”后面缺少%2。").arg(option, what));
        }
        if (parser.errorText().contains(QStringLiteral("midi-in")))
            return failed(QStringLiteral("选项“--midi-in”后面缺少 none、all 或MIDI输入的名称。"));
        return failed(QStringLiteral("选项“--midi-log”后面缺少文件名。请用 dzq --help 查看用法。"));
    }
    if (parser.isSet(help)) {
        result.action = Action::Help;
        return result;
    }
    if (parser.isSet(version)) {
        result.action = Action::Version;
        return result;
    }
    if (parser.values(midiLog).size() > 1)
        return failed(QStringLiteral("选项“--midi-log”只能给出一次。"));
    result.midiLogPath = parser.value(midiLog);
    if (parser.isSet(midiLog) && result.midiLogPath.isEmpty())
        return failed(QStringLiteral("选项“--midi-log”后面缺少文件名。请用 dzq --help 查看用法。"));
    if (parser.values(midiIn).size() > 1)
        return failed(QStringLiteral("选项“--midi-in”只能给出一次。"));
    if (parser.isSet(midiIn)) {
        result.midiIn = parser.value(midiIn).trimmed();
        if (result.midiIn.isEmpty())
            return failed(QStringLiteral("选项“--midi-in”后面缺少 none、all 或MIDI输入的名称。"));
    }
    if (parser.values(soundFont).size() > 1)
        return failed(QStringLiteral("选项“--soundfont”只能给出一次。"));
    if (parser.isSet(soundFont)) {
        if (parser.value(soundFont).isEmpty())
            return failed(QStringLiteral("选项“--soundfont”后面缺少音色库文件名。"));
        result.soundFontPath = QDir::cleanPath(QDir::current().absoluteFilePath(parser.value(soundFont)));
    }
    for (const QCommandLineOption *o : {&practice, &mode, &speed}) {
        if (parser.values(*o).size() > 1)
            return failed(QStringLiteral("选项“--%1”只能给出一次。").arg(o->names().constFirst()));
    }
    if (parser.isSet(practice)) {
        if (parser.value(practice).isEmpty())
            return failed(QStringLiteral("选项“--practice”后面缺少乐谱文件名。"));
        result.practicePath = QDir::cleanPath(QDir::current().absoluteFilePath(parser.value(practice)));
    } else if (parser.isSet(mode) || parser.isSet(speed)) {
        return failed(QStringLiteral("选项“--%1”只能和“--practice”一起使用。")
                          .arg(parser.isSet(mode) ? QStringLiteral("mode") : QStringLiteral("speed")));
    }
    result.practiceMode = parser.value(mode);
    result.practiceSpeed = parser.value(speed);
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty() && !result.practicePath.isEmpty())
        return failed(QStringLiteral("只能打开一个乐谱文件：练习“--practice”的乐谱时不能再给出%1。").arg(quoted(files.first())));
    if (files.size() > 1)
        return failed(QStringLiteral("只能打开一个乐谱文件，多余的参数%1。").arg(quoted(files[1])));
    if (!files.isEmpty()) {
        if (files.first().isEmpty())
            return failed(QStringLiteral("乐谱文件名不能为空。"));
        result.scorePath = QDir::cleanPath(QDir::current().absoluteFilePath(files.first()));
    }
    return result;
}

QString helpText()
{
    return QStringLiteral(
        "用法: dzq [选项] [乐谱文件.txt]\n"
        "      dzq --render 乐谱文件.txt|编辑文件.lnk -o 输出文件.mid|输出文件.wav [--soundfont 音色库] [--key C…B]\n"
        "      dzq --render 乐谱文件.txt -o 输出文件.mid [--time 2/4|3/4|4/4] [--key C…B]\n"
        "      dzq --render 乐谱文件.txt -o 简谱.pdf|简谱.svg|简谱.png [--time 2/4|3/4|4/4] [--key C…B]\n"
        "      dzq --render 乐谱文件.txt -o 乐谱.musicxml [--time 2/4|3/4|4/4] [--key C…B]\n"
        "      dzq --render 歌曲.mid -o 乐谱.musicxml|简谱.pdf|…|输出文件.mid [--track 音轨号] [--key C…B]\n"
        "      dzq --import 乐谱文件.txt -o 编辑文件.lnk [--time 2/4|3/4|4/4]\n"
        "      dzq --import 歌曲.mid -o 乐谱文件.txt [--track 音轨号]\n"
        "      dzq --practice 乐谱文件.txt|歌曲.mid [--mode wait|step|tempo] [--speed 50…150]\n"
        "      dzq --practice 乐谱文件.txt|歌曲.mid --played 演奏.mid [--mode …] [--speed …]\n"
        "\n"
        "Quorvane电子琴：用电脑键盘和鼠标演奏音乐。给出乐谱文件时，启动后打开并演奏它。\n"
        "\n"
        "选项:\n"
        "  -h, --help            显示本帮助并退出\n"
        "  -v, --version         显示版本并退出\n"
        "  --midi-log 文件       把发出的每条MIDI消息记录到文件\n"
        "  --midi-in 输入        用哪些MIDI键盘演奏：all 所有（默认），none 不用，\n"
        "                        或名称中含有这段文字的MIDI输入（如 --midi-in Keystation）\n"
        "  --soundfont 文件      内置合成器用这个音色库（SF2或SF3文件）发声，也用于导出WAV；\n"
        "                        默认用系统选定的音色库（default-GM.sf2）\n"
        "  --render 文件         不打开窗口，把乐谱或编辑文件导出为MIDI或WAV文件，\n"
        "                        或把乐谱的简谱画成PDF（A4页）、SVG或PNG文件，\n"
        "                        或把乐谱导出为打谱软件（如MuseScore）使用的MusicXML文件；\n"
        "                        给出MIDI歌曲时，按歌曲自己的调和拍子直接转换它的旋律\n"
        "  --import 文件         不打开窗口，把乐谱导入为编辑文件，\n"
        "                        或把MIDI文件（.mid）的旋律导入为乐谱文件\n"
        "  -o, --output 文件     导出或导入的输出文件\n"
        "  --time 节奏类型       导入、画简谱、导出MusicXML或MIDI文件时的拍子：2/4、3/4 或 4/4\n"
        "                        （简谱、MusicXML和MIDI文件默认4/4）\n"
        "  --key 音调            导出乐谱时的音调：C、C#、D … B（默认C）；MIDI和WAV按这个\n"
        "                        音调演奏，简谱和MusicXML标出这个音调\n"
        "  --track 音轨号        导入MIDI文件时作为旋律的音轨（默认取音符最多的非打击乐音轨；\n"
        "                        导入时会列出所有音轨）\n"
        "  --practice 文件       启动后在“跟弹练习”窗口中练习这份乐谱（或MIDI文件的旋律）\n"
        "  --mode 方式           练习方式：wait 等待（默认，弹对才往下走）、step 逐音（弹一个音\n"
        "                        走一步）、tempo 跟节奏（乐谱按速度走，先数一小节拍子）\n"
        "  --speed 百分数        练习速度，乐谱速度的50到150（默认100）\n"
        "  --played 演奏.mid     不打开窗口，给录成MIDI文件的演奏打分（文件的0时刻即乐谱开始），\n"
        "                        结果以一行JSON输出\n"
        "\n"
        "MIDI键盘（USB键盘、VMPK等程序，经ALSA或JACK）和电脑键盘一样演奏旋律，还有力度、\n"
        "和弦和延音踏板；按下的音写进乐谱：白键（有音符代码的音）写入，黑键和超出五个八度的音\n"
        "只发声不写入，同一时值内按下的和弦只写第一个音。迷你窗口中照样写入；音乐编辑器中\n"
        "只用第一行旋律的乐器和音量发声，不写入。\n"
        "\n"
        "Quorvane电子琴打开MIDI文件时只取一条旋律：同时发声的音只保留最高音，时值按\n"
        "八分之一拍取整，选出最合适的音调，不在音阶上的音移到最近的音级。");
}

QString versionText()
{
    return QStringLiteral("Quorvane电子琴2012 (dzq) %1").arg(QStringLiteral(DZQ_VERSION));
}

bool checkWritable(const QString &path, QString *reason)
{
    QFile file(path);
    const bool existed = file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *reason = file.errorString();
        return false;
    }
    file.close();
    // A probe must not leave an empty file behind when the program then stops.
    if (!existed)
        file.remove();
    return true;
}

bool setUpApplication(QCoreApplication &app)
{
    QCoreApplication::setApplicationName(QStringLiteral("dzq"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DZQ_VERSION));
    // Dates, sizes and file types in the file dialogs are written as in China.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto *translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace CommandLine
