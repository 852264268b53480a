#include "TestMain.h"

#include "chords/ChordAccompaniment.h"
#include "chords/SoundEffects.h"
#include "performance/MelodyVoices.h"
#include "performance/TempoList.h"
#include "score/ScoreLanguage.h"
#include "score/ScoreReader.h"

#include <QTest>

#include <iterator>

using namespace ScoreLanguage;

// Every number a command can carry (0 standing for none), against the
// tables of the notation; and the rooms below the score kept in step with it.
class ScoreLanguageTest : public QObject {
    Q_OBJECT
private slots:
    void tempoList();
    void tempoCommands();
    void combinations();
    void chords();
    void rhythms();
    void effects();
    void tokens();
    void roomsAgree();
};

void ScoreLanguageTest::tempoList()
{
    struct Row {
        int position, tempo, eighthMs;
    };
    // The whole list SD, 120 beats per minute rounding its 62.5 ms to even.
    const Row rows[] = {{0, 60, 125},  {1, 65, 115},  {2, 70, 107}, {3, 75, 100}, {4, 80, 94},
                        {5, 85, 88},   {6, 90, 83},   {7, 95, 79},  {8, 100, 75}, {9, 105, 71},
                        {10, 110, 68}, {11, 115, 65}, {12, 120, 62}};
    QCOMPARE(int(std::size(rows)), TempoList::kCount);
    for (const Row &r : rows) {
        QCOMPARE(TempoList::tempoAt(r.position), r.tempo);
        QCOMPARE(TempoList::eighthBeatMsFor(r.tempo), r.eighthMs);
    }
    QCOMPARE(TempoList::startTempo(), 90);
    // Halves go to the even neighbour, up or down; nonsense tempos give 0.
    QCOMPARE(TempoList::eighthBeatMsFor(200), 38);  // 37.5
    QCOMPARE(TempoList::eighthBeatMsFor(40), 188);  // 187.5
    QCOMPARE(TempoList::eighthBeatMsFor(0), 0);
    QCOMPARE(TempoList::eighthBeatMsFor(-90), 0);
    QCOMPARE(MelodyVoices::eighthBeatMsFor(90), 83);
}

void ScoreLanguageTest::tempoCommands()
{
    const int tempo[] = {60, 65, 70, 75, 80, 85, 90, 95, 100, 105, 110, 115};
    const int eighthMs[] = {125, 115, 107, 100, 94, 88, 83, 79, 75, 71, 68, 65};
    for (int n = 0; n <= 99; ++n) {
        const bool valid = n >= 1 && n <= 12;
        QCOMPARE(isTempo(n), valid);
        if (!valid)
            continue;
        QCOMPARE(tempoListPosition(n), n - 1);
        QCOMPARE(tempoOf(n), tempo[n - 1]);
        QCOMPARE(eighthBeatMsOf(n), eighthMs[n - 1]);
    }
}

void ScoreLanguageTest::combinations()
{
    for (int n = 0; n <= 99; ++n)
        QCOMPARE(combinationOf(n), n >= 1 && n <= 12 ? n : 7);
}

void ScoreLanguageTest::chords()
{
    for (int n = 0; n <= 99; ++n)
        QCOMPARE(isChord(n), n >= 1 && n <= 6);
}

void ScoreLanguageTest::rhythms()
{
    struct Row {
        int n;
        RhythmCommand command;
    };
    const Row rows[] = {{0, RhythmCommand::Nothing}, {1, RhythmCommand::BuiltIn},   {9, RhythmCommand::BuiltIn},
                        {10, RhythmCommand::File},   {55, RhythmCommand::File},     {98, RhythmCommand::File},
                        {99, RhythmCommand::Off},    {100, RhythmCommand::Nothing}, {-1, RhythmCommand::Nothing}};
    for (const Row &r : rows)
        QCOMPARE(int(rhythmCommand(r.n)), int(r.command));
    QCOMPARE(rhythmFileEntry(10), 0);
    QCOMPARE(rhythmFileEntry(98), 88);
}

void ScoreLanguageTest::effects()
{
    struct Row {
        int n, tickLength, wait;
    };
    // n ticks of 2 eighths each, of 8 for the waves; other numbers take no time.
    const Row rows[] = {{0, 2, 0},  {1, 2, 2},  {2, 2, 4}, {3, 2, 6}, {4, 2, 8},
                        {5, 8, 40}, {6, 2, 12}, {7, 2, 0}, {99, 2, 0}};
    for (const Row &r : rows) {
        QCOMPARE(isEffect(r.n), r.wait > 0);
        QCOMPARE(effectWait(r.n), r.wait);
        if (r.wait > 0)
            QCOMPARE(effectTickLength(r.n), r.tickLength);
    }
}

void ScoreLanguageTest::tokens()
{
    using ScoreReader::TokenKind;
    struct Row {
        QStringView token;
        TokenKind kind;
    };
    const Row rows[] = {{kTempo, TokenKind::Tempo},
                        {kChord, TokenKind::Chord},
                        {kEffect, TokenKind::Effect},
                        {kRhythm, TokenKind::Rhythm},
                        {kInstruments, TokenKind::Instruments},
                        {kRest, TokenKind::Rest},
                        {kEnd, TokenKind::End}};
    for (const Row &r : rows) {
        QCOMPARE(r.token.size(), 2);
        QCOMPARE(int(ScoreReader::classify(r.token)), int(r.kind));
    }
    QCOMPARE(kMaxScoreLength, 32767);
    // The largest number is two nines; a third digit starts the next token.
    QCOMPARE(kMaxNumber, 99);
    QCOMPARE(ScoreReader::readToken(u"XZ999", 1).number, kMaxNumber);
    QCOMPARE(ScoreReader::kMaxScoreLength, kMaxScoreLength);
}

void ScoreLanguageTest::roomsAgree()
{
    // The lists and tables the commands choose from are as long as the
    // commands' ranges.
    QCOMPARE(MelodyVoices::tempoTexts().size(), TempoList::kCount);
    QVERIFY(MelodyVoices::tempoTexts().value(TempoList::kStartPosition).startsWith(QLatin1String("90")));
    for (int n = 0; n <= 99; ++n) {
        QCOMPARE(MelodyVoices::combination(n) != nullptr, n >= 1 && n <= kCombinations);
        QCOMPARE(SoundEffects::keyCodeForYX(n) != 0, isEffect(n));
    }
    for (int n = 1; n <= kTempoCommands; ++n)
        QVERIFY(MelodyVoices::tempoTexts().value(tempoListPosition(n)).startsWith(QString::number(tempoOf(n))));
}

DZQ_REGISTER_TEST(ScoreLanguageTest)
#include "ScoreLanguageTest.moc"
