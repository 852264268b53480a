#pragma once

#include <QObject>
#include <QString>

class WindowDisplay;

// The tab strip Xxk of the main window and the help topics: which panel
// Jiezhou(i) shows, the status message of each tab, the help text shown.
class Navigation : public QObject {
    Q_OBJECT
public:
    // Tabs and panels are numbered 0 melody, 1 chord, 2 rhythm, 4 help.
    static constexpr int kMelody = 0;
    static constexpr int kChord = 1;
    static constexpr int kRhythm = 2;
    static constexpr int kHelp = 4;
    static constexpr int kHelpTopics = 7;

    explicit Navigation(WindowDisplay &display, QObject *parent = nullptr);

    int currentTab() const { return tab_; }
    // Tab click: shows the panel, writes the tab's status message; the help
    // tab also selects the first topic. The keyboard gets the focus back.
    void selectTab(int tab);

    // Help topic Option2(i): Text1 shows string-table entry 500 + i.
    void selectHelpTopic(int topic);
    int helpTopic() const { return topic_; }
    QString helpText() const { return helpText_; }

    // A click on a panel's background gives the keyboard back.
    void panelClicked();

    static QString tabCaption(int tab);
    static QString tabMessage(int tab);
    static QString topicCaption(int topic);

signals:
    // A choice was made in one of its controls: the window gives the
    // keyboard back in its own way.
    void choiceMade();
    void tabChanged(int tab);
    void helpTopicChanged(int topic, const QString &text);

private:
    WindowDisplay &display_;
    int tab_ = kMelody;
    int topic_ = -1;
    QString helpText_;
};
