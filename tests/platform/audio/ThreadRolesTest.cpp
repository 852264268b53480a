#include "TestMain.h"

#include "platform/audio/SynthLock.h"
#include "platform/audio/realtime/OutputGain.h"
#include "platform/audio/realtime/SynthGate.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <QTest>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

// Who may call what, and the gate the audio thread never waits at.
class ThreadRolesTest : public QObject {
    Q_OBJECT
private slots:
    void audioScopeMarksOnlyItsThread()
    {
        QVERIFY(!ThreadRoles::onAudioThread());
        {
            ThreadRoles::AudioScope audio;
            QVERIFY(ThreadRoles::onAudioThread());
            {
                ThreadRoles::AudioScope nested;
                QVERIFY(ThreadRoles::onAudioThread());
            }
            QVERIFY(ThreadRoles::onAudioThread());
            bool elsewhere = true;
            std::thread([&] { elsewhere = ThreadRoles::onAudioThread(); }).join();
            QVERIFY(!elsewhere);
        }
        QVERIFY(!ThreadRoles::onAudioThread());
    }

    void ownerIsTheThreadThatMadeIt()
    {
        ThreadRoles::Owner owner;
        QVERIFY(owner.isCurrent());
        bool elsewhere = true;
        std::thread([&] { elsewhere = owner.isCurrent(); }).join();
        QVERIFY(!elsewhere);
    }

    // Taken by another thread: the audio thread is refused at once and
    // counts a miss; the others wait their turn.
    void audioThreadNeverWaitsAtTheGate()
    {
        SynthGate gate;
        std::atomic<bool> inside{false};
        std::atomic<bool> release{false};
        std::thread loader([&] {
            SynthLock lock(gate);
            inside.store(true);
            while (!release.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        while (!inside.load())
            std::this_thread::yield();
        {
            ThreadRoles::AudioScope audio;
            QVERIFY(!gate.tryEnter());
            gate.countMiss();
        }
        QCOMPARE(gate.misses(), quint64(1));

        std::atomic<bool> secondIn{false};
        std::thread second([&] {
            SynthLock lock(gate);
            secondIn.store(true);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        QVERIFY(!secondIn.load());
        release.store(true);
        loader.join();
        second.join();
        QVERIFY(secondIn.load());
        ThreadRoles::AudioScope audio;
        QVERIFY(gate.tryEnter());
        gate.leave();
    }

    // Where the checks are built in (the sanitizer build), a broken rule
    // stops the program on the spot: here the audio thread's volume stage
    // called from a thread that is not the audio thread, and the owner's
    // volume setting called from inside the callback.
    void brokenRuleStops()
    {
#ifndef DZQ_THREAD_CHECKS
        QSKIP("the thread checks are built into debug and sanitizer builds only");
#else
        OutputGain gain(1, 1);
        const auto stops = [&](const std::function<void()> &call) {
            const pid_t child = fork();
            if (child == 0) {
                const int devNull = open("/dev/null", O_WRONLY);
                dup2(devNull, 2);
                // The test library's crash report would catch the abort.
                std::signal(SIGABRT, SIG_DFL);
                call();
                _exit(0);
            }
            int status = 0;
            waitpid(child, &status, 0);
            return WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT;
        };
        float left = 0, right = 0;
        QVERIFY(stops([&] { gain.apply(&left, &right, 1); }));
        QVERIFY(stops([&] {
            ThreadRoles::AudioScope audio;
            gain.set(0, 0);
        }));
        QVERIFY(!stops([&] {
            ThreadRoles::AudioScope audio;
            gain.apply(&left, &right, 1);
        }));
#endif
    }
};

DZQ_REGISTER_TEST(ThreadRolesTest)

#include "ThreadRolesTest.moc"
