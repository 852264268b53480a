#include "practice/PracticeGrading.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <locale>
#include <sstream>

namespace Practice {

namespace {

// Times scaled by a speed are rarely whole: a window's edge belongs to it
// whatever the last bit of the arithmetic says.
constexpr double kEdgeMs = 1e-6;

double percent(int part, int whole)
{
    return whole > 0 ? 100.0 * part / whole : 0.0;
}

}  // namespace

QString modeName(Mode mode)
{
    switch (mode) {
    case Mode::Step:
        return QStringLiteral("step");
    case Mode::Tempo:
        return QStringLiteral("tempo");
    case Mode::Wait:
        break;
    }
    return QStringLiteral("wait");
}

bool modeFromName(const QString &name, Mode *mode)
{
    for (Mode m : {Mode::Wait, Mode::Step, Mode::Tempo}) {
        if (name == modeName(m)) {
            *mode = m;
            return true;
        }
    }
    return false;
}

QString modeCaption(Mode mode)
{
    switch (mode) {
    case Mode::Step:
        return QStringLiteral("逐音");
    case Mode::Tempo:
        return QStringLiteral("跟节奏");
    case Mode::Wait:
        break;
    }
    return QStringLiteral("等待");
}

QVector<Note> atSpeed(const QVector<Note> &notes, int speed)
{
    QVector<Note> scaled = notes;
    if (speed <= 0)
        return scaled;
    for (Note &n : scaled)
        n.ms = n.ms * 100.0 / speed;
    return scaled;
}

void sortNotes(QVector<Note> &notes)
{
    std::stable_sort(notes.begin(), notes.end(), [](const Note &a, const Note &b) {
        return a.ms != b.ms ? a.ms < b.ms : a.pitch < b.pitch;
    });
}

Grader::Grader(Mode mode, QVector<Note> expected, int speed)
    : mode_(mode), speed_(speed), expected_(std::move(expected)), outcomes_(expected_.size(), Outcome::Pending)
{
}

Judgement Grader::play(const Note &played)
{
    Judgement j;
    if (mode_ != Mode::Tempo) {
        j.expected = next_ < expected_.size() ? next_ : -1;
        const bool right = j.expected >= 0 && expected_[j.expected].pitch == played.pitch;
        j.verdict = right ? Verdict::Right : Verdict::Wrong;
        if (right) {
            ++right_;
            outcomes_[next_++] = Outcome::Right;
        } else {
            ++wrong_;
            // 逐音 moves on all the same; 等待 stays on the note.
            if (mode_ == Mode::Step && j.expected >= 0)
                outcomes_[next_++] = Outcome::Wrong;
        }
        return j;
    }
    for (int i = 0; i < expected_.size(); ++i) {
        const Note &e = expected_[i];
        if (outcomes_[i] == Outcome::Right || e.pitch != played.pitch)
            continue;
        const double deviation = played.ms - e.ms;
        if (std::abs(deviation) > kHitWindowMs + kEdgeMs)
            continue;
        outcomes_[i] = Outcome::Right;
        j.verdict = Verdict::Hit;
        j.expected = i;
        j.deviationMs = deviation;
        j.perfect = std::abs(deviation) <= kPerfectWindowMs + kEdgeMs;
        perfect_ += j.perfect ? 1 : 0;
        deviations_ << deviation;
        return j;
    }
    j.verdict = Verdict::Extra;
    ++extra_;
    return j;
}

QVector<int> Grader::passTime(double ms)
{
    QVector<int> missed;
    if (mode_ != Mode::Tempo)
        return missed;
    for (int i = 0; i < expected_.size(); ++i) {
        if (outcomes_[i] == Outcome::Pending && ms > expected_[i].ms + kHitWindowMs + kEdgeMs) {
            outcomes_[i] = Outcome::Missed;
            missed << i;
        }
    }
    return missed;
}

int Grader::current() const
{
    if (mode_ != Mode::Tempo)
        return next_ < expected_.size() ? next_ : -1;
    for (int i = 0; i < expected_.size(); ++i) {
        if (outcomes_[i] == Outcome::Pending)
            return i;
    }
    return -1;
}

Result Grader::result() const
{
    Result r;
    r.mode = mode_;
    r.speed = speed_;
    r.notes = int(expected_.size());
    if (mode_ != Mode::Tempo) {
        r.right = right_;
        r.wrong = wrong_;
        r.missed = r.notes - next_;
        r.accuracy = percent(r.right, r.right + r.wrong + r.missed);
        return r;
    }
    r.hits = int(deviations_.size());
    r.perfect = perfect_;
    r.extra = extra_;
    r.missed = r.notes - r.hits;
    r.accuracy = percent(r.hits, r.notes + r.extra);
    if (r.hits > 0) {
        double sum = 0;
        for (double d : deviations_)
            sum += d;
        r.timingMeanMs = sum / r.hits;
        double squares = 0;
        for (double d : deviations_)
            squares += (d - r.timingMeanMs) * (d - r.timingMeanMs);
        r.timingSdMs = std::sqrt(squares / r.hits);
        r.timed = true;
    }
    return r;
}

Result grade(Mode mode, int speed, const QVector<Note> &expectedAtSpeed, QVector<Note> played)
{
    QVector<Note> expected = expectedAtSpeed;
    sortNotes(expected);
    sortNotes(played);
    Grader grader(mode, expected, speed);
    for (const Note &n : std::as_const(played))
        grader.play(n);
    return grader.result();
}

QString oneDecimal(double value)
{
    // As printf rounds (the exact value of the double, a tie to even), with
    // a point whatever the user's locale.
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed << std::setprecision(1) << value;
    QString text = QString::fromStdString(out.str());
    // No "-0.0" for a figure that rounds to nothing.
    if (text == QLatin1String("-0.0"))
        text = QStringLiteral("0.0");
    return text;
}

QString toJson(const Result &r)
{
    QStringList fields;
    const auto add = [&fields](const char *key, const QString &value) {
        fields << QStringLiteral("\"%1\":%2").arg(QLatin1String(key), value);
    };
    add("mode", QStringLiteral("\"%1\"").arg(modeName(r.mode)));
    add("speed", QString::number(r.speed));
    add("notes", QString::number(r.notes));
    if (r.mode == Mode::Tempo) {
        add("hits", QString::number(r.hits));
        add("perfect", QString::number(r.perfect));
        add("missed", QString::number(r.missed));
        add("extra", QString::number(r.extra));
        add("accuracy", oneDecimal(r.accuracy));
        add("timing_mean_ms", r.timed ? oneDecimal(r.timingMeanMs) : QStringLiteral("null"));
        add("timing_sd_ms", r.timed ? oneDecimal(r.timingSdMs) : QStringLiteral("null"));
    } else {
        add("right", QString::number(r.right));
        add("wrong", QString::number(r.wrong));
        add("missed", QString::number(r.missed));
        add("accuracy", oneDecimal(r.accuracy));
    }
    return QLatin1Char('{') + fields.join(QLatin1Char(',')) + QLatin1Char('}');
}

}  // namespace Practice
