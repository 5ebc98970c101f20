// A second start asks the running copy to bring its window to the front,
// and learns whether it did.
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
    bool ask(int timeoutMs = 5000)
    {
        std::atomic<int> answer{-1};
        std::thread second([&] { answer = requestActivation(socket, timeoutMs) ? 1 : 0; });
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
    int requests = 0;
    QObject::connect(&server, &ActivationServer::activationRequested, [&] { ++requests; });

    EXPECT_TRUE(ask());
    EXPECT_EQ(requests, 1);
    EXPECT_TRUE(ask());
    EXPECT_EQ(requests, 2);

    // Anything but the request is dropped unanswered.
    QLocalSocket stranger;
    stranger.connectToServer(socket);
    ASSERT_TRUE(stranger.waitForConnected(2000));
    stranger.write("shutdown\n");
    stranger.flush();
    EXPECT_TRUE(QTest::qWaitFor([&] { return stranger.state() == QLocalSocket::UnconnectedState; }, 3000));
    EXPECT_EQ(requests, 2);
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
