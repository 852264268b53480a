#include "RecordingMidiBackend.h"
#include "ScriptedDialogs.h"
#include "TestMain.h"

#include "core/Clock.h"
#include "midiport/MidiDeviceList.h"
#include "midiport/MidiPort.h"
#include "midiport/SoundFontChoice.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

// Records the fonts chosen; lists what the test put in `found`.
class RecordingFontChoice : public SoundFontChoice {
public:
    QStringList found;
    QString playing;
    QStringList chosen;

    QStringList fonts() const override { return found; }
    QString current() const override { return playing; }
    void choose(const QString &path) override { chosen << path; }
};

// A port with the default output and two devices, its list showing the
// fonts of a temporary folder.
struct FontListRig {
    RecordingMidiBackend backend;
    ScriptedDialogs dialogs;
    VirtualClock clock;
    MidiPort port{backend, dialogs, clock};
    MidiDeviceList list{port};
    RecordingFontChoice fonts;
    QTemporaryDir dir;

    FontListRig() { backend.devices = {{"Synth A", true}, {"Synth B", true}}; }

    // "name" makes a file, "a -> b" a link a to b; returns the paths.
    QStringList make(const QStringList &files)
    {
        QStringList paths;
        for (const QString &file : files) {
            const QStringList parts = file.split(" -> ");
            const QString path = QDir(dir.path()).filePath(parts[0]);
            if (parts.size() == 2) {
                QFile::link(QDir(dir.path()).filePath(parts[1]), path);
            } else {
                QFile f(path);
                f.open(QIODevice::WriteOnly);
            }
            paths << path;
        }
        return paths;
    }

    QStringList texts() const
    {
        QStringList out;
        for (const MidiDeviceEntry &e : list.entries())
            out << e.text;
        return out;
    }
};

}  // namespace

// The sound font entries of a device list, after the devices.
class FontEntriesTest : public QObject {
    Q_OBJECT
private slots:
    void entriesFollowTheDevices_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("playing");  // index into files, -1: none
        QTest::addColumn<QStringList>("expected");  // after the three devices
        const QString pick = MidiDeviceList::pickEntryText();
        QTest::newRow("no font found: only the pick entry") << QStringList{} << -1 << QStringList{pick};
        QTest::newRow("one font, playing")
            << QStringList{"FluidR3_GM.sf2"} << 0 << QStringList{"内置合成器：FluidR3_GM（当前）", pick};
        QTest::newRow("several, the system's link named by its font")
            << QStringList{"TimGM6mb.sf2", "default-GM.sf2 -> TimGM6mb.sf2", "FluidR3_GM.sf2", "Other.sf3"} << 2
            << QStringList{"内置合成器：TimGM6mb", "内置合成器：TimGM6mb", "内置合成器：FluidR3_GM（当前）",
                           "内置合成器：Other", pick};
        QTest::newRow("playing through the link marks both names")
            << QStringList{"TimGM6mb.sf2", "default-GM.sf2 -> TimGM6mb.sf2"} << 1
            << QStringList{"内置合成器：TimGM6mb（当前）", "内置合成器：TimGM6mb（当前）", pick};
        QTest::newRow("a font that is gone keeps its file name")
            << QStringList{"gone.sf2 -> nowhere.sf2"} << -1 << QStringList{"内置合成器：gone", pick};
    }

    void entriesFollowTheDevices()
    {
        QFETCH(QStringList, files);
        QFETCH(int, playing);
        QFETCH(QStringList, expected);
        FontListRig rig;
        rig.fonts.found = rig.make(files);
        if (playing >= 0)
            rig.fonts.playing = rig.fonts.found[playing];
        rig.list.setSoundFontChoice(&rig.fonts, &rig.dialogs);
        QVERIFY(rig.list.refresh());
        // The devices keep their places, texts and ids.
        QCOMPARE(rig.list.deviceCount(), 3);
        const QStringList devices{rig.backend.defaultName, "Synth A", "Synth B"};
        QCOMPARE(rig.texts(), devices + expected);
        const QVector<qint16> ids{-1, 0, 1};
        for (int i = 0; i < rig.list.entries().size(); ++i)
            QCOMPARE(rig.list.entries()[i].id, i < 3 ? ids[i] : MidiDeviceList::kSynthesizerId);
        // Position 1 opens device 0 and is shown, as at every start.
        rig.list.select(1);
        QCOMPARE(rig.list.position(), 1);
        QCOMPARE(rig.backend.lastOpenedId, 0);
        QVERIFY(rig.fonts.chosen.isEmpty());
    }

    // Choosing a font entry: the built-in synthesizer is opened if another
    // device was, the font goes to the choice, the list shows the device.
    void choosingAFontEntry_data()
    {
        QTest::addColumn<int>("openFirst");  // position selected before, -1: none
        QTest::addColumn<int>("entry");  // 3, 4: fonts; 5: pick
        QTest::addColumn<QString>("answer");  // the file dialog's answer ("" = cancel)
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<int>("opens");  // devices opened after the first selection
        QTest::addColumn<int>("position");
        QTest::newRow("font, synthesizer open: not reopened") << 1 << 3 << "" << true << 0 << 1;
        QTest::newRow("font, other device open: synthesizer opened") << 2 << 4 << "" << true << 1 << 1;
        QTest::newRow("font, default output open") << 0 << 3 << "" << true << 1 << 1;
        QTest::newRow("font, nothing open") << -1 << 4 << "" << true << 1 << 1;
        QTest::newRow("pick a file") << 2 << 5 << "/x/Mine.sf3" << true << 1 << 1;
        QTest::newRow("pick cancelled: nothing changes") << 2 << 5 << "" << false << 0 << 2;
    }

    void choosingAFontEntry()
    {
        QFETCH(int, openFirst);
        QFETCH(int, entry);
        QFETCH(QString, answer);
        QFETCH(bool, chosen);
        QFETCH(int, opens);
        QFETCH(int, position);
        FontListRig rig;
        rig.fonts.found = rig.make({"FluidR3_GM.sf2", "TimGM6mb.sf2"});
        rig.fonts.playing = rig.fonts.found[0];
        rig.list.setSoundFontChoice(&rig.fonts, &rig.dialogs);
        rig.list.refresh();
        if (openFirst >= 0)
            rig.list.select(openFirst);
        const int opensBefore = rig.backend.openCount;
        rig.dialogs.openAnswers << answer;
        QSignalSpy shown(&rig.list, &MidiDeviceList::positionChanged);

        rig.list.select(entry);

        const QString font = entry == 5 ? answer : rig.fonts.found[entry - 3];
        QCOMPARE(rig.fonts.chosen, chosen ? QStringList{font} : QStringList{});
        QCOMPARE(rig.backend.openCount - opensBefore, opens);
        QCOMPARE(rig.list.position(), position);
        // The box is told to show the open device again, not the entry clicked.
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.last().at(0).toInt(), position);
        QCOMPARE(rig.dialogs.openRequests.size(), entry == 5 ? 1 : 0);
        if (entry == 5) {
            QCOMPARE(rig.dialogs.openRequests[0].filter, QString("音色库|*.sf2;*.sf3"));
            QCOMPARE(rig.dialogs.openRequests[0].folder, rig.dir.path());
        }
        QVERIFY(rig.dialogs.messages.isEmpty());
    }

    // Another font plays: the marks move, the devices and the open one stay.
    void refreshFontsMovesTheMark()
    {
        FontListRig rig;
        rig.fonts.found = rig.make({"FluidR3_GM.sf2", "TimGM6mb.sf2"});
        rig.list.refreshFonts();  // before the first listing: nothing yet
        QVERIFY(rig.list.entries().isEmpty());
        rig.fonts.playing = rig.fonts.found[0];
        rig.list.setSoundFontChoice(&rig.fonts, &rig.dialogs);
        rig.list.refresh();
        rig.list.select(2);
        rig.fonts.playing = rig.fonts.found[1];
        QSignalSpy changed(&rig.list, &MidiDeviceList::entriesChanged);
        rig.list.refreshFonts();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(rig.texts().mid(3), (QStringList{"内置合成器：FluidR3_GM", "内置合成器：TimGM6mb（当前）",
                                                  MidiDeviceList::pickEntryText()}));
        QCOMPARE(rig.list.position(), 2);
        QCOMPARE(rig.backend.lastOpenedId, 1);
    }
};

DZQ_REGISTER_TEST(FontEntriesTest)
#include "FontEntriesTest.moc"
