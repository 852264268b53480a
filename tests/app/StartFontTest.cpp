#include "TestMain.h"

#include "BrokenFontRig.h"

#include "platform/audio/SynthSetup.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString installed(const QString &name)
{
    for (const QString &path : SynthSetup::soundFontCandidates()) {
        if (QFileInfo(QFileInfo(path).canonicalFilePath()).completeBaseName() == name)
            return path;
    }
    return QString();
}

// Starts the program in a home of its own, reads the font it names on the
// terminal once its sound is ready, and ends it as a signal does; `terminal`
// gets all it printed.
QString fontOfARun(const QString &home, const QStringList &arguments, QString *terminal = nullptr)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("TMPDIR", home);
    env.insert("XDG_RUNTIME_DIR", home);
    env.remove("XDG_CONFIG_HOME");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DZQ_BINARY), arguments);
    QString err, font;
    for (int waited = 0; font.isEmpty() && waited < 60; ++waited) {
        p.waitForReadyRead(1000);
        err += QString::fromLocal8Bit(p.readAllStandardError());
        for (const QString &line : err.split('\n')) {
            if (line.startsWith("dzq: 音色库："))
                font = line.mid(QString("dzq: 音色库：").size());
        }
    }
    p.terminate();
    if (!p.waitForFinished(20000))
        p.kill();
    if (terminal)
        *terminal = err + QString::fromLocal8Bit(p.readAllStandardError());
    return font;
}

}  // namespace

// The font a run starts with: named on the command line, else the one
// remembered from the window, else the system's.
class StartFontTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (installed("TimGM6mb").isEmpty() || installed("FluidR3_GM").isEmpty())
            QSKIP("FluidR3_GM and TimGM6mb are not both installed");
    }

    void startsWithTheRememberedFont_data()
    {
        QTest::addColumn<QString>("remembered");  // a font's name, "gone", or ""
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("plays");  // a font's name, or "system"
        QTest::addColumn<QString>("rememberedAfter");
        QTest::newRow("remembered font") << "TimGM6mb"
                                         << ""
                                         << "TimGM6mb"
                                         << "TimGM6mb";
        QTest::newRow("nothing remembered") << ""
                                            << ""
                                            << "system"
                                            << "";
        QTest::newRow("remembered font gone: the system's, forgotten") << "gone"
                                                                       << ""
                                                                       << "system"
                                                                       << "";
        QTest::newRow("remembered font without samples: the system's, forgotten") << "smpl0"
                                                                                 << ""
                                                                                 << "system"
                                                                                 << "";
        QTest::newRow("remembered font damaged: the system's, forgotten") << "presets"
                                                                          << ""
                                                                          << "system"
                                                                          << "";
        QTest::newRow("command line font without samples: the system's") << ""
                                                                           << "smpl0"
                                                                           << "system"
                                                                           << "";
        QTest::newRow("command line wins, not remembered") << "TimGM6mb"
                                                           << "FluidR3_GM"
                                                           << "FluidR3_GM"
                                                           << "TimGM6mb";
    }

    void startsWithTheRememberedFont()
    {
        QFETCH(QString, remembered);
        QFETCH(QString, commandLine);
        QFETCH(QString, plays);
        QFETCH(QString, rememberedAfter);
        QTemporaryDir home;
        const QString config = QDir(home.path()).filePath(".config/Quorvane/dzq.conf");
        const auto path = [&](const QString &name) {
            if (name == "gone")
                return QDir(home.path()).filePath("Gone.sf2");
            if (name == "smpl0" || name == "presets")
                return makeBrokenFont(home.path(), name, installed("TimGM6mb"));
            return installed(name);
        };
        if (!remembered.isEmpty()) {
            QSettings settings(config, QSettings::IniFormat);
            settings.setValue("audio/soundFont", path(remembered));
        }
        QStringList arguments;
        if (!commandLine.isEmpty())
            arguments << "--soundfont" << path(commandLine);

        QString terminal;
        const QString font = fontOfARun(home.path(), arguments, &terminal);
        // The sound libraries keep their complaints about a broken font to themselves.
        QVERIFY2(!terminal.contains("CRITICAL") && !terminal.contains("**"), qPrintable(terminal));

        const QString expected = plays == "system" ? SynthSetup::findSoundFont() : path(plays);
        QVERIFY2(SynthSetup::sameFile(font, expected), qPrintable(font + " / " + expected));
        QSettings settings(config, QSettings::IniFormat);
        const QString after = settings.value("audio/soundFont").toString();
        QCOMPARE(after, rememberedAfter.isEmpty() ? QString() : path(rememberedAfter));
    }
};

DZQ_REGISTER_TEST(StartFontTest)
#include "StartFontTest.moc"
