#include "Autostart.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace platform::autostart {
namespace {

// The arguments that a desktop reads from the Exec key of an entry file,
// by the Desktop Entry rules and nothing of the code under test: the value
// is a string (\s, \n, \t, \r, \\ escapes), then arguments are separated by
// spaces, "..." quotes one, and inside the quotes a backslash escapes ", `,
// $ and \; "%%" is a literal "%".
QStringList execArgumentsOfEntry(const QByteArray &entry)
{
    QString exec;
    for (const QString &line : QString::fromUtf8(entry).split(u'\n')) {
        if (line.startsWith(u"Exec="))
            exec = line.mid(5);
    }
    QString value;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec.at(i) == u'\\' && i + 1 < exec.size()) {
            const QChar next = exec.at(++i);
            value += next == u's' ? QChar(u' ') : next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t')
                   : next == u'r' ? QChar(u'\r') : next == u'\\' ? QChar(u'\\') : QChar(u'?');
        } else {
            value += exec.at(i);
        }
    }
    QStringList arguments;
    QString current;
    bool inArgument = false, quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < value.size()
                       && QStringView(u"\"`$\\").contains(value.at(i + 1))) {
                current += value.at(++i);
            } else if (c == u'%' && i + 1 < value.size() && value.at(i + 1) == u'%') {
                current += value.at(++i);
            } else {
                current += c;
            }
        } else if (c == u' ') {
            if (inArgument)
                arguments << current;
            current.clear();
            inArgument = false;
        } else if (c == u'"') {
            quoted = inArgument = true;
        } else if (c == u'%' && i + 1 < value.size() && value.at(i + 1) == u'%') {
            current += value.at(++i);
            inArgument = true;
        } else {
            // Reserved characters are never left unquoted.
            EXPECT_FALSE(QStringView(u"\t\n\"'\\><~|&;$*?#`()").contains(c)) << qPrintable(exec);
            current += c;
            inArgument = true;
        }
    }
    EXPECT_FALSE(quoted) << "an unclosed quote in " << qPrintable(exec);
    if (inArgument)
        arguments << current;
    return arguments;
}

TEST(Autostart, ExecLinesRunExactlyTheArgumentsTheyWereMadeOf)
{
    const QStringList awkward[] = {
        {"/usr/bin/plain"},
        {"/home/me/My Apps/Kestrum"},
        {"/opt/a \"b\"/c", "--name=\"x\""},
        {"/opt/$HOME/`id`/run", "$(rm -rf ~)"},
        {"/opt/100%/run", "%U", "50%%"},
        {"C:\\Program Files\\App\\app.exe", "back\\slash\\"},
        {"/opt/caf\u00e9/\u65e5\u672c/\U0001F600", "\u00fcber"},
        {"/opt/tricky;|&<>~*?#()'x'", ""},
        {" leading and trailing ", "  "},
        {"/opt/tab\there", "new\nline"},
    };
    for (const QStringList &arguments : awkward) {
        const QByteArray entry = entryText(QStringLiteral("Name"), arguments, QStringLiteral("ignored"));
        EXPECT_EQ(execArgumentsOfEntry(entry), arguments) << entry.constData();
        EXPECT_EQ(execArguments(execLine(arguments)), arguments) << qPrintable(execLine(arguments));
    }
}

TEST(Autostart, RunValuesSplitAsWindowsCommandLinesWithoutAskingTheFileSystem)
{
    const struct {
        const char *value;
        QStringList arguments;
    } cases[] = {
        {"/home/me/my apps/Kestrum", {"/home/me/my apps/Kestrum"}},  // unquoted: the program alone
        {"/usr/bin/app --minimized", {"/usr/bin/app --minimized"}},
        {"\"/home/me/my apps/Kestrum\" --minimized  \"two words\" x", {"/home/me/my apps/Kestrum", "--minimized", "two words", "x"}},
        {"\"/opt/app\"", {"/opt/app"}},
        {"\"/opt/unclosed", {"/opt/unclosed"}},
        {"\"/opt/app\" \"\"", {"/opt/app", ""}},
    };
    for (const auto &c : cases) {
        const QString value = QString::fromUtf8(c.value);
        EXPECT_EQ(runValueArguments(value), c.arguments) << c.value;
        EXPECT_EQ(runValueArguments(runValue(c.arguments)), c.arguments) << c.value;
    }
}

TEST(Autostart, AnEntryChangedByHandReadsAsWhatItsExecLineRuns)
{
    QTemporaryDir folder;
    ASSERT_EQ(write(folder.path(), "App", "/home/me/my apps/App"), Result::Done);
    EXPECT_EQ(read(folder.path(), "app"), QByteArray("/home/me/my apps/App"));

    // An entry without the kept value, as earlier versions and other
    // programs write them.
    QFile file(QDir(folder.path()).filePath(QStringLiteral("App.desktop")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nExec=\"/home/me/my apps/App\" --tray \"two words\" %U\n"
               "X-Other-Command=/something/else\n");
    file.close();
    EXPECT_EQ(read(folder.path(), "App"), QByteArray("\"/home/me/my apps/App\" --tray \"two words\""));

    EXPECT_EQ(write(folder.path(), "../escape", "x"), Result::InvalidValue);
    EXPECT_EQ(write(folder.path(), "App", "line\nbreak"), Result::InvalidValue);
    EXPECT_EQ(remove(folder.path(), "APP"), Result::Done);
    EXPECT_EQ(remove(folder.path(), "App"), Result::NotFound);
    EXPECT_FALSE(read(folder.path(), "App").has_value());
}

}  // namespace
}  // namespace platform::autostart
