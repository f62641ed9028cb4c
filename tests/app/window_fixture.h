#pragma once
// A main window wired to a virtual amplifier on a real pseudo-terminal and to
// the fake HID controller, with prompts answered by the test.

#include "app/main_window.h"
#include "ui/main_window_layout.h"
#include "ui/file_dialogs.h"
#include "ui/prompts.h"
#include "fake_device_monitor.h"
#include "fake_hid_controller.h"
#include "pty_server.h"
#include "virtual_amplifier.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <memory>

namespace talvex::testing {

class RecordingPrompts : public Prompts {
public:
    void message(const QString& text) override { messages << text; }
    bool question(const QString& text) override
    {
        questions << text;
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void detailedMessage(const QString& text, const QString& detail) override
    {
        messages << text;
        details << detail;
    }
    QStringList messages;
    QStringList details; // of the detailed messages
    QStringList questions;
    std::deque<bool> answers;
};

// Answers file dialogs from a queue of paths; an empty path (or an empty queue)
// cancels. Every dialog asked for is kept.
class RecordingFileDialogs : public FileDialogs {
public:
    QString openFile(const FileDialogOptions& options) override { return answer(options, false); }
    QString saveFile(const FileDialogOptions& options) override { return answer(options, true); }
    struct Asked {
        FileDialogOptions options;
        bool save;
    };
    std::vector<Asked> asked;
    std::deque<QString> answers;

private:
    QString answer(const FileDialogOptions& options, bool save)
    {
        asked.push_back({options, save});
        if (answers.empty())
            return {};
        const QString path = answers.front();
        answers.pop_front();
        return path;
    }
};

class WindowTest : public ::testing::Test {
protected:
    // Builds the window; `serialPorts` are the --port paths (by default the
    // virtual amplifier's pseudo-terminal).
    void makeWindow(std::optional<QStringList> serialPorts = std::nullopt)
    {
        if (!serialPorts) {
            ASSERT_TRUE(pty.start()) << pty.errorString().toStdString();
            serialPorts = QStringList{pty.slavePath()};
        }
        MainWindow::Platform platform;
        platform.trafficLog = trafficLog;
        platform.hid = &hid;
        platform.prompts = &prompts;
        platform.fileDialogs = &fileDialogs;
        platform.extraPorts = *serialPorts;
        platform.enumerator = [this] {
            ++portListings;
            return systemPorts;
        };
        platform.monitor = monitor;
        platform.hidLockDirectory = hidLocks.path();
        window = std::make_unique<MainWindow>(platform);
        // The start-up search probes the ports for a second; only tests of it keep it.
        if (!keepStartUpSearch)
            window->busSearch().startupSearchTimer.stop();
        bus.onFrame = [this](std::span<const std::uint8_t> frame) { frames.emplace_back(frame.begin(), frame.end()); };
    }

    // Builds the window on a bus of its own whose one device has these faults.
    void makeFaultyWindow(vamp::Faults faults)
    {
        faultyBus.add(1, faults);
        faultyPty = std::make_unique<vamp::PtyServer>(faultyBus);
        ASSERT_TRUE(faultyPty->start());
        makeWindow(QStringList{faultyPty->slavePath()});
    }

    template <typename T = QWidget>
    T* control(const char* name)
    {
        auto* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // Visible as far as the window goes (the window itself is never shown).
    bool shown(const char* name) { return control(name)->isVisibleTo(window.get()); }
    QString text(const char* name) { return control<QAbstractButton>(name)->text(); }
    QString label(const char* name) { return control<QLabel>(name)->text(); }
    QColor face(const char* name) { return buttonColour(control<QAbstractButton>(name)); }
    bool checked(const char* name) { return control<QAction>(name)->isChecked(); }

    bool idleConnected() const { return window->link().connected && window->session().sendPulseTimer.isActive(); }
    // Clicks "Connect" and waits for the read-all chain to finish.
    void connectAndRead()
    {
        window->toggleConnection();
        ASSERT_TRUE(QTest::qWaitFor([this] { return idleConnected(); }, 5000));
    }

    bool keepStartUpSearch = false;
    vamp::VirtualBus bus;
    vamp::VirtualAmplifier& amp = bus.add(1);
    vamp::PtyServer pty{bus};
    vamp::VirtualBus faultyBus;
    std::unique_ptr<vamp::PtyServer> faultyPty;
    QTemporaryDir hidLocks; // the USB device locks of this test's editors
    vamp::FakeHidController hid;
    RecordingPrompts prompts;
    RecordingFileDialogs fileDialogs;
    std::unique_ptr<MainWindow> window;
    std::vector<SerialPortItem> systemPorts; // the machine's serial ports, as the enumerator lists them
    int portListings = 0;                    // how many times they were listed
    DeviceMonitor* monitor = nullptr;         // set before makeWindow: devices are followed through it
    std::vector<std::vector<std::uint8_t>> frames; // every frame the amplifier received
    TrafficLog* trafficLog = nullptr; // set before makeWindow to capture the traffic
};

} // namespace talvex::testing
