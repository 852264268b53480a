#include "songs/SongOpening.h"

#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "performance/MelodyVoices.h"
#include "rhythm/RhythmPattern.h"
#include "platform/dialogs/UserDialogs.h"
#include "songs/SongImport.h"

SongOpening::SongOpening(Session &ctx, WindowDisplay &display, MelodyVoices &voices, RhythmPattern *pattern)
    : ctx_(ctx), display_(display), voices_(voices), pattern_(pattern)
{
}

bool SongOpening::accepts(const QString &path)
{
    return SongImport::isMidiFile(path);
}

void SongOpening::open(const QString &path)
{
    display_.LastFilePath = path;
    const SongImportResult r = SongImport::importFile(path);
    if (!r.ok) {
        ctx_.dialogs.message(QStringLiteral("无法导入MIDI文件“%1”。\n%2").arg(r.fileName, r.error));
        return;
    }
    ctx_.state.ScoreText = r.score;
    display_.setText3(r.score);
    display_.markText3Kept();  // the song file holds it
    voices_.selectKey(r.keyPosition);
    QString beat;
    if (pattern_ && r.beatsPerBar > 0) {
        // As a click on the rhythm panel's option: 2/4, 3/4, 4/4.
        pattern_->SelectTimeSignature(r.beatsPerBar - 2);
        beat = QStringLiteral("节奏的拍子已设为%1/4，").arg(r.beatsPerBar);
    }
    QString text = QStringLiteral("已导入MIDI文件“%1”。\n%2\n%3“音调”已设为%4，点击“试听”演奏。")
                       .arg(r.fileName, r.summary(), beat, MelodyVoices::keyTexts().value(r.keyPosition));
    if (!r.warnings.isEmpty())
        text += QLatin1Char('\n') + r.warnings.join(QLatin1Char('\n'));
    ctx_.dialogs.message(text);
    display_.setFJWZ(doneStatus());
}
