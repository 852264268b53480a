#include "platform/audio/SynthSetup.h"

#include "core/MidiMessage.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <fluidsynth.h>

namespace SynthSetup {

QStringList soundFontFolders()
{
    return {QStringLiteral("/usr/share/sounds/sf2"), QStringLiteral("/usr/share/sounds/sf3")};
}

QStringList soundFontCandidates(const QStringList &folders)
{
    // The system's choice (the update-alternatives links) before the fonts
    // we know sound well, then whatever else is installed, by name.
    static const char *const preferred[] = {"default-GM.sf2", "default-GM.sf3", "FluidR3_GM.sf2",
                                            "FluidR3_GM.sf3", "TimGM6mb.sf2",   "TimGM6mb.sf3"};
    QStringList names;
    for (const char *name : preferred)
        for (const QString &folder : folders)
            names << QDir(folder).filePath(QString::fromLatin1(name));
    for (const QString &folder : folders) {
        const QStringList found = QDir(folder).entryList({QStringLiteral("*.sf2"), QStringLiteral("*.sf3")},
                                                         QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
        for (const QString &name : found)
            names << QDir(folder).filePath(name);
    }
    // A font reached under two names (a link) is listed once, by the first.
    QStringList fonts;
    QSet<QString> seen;
    for (const QString &name : names) {
        const QFileInfo info(name);
        const QString real = info.canonicalFilePath();
        if (real.isEmpty() || !info.isFile() || seen.contains(real))
            continue;
        seen.insert(real);
        fonts << info.absoluteFilePath();
    }
    return fonts;
}

bool looksLikeSoundFont(const QString &path)
{
    // SF2 and SF3 are RIFF files of form "sfbk".
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "sfbk";
}

QString findSoundFont(const QStringList &folders)
{
    for (const QString &path : soundFontCandidates(folders)) {
        if (looksLikeSoundFont(path))
            return path;
    }
    return QString();
}

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo x(a), y(b);
    const QString cx = x.canonicalFilePath(), cy = y.canonicalFilePath();
    if (!cx.isEmpty() && !cy.isEmpty())
        return cx == cy;
    return cx.isEmpty() && cy.isEmpty() && x.absoluteFilePath() == y.absoluteFilePath();
}

QString missingSoundFontText()
{
    return QStringLiteral("未找到 General MIDI 音色库，内置合成器不能发声。"
                          "请安装软件包 fluid-soundfont-gm（sudo apt install fluid-soundfont-gm）后重新启动本程序。");
}

QString soundFontLoadFailedText(const QString &path)
{
    return QStringLiteral("音色库 %1 无法加载，内置合成器不能发声。"
                          "请重新安装软件包 fluid-soundfont-gm 后重新启动本程序。")
        .arg(path);
}

QString notASoundFontText(const QString &path)
{
    return QStringLiteral("文件“%1”不是可用的音色库（SF2或SF3文件），或者已经损坏。")
        .arg(QDir::toNativeSeparators(path));
}

fluid_settings_t *newSettings(int sampleRate, Samples samples, int channels)
{
    fluid_settings_t *s = new_fluid_settings();
    if (!s)
        return nullptr;
    fluid_settings_setnum(s, "synth.sample-rate", double(sampleRate));
    fluid_settings_setnum(s, "synth.gain", kSynthGain);
    fluid_settings_setint(s, "synth.reverb.active", 1);
    fluid_settings_setint(s, "synth.chorus.active", 1);
    fluid_settings_setint(s, "synth.threadsafe-api", 1);
    fluid_settings_setint(s, "synth.cpu-cores", 1);
    fluid_settings_setint(s, "synth.midi-channels", channels);
    if (samples == Samples::OnDemand)
        fluid_settings_setint(s, "synth.dynamic-sample-loading", 1);
    return s;
}

}  // namespace SynthSetup
