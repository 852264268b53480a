#pragma once

#include <QString>
#include <QStringList>

// The program's string table: instrument and drum names, key help texts,
// help topics, the editor help and the built-in rhythms, by resource number.
namespace StringTable {

// The text of an entry; empty for a number that has no entry.
QString text(int id);
bool has(int id);

// Entries 201..329: "0.无声" .. "128.枪声" (line n is General MIDI program n - 1).
QStringList instrumentNames();
// Entries 335..381: the 47 drum names; line p is percussion key p + 35.
QStringList drumNames();

constexpr int kEditorHelp = 99;
constexpr int kFirstInstrument = 201;
constexpr int kInstrumentCount = 129;
constexpr int kFirstDrum = 335;
constexpr int kDrumCount = 47;
constexpr int kFirstKeyHelp = 401;
constexpr int kLastKeyHelp = 433;
constexpr int kFirstHelpTopic = 500;
constexpr int kHelpTopicCount = 7;
constexpr int kFirstBuiltInRhythm = 601;
constexpr int kBuiltInRhythmCount = 9;

}  // namespace StringTable
