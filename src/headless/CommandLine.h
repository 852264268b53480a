#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// The program's command line for its windows, GNU style:
//   dzq [--midi-log FILE] [--midi-in none|all|NAME] [--soundfont FILE] [SCORE.txt]
//   dzq [...] --practice SCORE [--mode wait|step|tempo] [--speed PCT]
//   dzq --help | --version
// ("--render" and "--import" belong to RenderCommand.) Read before any
// window system is touched, so help, version and mistakes need no display.
namespace CommandLine {

enum class Action { Run, Help, Version, Error };

struct Parsed {
    Action action = Action::Run;
    QString midiLogPath;  // --midi-log FILE
    QString midiIn = QStringLiteral("all");  // --midi-in: none, all or part of a port's name
    QString soundFontPath;  // --soundfont FILE, absolute; empty: the system's font
    QString scorePath;    // a score file to open and play once the window is ready
    QString practicePath;   // --practice: a score (or MIDI song) to practise once the window is ready
    QString practiceMode;   // --mode as given (the practice window checks it)
    QString practiceSpeed;  // --speed as given
    QString error;        // Action::Error: one line for the terminal
};

constexpr int kUsageError = 2;  // exit status of a mistaken command line

Parsed parse(const QStringList &arguments);
QString helpText();
QString versionText();

// Creates (or appends to) the MIDI log file to see that it can be written;
// false with the reason when it cannot.
bool checkWritable(const QString &path, QString *reason);

// Names the program (no display name: Qt would append it to every title)
// and loads Qt's own dialog and button texts in simplified Chinese. False
// when the translations are not installed (the program runs all the same).
bool setUpApplication(QCoreApplication &app);

}  // namespace CommandLine
