#pragma once

#include "core/Session.h"

#include <QObject>
#include <QString>
#include <QStringList>

class EditorControls;
class EditorModel;
class EditorPlayback;

// The file buttons of the music editor: 保存编辑 (BCBJ), 打开编辑文件
// (DkBianji) and 导入记录乐谱 (DRYP). Files are chosen in the record folder;
// failures are told in a message box.
class EditorFiles : public QObject {
    Q_OBJECT
public:
    EditorFiles(Session &ctx, EditorModel &model, EditorControls &controls, EditorPlayback &playback,
                QObject *parent = nullptr);

    // BCBJ: "保存编辑", asks for a file in the record folder and saves the
    // whole edit there (BCBJWJ).
    void saveClicked();
    // DkBianji: empties the edit, asks for a file and opens it.
    void openClicked();
    // DRYP: empties the edit, asks for a score file and imports it.
    void importClicked();

    // BCBJWJ without the dialog: JoinRows, then the file is replaced whole
    // (through a temporary file). False after telling the user why.
    bool BCBJWJ(const QString &path);
    // Opens an edit file into the emptied edit and shows measure 0 (DKBJ).
    // False after telling the user why; the edit then stays empty.
    bool openEditFile(const QString &path);
    // Imports a score file into the emptied edit and shows measure 0. A
    // MIDI song is refused with a message and the edit stays as it was.
    bool importScoreFile(const QString &path);

    // The edit differs from what was last saved, opened, imported or
    // emptied, and holds something: leaving it behind would lose work.
    bool unsaved() const;
    // Keeps such an edit as "编辑-yyyyMMdd-hhmmss.lnk" in the record folder;
    // the line that tells where it went, empty when there was nothing to keep.
    QString keepUnsaved();

signals:
    void choiceMade();

private:
    void prepare();  // playing stops, the edit is emptied
    // DKBJ: after an edit file is read, the window takes its measure size and
    // shows measure 0 with the settings of its header.
    void DKBJ();
    void showFirstMeasure(int scrollMaximum);
    // The edit as its cells and headers stand.
    QStringList snapshot(const EditorModel &model) const;
    void markKept() { kept_ = snapshot(model_); }
    QString keep(EditorModel edit);
    // After an open or an import replaced an edit that no file held.
    void tellKept(const EditorModel &replaced, bool wasUnsaved);

    Session &ctx_;
    EditorModel &model_;
    EditorControls &controls_;
    EditorPlayback &playback_;
    QStringList kept_;  // the snapshot no work is lost against
};
