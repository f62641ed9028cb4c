#pragma once
// The preset panel and the group transfer on a bare window built by the layout,
// with a recording transport, recorded prompts and dialogs, plain timers that
// nothing ticks, and a pause that returns at once (after running `duringDelay`).

#include "support/bare_window.h"
#include "support/files.h"
#include "support/window.h"

#include "presets/group_file.h"
#include "presets/group_transfer.h"
#include "presets/preset_panel.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace talvex::testing {

// The bytes of a reply frame written as hex text, the way group files keep it.
inline std::vector<std::uint8_t> frameBytes(const std::string& text)
{
    const QByteArray bytes = QByteArray::fromHex(QByteArray::fromStdString(text));
    return {bytes.begin(), bytes.end()};
}

class PresetsTest : public BareWindowTest {
protected:
    void SetUp() override
    {
        link.connected = true;
        sender.setSelectedAddress([] { return 4; });
        PresetsContext context;
        context.model = &model;
        context.sender = &sender;
        context.link = &link;
        context.prompts = &prompts;
        context.dialogs = &dialogs;
        context.supervision = &supervision;
        context.hidePopups = [this] { ++popupsHidden; };
        context.showProgress = [this](bool animate) {
            progressShown = true;
            progressAnimated = animate;
            bar = 0;
        };
        context.hideProgress = [this] { progressShown = false; };
        context.setProgressBar = [this](int percent) { bar = percent; };
        context.delay = [this](int ms) {
            delays.push_back(ms);
            if (duringDelay)
                duringDelay();
        };
        transfer = new GroupTransfer(context, &window);
        panel = new PresetPanel(context, *transfer, &window);
        // Idle and connected: both running, as after the first group reply.
        pulse.start(100000);
        watchdog.start(100000);
        ASSERT_TRUE(folder.isValid());
    }

    QString path(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }
    bool idle() const { return pulse.isActive() && watchdog.isActive(); }

    RecordingFileDialogs dialogs;
    QTimer pulse, watchdog;
    struct TimerSupervision : LinkSupervision {
        TimerSupervision(QTimer& p, QTimer& w) : pulse(p), watchdog(w) {}
        void stopSendPulse() override { pulse.stop(); }
        void startSendPulse() override { pulse.start(); }
        void stopWatchdog() override { watchdog.stop(); }
        void startWatchdog() override { watchdog.start(); }
        QTimer& pulse;
        QTimer& watchdog;
    } supervision{pulse, watchdog};
    int popupsHidden = 0;
    bool progressShown = false;
    bool progressAnimated = false;
    int bar = -1;
    std::vector<int> delays;
    std::function<void()> duringDelay;
    GroupTransfer* transfer = nullptr;
    PresetPanel* panel = nullptr;
    QTemporaryDir folder;
};

inline groupfile::GroupImage patternImage(int seed)
{
    groupfile::GroupImage image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = std::uint8_t(i * 3 + std::size_t(seed) * 17);
    return image;
}

} // namespace talvex::testing
