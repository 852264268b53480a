#pragma once

#include "songs/SongOpening.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

// The part list of "打开" for a song of several parts: number, name,
// instrument, notes and range of each part, the import's own choice
// selected and marked. "试听" plays the selected part (again: "停止"),
// "确定" takes it, "取消" leaves everything as it was.
class SongPartDialog : public QDialog {
    Q_OBJECT
public:
    SongPartDialog(const SongOpening::PartChoice &choice, QWidget *parent = nullptr);
    ~SongPartDialog() override;

    // The part selected (1..), 0 when none is.
    int selectedPart() const;
    void selectPart(int number);

    // For "打开": shows the list and returns the part taken, 0 for a cancel.
    static int choose(const SongOpening::PartChoice &choice, QWidget *parent);

    static QString title() { return QStringLiteral("选择旋律音轨"); }
    static QString listenText() { return QStringLiteral("试听"); }
    static QString stopText() { return QStringLiteral("停止"); }

private:
    void listenClicked();
    void showListening();

    const SongOpening::PartChoice &choice_;
    QTableWidget *table_ = nullptr;
    QPushButton *listen_ = nullptr;
    QPushButton *ok_ = nullptr;
};
