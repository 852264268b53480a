#pragma once

#include "platform/dialogs/UserDialogs.h"

class QTextStream;

// The messages of the command line: written as a line of text (to standard
// error) instead of a box.
class ConsoleNotifier : public Notifier {
public:
    explicit ConsoleNotifier(QTextStream &stream) : stream_(stream) {}
    void message(const QString &text, const QString &title = QString()) override;

private:
    QTextStream &stream_;
};
