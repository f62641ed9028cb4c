#pragma once
// A bare window built by the layout, with the parameter image, a command sender
// on a recording transport and recorded prompts: the features under test are
// built on it by each suite.

#include "support/controls.h"
#include "support/recording.h"

#include "link/command_sender.h"
#include "model/parameter_model.h"
#include "ui/main_window_layout.h"

#include <QMainWindow>

namespace talvex::testing {

class BareWindowTest : public ::testing::Test, public Controls {
protected:
    BareWindowTest()
    {
        views = buildMainWindowLayout(window);
        sender.setTransport(&transport);
    }
    QWidget* controlRoot() const override { return const_cast<QMainWindow*>(&window); }

    // The frames of the next `ticks` send-pulse ticks.
    std::vector<Bytes> tick(int ticks)
    {
        transport.serialWrites.clear();
        for (int i = 0; i < ticks; ++i)
            sender.sendNextChunkOrMeterRead();
        return transport.serialWrites;
    }
    // Every frame sent so far, decoded; takeFrames also forgets them.
    std::vector<frame::Frame> sentFrames() const { return decodeWrites(transport.serialWrites); }
    std::vector<frame::Frame> takeFrames()
    {
        auto frames = sentFrames();
        transport.serialWrites.clear();
        return frames;
    }

    MainWindowViews views;
    ParameterModel model;
    LinkState link = LinkState::Closed;
    CommandSender sender{model, link};
    RecordingTransport transport;
    RecordingPrompts prompts;
    QMainWindow window;
};

} // namespace talvex::testing
