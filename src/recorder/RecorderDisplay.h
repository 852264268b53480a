#pragma once

#include <QString>

class WindowDisplay;

// Where a recorder front end writes what it tells the user: the information
// display XSWB, the status line FJWZ, and LastFilePath (the file the score
// box's delete button deletes). Each window passes its own.
class RecorderDisplay {
public:
    virtual ~RecorderDisplay() = default;
    virtual void setXSWB(const QString &text) = 0;
    virtual void setFJWZ(const QString &text) = 0;
    virtual void setLastFilePath(const QString &path) = 0;
    // Something the user must read whole (a failure, a kept take): `status`
    // is the short form the status line has room for, `whole` the full text
    // with the reason and the file's name.
    virtual void tell(const QString &status, const QString &whole) = 0;
};

// The main window's display.
class WindowRecorderDisplay : public RecorderDisplay {
public:
    explicit WindowRecorderDisplay(WindowDisplay &window) : window_(window) {}
    void setXSWB(const QString &text) override;
    void setFJWZ(const QString &text) override;
    void setLastFilePath(const QString &path) override;
    // The short form in FJWZ, the whole text in the information display.
    void tell(const QString &status, const QString &whole) override;

private:
    WindowDisplay &window_;
};

class Notifier;

// A window without a status line (the editor): what the recorder would
// write there, a failure, is told in a message box; the rest has no place.
class NoticeRecorderDisplay : public RecorderDisplay {
public:
    explicit NoticeRecorderDisplay(Notifier &notifier) : notifier_(notifier) {}
    void setXSWB(const QString &) override {}
    void setFJWZ(const QString &text) override;
    void setLastFilePath(const QString &) override {}
    void tell(const QString &status, const QString &whole) override;

private:
    Notifier &notifier_;
};
