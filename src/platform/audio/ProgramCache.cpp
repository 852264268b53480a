#include "platform/audio/ProgramCache.h"

#include "core/MidiMessage.h"
#include "platform/audio/FontFile.h"
#include "platform/audio/SynthLock.h"


#include <fluidsynth.h>

#include <algorithm>
#include <utility>

namespace {

constexpr int kDrumChannel = 9;

}  // namespace

ProgramCache::ProgramCache(SynthGate &gate) : gate_(gate) { }

ProgramCache::~ProgramCache() { close(); }

void ProgramCache::open(fluid_synth_t *synth, const QString &fontPath, std::function<void()> beforeRead)
{
    close();
    synth_ = synth;
    beforeRead_ = std::move(beforeRead);
    pins_.assign(kPins, Pin());
    for (std::size_t c = 0; c < 16; ++c) {
        chosen_[c] = Key{c == kDrumChannel, 0, 0, 0};
        msb_[c] = lsb_[c] = 0;
    }
    fontSamples_.open(fontPath);  // else the load inside the gate reads for itself
    lastReadAhead_ = ReadAhead();
    // What the channels play before any program change: the font has just
    // given it to every channel, so it is in memory already.
    pin(Key{false, 0, 0, 0}, false);
    pin(Key{true, 0, 0, 0}, false);
}

void ProgramCache::close()
{
    fontSamples_.clear();
    synth_ = nullptr;
    pins_.clear();
}

void ProgramCache::prepare(const MidiMessage &m)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (!synth_)
        return;
    const std::size_t channel = std::size_t(m.channel());
    const int data1 = m.data1 & 0x7F;
    if (m.kind() == Midi::ControlChange && data1 == 0)
        msb_[channel] = m.data2 & 0x7F;
    else if (m.kind() == Midi::ControlChange && data1 == 32)
        lsb_[channel] = m.data2 & 0x7F;
    if (m.kind() != Midi::ProgramChange)
        return;
    const Key key{channel == kDrumChannel, msb_[channel], lsb_[channel], data1};
    chosen_[channel] = key;
    pin(key);
}

void ProgramCache::pin(const Key &key, bool readFirst)
{
    int at = pinOf(key);
    if (at < 0) {
        // Read first, while the callback is free to go on; then the load
        // inside the gate finds the samples in the page cache.
        if (readFirst)
            readAhead(key);
        SynthLock lock(gate_);
        at = freePin();
        pins_[std::size_t(at)] = Pin{key, true, 0};
        FontFile::ReadScope scope(&beforeRead_);
        select(synth_, 16 + at, key);
    }
    pins_[std::size_t(at)].chosen = ++counter_;
}

int ProgramCache::pinOf(const Key &key) const
{
    for (std::size_t i = 0; i < pins_.size(); ++i) {
        if (pins_[i].used && pins_[i].key == key)
            return int(i);
    }
    return -1;
}

int ProgramCache::freePin()
{
    int oldest = -1;
    for (std::size_t i = 0; i < pins_.size(); ++i) {
        if (!pins_[i].used)
            return int(i);
        if (!chosenByAChannel(pins_[i].key) && (oldest < 0 || pins_[i].chosen < pins_[std::size_t(oldest)].chosen))
            oldest = int(i);
    }
    // Every pin taken (more programs than a session uses): the oldest one no
    // channel plays gives way. Its samples go now if no voice plays them,
    // else when the last one ends.
    return oldest >= 0 ? oldest : 0;
}

void ProgramCache::readAhead(const Key &key)
{
    // The preset FluidSynth gives a channel for the key: drums from bank
    // 128 whatever the bank selects, other programs from the bank of the
    // MSB alone (its "gs" bank selection); when the font lacks it, the
    // first preset of that bank for drums, else the program's own and then
    // the first one in bank 0.
    const std::pair<int, int> tried[] = {
        {key.drum ? 128 : key.msb, key.program},
        {key.drum ? 128 : 0, key.drum ? 0 : key.program},
        {key.drum ? 128 : 0, 0},
    };
    for (const auto &[bank, program] : tried) {
        if (fontSamples_.has(bank, program)) {
            FontFile::ReadScope scope(&beforeRead_);
            lastReadAhead_ = ReadAhead{bank, program, fontSamples_.readAhead(bank, program)};
            return;
        }
    }
}

void ProgramCache::select(fluid_synth_t *synth, int channel, const Key &key)
{
    fluid_synth_set_channel_type(synth, channel, key.drum ? CHANNEL_TYPE_DRUM : CHANNEL_TYPE_MELODIC);
    fluid_synth_cc(synth, channel, 0, key.msb);
    fluid_synth_cc(synth, channel, 32, key.lsb);
    fluid_synth_program_change(synth, channel, key.program);
}

bool ProgramCache::chosenByAChannel(const Key &key) const
{
    for (const Key &k : chosen_) {
        if (k == key)
            return true;
    }
    return false;
}

int ProgramCache::trim(bool nothingWaits)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (!synth_ || !nothingWaits)
        return 0;
    std::vector<int> unused;
    for (std::size_t i = 0; i < pins_.size(); ++i) {
        if (pins_[i].used && !chosenByAChannel(pins_[i].key))
            unused.push_back(int(i));
    }
    if (int(unused.size()) <= kKeptUnused)
        return 0;
    // The most recently chosen stay.
    std::sort(unused.begin(), unused.end(),
              [this](int a, int b) { return pins_[std::size_t(a)].chosen < pins_[std::size_t(b)].chosen; });
    unused.resize(unused.size() - kKeptUnused);
    SynthLock lock(gate_);
    // A voice still playing would free the samples when it ends, which may
    // be in the callback: release only while none plays.
    if (fluid_synth_get_active_voice_count(synth_) > 0)
        return 0;
    for (int i : unused) {
        fluid_synth_unset_program(synth_, 16 + i);
        pins_[std::size_t(i)].used = false;
    }
    return int(unused.size());
}

int ProgramCache::pinnedPrograms() const
{
    return int(std::count_if(pins_.begin(), pins_.end(), [](const Pin &p) { return p.used; }));
}
