#include "resources/StringTable.h"

#include <QHash>

namespace StringTable {
namespace {

// The texts are exact: trailing spaces and inner blanks are part of them.
const char *const kInstruments[kInstrumentCount] = {
    "0.无声",
    "1.明亮钢琴",
    "2.电钢琴 ",
    "3.酒吧钢琴",
    "4.柔和电钢琴",
    "5.合唱电钢琴",
    "6.拨弦古钢琴",
    "7.击弦古钢琴",
    "8.古键琴",
    "9.钢片琴",
    "10.钟琴",
    "11.八音盒",
    "12.电颤琴",
    "13.木琴",
    "14.木琴",
    "15.编钟",
    "16.扬琴",
    "17.电子琴1",
    "18.电子琴2",
    "19.电子琴3",
    "20.击风琴",
    "21.摇滚风琴",
    "22.手风琴",
    "23.口琴",
    "24.探戈手风琴",
    "25.尼龙弦吉它",
    "26.钢丝弦吉它",
    "27.爵士乐吉它",
    "28.民谣吉它",
    "29.爵士电吉它",
    "30.电吉它",
    "31.闷音电吉它",
    "32.浊音电吉它",
    "33.变音电吉它",
    "34.原音贝司",
    "35.手弹贝司",
    "36.颤音贝司",
    "37.重贝司1",
    "38.重贝司2",
    "39.合成贝司1",
    "40.合成贝司2",
    "41.小提琴",
    "42.中提琴",
    "43.大提琴",
    "44.低音提琴",
    "45.颤弓弦乐",
    "46.弹拨弦乐",
    "47.竖琴",
    "48.定音鼓",
    "49.弦乐合奏1",
    "50.弦乐合奏2",
    "51.合成弦乐1",
    "52.合成弦乐2",
    "53.人声啊",
    "54.人声嘟",
    "55.合成人声",
    "56.打击乐",
    "57.喇叭",
    "58.长号",
    "59.大号",
    "60.闷音小号",
    "61.法国号",
    "62.铜管乐",
    "63.合成钢管1",
    "64.合成钢管2",
    "65.最高音萨克斯",
    "66.低音萨克斯",
    "67.高音萨克斯",
    "68.中音萨克斯",
    "69.双簧管",
    "70.英国管",
    "71.低音管",
    "72.单簧管",
    "73.短笛",
    "74.笛子",
    "75.直笛",
    "76.排笛",
    "77.吹瓶声",
    "78.箫",
    "79.口哨",
    "80.陶笛",
    "81.方波",
    "82.锯齿波",
    "83.诗歌",
    "84.合成吹管",
    "85.合成电吉他",
    "86.独奏嗓音",
    "87.五度和音",
    "88.贝司前奏",
    "89.幻想曲",
    "90.温暖音",
    "91.和音",
    "92.合唱",
    "93.弹弓",
    "94.金属音",
    "95.光环音",
    "96.横扫音",
    "97.雨声",
    "98.单轨",
    "99.水晶",
    "100.大气声",
    "101.明亮",
    "102.精灵音",
    "103.回响音",
    "104.科幻声",
    "105.锡塔尔琴",
    "106.班卓琴",
    "107.啥米森琴",
    "108.十三弦古筝",
    "109.卡里姆琴",
    "110.苏格兰风笛",
    "111.提琴",
    "112.三弦",
    "113.铃当声",
    "114.阿哥鼓",
    "115.钢鼓",
    "116.木版",
    "117.太空音",
    "118.古高音鼓",
    "119.架子鼓",
    "120.合成鼓",
    "121.游戏音",
    "122.呼吸噪音",
    "123.海浪声",
    "124.鸟叫",
    "125.打电话 ",
    "126.直升飞机",
    "127.欢呼",
    "128.枪声",
};

const char *const kDrums[kDrumCount] = {
    "低音大鼓",
    "低音鼓",
    "鼓边敲击",
    "小鼓",
    "拍掌",
    "电子小鼓",
    "落地鼓-低音",
    "闭合双面钹",
    "落地鼓-高音",
    "踏板双面钹",
    "中音鼓-低音",
    "开放双面钹",
    "中音鼓-中低",
    "中音鼓-中高",
    "铜钹 1",
    "高音鼓-高音",
    "高架钹",
    "中国铜钹",
    "悬挂钟",
    "摇鼓",
    "溅开钹声",
    "牛铃",
    "铜钹 2",
    "颤击",
    "高架钹 2",
    "南美鼓-高音",
    "南美鼓-低音",
    "康加鼓-闷高",
    "康加鼓-开高",
    "康加鼓-低音",
    "定音鼓-高音",
    "定音鼓-低音",
    "阿哥哥-高音",
    "阿哥哥-低音",
    "抓筒",
    "响葫芦",
    "短口哨",
    "长口哨",
    "短梗笛",
    "长梗笛",
    "响鞭",
    "木鱼-高音",
    "木鱼-低音",
    "木笛-闷音",
    "木笛-开音",
    "三角铃-闷音",
    "三角铃-开音",
};

const char *const kBuiltInRhythms[kBuiltInRhythmCount] = {
    "05000003021B*---*---*---*-------*-------*---*-***-***-***-**-----*-------*---1-24.bin",
    "07000103042E*---*---*---*-----*---*---*---*---------------**---------------*-2-24.bin",
    "07002A291201*-*---*-*-*-*-------*---------*-----*---------*--*-*---*-*-*-*---3-24.bin",
    "050101040901*--*--*--*--*------*-----*--*------*-----*--*----*-----*---------34-1.bin",
    "050101040301*--*------------------*--*--*---------*--*--*----*--*------------34-2.bin",
    "050101040B01*--*-----*---------*--*-----*------*--*-----*----*--------*------34-3.bin",
    "05020003091B*-------*---*-------*-*-----*---*-*-*-*-*-*-*-*----***-*---*---*-44-5.bin",
    "050200030927*---*---*---*---*---*---*---*-***-*-*-*-*-*-*-*--*-----*-*-----*-44-4.bin",
    "05020B090500--------------*-*-*-*-*-*-*-*-------*-------*----*-----*-*-------44-2.bin",
};

const char *const kHelpTopics[kHelpTopicCount] = {
    "    Quorvane电子琴是一款用电脑键盘和鼠标\r\n"
    "演奏MIDI音乐的软件。旋律可同时使用128种\r\n"
    "乐器中的任意1-3种乐器，节奏伴奏可使用1-4\r\n"
    "种打击乐器，和弦可使用任一种乐器，另有6\r\n"
    "种特殊音效乐器。乐谱可以手工输入和编辑，\r\n"
    "并由电脑自动演奏，乐谱采用通俗易懂的TXT\r\n"
    "文本格式。实时演奏和自动演奏都可以录制为\r\n"
    "WAV格式的录音文件。欢迎提出宝贵的意见和\r\n"
    "建议！",
    "    电脑键盘和鼠标都可以立即演奏。按下任\r\n"
    "一个键时，信息显示窗口会显示这个键的含义；\r\n"
    "点击键盘图片可以查看音符在键盘上的分布。\r\n"
    "如果键盘演奏无声，请将输入法切换为英语(\r\n"
    "美国)输入方式。演奏的音符和时值会自动记\r\n"
    "录到乐谱窗口中。空格键终止一切声音；点击\r\n"
    "“键盘”按钮可恢复键盘演奏功能；F1至F12键\r\n"
    "可以切换12种乐器组合。\r\n"
    "    不用鼠标时，按Ctrl+Tab键离开“键盘”\r\n"
    "按钮，再按Tab键逐个选择窗口中的其他按钮\r\n"
    "和列表；按Esc键回到键盘演奏。",
    "    点击“打开”按钮可打开已保存的乐谱并自\r\n"
    "动演奏。乐谱中L、W、K、H、M表示最低音、\r\n"
    "低音、中音、高音、最高音，C、D、E、F、G、\r\n"
    "A、B表示哆、唻、咪、法、嗦、啦、希，例如\r\n"
    "KC表示中音哆。音符后面的数字是时值，以八\r\n"
    "分之一拍为单位，取1至99，不能为0，也不能\r\n"
    "超过99，与前一个时值相同时可以省略。XZ表\r\n"
    "示休止，TZ表示结束，乐谱的最后必须加上TZ。\r\n"
    "YQ1至YQ12选择乐器组合；VS1至VS12选择速度；\r\n"
    "JP1至JP9启动软件自带节奏，JP10至JP98启动\r\n"
    "演奏记录文件夹中的节奏文件，JP99停止节奏；\r\n"
    "HX1至HX6演奏和弦；YX1至YX6演奏特殊音效。\r\n"
    "选中“自动同步”时，节奏随自动演奏一同启动\r\n"
    "和停止。乐谱可以在乐谱窗口中直接输入，也\r\n"
    "可以在“演奏记录”文件夹中用文本文件编写。",
    "    节奏面板中可以任意选择四种打击乐器，\r\n"
    "每种乐器右边的彩色小方块就是节拍，勾选小\r\n"
    "方块即在这一拍发声。点击“启动”可以预听节\r\n"
    "奏，节奏的速度跟随旋律的速度。点击“保存”\r\n"
    "可以把节奏保存为节奏文件。选中“自动同步”\r\n"
    "后，节奏随自动演奏或键盘演奏一同启动和停\r\n"
    "止。",
    "    在和弦面板中选择一种和弦，或点击“启\r\n"
    "动”按钮试听和弦。和弦可以使用任意一种乐\r\n"
    "器演奏，既可以演奏持续和弦，也可以演奏分\r\n"
    "解和弦。",
    "    迷你窗口是一个总在最前面的小窗口，可\r\n"
    "以一边看乐谱图片一边演奏。返回主窗口后，\r\n"
    "在迷你窗口中的演奏会写入乐谱窗口，可以重\r\n"
    "放或编辑。",
    "    点击三角形按钮可以打开并播放录音，播\r\n"
    "放到结尾时自动停止；点击方形按钮停止；点\r\n"
    "击圆形按钮开始录音；点击“保存”按钮可以把\r\n"
    "录音保存为WAV文件。录音录下的正是本软件\r\n"
    "发出的声音，不需要在系统中设置录音输入，\r\n"
    "没有声卡也能录音，其他程序的声音不会录进\r\n"
    "去。",
};

const char *const kEditorHelpText =
    "   本音乐编辑窗口仍然使用电子琴的音符符号,每种\r\r\n"
    "乐器后面都有该乐器的演奏音量，当改变了某小节的\r\r\n"
    "旋律或打击乐时应试听本小节，当改变了本小节的音\r\r\n"
    "调，速度，音量等内容时应保存本小节，未完成的编\r\r\n"
    "辑可以保存为编辑文件以备下次继续，录音等操作与\r\r\n"
    "电子琴相同！\r\n"
    "\t\t有任何意见或建议请联系\r\n"
    "\t\t\tQuorvane电子琴开发组";

// Key help texts 401..433 follow one pattern: " K 键", the octave word with
// the sung syllable, and the code the score uses.
struct KeyHelp {
    const char *key;
    const char *code;
};
const KeyHelp kKeyHelp[] = {
    {"1", "LC"}, {"2", "LD"}, {"3", "LE"}, {"4", "LF"}, {"5", "LG"}, {"6", "LA"}, {"7", "LB"},
    {"Q", "WC"}, {"W", "WD"}, {"E", "WE"}, {"R", "WF"}, {"T", "WG"}, {"Y", "WA"}, {"U", "WB"},
    {"A", "KC"}, {"S", "KD"}, {"D", "KE"}, {"F", "KF"}, {"G", "KG"}, {"H", "KA"}, {"J", "KB"},
    {"Z", "HC"}, {"X", "HD"}, {"C", "HE"}, {"V", "HF"}, {"B", "HG"}, {"N", "HA"}, {"M", "HB"},
    {"8", "MC"}, {"9", "MD"}, {"0", "ME"}, {"-", "MF"}, {"=", "MG"},
};

QString octaveWord(QChar octave)
{
    switch (octave.unicode()) {
    case 'L': return QStringLiteral("最低音");
    case 'W': return QStringLiteral("低音");
    case 'K': return QStringLiteral("中音");
    case 'H': return QStringLiteral("高音");
    default: return QStringLiteral("最高音");
    }
}

QString syllable(QChar note)
{
    const QString letters = QStringLiteral("CDEFGAB");
    const QString names = QStringLiteral("哆唻咪法嗦啦希");
    return names.mid(letters.indexOf(note), 1);
}

QString keyHelpText(const KeyHelp &k)
{
    const QString code = QString::fromLatin1(k.code);
    return QStringLiteral(" ") + QString::fromLatin1(k.key) + QStringLiteral(" 键\r\n")
           + octaveWord(code[0]) + QStringLiteral("（") + syllable(code[1])
           + QStringLiteral("）\r\n乐谱中用 ") + code + QStringLiteral(" 表示");
}

QHash<int, QString> buildTable()
{
    QHash<int, QString> table;
    table.insert(kEditorHelp, QString::fromUtf8(kEditorHelpText));
    for (int i = 0; i < kInstrumentCount; ++i)
        table.insert(kFirstInstrument + i, QString::fromUtf8(kInstruments[i]));
    for (int i = 0; i < kDrumCount; ++i)
        table.insert(kFirstDrum + i, QString::fromUtf8(kDrums[i]));
    int id = kFirstKeyHelp;
    for (const KeyHelp &k : kKeyHelp)
        table.insert(id++, keyHelpText(k));
    for (int i = 0; i < kHelpTopicCount; ++i)
        table.insert(kFirstHelpTopic + i, QString::fromUtf8(kHelpTopics[i]));
    for (int i = 0; i < kBuiltInRhythmCount; ++i)
        table.insert(kFirstBuiltInRhythm + i, QString::fromUtf8(kBuiltInRhythms[i]));
    return table;
}

const QHash<int, QString> &table()
{
    static const QHash<int, QString> t = buildTable();
    return t;
}

}  // namespace

QString text(int id)
{
    return table().value(id);
}

bool has(int id)
{
    return table().contains(id);
}

QStringList instrumentNames()
{
    QStringList names;
    for (int i = 0; i < kInstrumentCount; ++i)
        names << text(kFirstInstrument + i);
    return names;
}

QStringList drumNames()
{
    QStringList names;
    for (int i = 0; i < kDrumCount; ++i)
        names << text(kFirstDrum + i);
    return names;
}

}  // namespace StringTable
