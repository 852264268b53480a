#include "editor/EditorFiles.h"

#include "editor/model/EditFile.h"
#include "editor/EditorControls.h"
#include "editor/model/EditorModel.h"
#include "editor/EditorPlayback.h"
#include "editor/model/MeasureHeader.h"
#include "editor/model/ScoreImport.h"
#include "platform/files/RecordFolder.h"
#include "platform/files/TextFiles.h"
#include "platform/dialogs/UserDialogs.h"

#include <QDir>
#include <QFileInfo>

EditorFiles::EditorFiles(Session &ctx, EditorModel &model, EditorControls &controls,
                         EditorPlayback &playback, QObject *parent)
    : QObject(parent), ctx_(ctx), model_(model), controls_(controls), playback_(playback)
{
    markKept();
}

void EditorFiles::prepare()
{
    // Emptied before the dialog asks: a cancelled dialog leaves an empty
    // edit, and the window shows it from now on.
    playback_.leave();
    model_.ClearEdit();
    showFirstMeasure(controls_.scrollMaximum());
    markKept();
}

// ---- work no file holds --------------------------------------------------

QStringList EditorFiles::snapshot(const EditorModel &model) const
{
    QStringList lines;
    const int last = qBound(0, int(model.MeasureTotal), EditorModel::kMeasures - 1);
    for (int m = 0; m <= last; ++m) {
        lines << model.MeasureHeaders(m);
        for (int r = 0; r < EditorModel::kRows; ++r)
            lines << model.rowTextFromCells(m, r);
    }
    return lines;
}

bool EditorFiles::unsaved() const
{
    const QStringList now = snapshot(model_);
    if (now == kept_)
        return false;
    for (const QString &line : now)
        for (const QChar c : line)
            if (c != QLatin1Char('-') && !c.isDigit())
                return true;  // a note, a hit or stored settings
    return false;
}

QString EditorFiles::keep(EditorModel edit)
{
    edit.JoinRows();
    QByteArray bytes;
    QString reason;
    if (EditFile::compose(edit, &bytes, &reason)) {
        const QString path = RecordFolder::keepWork(ctx_.recordFolder, QStringLiteral("编辑"), QStringLiteral("lnk"),
                                                    bytes, &reason);
        if (!path.isEmpty())
            return QStringLiteral("未保存的编辑已存入“演奏记录”：%1").arg(QFileInfo(path).fileName());
    }
    return QStringLiteral("未保存的编辑无法存盘：%1").arg(reason);
}

QString EditorFiles::keepUnsaved()
{
    if (!unsaved())
        return QString();
    const QString told = keep(model_);
    markKept();
    return told;
}

void EditorFiles::tellKept(const EditorModel &replaced, bool wasUnsaved)
{
    if (wasUnsaved)
        ctx_.dialogs.message(keep(replaced));
}

// ---- save ------------------------------------------------------------------

void EditorFiles::saveClicked()
{
    model_.JoinRows();
    controls_.showCurrentMeasure(EditorControls::Header::Keep);  // the texts as they will be saved
    const QString path = ctx_.dialogs.saveFile(EditFile::saveFilter(), ctx_.recordFolder, true);
    if (!path.isEmpty() && BCBJWJ(path))
        markKept();
    emit choiceMade();
}

bool EditorFiles::BCBJWJ(const QString &path)
{
    model_.JoinRows();
    controls_.showCurrentMeasure(EditorControls::Header::Keep);
    QByteArray bytes;
    QString error;
    if (EditFile::compose(model_, &bytes, &error) && TextFiles::writeBytes(path, bytes, &error))
        return true;
    ctx_.dialogs.message(QStringLiteral("保存编辑文件“%1”失败。\n%2")
                             .arg(QDir::toNativeSeparators(path), error));
    return false;
}

// ---- open ------------------------------------------------------------------

void EditorFiles::openClicked()
{
    const EditorModel before = model_;
    const bool wasUnsaved = unsaved();
    prepare();
    const QString path = ctx_.dialogs.openFile(EditFile::openFilter(), ctx_.recordFolder);
    if (!path.isEmpty())
        openEditFile(path);
    tellKept(before, wasUnsaved);
    emit choiceMade();
}

bool EditorFiles::openEditFile(const QString &path)
{
    prepare();
    const qint16 lastStep = model_.MeasureLastStep;
    QString error;
    if (!EditFile::read(path, model_, &error)) {
        showFirstMeasure(controls_.scrollMaximum());
        ctx_.dialogs.message(error);
        return false;
    }
    // Measures after the file's keep their cells, now sliced in its size.
    if (model_.MeasureLastStep != lastStep)
        model_.resliceRowTexts(model_.MeasureTotal + 1);
    DKBJ();
    markKept();
    return true;
}

void EditorFiles::DKBJ()
{
    // The window takes the measure size of the file and shows measure 0,
    // with the settings stored in its header.
    controls_.DKJZWJ();
    showFirstMeasure(model_.MeasureTotal);
}

void EditorFiles::showFirstMeasure(int scrollMaximum)
{
    model_.CurrentMeasure = 0;
    controls_.setScrollMaximum(scrollMaximum);
    controls_.showCurrentMeasure(EditorControls::Header::Apply);
}

// ---- import ----------------------------------------------------------------

void EditorFiles::importClicked()
{
    const EditorModel before = model_;
    const QStringList keptBefore = kept_;
    const bool wasUnsaved = unsaved();
    prepare();
    const QString path = ctx_.dialogs.openFile(ScoreImport::filter(), ctx_.recordFolder);
    const QString refused = path.isEmpty() ? QString() : ScoreImport::refusal(path);
    if (!refused.isEmpty()) {
        // Not a score: the edit comes back as it was.
        model_ = before;
        kept_ = keptBefore;
        controls_.setScrollMaximum(model_.MeasureTotal);
        controls_.showCurrentMeasure(EditorControls::Header::Keep);
        ctx_.dialogs.message(refused);
        emit choiceMade();
        return;
    }
    if (!path.isEmpty())
        importScoreFile(path);
    tellKept(before, wasUnsaved);
    emit choiceMade();
}

bool EditorFiles::importScoreFile(const QString &path)
{
    const QString refused = ScoreImport::refusal(path);
    if (!refused.isEmpty()) {
        ctx_.dialogs.message(refused);
        return false;
    }
    prepare();
    QString text;
    QString error;
    if (!ScoreImport::readText(path, &text, &error)) {
        showFirstMeasure(controls_.scrollMaximum());
        ctx_.dialogs.message(error);
        return false;
    }
    // Cells left from an earlier, longer edit are not carried into the import.
    model_.clearCells(0, EditorModel::kRows - 1, model_.lastUsableMeasure());
    model_.MeasureTotal = 0;
    const ScoreImport::Scan scan = ScoreImport::YUEPUSB(text, model_);
    ScoreImport::DrYpsb(model_);
    model_.resliceRowTexts(model_.MeasureTotal + 1);  // no text beyond the import: no cells there
    showFirstMeasure(model_.MeasureTotal);
    markKept();  // the score file holds it
    if (scan.cut)
        ctx_.dialogs.message(ScoreImport::cutMessage(model_));
    return true;
}
