#include "app/AppShell.h"

#include "app/DZQQD.h"
#include "app/Form1.h"
#include "app/Form3.h"
#include "app/MainControllers.h"
#include "platform/DurableSave.h"
#include "platform/MidiLogBackend.h"
#include "platform/RecordFolder.h"
#include "sound/MidiPort.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

AppShell::AppShell(const AppOptions &options) : options_(options), startNs_(clock_.nowNs()) {}

AppShell::~AppShell()
{
    // Windows go before the controllers they show, the controllers before the port.
    welcome_.reset();
    farewell_.reset();
    form1_.reset();
    controllers_.reset();
}

bool AppShell::start()
{
    if (!instance_.acquire()) {
        dialogs_.message(QStringLiteral("你已经运行这个应用程序了！"));
        return false;
    }
    // The sound font loads while the welcome dialog shows.
    connect(&engine_, &AudioEngine::notice, this, [this](const QString &text) {
        if (text.endsWith(QStringLiteral("。。。")))
            window_.setFJWZ(text);
        else
            dialogs_.message(text);
    });
    connect(&engine_, &AudioEngine::ready, this, [this] {
        emit soundReady();
        checkMainWindowReady();
    });
    engine_.start();

    MidiBackend *backend = &midi_;
    if (!options_.midiLogPath.isEmpty()) {
        log_ = std::make_unique<MidiLogBackend>(midi_, options_.midiLogPath, clock_, startNs_);
        if (log_->isLogging())
            backend = log_.get();
        else
            dialogs_.message(QStringLiteral("无法写入MIDI记录文件“%1”：%2")
                                 .arg(options_.midiLogPath, log_->errorString()));
    }
    port_ = std::make_unique<MidiPort>(*backend, dialogs_, clock_);
    ctx_ = std::make_unique<AppContext>(
        AppContext{state_, window_, *port_, dialogs_, clock_, RecordFolder::locateForProgram()});
    // Temporary copies left by a save that a kill interrupted are useless.
    DurableSave::removeLeftovers(ctx_->recordFolder);
    controllers_ = std::make_unique<MainControllers>(*ctx_);
    controllers_->setWaveVolume = [this](quint32 value) { engine_.setWaveVolume(value); };
    window_.setFJWZ(QStringLiteral("欢迎使用Quorvane电子琴。。。"));

    form1_ = std::make_unique<Form1>(*controllers_, media_);
    connect(form1_.get(), &Form1::closed, this, &AppShell::showFarewell, Qt::QueuedConnection);

    welcome_ = std::make_unique<DZQQD>(clock_);
    connect(welcome_.get(), &DZQQD::handedOver, this, &AppShell::showMainWindow);
    welcome_->installEventFilter(this);
    form1_->installEventFilter(this);
    welcome_->show();
    return true;
}

void AppShell::showMainWindow()
{
    form1_->show();
    form1_->raise();
    form1_->activateWindow();
    // Without a window manager the window may never be told it is active;
    // the first activation's work must happen all the same.
    QTimer::singleShot(0, form1_.get(), [this] {
        if (!form1_->MainInitialised())
            form1_->activate();
        checkMainWindowReady();
    });
}

bool AppShell::eventFilter(QObject *watched, QEvent *event)
{
    // A window's first paint: announced once the whole window has been
    // painted, that is after the paint events of this repaint.
    if (event->type() == QEvent::Paint) {
        if (watched == welcome_.get() && !welcomePainted_) {
            welcomePainted_ = true;
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, &AppShell::welcomeShown);
        } else if (watched == form1_.get() && !mainPainted_) {
            mainPainted_ = true;
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, &AppShell::checkMainWindowReady);
        }
    }
    return QObject::eventFilter(watched, event);
}

void AppShell::checkMainWindowReady()
{
    if (mainReadyAnnounced_ || !mainPainted_ || !engine_.isReady() || !form1_ || !form1_->MainInitialised())
        return;
    mainReadyAnnounced_ = true;
    emit mainWindowReady();
}

void AppShell::showFarewell()
{
    farewell_ = std::make_unique<Form3>(clock_);
    farewell_->move(form1_->geometry().center() - farewell_->rect().center());
    connect(farewell_.get(), &Form3::finished, qApp, &QApplication::quit);
    farewell_->show();
}
