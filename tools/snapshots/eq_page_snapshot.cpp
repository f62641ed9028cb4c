// Builds the main window, shows the High page with a few bands set and band 3
// dragged to 1 kHz / +6 dB, and saves it: eq_page_snapshot OUT.png

#include "app/main_window.h"
#include "editing/eq_page.h"
#include "ui/prompts.h"
#include "fake_hid_controller.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

#include <cstdio>

namespace {

struct SilentPrompts : talvex::Prompts {
    void message(const QString&) override {}
    bool question(const QString&) override { return false; }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: eq_page_snapshot OUT.png\n");
        return 2;
    }
    talvex::vamp::FakeHidController hid;
    SilentPrompts prompts;
    talvex::Session::Platform platform;
    platform.hid = &hid;
    platform.enumerator = [] { return std::vector<talvex::SerialPortItem>{}; };
    talvex::EditorCore core(platform);
    talvex::MainWindow window(core, {&prompts, nullptr});

    auto& image = core.model.image;
    const int high = 1;
    image[talvex::crossoverRecord(high) + talvex::kHpfFrequency] = 60;
    image[talvex::crossoverRecord(high) + talvex::kHpfType] = 7;
    image[talvex::crossoverRecord(high) + talvex::kLpfFrequency] = 200;
    image[talvex::crossoverRecord(high) + talvex::kLpfType] = 10;
    image[talvex::bandRecord(high, 6) + talvex::kBandFrequency] = 150;
    core.model.setCode16(talvex::bandRecord(high, 6) + talvex::kBandGain, 95);
    image[talvex::bandRecord(high, 8)] = 215;
    image[talvex::bandRecord(high, 8) + talvex::kBandType] = 4;
    core.model.setCode16(talvex::bandRecord(high, 8) + talvex::kBandGain, 140);
    window.findChild<QAbstractButton*>("btn_op0_eq")->click();

    window.show();
    auto* graph = window.findChild<QLabel*>("img_eqbackground");
    const talvex::MarkerPosition m = window.findChild<talvex::EqPage*>()->graph().responses().channel(high).markers[3];
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), graph->mapToGlobal(QPointF(at)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(graph, &event);
    };
    send(QEvent::MouseButtonPress, {m.x, m.y}, Qt::LeftButton);
    send(QEvent::MouseMove, {430, 58}, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {430, 58}, Qt::NoButton);

    QTimer::singleShot(300, [&] {
        window.grab().save(QString::fromLocal8Bit(argv[1]));
        app.quit();
    });
    return app.exec();
}
