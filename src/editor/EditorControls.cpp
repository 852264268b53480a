#include "editor/EditorControls.h"

#include "core/SharedState.h"
#include "platform/dialogs/UserDialogs.h"
#include "midiport/MidiPort.h"

#include <cmath>

namespace {

// The initial list index of every row's instrument.
constexpr int kInitialInstruments[EditorModel::kRows] = {15, 52, 79, 83, 25, 1, 3, 4, 41, 17};
constexpr int kInitialTempo = 4;  // "80"

}  // namespace

double EditorControls::Val(const QString &text)
{
    // The number at the start of the text; 0 when there is none.
    const QString t = text.trimmed();
    int end = 0;
    if (end < t.size() && (t[end] == QLatin1Char('-') || t[end] == QLatin1Char('+')))
        ++end;
    bool point = false;
    while (end < t.size()) {
        const QChar c = t[end];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            ++end;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
            ++end;
        } else {
            break;
        }
    }
    bool ok = false;
    const double value = t.left(end).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

EditorControls::EditorControls(Session &ctx, EditorModel &model, QObject *parent)
    : QObject(parent), ctx_(ctx), model_(model)
{
    for (int r = 0; r < kRows; ++r) {
        instrument_[size_t(r)] = kInitialInstruments[r];
        volumeText_[size_t(r)] = QStringLiteral("70");
    }
    scrollMax_ = model_.lastUsableMeasure();
}

QStringList EditorControls::volumeList()
{
    QStringList list;
    for (int v = 20; v <= 120; v += 10)
        list << QString::number(v);
    return list;
}

QStringList EditorControls::tempoList()
{
    QStringList list;
    for (int t = 60; t <= 120; t += 5)
        list << QString::number(t);
    return list;
}

QStringList EditorControls::keyList()
{
    return {QStringLiteral("C"), QStringLiteral("C#"), QStringLiteral("D"), QStringLiteral("D#"),
            QStringLiteral("E"), QStringLiteral("F"), QStringLiteral("F#"), QStringLiteral("G"),
            QStringLiteral("G#"), QStringLiteral("A"), QStringLiteral("A#"), QStringLiteral("B")};
}

// ---- opening ---------------------------------------------------------------

void EditorControls::activate()
{
    const qint16 lastStep = model_.MeasureLastStep;
    if (!initialised_) {
        model_.CurrentMeasure = 0;
        model_.MeasureLastStep = 15;
        BJQD();
    }
    model_.ClearEdit();
    // Cells kept from an edit in another measure size fall into other measures now.
    if (model_.MeasureLastStep != lastStep)
        model_.resliceRowTexts();
    initialised_ = true;
    showCurrentMeasure(Header::IfMoved);
}

void EditorControls::unload()
{
    initialised_ = false;
    for (auto &row : boxes_)
        row.fill(false);
    for (auto &text : melody_)
        text.clear();
    typing_.fill(false);
    xjzs_ = QStringLiteral("0");
    xjxss_ = QStringLiteral("实际小节数是(1-2)小节");
    scrollValue_ = 0;
}

void EditorControls::BJQD()
{
    model_.MeasureLastStep = 15;
    timeSignature_ = 0;
    for (auto &row : boxes_)
        row.fill(false);
    emit timeSignatureChanged(0);
    emit gridRebuilt(gridBoxes());
    for (int r = 0; r < kRows; ++r)
        selectInstrument(r, kInitialInstruments[r]);
    for (int r = 0; r < kRows; ++r)
        setVolumeText(r, QStringLiteral("70"));
    selectKey(0);
    selectTempo(kInitialTempo);
    for (int r = 0; r < kMelodyRows; ++r)
        ctx_.port.ProgramChange(qint16(r), 0, qint16(instrument_[size_t(r)] - 1));
    scrollMax_ = model_.lastUsableMeasure();
}

// ---- lists -----------------------------------------------------------------

int EditorControls::instrument(int row) const
{
    return row >= 0 && row < kRows ? instrument_[size_t(row)] : 0;
}

void EditorControls::selectInstrument(int row, int index)
{
    if (row < 0 || row >= kRows || index < 0 || index >= (row < kMelodyRows ? kMelodyInstruments : kDrums))
        return;
    instrument_[size_t(row)] = index;
    emit instrumentChanged(row, index);
    if (row < kMelodyRows) {
        ctx_.port.ProgramChange(qint16(row), 0, qint16(index - 1));
    } else if (model_.measureFits(model_.CurrentMeasure)) {
        // The drum of the shown measure's steps; their velocity stays.
        const int v = row - kMelodyRows;
        for (int s = 0; s < model_.StepCount(); ++s) {
            StepCell &cell = ctx_.state.Steps.cell(model_.firstStep(model_.CurrentMeasure) + s, v);
            cell.Note = qint16(index + 35);
            cell.Message = drumMessage(index + 35, volumeNumber(row));
        }
    }
}

QString EditorControls::volumeText(int row) const
{
    return row >= 0 && row < kRows ? volumeText_[size_t(row)] : QString();
}

qint16 EditorControls::volumeNumber(int row) const
{
    return qint16(qBound(0.0, std::floor(Val(volumeText(row))), 127.0));
}

bool EditorControls::typeVolumeText(int row, const QString &text)
{
    // A volume that is not a positive number (a box being retyped) is not
    // taken: the row keeps its volume.
    if (!(Val(text) > 0))
        return false;
    setVolumeText(row, text);
    return true;
}

void EditorControls::setVolumeText(int row, const QString &text)
{
    if (row < 0 || row >= kRows)
        return;
    volumeText_[size_t(row)] = text;
    model_.RowVolumes[size_t(row)] = volumeNumber(row);
    emit volumeTextChanged(row, text);
}

void EditorControls::selectKey(int index)
{
    if (index < 0 || index >= MeasureHeader::kKeyCount)
        return;
    keyIndex_ = index;
    ctx_.state.KeyBase = qint16(36 + index);
    emit keyChanged(index);
}

void EditorControls::selectTempo(int index)
{
    if (index < 0 || index >= MeasureHeader::kTempoCount)
        return;
    tempoIndex_ = index;
    setTempoText(tempoList().at(index));
}

bool EditorControls::setTempoText(const QString &text)
{
    const double bpm = Val(text);
    const double ms = bpm > 0 ? std::floor(15000.0 / bpm) : 0;
    if (ms < 1 || ms > 32767)
        return false;
    tempoText_ = text;
    const int listed = int(tempoList().indexOf(text.trimmed()));
    if (listed >= 0)
        tempoIndex_ = listed;
    model_.StepInterval = qint16(ms);
    emit tempoChanged(tempoIndex_, tempoText_);
    emit stepIntervalChanged(model_.StepInterval);
    return true;
}

void EditorControls::selectTimeSignature(int option)
{
    if (option < 0 || option > 2)
        return;
    const qint16 last = qint16(15 + 8 * option);
    const bool resized = last != model_.MeasureLastStep;
    model_.MeasureLastStep = last;
    // The cells are not converted: the same steps now fall into other
    // measures, and every text shows what its measure will sound.
    if (resized)
        model_.resliceRowTexts();
    DKJZWJ();
    showCurrentMeasure(Header::IfMoved);
    emit choiceMade();
}

void EditorControls::DKJZWJ()
{
    const int last = model_.MeasureLastStep;
    timeSignature_ = last == 15 ? 0 : last == 23 ? 1 : last == 31 ? 2 : -1;
    // The boxes created at run time are new and unticked; box 0 stays.
    for (auto &row : boxes_) {
        for (size_t s = 1; s < row.size(); ++s)
            row[s] = false;
    }
    keepWithinCapacity();
    emit timeSignatureChanged(timeSignature_);
    emit gridRebuilt(gridBoxes());
}

void EditorControls::keepWithinCapacity()
{
    // The step tables hold 1600 steps: 100 measures in 2/4, 66 in 3/4, 50 in 4/4.
    const int last = model_.lastUsableMeasure();
    model_.CurrentMeasure = qBound(0, int(model_.CurrentMeasure), last);
    model_.MeasureTotal = qBound(0, int(model_.MeasureTotal), last);
    scrollMax_ = qBound(0, scrollMax_, last);
}

// ---- the measure shown ---------------------------------------------------------

QString EditorControls::melodyText(int row) const
{
    return row >= 0 && row < kMelodyRows ? melody_[size_t(row)] : QString();
}

void EditorControls::setRowMelodyText(int row, const QString &text)
{
    melody_[size_t(row)] = text.left(melodyMaxLength());
    emit melodyTextChanged(row, melody_[size_t(row)]);
}

void EditorControls::setMelodyText(int row, const QString &text)
{
    if (row < 0 || row >= kMelodyRows)
        return;
    typing_[size_t(row)] = true;
    setRowMelodyText(row, text);
}

void EditorControls::melodyFocusLost(int row)
{
    if (row < 0 || row >= kMelodyRows || !model_.measureFits(model_.CurrentMeasure))
        return;
    typing_[size_t(row)] = false;
    setRowMelodyText(row, model_.SplitRowText(row, melody_[size_t(row)]));
}

void EditorControls::commitTyping()
{
    for (int r = 0; r < kMelodyRows; ++r) {
        if (typing_[size_t(r)])
            melodyFocusLost(r);
    }
}

bool EditorControls::boxTicked(int row, int step) const
{
    const int v = row - kMelodyRows;
    if (v < 0 || v >= kPercussionRows || step < 0 || step >= gridBoxes())
        return false;
    return boxes_[size_t(v)][size_t(step)];
}

void EditorControls::setBox(int row, int step, bool ticked)
{
    boxes_[size_t(row - kMelodyRows)][size_t(step)] = ticked;
    emit boxChanged(row, step, ticked);
}

void EditorControls::clickBox(int row, int step, bool ticked)
{
    const int v = row - kMelodyRows;
    if (v < 0 || v >= kPercussionRows || step < 0 || step >= gridBoxes())
        return;
    setBox(row, step, ticked);
    if (model_.measureFits(model_.CurrentMeasure))
        model_.SetBeat(row, step, ticked);
}

void EditorControls::setXJZS(const QString &text)
{
    xjzs_ = text;
    emit xjzsChanged(text);
}

int EditorControls::measureInXJZS() const
{
    const double typed = std::round(Val(xjzs_));
    return int(qBound(0.0, typed, double(model_.lastUsableMeasure())));
}

QString EditorControls::realBarsText(int measure)
{
    return QStringLiteral("实际小节数是(%1-%2)小节").arg(2 * measure + 1).arg(2 * measure + 2);
}

void EditorControls::setScrollMaximum(int maximum)
{
    scrollMax_ = qBound(0, maximum, model_.lastUsableMeasure());
}

void EditorControls::followMeasureTotal()
{
    // Every measure of the music stays reachable with the scroll bar.
    if (scrollMax_ < model_.MeasureTotal)
        setScrollMaximum(model_.MeasureTotal);
}

void EditorControls::scrollTo(int value)
{
    model_.CurrentMeasure = qBound(0, value, model_.lastUsableMeasure());
    showCurrentMeasure(Header::IfMoved);
}

void EditorControls::showCurrentMeasure(Header header)
{
    keepWithinCapacity();
    const int m = model_.CurrentMeasure;
    const bool moved = m != scrollValue_;
    scrollValue_ = m;
    scrollMax_ = qMax(scrollMax_, m);
    emit scrollChanged(scrollMax_, scrollValue_);
    setXJZS(QString::number(m));
    xjxss_ = realBarsText(m);
    emit xjxssChanged(xjxss_);
    const bool applyHeader = header == Header::Apply || (header == Header::IfMoved && moved);
    if (applyHeader && MeasureHeader::hasSettings(model_.MeasureHeaders(m)))
        CXTSB();
    for (int r = 0; r < kMelodyRows; ++r) {
        if (moved)
            typing_[size_t(r)] = false;
        if (!typing_[size_t(r)])
            setRowMelodyText(r, model_.RowTexts(m, r));
    }
    for (int row = kMelodyRows; row < kRows; ++row) {
        for (int j = 0; j < gridBoxes(); ++j) {
            const bool hit = model_.StepCells(model_.firstStep(m) + j, row) == QLatin1String("O");
            if (hit != boxTicked(row, j))
                clickBox(row, j, hit);  // as a click: the row text is rebuilt
        }
    }
}

// ---- measure settings ------------------------------------------------------------

MeasureSettings EditorControls::currentSettings() const
{
    MeasureSettings s;
    for (int r = 0; r < kRows; ++r) {
        s.programs[size_t(r)] = instrument_[size_t(r)] - 1;
        s.volumes[size_t(r)] = volumeNumber(r);
    }
    s.keyIndex = keyIndex_;
    s.tempoIndex = tempoIndex_;
    return s;
}

int EditorControls::nearestTempoIndex(double bpm)
{
    const QStringList tempos = tempoList();
    int nearest = 0;
    for (int i = 1; i < tempos.size(); ++i) {
        if (std::abs(tempos.at(i).toDouble() - bpm) < std::abs(tempos.at(nearest).toDouble() - bpm))
            nearest = i;
    }
    return nearest;
}

void EditorControls::settleTypedTempo()
{
    const double bpm = Val(tempoText_);
    const int nearest = nearestTempoIndex(bpm);
    const QString listed = tempoList().at(nearest);
    if (tempoText_ == listed && tempoIndex_ == nearest)
        return;
    // What is stored is what plays from now on, and what the list shows.
    selectTempo(nearest);
    if (listed.toDouble() != bpm)
        ctx_.dialogs.message(QStringLiteral("小节设置只能保存速度列表中的速度（60到120，每档5拍/分钟）。"
                                            "输入的速度%1已改为最接近的%2拍/分钟保存。")
                                 .arg(QString::number(bpm), listed));
}

void EditorControls::BCXJ()
{
    const int m = model_.CurrentMeasure;
    if (m < 0 || m >= EditorModel::kMeasures)
        return;
    settleTypedTempo();
    const MeasureSettings s = currentSettings();
    model_.KeyTexts[size_t(m)] = QStringLiteral("%1").arg(s.keyIndex, 2, 10, QLatin1Char('0'));
    model_.TempoTexts[size_t(m)] = QStringLiteral("%1").arg(s.tempoIndex, 2, 10, QLatin1Char('0'));
    for (int r = 0; r < kRows; ++r) {
        model_.RowVolumes[size_t(r)] = s.volumes[size_t(r)];
        model_.RowPrograms[size_t(r)] = s.programs[size_t(r)];
    }
    model_.setMeasureHeader(m, MeasureHeader::compose(m, s));
    showCurrentMeasure(Header::Keep);
    emit choiceMade();
}

void EditorControls::CXTSB()
{
    const int m = model_.CurrentMeasure;
    const QString header = model_.MeasureHeaders(m);
    const ParsedHeader p = MeasureHeader::parse(header);
    for (int a = 0; a < kRows; ++a) {
        if (p.programValid[size_t(a)]) {
            model_.RowPrograms[size_t(a)] = p.settings.programs[size_t(a)];
            instrument_[size_t(a)] = p.settings.programs[size_t(a)] + 1;
            emit instrumentChanged(a, instrument_[size_t(a)]);
        }
        if (p.volumeValid[size_t(a)])
            setVolumeText(a, QString::number(p.settings.volumes[size_t(a)]));
    }
    if (m >= 0 && m < EditorModel::kMeasures) {
        model_.KeyTexts[size_t(m)] = header.mid(44, 2);
        model_.TempoTexts[size_t(m)] = header.right(2);
    }
    if (p.keyValid)
        selectKey(p.settings.keyIndex);
    if (p.tempoValid)
        selectTempo(p.settings.tempoIndex);
    for (int r = 0; r < kMelodyRows; ++r)
        ctx_.port.ProgramChange(qint16(r), 0, qint16(instrument_[size_t(r)] - 1));
    if (model_.measureFits(m)) {
        for (int s = 0; s < model_.StepCount(); ++s)
            writeDrumCells(model_.firstStep(m) + s);
    }
}

void EditorControls::writeDrumCells(int step, bool withVelocity)
{
    if (!StepTable::validStep(step))
        return;
    for (int v = 0; v < kPercussionRows; ++v) {
        const int row = kMelodyRows + v;
        const int note = instrument_[size_t(row)] + 35;
        StepCell &cell = ctx_.state.Steps.cell(step, v);
        cell.Note = qint16(note);
        if (withVelocity)
            cell.Velocity = volumeNumber(row);
        cell.Message = drumMessage(note, volumeNumber(row));
    }
}

// ---- measure buttons --------------------------------------------------------------

void EditorControls::insertMeasure()
{
    const int next = model_.CurrentMeasure + 1;
    if (!model_.measureFits(next)) {
        ctx_.dialogs.message(QStringLiteral("按当前的节奏类型，编辑器最多只能容纳%1个小节，不能再插入新的小节！")
                                 .arg(model_.lastUsableMeasure() + 1));
        return;
    }
    // The next measure's texts are blanked; its cells stay, and its boxes
    // show them, so nothing sounds there that the window does not show.
    model_.MeasureRowsClear(next);
    model_.CurrentMeasure = next;
    if (model_.MeasureTotal <= model_.CurrentMeasure)
        model_.MeasureTotal = qMin(model_.CurrentMeasure + 1, model_.lastUsableMeasure());
    followMeasureTotal();
    showCurrentMeasure(Header::IfMoved);
    emit choiceMade();
}

void EditorControls::clearMeasure()
{
    model_.MeasureRowsClear(model_.CurrentMeasure);
    for (int row = kMelodyRows; row < kRows; ++row) {
        for (int j = 0; j < gridBoxes(); ++j) {
            if (boxTicked(row, j))
                clickBox(row, j, false);
        }
    }
    typing_.fill(false);
    showCurrentMeasure(Header::Keep);
    emit choiceMade();
}

void EditorControls::askMeasureTotal()
{
    QString answer;
    const QString prompt = QStringLiteral("请输入音乐需要的小节总数\r\n     （音乐每两小节为软件的一小节）");
    if (ctx_.dialogs.input(prompt, QStringLiteral("选择小节总数"), QString(), &answer)) {
        bool ok = false;
        const int total = answer.trimmed().toInt(&ok);
        const int last = model_.lastUsableMeasure();
        if (!ok || total < 0 || total > last) {
            ctx_.dialogs.message(QStringLiteral("小节总数应是0到%1之间的整数（0表示不改变）。").arg(last));
        } else if (total != 0) {
            model_.MeasureTotal = total;
            followMeasureTotal();
            showCurrentMeasure(Header::Keep);
        }
    }
    emit choiceMade();
}
