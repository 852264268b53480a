#include <QApplication>

#include "RecordingMidiBackend.h"
#include "ScriptedDialogs.h"
#include "TestMain.h"

#include "core/Clock.h"
#include "midiport/DeviceListBox.h"
#include "midiport/MidiDeviceList.h"
#include "midiport/MidiPort.h"
#include "midiport/SoundFontChoice.h"

#include <QComboBox>

namespace {

class RecordingFontChoice : public SoundFontChoice {
public:
    QStringList found{"/fonts/A.sf2", "/fonts/B.sf3"};
    QStringList chosen;

    QStringList fonts() const override { return found; }
    QString current() const override { return QString(); }
    void choose(const QString &path) override { chosen << path; }
};

}  // namespace

// The drop-down list as the user works it: a font entry activated leaves
// the box on the device that plays it.
class DeviceListBoxTest : public QObject {
    Q_OBJECT
private slots:
    void activatingAFontEntryShowsTheSynthesizer_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("chosenCount");
        QTest::newRow("a font") << 3 << "" << 1 << 1;
        QTest::newRow("a picked file") << 5 << "/x/C.sf2" << 1 << 1;
        QTest::newRow("pick cancelled: the device open before") << 5 << "" << 2 << 0;
        QTest::newRow("a device") << 0 << "" << 0 << 0;
    }

    void activatingAFontEntryShowsTheSynthesizer()
    {
        QFETCH(int, entry);
        QFETCH(QString, answer);
        QFETCH(int, shown);
        QFETCH(int, chosenCount);
        RecordingMidiBackend backend;
        backend.devices = {{"Synth A", true}, {"Synth B", true}};
        ScriptedDialogs dialogs;
        dialogs.openAnswers << answer;
        VirtualClock clock;
        MidiPort port(backend, dialogs, clock);
        MidiDeviceList list(port);
        RecordingFontChoice fonts;
        list.setSoundFontChoice(&fonts, &dialogs);
        QComboBox box;
        int chosenRuns = 0;
        showDeviceList(&box, list, [&] { ++chosenRuns; });
        list.refresh();
        list.select(2);  // another device plays
        QCOMPARE(box.count(), 6);
        QCOMPARE(box.currentIndex(), 2);
        QCOMPARE(box.itemData(3).toInt(), 0);

        box.setCurrentIndex(entry);
        emit box.activated(entry);

        QCOMPARE(box.currentIndex(), shown);
        QCOMPARE(fonts.chosen.size(), chosenCount);
        QCOMPARE(chosenRuns, 1);
        QCOMPARE(box.count(), 6);
    }
};

DZQ_GUI_TEST_MAIN(DeviceListBoxTest)
#include "DeviceListBoxTest.moc"
