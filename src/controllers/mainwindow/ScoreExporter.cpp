#include "controllers/mainwindow/ScoreExporter.h"

#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "jianpu/NotationSheet.h"
#include "rhythm/RhythmPattern.h"
#include "songs/MusicXml.h"
#include "platform/dialogs/UserDialogs.h"
#include "score/ScoreReader.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

// Keeps what the render wants to tell the user, to be shown once it is done.
class CollectedNotices : public Notifier {
public:
    QStringList texts;

    void message(const QString &text, const QString &) override
    {
        if (!texts.contains(text))
            texts << text;
    }
};

// As the play button reads the box, but only a..z change, so that every
// position in the text stays where the user sees it.
QString upperCaseLetters(QString text)
{
    for (QChar &c : text) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return text;
}

}  // namespace

ScoreExporter::ScoreExporter(Session &ctx, WindowDisplay &display, const RhythmPattern *pattern)
    : ctx_(ctx), display_(display), pattern_(pattern)
{
}

int ScoreExporter::beatsPerBar() const
{
    return pattern_ ? Notation::beatsForTimeSignature(pattern_->TimeSignature()) : 4;
}

bool ScoreExporter::exportMusicXml(const QString &score, const QString &path)
{
    MusicXml::Options o;
    o.keyPosition = ctx_.state.KeyBase - 36;
    o.beatsPerBar = beatsPerBar();
    o.title = QFileInfo(path).completeBaseName();
    const MusicXml::Export r = MusicXml::exportScore(score, path, o);
    switch (r.status) {
    case MusicXml::Export::Failed:
        ctx_.dialogs.message(QStringLiteral("导出MusicXML文件失败。\n%1").arg(r.message));
        return false;
    case MusicXml::Export::ScoreError:
        ctx_.dialogs.message(r.message + QStringLiteral("\n出错之前的部分已导出到MusicXML文件中。"));
        return true;
    case MusicXml::Export::Ok:
        break;
    }
    if (!r.notice.isEmpty())
        ctx_.dialogs.message(r.notice);
    display_.setFJWZ(musicXmlDoneStatus());
    return true;
}

bool ScoreExporter::DcMidiClicked()
{
    const QString score = upperCaseLetters(display_.Text3());
    if (score.isEmpty()) {
        ctx_.dialogs.message(QStringLiteral("乐谱编辑窗口中没有乐谱，没有可以导出的内容！\n请先演奏、输入或打开一个乐谱。"));
        return false;
    }
    if (!ScoreReader::withinLengthLimit(score)) {
        ctx_.dialogs.message(ScoreReader::tooLongMessage());
        return false;
    }
    QString path = ctx_.dialogs.saveFile(filter(), ctx_.recordFolder, true);
    if (path.isEmpty())
        return false;
    // A name typed without an extension gets ".mid"; the dialog only asked
    // about the name as typed, so an existing file of the new name is kept.
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".mid");
        if (QFileInfo::exists(path)) {
            ctx_.dialogs.message(QStringLiteral("文件“%1”已经存在，没有导出。\n请换一个文件名再导出。")
                                     .arg(QDir::toNativeSeparators(path)));
            return false;
        }
    }
    if (MusicXml::isMusicXmlFile(path))
        return exportMusicXml(score, path);
    // Any other extension is written as MIDI, as before there was a choice.
    const ScoreExport::Kind kind =
        ScoreExport::kindOf(path) == ScoreExport::Kind::Wav ? ScoreExport::Kind::Wav : ScoreExport::Kind::Midi;
    const QString typeName = kind == ScoreExport::Kind::Wav ? QStringLiteral("WAV") : QStringLiteral("MIDI");

    CollectedNotices notices;
    ScoreExport::Options exportOptions = options;
    exportOptions.beatsPerBar = beatsPerBar();
    ScoreExport::Result result;
    bool cancelled = false;
    if (kind == ScoreExport::Kind::Wav) {
        // Rendering takes a while: on a thread of its own behind a progress
        // box, so the windows keep drawing and the user can cancel.
        const QString recordFolder = ctx_.recordFolder;
        ctx_.dialogs.runWithProgress(progressLabel(QFileInfo(path).fileName()), [&](const ProgressReport &report) {
            ScoreExport::Options wavOptions = exportOptions;
            wavOptions.progress = [&](int percent) {
                cancelled = !report(percent);
                return !cancelled;
            };
            result = ScoreExport::exportScore(score, path, kind, recordFolder, notices, wavOptions);
        });
    } else {
        result = ScoreExport::exportScore(score, path, kind, ctx_.recordFolder, notices, exportOptions);
    }
    // Said in a box: the status line is taken over by a score that plays.
    if (cancelled && result.status == ScoreExport::Failed) {
        ctx_.dialogs.message(ScoreExport::cancelledMessage());
        return false;
    }
    for (const QString &text : std::as_const(notices.texts))
        ctx_.dialogs.message(text);

    switch (result.status) {
    case ScoreExport::Failed:
        ctx_.dialogs.message(QStringLiteral("导出%1文件失败。\n%2").arg(typeName, result.message));
        return false;
    case ScoreExport::ScoreError:
        ctx_.dialogs.message(result.message + QStringLiteral("\n出错之前演奏的部分已导出到%1文件中。").arg(typeName));
        return true;
    case ScoreExport::Ok:
        break;
    }
    if (!result.notice.isEmpty())
        ctx_.dialogs.message(result.notice);
    display_.setFJWZ(doneStatus(kind));
    return true;
}
