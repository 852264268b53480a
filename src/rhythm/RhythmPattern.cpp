#include "rhythm/RhythmPattern.h"

#include "core/Session.h"
#include "core/SharedState.h"
#include "core/MidiMessage.h"
#include "platform/dialogs/UserDialogs.h"
#include "resources/StringTable.h"
#include "midiport/MidiPort.h"

#include <QFileInfo>

namespace {

// Layout of a rhythm text (zero-based): six two-digit hex header values, then
// row A cells 0..15, row B 0..15, row C 0..16, row D 0..15, then the title.
constexpr int kHeaderLength = 12;
constexpr int kRowStart[RhythmPattern::kRows] = {12, 28, 44, 61};
constexpr int kRowStored[RhythmPattern::kRows] = {16, 16, 17, 16};
constexpr int kTitleStart = 77;

constexpr int kInstrumentSteps = 16;  // an instrument change rewrites steps 0..15 only
constexpr int kPercussionStatus = Midi::NoteOn | Midi::kPercussionChannel;  // 153

quint32 rhythmMessage(int velocity, int instrument)
{
    return quint32(velocity) * 65536u + quint32(instrument + 35) * 256u + kPercussionStatus;
}

int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

struct Header {
    int volume = 0;
    int signature = 0;
    int instrument[RhythmPattern::kRows] = {};
};

// Reads the six header values; false unless every one is two hex digits
// within its range.
bool readHeader(const QString &text, Header *h)
{
    int values[6];
    for (int k = 0; k < 6; ++k) {
        const int hi = hexDigit(text[2 * k]);
        const int lo = hexDigit(text[2 * k + 1]);
        if (hi < 0 || lo < 0)
            return false;
        values[k] = hi * 16 + lo;
    }
    h->volume = values[0];
    h->signature = values[1];
    if (h->volume >= RhythmPattern::kVolumeCount || h->signature > 2)
        return false;
    for (int r = 0; r < RhythmPattern::kRows; ++r) {
        h->instrument[r] = values[2 + r];
        if (h->instrument[r] >= RhythmPattern::kDrumCount)
            return false;
    }
    return true;
}

QString hex2(int value)
{
    if (value < 0)
        value = 0;  // a row without a drum yet
    return QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

// The title: the bare file name, without blanks at its ends, exactly 16
// characters. Control characters would break the one-line file.
QString titleOf(const QString &fileName)
{
    QString name = QFileInfo(fileName).fileName();
    for (QChar &c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    int from = 0;
    int to = int(name.size());
    while (from < to && name[from] == QLatin1Char(' '))
        ++from;
    while (to > from && name[to - 1] == QLatin1Char(' '))
        --to;
    QString title = name.mid(from, to - from).left(RhythmPattern::kTitleLength);
    // Never leave half of a surrogate pair at the cut.
    if (title.size() == RhythmPattern::kTitleLength && title.back().isHighSurrogate())
        title.back() = QLatin1Char(' ');
    return title.leftJustified(RhythmPattern::kTitleLength, QLatin1Char(' '));
}

// Colour of cell i in time signature k: alternating red and yellow groups
// of 2, 3 or 4 cells, red first.
CellColour colourFor(int k, int i)
{
    const int group = k == 0 ? 2 : (k == 1 ? 3 : 4);
    return (i / group) % 2 == 0 ? CellColour::Red : CellColour::Yellow;
}

}  // namespace

RhythmPattern::RhythmPattern(Session &ctx, QObject *parent) : QObject(parent), ctx_(ctx)
{
    colours_.fill(CellColour::Red);
}

bool RhythmPattern::Cells(int row, int i) const
{
    if (row < 0 || row >= kRows || i < 0 || i >= kCellsPerRow)
        return false;
    return cells_[size_t(row)][size_t(i)];
}

qint16 RhythmPattern::Instrument(int row) const
{
    return (row >= 0 && row < kRows) ? instrument_[size_t(row)] : qint16(-1);
}

CellColour RhythmPattern::cellColour(int i) const
{
    return (i >= 0 && i < kCellsPerRow) ? colours_[size_t(i)] : CellColour::Red;
}

bool RhythmPattern::isCellVisible(int i) const
{
    return i != 15 || cell15Visible_;
}

void RhythmPattern::SetRhythmCell(int row, int i, bool set)
{
    if (row < 0 || row >= kRows || i < 0 || i >= kCellsPerRow)
        return;
    if (cells_[size_t(row)][size_t(i)] == set)
        return;
    // Ticking a cell of row D lets the player hear the step being played.
    if (row == 3 && set)
        ctx_.port.PlayRhythmStep(ctx_.state.Steps, ctx_.state.StepIndex);
    cells_[size_t(row)][size_t(i)] = set;
    ctx_.state.Steps.cell(i, row).Sounding = set ? -1 : 0;
    emit cellChanged(row, i, set);
}

void RhythmPattern::SetRhythmInstrument(int row, int position)
{
    if (row < 0 || row >= kRows || position < 0 || position >= kDrumCount)
        return;
    instrument_[size_t(row)] = qint16(position);
    const int v = volumeNumber();
    for (int step = 0; step < kInstrumentSteps; ++step) {
        StepCell &c = ctx_.state.Steps.cell(step, row);
        c.Note = qint16(position + 35);
        c.Message = rhythmMessage(v, position);
    }
    emit instrumentChanged(row, position);
}

void RhythmPattern::SetRhythmVolume(int index)
{
    if (index < 0 || index >= kVolumeCount)
        return;
    volumeIndex_ = qint16(index);
    writeVolume();
    emit volumeChanged(index);
}

void RhythmPattern::SelectTimeSignature(int k)
{
    if (k < 0 || k > 2)
        return;
    timeSignature_ = qint16(k);
    lastStep_ = k == 1 ? 14 : 15;
    emit timeSignatureChanged(k);

    // Grid: cell 15 belongs to 2/4 and 4/4 only; cells 0 and 16 stay red.
    if (k != 1)
        cell15Visible_ = true;
    recolour(k, lastStep_);
    if (k == 1)
        cell15Visible_ = false;
    emit gridChanged();
}

void RhythmPattern::BZXS()
{
    recolour(timeSignature_, timeSignature_ == 2 ? 15 : lastStep_);
    emit gridChanged();
}

void RhythmPattern::recolour(int k, int bound)
{
    // Cell 15 keeps its colour while hidden in 3/4.
    bound = qMin(bound, k == 1 ? 14 : 15);
    for (int i = 1; i <= bound; ++i)
        colours_[size_t(i)] = colourFor(k, i);
}

bool RhythmPattern::OpenJZwj()
{
    // A copy: applying may show a box (a MIDI error), during which others run.
    const QString text = ctx_.state.RhythmText;
    Header h;
    if (text.size() < kMinTextLength || !readHeader(text, &h)) {
        ctx_.dialogs.message(openErrorText());
        return false;
    }
    SetRhythmVolume(h.volume);
    SelectTimeSignature(h.signature);
    for (int r = 0; r < kRows; ++r)
        SetRhythmInstrument(r, h.instrument[r]);
    for (int r = 0; r < kRows; ++r) {
        for (int i = 0; i < kRowStored[r]; ++i)
            SetRhythmCell(r, i, text[kRowStart[r] + i] == QLatin1Char('*'));
    }
    return true;
}

QString RhythmPattern::composeRhythmText(const QString &fileName) const
{
    QString text;
    text.reserve(kTitleStart + kTitleLength);
    text += hex2(volumeIndex_);
    text += hex2(timeSignature_);
    for (int r = 0; r < kRows; ++r)
        text += hex2(instrument_[size_t(r)]);
    for (int r = 0; r < kRows; ++r) {
        for (int i = 0; i < kRowStored[r]; ++i)
            text += cells_[size_t(r)][size_t(i)] ? QLatin1Char('*') : QLatin1Char('-');
    }
    Q_ASSERT(text.size() == kTitleStart && kHeaderLength == kRowStart[0]);
    text += titleOf(fileName);
    return text;
}

void RhythmPattern::writeVolume()
{
    const int v = volumeNumber();
    for (int row = 0; row < kRows; ++row) {
        for (int step = 0; step <= lastStep_; ++step) {
            StepCell &c = ctx_.state.Steps.cell(step, row);
            c.Velocity = qint16(v);
            c.Message = rhythmMessage(v, instrument_[size_t(row)]);
        }
    }
}

void RhythmPattern::rebuildSteps()
{
    writeVolume();
    for (int step = 0; step <= lastStep_; ++step)
        ctx_.state.Steps.cell(step, 4).Sounding = 0;  // the editor's fifth row stays silent here
}

void RhythmPattern::writeStepTable()
{
    const int v = volumeNumber();
    for (int step = 0; step < kCellsPerRow; ++step) {
        for (int row = 0; row < kRows; ++row) {
            StepCell &c = ctx_.state.Steps.cell(step, row);
            c.Sounding = cells_[size_t(row)][size_t(step)] ? -1 : 0;
            if (instrument_[size_t(row)] >= 0)
                c.Note = qint16(instrument_[size_t(row)] + 35);
            c.Velocity = qint16(v);
            c.Message = rhythmMessage(v, instrument_[size_t(row)]);
        }
        ctx_.state.Steps.cell(step, 4).Sounding = 0;
    }
}

QString RhythmPattern::builtInRhythmText(int n)
{
    if (n < 1 || n > kBuiltInCount)
        return QString();
    return StringTable::text(StringTable::kFirstBuiltInRhythm - 1 + n);
}

QString RhythmPattern::builtInRhythmName(int n)
{
    if (n < 1 || n > kBuiltInCount)
        return QString();
    const int beats = 2 + (n - 1) / 3;
    return QStringLiteral("%1/4节奏%2").arg(beats).arg((n - 1) % 3 + 1);
}

QString RhythmPattern::builtInRhythmFileName(int n)
{
    return builtInRhythmText(n).mid(kTitleStart);
}

QStringList RhythmPattern::drumList()
{
    return StringTable::drumNames();
}

QStringList RhythmPattern::volumeList()
{
    QStringList list;
    for (int i = 0; i < kVolumeCount; ++i)
        list << QString::number(50 + 10 * i);
    return list;
}

QString RhythmPattern::openErrorText()
{
    return QStringLiteral("打开节奏文件出错，请检查！");
}
