// Builds the main window and saves what it shows to a PNG, for looking at the
// layout by eye: layout_snapshot OUT.png [--popups|--panels]
// --popups shows the three pop-ups beside their buttons, --panels the progress,
// search and result panels and the warning dialog (saved as OUT-warning.png).

#include "ui/main_window_layout.h"
#include "ui/warning_dialog.h"

#include <QApplication>
#include <QMainWindow>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: layout_snapshot OUT.png [--popups|--panels]\n");
        return 2;
    }
    QMainWindow window;
    talvex::buildMainWindowLayout(window);
    talvex::WarningDialog warning(&window);
    const QString mode = args.size() > 2 ? args[2] : QString();
    auto show = [&](const char* name, int x, int y) {
        if (auto* w = window.findChild<QWidget*>(name)) {
            w->move(x, y);
            w->show();
        }
    };
    if (mode == "--popups") { // beside a button of the strip (grp2 at 7, 98), 3 pixels above its bottom
        show("grpbx_gain", 7 + 160 + 61, 98 + 41 + 23 - 3);
        show("grpbx_delay", 7 + 189 + 76, 98 + 9 + 23 - 3);
        show("grpbx_limit", 7 + 349 + 57, 98 + 105 + 23 - 3);
    } else if (mode == "--panels") {
        show("rzgrpbx_data_tx_bar", 189, 205);
        show("rzgrpbx_searchID", 224, 288);
        show("rzgrpbx_sch_result", 6, 411);
        warning.show();
    }
    window.show();
    QTimer::singleShot(300, [&] {
        window.grab().save(args[1]);
        if (warning.isVisible())
            warning.grab().save(QString(args[1]).replace(".png", "-warning.png"));
        app.quit();
    });
    return app.exec();
}
