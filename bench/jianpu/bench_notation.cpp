// The notation window must not slow the keyboard. Measures, with a score of
// 30 000 characters: a key press on the keyboard button with the score box
// and the notation view following it (median, 99th percentile); how long
// one reading and layout of the whole notation takes, which runs once per
// burst of key presses after them; and painting the rows in sight. Then
// the same for the score of most cells (rests of 99 eighths).
//
// Run: QT_QPA_PLATFORM=offscreen ./bench_notation [presses]

#include "TestContext.h"
#include "chords/ChordAccompaniment.h"

#include "jianpu/NotationView.h"
#include "performance/KeyboardButton.h"
#include "performance/KeyboardEngine.h"
#include "performance/MelodyVoices.h"
#include "performance/OnScreenKeyboard.h"
#include "score/ScoreBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QString longScore()
{
    QString score = QStringLiteral("YQ5VS9JP1");
    while (score.size() < 30000)
        score += QStringLiteral("HX1KC4KD4KE4KF4KG8XZ2WA6HB2MA12");
    return score;
}

void report(const char *name, std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    const double median = micros[micros.size() / 2];
    const double p99 = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    std::printf("%-40s n %5zu  median %9.1f us  p99 %9.1f us\n", name, micros.size(), median, p99);
}

void keyPresses(bool withNotation, int presses)
{
    TestContext t;
    MelodyVoices voices(t.ctx);
    ChordAccompaniment chords(t.ctx, t.window);
    OnScreenKeyboard keys(t.ctx, voices, chords);
    HookPartners partners;
    KeyboardEngine engine(t.ctx, t.window, voices, keys, partners);
    keys.initialiseKeys();
    for (int i = 0; i < 3; ++i)
        voices.selectInstrument(i, 15 + i);

    QWidget host;
    host.resize(988, 337);
    KeyboardButton button(engine, &host);
    new ::ScoreBox(t.window, &host);
    host.show();
    NotationView view;
    if (withNotation) {
        view.resize(980, 400);
        view.show();
        QObject::connect(&t.window, &WindowDisplay::text3Changed, &view, &NotationView::setScore);
    }
    engine.focusGained();
    const QString score = longScore();
    t.state.ScoreText = score;
    t.window.setText3(score);
    QApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    const Qt::Key keysToPlay[] = {Qt::Key_A, Qt::Key_S, Qt::Key_D, Qt::Key_F, Qt::Key_G, Qt::Key_H};
    std::vector<double> micros;
    for (int i = 0; i < presses; ++i) {
        const Qt::Key key = keysToPlay[i % 6];
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString());
        const qint64 start = clock.nsecsElapsed();
        QApplication::sendEvent(&button, &press);
        micros.push_back(double(clock.nsecsElapsed() - start) / 1000.0);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString());
        QApplication::sendEvent(&button, &release);
        if (i % 16 == 0)
            QApplication::processEvents();
    }
    report(withNotation ? "key press, notation following" : "key press, score box only", micros);
}

// The longest score by cells: rests of 99 eighths, 14 cells a token.
QString longRests()
{
    return QStringLiteral("XZ99").repeated(8191) + QStringLiteral("TZ");
}

void readingAndPainting(const QString &score, int rounds)
{
    std::vector<double> reads;
    std::vector<double> paints;
    NotationView view;
    view.resize(980, 400);
    QImage image(980, 400, QImage::Format_RGB32);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i) {
        view.setScore(score + QStringLiteral("KC%1").arg(i % 10));
        qint64 start = clock.nsecsElapsed();
        const int cells = int(view.picture().sheet().cells.size());
        reads.push_back(double(clock.nsecsElapsed() - start) / 1000.0);
        QPainter p(&image);
        start = clock.nsecsElapsed();
        view.picture().paint(p, QRectF(0, 2000, 980, 400));
        paints.push_back(double(clock.nsecsElapsed() - start) / 1000.0);
        if (i == 0)
            std::printf("score %lld chars, %d cells, %d rows\n", static_cast<long long>(score.size()), cells,
                        view.picture().rowCount());
    }
    report("read + lay out the whole notation", reads);
    std::vector<double> readOnly;
    std::vector<double> layoutOnly;
    NotationPicture picture;
    for (int i = 0; i < rounds; ++i) {
        qint64 start = clock.nsecsElapsed();
        Notation::Sheet sheet = Notation::read(score);
        readOnly.push_back(double(clock.nsecsElapsed() - start) / 1000.0);
        picture.setSheet(std::move(sheet), NotationPicture::Header());
        start = clock.nsecsElapsed();
        picture.layout(980);
        layoutOnly.push_back(double(clock.nsecsElapsed() - start) / 1000.0);
    }
    report("read only", readOnly);
    report("lay out only", layoutOnly);
    report("paint the rows in sight", paints);
}

}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int presses = argc > 1 ? std::max(100, std::atoi(argv[1])) : 2000;
    keyPresses(false, presses);
    keyPresses(true, presses);
    readingAndPainting(longScore(), 30);
    readingAndPainting(longRests(), 10);
    return 0;
}
