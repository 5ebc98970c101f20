// A second start asks the running copy to bring its window to the front,
// handing on its activation token, and learns whether it did.
#include "InstanceActivation.h"

#include <gtest/gtest.h>

#include <QLocalServer>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

namespace kestrum {
namespace {

class InstanceActivationTest : public ::testing::Test {
protected:
    // Asks from another thread, as a second process would, while this
    // thread's event loop serves; returns the answer.
    bool ask(int timeoutMs = 5000, const QByteArray &token = {})
    {
        std::atomic<int> answer{-1};
        std::thread second([&] { answer = requestActivation(socket, token, timeoutMs) ? 1 : 0; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer >= 0; }, timeoutMs + 2000));
        second.join();
        return answer == 1;
    }

    QTemporaryDir folder;
    QString socket = activationSocketPath(folder.filePath(QStringLiteral("Kestrum.lock")));
};

TEST_F(InstanceActivationTest, TheRunningCopyIsAskedAndAnswersOnceItsWindowIsUp)
{
    EXPECT_EQ(socket, folder.filePath(QStringLiteral("Kestrum.socket")));
    // A socket file left by a copy that died is taken over.
    QFile stale(socket);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    ActivationServer server;
    ASSERT_TRUE(server.listen(socket));
    EXPECT_EQ(QFile::permissions(socket) & (QFileDevice::ReadOther | QFileDevice::WriteOther), 0)
        << "only this user may ask";
    QStringList tokens;
    QObject::connect(&server, &ActivationServer::activationRequested, [&](const QString &token) { tokens << token; });

    EXPECT_TRUE(ask());
    EXPECT_TRUE(ask(5000, "weston-7_a1b2:c3"));
    // What cannot be a token is not sent; the window is still asked for.
    EXPECT_TRUE(ask(5000, "two words"));
    EXPECT_TRUE(ask(5000, QByteArray(256, 'x')));
    EXPECT_EQ(tokens, QStringList({{}, QStringLiteral("weston-7_a1b2:c3"), {}, {}}));

    // Anything but the request is dropped unanswered.
    for (const QByteArray &line : {QByteArrayLiteral("shutdown\n"), QByteArrayLiteral("activate \x01\n"),
                                  QByteArrayLiteral("activate a b\n"), QByteArray(400, 'a') + '\n'}) {
        QLocalSocket stranger;
        stranger.connectToServer(socket);
        ASSERT_TRUE(stranger.waitForConnected(2000));
        stranger.write(line);
        stranger.flush();
        EXPECT_TRUE(QTest::qWaitFor([&] { return stranger.state() == QLocalSocket::UnconnectedState; }, 3000))
            << line.constData();
    }
    EXPECT_EQ(tokens.size(), 4);
}

TEST_F(InstanceActivationTest, NoAnswerMeansTheNoticeIsShown)
{
    EXPECT_FALSE(ask(1000)) << "nobody listens";

    // A copy that accepts but never answers (an older version, a hung one).
    QLocalServer silent;
    ASSERT_TRUE(silent.listen(socket));
    EXPECT_FALSE(ask(1000));
}

}  // namespace
}  // namespace kestrum
