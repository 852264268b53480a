#pragma once

#include <QString>
#include <QStringList>

// One command string of the media device, taken apart. Verbs and keywords
// are case-insensitive; a file path may be quoted ("...") or not, and may
// hold spaces either way.
//
//   OPEN NEW TYPE WaveAudio ALIAS NN      device "NEW"
//   OPEN <path> TYPE WaveAudio ALIAS NN   device = the path
//   SAVE NN <path>
//   <verb> NN [words...]                   CLOSE, RECORD, STOP, PLAY, SEEK, STATUS
struct MediaCommand {
    enum class Verb { Unknown, Open, Close, Record, Stop, Play, Seek, Status, Save };

    Verb verb = Verb::Unknown;
    QString alias;      // the device alias addressed (OPEN: the one given)
    QString device;     // OPEN: "NEW" or the file path, quotes removed
    QString type;       // OPEN: the TYPE given, empty when none
    QString path;       // SAVE: the file path, quotes removed
    QStringList words;  // the words after the alias, lower case ("to", "start")

    static MediaCommand parse(const QString &text);
    // A path with its surrounding double quotes removed.
    static QString unquote(const QString &text);
    bool isNew() const { return device.compare(QLatin1String("new"), Qt::CaseInsensitive) == 0; }
};
