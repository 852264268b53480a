#include "performance/ScoreWriting.h"

#include "core/SharedState.h"

void AppendScoreCode(SharedState &state, const QString &code)
{
    if (!state.ScoreText.isEmpty())
        state.ScoreText += QString::number(state.DurationCount);
    state.ScoreText += code;
}

bool CountDurationTick(SharedState &state)
{
    state.DurationCount = qint16(state.DurationCount + 1);
    if (state.DurationCount <= kMaxDuration)
        return false;
    state.DurationCount = kMaxDuration;
    state.ScoreText += QStringLiteral("99TZ");
    return true;
}
