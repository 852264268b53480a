#include "editor/EditorPlayback.h"

#include "core/Clock.h"
#include "core/SharedState.h"
#include "editor/EditorControls.h"
#include "editor/model/EditorModel.h"
#include "editor/model/MeasureHeader.h"
#include "midiport/MidiPort.h"

EditorPlayback::EditorPlayback(Session &ctx, EditorModel &model, EditorControls &controls, QObject *parent)
    : QObject(parent),
      ctx_(ctx),
      model_(model),
      controls_(controls),
      yyds_(ctx.clock, QStringLiteral("YYDS"), model.StepInterval, this)
{
    yyds_.onTick = [this] { onStepTick(); };
    // A new tempo takes effect from the next tick.
    connect(&controls_, &EditorControls::stepIntervalChanged, this, [this](int ms) { yyds_.setInterval(ms); });
}

QString EditorPlayback::playCaption() { return QStringLiteral("从开始处启动"); }
QString EditorPlayback::stopCaption() { return QStringLiteral("停止当前演奏"); }

QString EditorPlayback::ST2Caption() const { return playing_ ? stopCaption() : playCaption(); }

// ---- notes -----------------------------------------------------------------

void EditorPlayback::noteOff(int r)
{
    // The note the row really sounds, even if the key changed since it began;
    // with none sounding, the note the row's code stands for.
    qint16 &sounding = model_.SoundingMidiNotes[size_t(r)];
    const qint16 note = sounding >= 0 ? sounding : qint16(model_.SoundingNotes[size_t(r)] + ctx_.state.KeyBase);
    ctx_.port.NoteOff(qint16(r), note);
    sounding = -1;
}

void EditorPlayback::allNotesOff()
{
    for (int r = 0; r < EditorModel::kMelodyRows; ++r)
        noteOff(r);
}

void EditorPlayback::computeNoteCodes(int measure)
{
    for (int r = 0; r < EditorModel::kMelodyRows; ++r) {
        for (int s = 0; s < model_.StepCount(); ++s) {
            const int a = model_.firstStep(measure) + s;
            model_.setNoteCode(a, r, EditorModel::SYYPSB(model_.StepCells(a, r)));
        }
    }
}

// ---- audition ----------------------------------------------------------------

void EditorPlayback::audition()
{
    if (playing_)
        stop();
    if (auditioning_)
        allNotesOff();
    if (stopMainRhythm)
        stopMainRhythm();
    Clock::TickScope scope(ctx_.clock);
    auditioning_ = true;
    emit st1Changed(true);
    // The measure named in XJZS is auditioned as the window shows it: a
    // number typed there brings that measure into view first.
    model_.CurrentMeasure = controls_.measureInXJZS();
    controls_.showCurrentMeasure(EditorControls::Header::IfMoved);
    ctx_.state.StepIndex = qint16(model_.firstStep(model_.CurrentMeasure));
    STBXJYY();
}

void EditorPlayback::STBXJYY()
{
    const int m = model_.CurrentMeasure;
    for (int r = 0; r < EditorModel::kMelodyRows; ++r)
        model_.setRowText(m, r, controls_.melodyText(r));
    for (int r = 0; r < EditorModel::kRows; ++r) {
        model_.RowVolumes[size_t(r)] = controls_.volumeNumber(r);
        model_.RowPrograms[size_t(r)] = controls_.instrument(r) - 1;
    }
    for (int r = 0; r < EditorModel::kMelodyRows; ++r)
        ctx_.port.ProgramChange(qint16(r), 0, qint16(model_.RowPrograms[size_t(r)]));
    computeNoteCodes(m);
    for (int s = 0; s < model_.StepCount(); ++s) {
        const int a = model_.firstStep(m) + s;
        controls_.writeDrumCells(a);
        for (int v = 0; v < EditorControls::kPercussionRows; ++v) {
            const int row = EditorModel::kMelodyRows + v;
            const bool hit = controls_.boxTicked(row, s);
            model_.setStepCell(a, row, hit ? QStringLiteral("O") : QStringLiteral("-"));
            ctx_.state.Steps.cell(a, v).Sounding = hit ? -1 : 0;
        }
    }
    XJFS();
}

void EditorPlayback::endAudition()
{
    allNotesOff();
    auditioning_ = false;
    yyds_.setEnabled(false);
    emit st1Changed(false);
    controls_.showCurrentMeasure(EditorControls::Header::Keep);
}

// ---- the music from the start --------------------------------------------------

void EditorPlayback::setST2(bool ticked)
{
    if (ticked == playing_)
        return;
    if (ticked)
        playFromStart();
    else
        stop();
}

void EditorPlayback::setPlaying(bool playing)
{
    playing_ = playing;
    emit st2Changed(playing_, ST2Caption());
    emit helpEnabledChanged(!playing_);
}

void EditorPlayback::playFromStart()
{
    if (auditioning_)
        endAudition();
    if (stopMainRhythm)
        stopMainRhythm();
    Clock::TickScope scope(ctx_.clock);
    // The music never runs past the step tables.
    model_.MeasureTotal = qBound(0, int(model_.MeasureTotal), model_.lastUsableMeasure());
    model_.CurrentMeasure = qBound(0, int(model_.CurrentMeasure), model_.lastUsableMeasure());
    for (int j = 0; j <= model_.MeasureTotal; ++j)
        computeNoteCodes(j);
    // The drums of the shown measure come from the lists; the other measures
    // keep theirs (or take them from the step before when they sound).
    for (int k = 0; k < model_.StepCount(); ++k)
        controls_.writeDrumCells(model_.firstStep(model_.CurrentMeasure) + k);
    for (int j = 0; j <= model_.MeasureTotal; ++j) {
        for (int k = 0; k < model_.StepCount(); ++k) {
            const int a = model_.firstStep(j) + k;
            for (int v = 0; v < EditorControls::kPercussionRows; ++v) {
                const bool hit = model_.StepCells(a, EditorModel::kMelodyRows + v) == QLatin1String("O");
                ctx_.state.Steps.cell(a, v).Sounding = hit ? -1 : 0;
            }
        }
    }
    model_.CurrentMeasure = 0;
    songEnd_ = model_.firstStep(model_.MeasureTotal) + model_.MeasureLastStep;
    ctx_.state.StepIndex = 0;
    setPlaying(true);
    if (MeasureHeader::hasSettings(model_.MeasureHeaders(0)))
        controls_.CXTSB();
    // Measure 0 is shown from its first step: typing goes where the music is.
    controls_.showCurrentMeasure(EditorControls::Header::Keep);
    XJFS();
}

void EditorPlayback::stop()
{
    allNotesOff();
    yyds_.setEnabled(false);
    if (playing_)
        setPlaying(false);
    controls_.showCurrentMeasure(EditorControls::Header::Keep);
}

// ---- steps -------------------------------------------------------------------

void EditorPlayback::XJFS()
{
    const int p = ctx_.state.StepIndex;
    if (!StepTable::validStep(p))
        return;
    StepTable &table = ctx_.state.Steps;
    // Percussion cells never written take the drum and volume of the step before.
    if (p > 0) {
        for (int v = 0; v < EditorControls::kPercussionRows; ++v) {
            StepCell &cell = table.cell(p, v);
            const StepCell &before = table.cell(p - 1, v);
            if (cell.Note == 0)
                cell.Note = before.Note;
            if (cell.Velocity == 0)
                cell.Velocity = before.Velocity;
            if (cell.Message == 0)
                cell.Message = before.Message;
        }
    }
    ctx_.port.PlayRhythmStep(table, qint16(p));

    for (int r = 0; r < EditorModel::kMelodyRows; ++r) {
        const QString t = model_.StepCells(p, r);
        const qint16 c = model_.NoteCodes(p, r);
        const bool endMark = t == QLatin1String("TZ");
        if (!endMark && c >= 0 && c < 64) {
            noteOff(r);
            if (controls_.instrument(r) != 0) {
                const qint16 note = qint16(c + ctx_.state.KeyBase);
                ctx_.port.NoteOn(qint16(r), note, model_.RowVolumes[size_t(r)]);
                model_.SoundingMidiNotes[size_t(r)] = note;
            }
            model_.SoundingNotes[size_t(r)] = c;
        } else if (c == EditorModel::kRest || endMark) {
            noteOff(r);
        }
    }
    lastPlayedMeasure_ = qint16(model_.CurrentMeasure);
    ctx_.state.StepIndex = qint16(p + 1);
    yyds_.setEnabled(true);
}

void EditorPlayback::onStepTick()
{
    const int index = ctx_.state.StepIndex;
    const int end = model_.firstStep(model_.CurrentMeasure) + model_.MeasureLastStep;
    if (auditioning_ && index <= end) {
        XJFS();
    } else if (auditioning_) {
        endAudition();
    } else if (playing_) {
        if (index <= songEnd_ && StepTable::validStep(index)) {
            const int measure = index / model_.StepCount();
            if (measure != model_.CurrentMeasure)
                controls_.commitTyping();  // typed text stays in the measure it was typed in
            model_.CurrentMeasure = measure;
            const bool header = MeasureHeader::hasSettings(model_.MeasureHeaders(model_.CurrentMeasure));
            if (header && lastPlayedMeasure_ != model_.CurrentMeasure)
                controls_.CXTSB();
            // Every step: the window shows the measure playing (its header
            // was applied just now).
            controls_.showCurrentMeasure(EditorControls::Header::Keep);
            XJFS();
        } else {
            allNotesOff();
            yyds_.setEnabled(false);
            setPlaying(false);
        }
    } else {
        yyds_.setEnabled(false);  // nothing to play: the timer rests
    }
}

void EditorPlayback::leave()
{
    yyds_.setEnabled(false);
    allNotesOff();
    if (auditioning_) {
        auditioning_ = false;
        emit st1Changed(false);
    }
    if (playing_)
        setPlaying(false);
}
