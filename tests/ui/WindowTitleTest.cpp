// The window titles as the X server holds them for the window manager to show, not only as Qt
// keeps them: the program runs under a virtual X server of the test's own.

#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <map>
#include <set>
#include <string>

namespace {

// A virtual X server on a free display, stopped with the test. Display() is empty when it could
// not start, and Problem() says why.
class TVirtualDisplay {
public:
    TVirtualDisplay()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty()) {
            Why = "Xvfb is not installed (scripts/deps.sh test installs it)";
            return;
        }
        // The server picks a free display number and writes it to standard output once it listens.
        Server.start(program, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                               QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("1280x1024x24")});
        QByteArray number;
        while (!number.contains('\n') && Server.waitForReadyRead(20000))
            number += Server.readAllStandardOutput();
        if (!number.contains('\n')) {
            Why = "Xvfb did not start: " + Server.readAllStandardError().trimmed().toStdString();
            return;
        }
        Name = ":" + number.trimmed().toStdString();
    }
    ~TVirtualDisplay()
    {
        if (Server.state() != QProcess::NotRunning) {
            Server.terminate();
            if (!Server.waitForFinished(5000))
                Server.kill();
            Server.waitForFinished(5000);
        }
    }
    TVirtualDisplay(const TVirtualDisplay&) = delete;
    TVirtualDisplay& operator=(const TVirtualDisplay&) = delete;

    const std::string& Display() const { return Name; }
    const std::string& Problem() const { return Why; }

private:
    QProcess Server;
    std::string Name;
    std::string Why;
};

// The value of a text property of an X window as xprop prints it, without the quotes; empty
// when the window has no such property.
std::string PropertyOf(const std::string& Display, const std::string& Window, const char* Property)
{
    const std::string xprop = QStandardPaths::findExecutable(QStringLiteral("xprop")).toStdString();
    EXPECT_FALSE(xprop.empty()) << "xprop is not installed (scripts/deps.sh test installs it)";
    if (xprop.empty())
        return {};
    const lmvtest::TProcessOutcome outcome =
        lmvtest::RunProcess({xprop, "-display", Display, "-id", Window, Property},
                            lmvtest::Environment({"LC_ALL", "LANG"}, {"LC_ALL=C.UTF-8"}));
    EXPECT_EQ(outcome.Status, 0) << outcome.Err;
    const std::size_t first = outcome.Out.find('"');
    const std::size_t last = outcome.Out.rfind('"');
    if (first == std::string::npos || last <= first)
        return {};
    return outcome.Out.substr(first + 1, last - first - 1);
}

TEST(WindowTitles, TheXServerHoldsTheProgramsOwnTitles)
{
    const TVirtualDisplay display;
    if (display.Display().empty())
        GTEST_SKIP() << display.Problem();

    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(display.Display()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    probe.setProcessEnvironment(environment);
    probe.start(QString::fromStdString(lmvtest::BinDir() + "/lumiva-title-probe"), {});
    ASSERT_TRUE(probe.waitForStarted(20000)) << probe.errorString().toStdString();
    QByteArray report;
    while (!report.contains("ready\n") && probe.waitForReadyRead(30000))
        report += probe.readAllStandardOutput();
    ASSERT_TRUE(report.contains("ready\n")) << report.toStdString() << probe.readAllStandardError().toStdString();

    // Window id -> the title the program gave it.
    std::map<std::string, std::string> windows;
    for (const QByteArray& line : report.split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0)
            windows[line.left(tab).toStdString()] = line.mid(tab + 1).toStdString();
    }
    std::multiset<std::string> titles;
    for (const auto& [window, title] : windows) {
        titles.insert(title);
        EXPECT_EQ(PropertyOf(display.Display(), window, "_NET_WM_NAME"), title);
        EXPECT_EQ(PropertyOf(display.Display(), window, "WM_NAME"), title);
    }
    EXPECT_EQ(titles, (std::multiset<std::string>{"About", "Lumiva", "Options", "System Information"}));

    probe.write("\n");
    probe.closeWriteChannel();
    EXPECT_TRUE(probe.waitForFinished(20000));
    EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
}

} // namespace
