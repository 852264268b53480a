#include "TestMain.h"

#include "resources/StringTable.h"

class StringTableTest : public QObject {
    Q_OBJECT
private slots:
    void instrumentNamesAreExact()
    {
        const QStringList names = StringTable::instrumentNames();
        QCOMPARE(names.size(), 129);
        QCOMPARE(names[0], QString("0.无声"));
        QCOMPARE(names[2], QString("2.电钢琴 "));
        QCOMPARE(names[15], QString("15.编钟"));
        QCOMPARE(names[125], QString("125.打电话 "));
        QCOMPARE(names[128], QString("128.枪声"));
        for (int i = 0; i < names.size(); ++i)
            QVERIFY2(names[i].startsWith(QString::number(i) + "."), qPrintable(names[i]));
    }

    void drumNamesAreExact()
    {
        const QStringList drums = StringTable::drumNames();
        QCOMPARE(drums.size(), 47);
        QCOMPARE(drums[0], QString("低音大鼓"));
        QCOMPARE(drums[49 - 35], QString("铜钹 1"));
        QCOMPARE(drums[57 - 35], QString("铜钹 2"));
        QCOMPARE(drums[59 - 35], QString("高架钹 2"));
        QCOMPARE(drums[46], QString("三角铃-开音"));
    }

    void keyHelpTexts()
    {
        QCOMPARE(StringTable::text(415), QString(" A 键\r\n中音（哆）\r\n乐谱中用 KC 表示"));
        QCOMPARE(StringTable::text(401), QString(" 1 键\r\n最低音（哆）\r\n乐谱中用 LC 表示"));
        QCOMPARE(StringTable::text(432), QString(" - 键\r\n最高音（法）\r\n乐谱中用 MF 表示"));
        QCOMPARE(StringTable::text(433), QString(" = 键\r\n最高音（嗦）\r\n乐谱中用 MG 表示"));
        QVERIFY(!StringTable::has(434));
    }

    void builtInRhythmsAndHelp()
    {
        QCOMPARE(StringTable::text(601),
                 QString("05000003021B*---*---*---*-------*-------*---*-***-***-***-**-----*-------*---1-24.bin"));
        QCOMPARE(StringTable::text(609).right(8), QString("44-2.bin"));
        for (int i = 500; i <= 506; ++i)
            QVERIFY(StringTable::text(i).size() > 20);
        QVERIFY(StringTable::text(99).startsWith("   本音乐编辑窗口仍然使用电子琴的音符符号,每种\r\r\n"));
        QVERIFY(StringTable::text(99).contains("\r\n\t\t有任何意见或建议请联系\r\n\t\t\t"));
    }
};

DZQ_REGISTER_TEST(StringTableTest)
#include "StringTableTest.moc"
