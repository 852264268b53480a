#pragma once

#include <QObject>

class ScoreReaderTest : public QObject {
    Q_OBJECT
private slots:
    void scoresReadToTheirEnd_data();
    void scoresReadToTheirEnd();
    void numbers();
    void endOfText();
    void positionsOutsideTheText();
    void workedExample();
    void noteCodes();
    void commandKinds();
    void chordNumberRange();
    void lengthLimit();
};
