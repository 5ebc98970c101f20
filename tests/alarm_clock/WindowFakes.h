#pragma once

// The main window over the fakes of LogicFakes.h, which hands the test a
// pointer to each fake, since the window owns them; and small helpers.

#include "FrmMain.h"
#include "LogicFakes.h"
#include "SharedLibrary.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <functional>
#include <memory>

namespace kestrum::testing {

// The parts of a window with every fake, and pointers to them.
struct FakeParts {
    FakeClock *clock = nullptr;
    FakeTimer *flash = nullptr;
    FakeTimer *nap = nullptr;
    FakePlayer *player = nullptr; // null when the real player is used
    FakeBell *bell = nullptr;
    FakeNotifier *notifier = nullptr;

    // `realPlayer`: leave the player out, so the window creates mpp2 by ProgID.
    FrmMainParts make(const QString &programFolder, bool realPlayer = false)
    {
        FrmMainParts parts;
        auto c = std::make_unique<FakeClock>();
        auto f = std::make_unique<FakeTimer>();
        auto n = std::make_unique<FakeTimer>();
        auto b = std::make_unique<FakeBell>();
        auto note = std::make_unique<FakeNotifier>();
        clock = c.get(), flash = f.get(), nap = n.get(), bell = b.get(), notifier = note.get();
        parts.clock = std::move(c);
        parts.tmrFlash = std::move(f);
        parts.tmrNap = std::move(n);
        parts.bell = std::move(b);
        parts.notifier = std::move(note);
        if (!realPlayer) {
            auto p = std::make_unique<FakePlayer>();
            player = p.get();
            parts.player = std::move(p);
        }
        parts.programFolder = programFolder;
        return parts;
    }

    // One blank-phase and one display-phase tick of tmrFlash at that time.
    void secondAt(int hour, int minute, int second, QDate date = QDate(2024, 3, 5))
    {
        clock->time = QDateTime(date, QTime(hour, minute, second));
        flash->fire();
        flash->fire();
    }
};

// Writes Kestrum.conf in `folder`: the nine fixed lines and the tunes.
inline void writeSettings(const QString &folder, const QStringList &lines)
{
    QFile file(QDir(folder).filePath(QStringLiteral("Kestrum.conf")));
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (const QString &line : lines)
        file.write(line.toUtf8() + "\r\n");
}

inline QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    return text.split(QStringLiteral("\r\n"));
}

// Records the controls of the library at `libraryPath` in the registry store
// (its DllRegisterServer), so that windows can create them by ProgID.
inline void registerControls(const QString &libraryPath)
{
    QString error;
    const auto library = platform::SharedLibrary::load(libraryPath, &error);
    ASSERT_TRUE(library) << qPrintable(error);
    auto *registerServer = library->function<long()>("DllRegisterServer");
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), 0);
}

// Runs the event loop until `condition` holds or `limitMs` has passed.
template <typename Condition>
bool waitUntil(Condition condition, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

}  // namespace kestrum::testing
