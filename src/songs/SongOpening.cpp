#include "songs/SongOpening.h"

#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "performance/MelodyVoices.h"
#include "rhythm/RhythmPattern.h"
#include "platform/dialogs/UserDialogs.h"
#include "songs/midifile/MidiFile.h"

SongOpening::SongOpening(Session &ctx, WindowDisplay &display, MelodyVoices &voices, RhythmPattern *pattern)
    : ctx_(ctx), display_(display), voices_(voices), pattern_(pattern)
{
}

bool SongOpening::accepts(const QString &path)
{
    return SongImport::isMidiFile(path);
}

int SongOpening::choosableParts(const SongImportResult &r)
{
    int count = 0;
    for (const SongMelody::Part &p : r.parts)
        count += p.percussion ? 0 : 1;
    return count;
}

void SongOpening::open(const QString &path)
{
    SongImportResult r = SongImport::importFile(path);
    if (!r.ok) {
        ctx_.dialogs.message(QStringLiteral("无法导入MIDI文件“%1”。\n%2").arg(r.fileName, r.error));
        return;
    }
    if (chooser_ && choosableParts(r) > 1) {
        MidiSong song;
        QString error;
        MidiFile::read(path, &song, &error);
        std::unique_ptr<SongAudition> audition;
        std::function<void()> ended;
        if (send_) {
            audition = std::make_unique<SongAudition>(ctx_.clock, send_);
            audition->finished = [&ended] {
                if (ended)
                    ended();
            };
        }
        const PartChoice choice{
            r,
            [&](int part) {
                if (!audition)
                    return;
                if (part <= 0)
                    audition->stop();
                else
                    audition->play(SongImport::partSound(song, part));
            },
            [&] { return audition && audition->playing(); },
            [&](std::function<void()> f) { ended = std::move(f); }};
        const int part = chooser_(choice);
        audition.reset();
        if (part <= 0)
            return;
        if (part != r.part) {
            r = SongImport::importFile(path, part);
            if (!r.ok) {
                ctx_.dialogs.message(QStringLiteral("无法导入MIDI文件“%1”。\n%2").arg(r.fileName, r.error));
                return;
            }
        }
    }
    display_.LastFilePath = path;
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
