#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

struct Session;
class WindowDisplay;
class RhythmPattern;

// The rhythm files of the record folder: the label Label11 naming the file
// opened last, the list File1 of every "*.bin" in the folder, saving,
// deleting and opening. A rhythm file is one GBK line: a rhythm text and CR LF.
class RhythmFiles : public QObject {
    Q_OBJECT
public:
    // Whole-file readers count the length in 16 bits.
    static constexpr qint64 kMaxFileBytes = 32767;

    RhythmFiles(Session &ctx, WindowDisplay &display, RhythmPattern &pattern, QObject *parent = nullptr);

    // Label11: name of the rhythm file opened last (blank until then).
    QString Label11() const { return label11_; }
    // File1: the file names as last listed, sorted by name.
    QStringList File1() const { return entries_; }
    bool isFile1Visible() const { return file1Visible_; }
    // Position of the entry clicked last, -1 for none.
    int File1Index() const;
    QString folder() const;

    // Lists the folder again; the selected file stays selected if still there.
    void refreshFile1();
    // The mouse over Label11: refresh, then show the list.
    void showFile1();
    // Hidden by the mouse over the panel, by a change of the score text and
    // by opening a score.
    void hideFile1();

    // A click on entry `index`: opens the file's first line up to the first
    // comma, then hides the list.
    void openFromList(int index);
    // Start-up: applies the whole first file of the folder, if any.
    void openAtStartUp();
    // JP n (10..98) reads entry n - 10 whole. False when there is no such
    // entry or its file is gone (the command then does nothing). A file that
    // cannot be read gives an empty text, which OpenJZwj refuses.
    bool readJPEntry(int n, QString *text) const;
    // The score's JP n (10..98): reads the entry into RhythmText and applies
    // it with OpenJZwj. False, with nothing changed, without such an entry.
    bool applyJP(int n);

    // "保 存": asks for a file name, then SaveJZwj. Returns whether it saved.
    bool save();
    // SaveJZwj: writes the pattern's rhythm text, titled with the file name,
    // and CR LF. A failure is reported and leaves an existing file untouched.
    bool SaveJZwj(const QString &path);
    // "删 除": deletes the selected file at once, then lists the folder again.
    void deleteSelected();

    static QString saveFilter() { return QStringLiteral("节奏bin|*.bin"); }

signals:
    void label11Changed(const QString &text);
    // Entries or the selection changed.
    void file1Changed();
    void file1VisibleChanged(bool visible);

private:
    void setLabel11(const QString &text);
    void setFile1Visible(bool visible);
    QString pathOf(const QString &entry) const;
    // The whole file as text; empty when it cannot be read.
    QString readWhole(const QString &path) const;

    Session &ctx_;
    WindowDisplay &display_;
    RhythmPattern &pattern_;
    QString label11_;
    QStringList entries_;
    QString selected_;  // name of the entry clicked last
    bool file1Visible_ = false;
};
