#include "ui/main_window_layout.h"

#include "ui/icons.h"
#include "ui/layout_widgets.h"
#include "ui/views.h"
#include "model/value_tables.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <iterator>

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QProgressBar>
#include <QScreen>

namespace talvex {

using namespace layout;

namespace {

constexpr char kFaceProperty[] = "talvexFaceColour";

QString rgb(const QColor& c) {
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

QFont arial(int pixelSize) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixelSize);
    return f;
}

QStringList numbers(int from, int to) {
    QStringList texts;
    for (int i = from; i <= to; ++i)
        texts << QString::number(i);
    return texts;
}

MenuView buildMenu(QMainWindow& window, StripView& strip) {
    QMenuBar* bar = window.menuBar();
    bar->setFixedHeight(kMenuHeight);
    // File, Edit and View come first, as in every desktop program; the features
    // fill them with their own actions.
    const std::pair<const char*, const char*> standardMenus[] = {
        {"menuFile", "&File"},
        {"menuEdit", "&Edit"},
        {"menuView", "&View"},
    };
    std::array<QMenu*, 3> standard{};
    for (std::size_t i = 0; i < standard.size(); ++i) {
        standard[i] = bar->addMenu(QString::fromUtf8(standardMenus[i].second));
        standard[i]->setObjectName(standardMenus[i].first);
        standard[i]->setFont(window.font());
    }
    QMenu* menu = bar->addMenu(QStringLiteral("Bridge Config"));
    menu->setObjectName("BridgeConfig1");
    menu->setFont(window.font()); // a pop-up is a window of its own: it would take the application's font
    auto* group = new QActionGroup(&window);
    group->setExclusive(true);
    const std::pair<const char*, const char*> menuItems[] = {
        {"NoBTL1", "No BTL"},
        {"Lowmidbridge1", "Low-mid BTL"},
        {"highmidbridge1", "high-mid BTL"},
        {"LowmidBTLhighlow1", "Low-mid BTL high=low"},
    };
    for (std::size_t i = 0; i < strip.bridgeModes.size(); ++i) {
        QAction* a = menu->addAction(QString::fromUtf8(menuItems[i].second));
        a->setObjectName(menuItems[i].first);
        a->setCheckable(true);
        a->setChecked(false);
        group->addAction(a);
        strip.bridgeModes[i] = a;
    }
    return {standard[0], standard[1], standard[2]};
}

// Connection, broadcast, Device ID assignment and presets: four boxes in grp1.
void buildConnectionGroup(QWidget* central, MainWindowViews& views) {
    ConnectionView& c = views.connection;
    AdminView& a = views.admin;
    PresetsView& p = views.presets;
    QGroupBox* grp1 = c.group = box(central, "grp1", 7, 2, 600, 95);

    QGroupBox* conn = box(grp1, "rzgrpbx2", 4, 6, 202, 84);
    label(conn, "lbl_comport", "COM :", 6, 14, 56);
    c.portList = list(conn, "cbb_comport", {}, 62, 10, 72);
    label(conn, "lbl_deviceid", "Device ID:", 6, 45, 56);
    c.deviceIdList = a.deviceIdList = list(conn, "cbb_deviceid", numbers(1, 250), 62, 41, 72);
    c.connect = button(conn, "btn_connect", "Connect", 138, 8, 60, 25);
    setButtonColour(c.connect, kStateRed);
    c.connectedImage = image(conn, "img_connectstate", &icons::disconnected, 152, 42);

    QGroupBox* broadcast = box(grp1, "rzgrpbx3", 209, 6, 70, 84);
    a.broadcast = button(broadcast, "btn_broadcase", "Broadcast\nMode", 6, 16, 58, 52);

    a.assignBox = box(grp1, "rzgrpbx4", 282, 6, 84, 84);
    label(a.assignBox, "lbl_setdeviceid", "Set device id :", 5, 14, 76);
    a.newDeviceId = edit(a.assignBox, "edt22", "1", 5, 41, 38);
    a.assign = button(a.assignBox, "btn46", "OK", 46, 40, 34);

    QGroupBox* preset = box(grp1, "rzgrpbx1", 369, 6, 227, 84);
    label(preset, "lbl_load", QString::fromUtf8("Load："), 5, 12, 36);
    p.loadList = list(preset, "cbb_load2dev", items(kPresetLabelPrefixes, ":"), 42, 8, 136);
    p.load = button(preset, "btn_load2dev", "Load", 182, 7, 40);
    label(preset, "lbl_save", "Save:", 5, 37, 36);
    p.saveList = list(preset, "cbb_save2dev", items(kPresetLabelPrefixes, ":"), 42, 33, 136);
    p.save = button(preset, "btn_save2dev", "Save", 182, 32, 40);
    p.saveName = edit(preset, "edt_save2dev", {}, 42, 58, 136);
    p.saveName->setMaxLength(19);
}

// Search, file and temperature controls down the right-hand side.
QGroupBox* buildSideGroup(QWidget* central, MainWindowViews& views) {
    QGroupBox* grp3 = box(central, "grp3", 611, 2, 122, 228);
    const std::pair<const char*, const char*> buttons[] = {
        {"btn41", "search device id"},
        {"btn42", "search result"},
        {"btn_save_onegrp2pc", "save one group to PC"},
        {"btn_load_onegrp2pc", "load one group to DV"},
        {"btn_save_20grp2pc", "save all-group to PC"},
        {"btn_load_20grp2pc", "load all-group to DV"},
    };
    QPushButton* side[std::size(buttons)] = {};
    int top = 6;
    for (std::size_t i = 0; i < std::size(buttons); ++i) {
        side[i] = button(grp3, buttons[i].first, buttons[i].second, 4, top, 114, 22);
        top += 24;
    }
    views.search.search = side[0];
    views.search.showResult = side[1];
    PresetsView& p = views.presets;
    p.saveOneGroup = side[2];
    p.loadOneGroup = side[3];
    p.saveAllGroups = side[4];
    p.loadAllGroups = side[5];

    QGroupBox* temp = box(grp3, "rzgrpbx9", 2, 150, 118, 74);
    temp->setFont(arial(10));
    label(temp, "lbl_temp", "Temp:", 4, 6, 30);
    views.status.temperature = label(temp, "lbl_temperature", QString::fromUtf8("10 °C"), 36, 6, 70);
    label(temp, "lbl_atten", "Attenuation dB :", 4, 24, 73);
    views.status.attenuation = label(temp, "lbl_attenuation", "0 dB", 78, 24, 37);
    views.admin.temperatureThreshold = list(temp, "cbb_TemperatureThr", items(kTemperatureThresholdNames), 4, 45, 50);
    views.admin.changeThreshold = button(temp, "btn_changetermthr", "Change", 58, 44, 54);
    return grp3;
}

// Panels that appear over the window when needed; all hidden at start.
void buildPanels(QWidget* central, MainWindowViews& views) {
    QGroupBox* tx = views.status.transferPanel = floatingBox(central, "rzgrpbx_data_tx_bar", 189, 205, 360, 66);
    label(tx, "lbl_data_tx", "Please wait,The data is being transmitted.............. ", 10, 12,
          340);
    views.status.transferProgress = progressBar(tx, "rzprgrsbr_data_bar", 10, 36, 340, 18);

    SearchView& s = views.search;
    s.progressPanel = floatingBox(central, "rzgrpbx_searchID", 224, 288, 300, 92);
    label(s.progressPanel, "lbl_searchid", QString::fromUtf8("正在搜索可用设备ID号...."), 10, 10, 280);
    s.progress = progressBar(s.progressPanel, "rzprgrsbr_searchid", 10, 34, 280, 18);
    s.cancel = button(s.progressPanel, "btn_searchid", QString::fromUtf8("取消"), 210, 60, 80);

    QGroupBox* result = s.resultPanel = floatingBox(central, "rzgrpbx_sch_result", 6, 411, 320, 200);
    label(result, "lbl_sch_result", "Search result:", 8, 8, 200);
    s.resultCross = button(result, "btn5", "X", 295, 6, 19, 17);
    auto* memo = s.resultText = new QPlainTextEdit(result);
    memo->setObjectName("mmo_s_result");
    memo->setGeometry(8, 28, 304, 134);
    memo->setReadOnly(true);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    s.resultClose = button(result, "btn_s_close", "Close", 232, 168, 80);
}

// Controls of the design that lie beyond the visible area (the design surface is
// 1261 x 773). All are hidden except edt_empty, which must be able to take the
// keyboard focus away from the equaliser boxes.
void buildOffscreenControls(QWidget* central, MainWindowViews& views) {
    // Out of the Tab chain, so the keyboard never lands in a box nobody can see.
    QLineEdit* sink = edit(central, "edt_empty", {}, 760, 8, 40);
    sink->setFocusPolicy(Qt::ClickFocus);
    views.eqPage.focusSink = sink;
    StatusView& status = views.status;
    for (int i = 1; i <= 3; ++i) {
        status.meters[std::size_t(i - 1)] = edit(central, QStringLiteral("edt%1").arg(i), {}, 760, 12 + 26 * i, 60);
        status.meters[std::size_t(i - 1)]->hide();
    }
    status.usbStatus = label(central, "lbl_usbhid", {}, 760, 120, 80);
    status.usbStatus->hide();
    image(central, "img_true", &icons::connected, 760, 150)->hide();
    image(central, "img_false", &icons::disconnected, 800, 150)->hide();
    const icons::Bridge bridges[] = {icons::Bridge::Plain, icons::Bridge::FromAbove,
                                     icons::Bridge::FromBelow};
    for (int i = 0; i < 3; ++i)
        image(central, QStringLiteral("img_brg%1").arg(i),
              [kind = bridges[i]](qreal ratio) { return icons::bridge(kind, ratio); }, 760 + 34 * i, 190)
            ->hide();
    for (int j = 0; j < 10; ++j)
        image(central, QStringLiteral("img_EQBmp%1").arg(j),
              [j](qreal ratio) { return icons::bandMarker(j, ratio); }, 760 + 24 * j, 230)
            ->hide();

    auto* devices = status.deviceList = new QListWidget(central);
    devices->setObjectName("DevListBox");
    devices->setGeometry(1010, 8, 240, 120);
    devices->hide();

    auto* history = status.historyList = new QListWidget(central);
    history->setObjectName("HistoryListBox");
    history->setGeometry(760, 260, 490, 260);
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFixedPitch(true);
    mono.setPixelSize(12);
    history->setFont(mono);
    history->hide();

    auto* transfer = new QPlainTextEdit(central);
    transfer->setObjectName("mmo_saveloaddata");
    transfer->setGeometry(760, 530, 490, 230);
    transfer->setLineWrapMode(QPlainTextEdit::NoWrap);
    transfer->hide();
}

// The Tab key walks the window as a person reads it: the connection group, the
// side group, the strip, then the strip's pop-ups (each reachable only while
// open), the equaliser page last, each in rows from top to bottom and left to
// right. (The strip hands the focus back to a pop-up's button before hiding
// it, so hiding never passes the focus along this chain.)
void setReadingTabOrder(QWidget* central, std::initializer_list<QWidget*> containers) {
    QWidget* previous = nullptr;
    for (QWidget* container : containers) {
        QList<QWidget*> controls;
        for (QWidget* w : container->findChildren<QWidget*>())
            if ((w->focusPolicy() & Qt::TabFocus) && w->window() == central->window()) // not a list's pop-up
                controls << w;
        const auto at = [central](const QWidget* w) { return w->mapTo(central, QPoint(0, 0)); };
        std::stable_sort(controls.begin(), controls.end(), [&](const QWidget* a, const QWidget* b) {
            const QPoint pa = at(a), pb = at(b);
            return pa.y() / 8 != pb.y() / 8 ? pa.y() < pb.y() : pa.x() < pb.x();
        });
        for (QWidget* w : controls) {
            if (previous)
                QWidget::setTabOrder(previous, w);
            previous = w;
        }
    }
}

} // namespace

MainWindowViews buildMainWindowLayout(QMainWindow& window) {
    MainWindowViews views;
    window.setObjectName("TForm1");
    window.setWindowTitle(QStringLiteral("Talvex-96K V3.8.0 U"));
    window.setFont(arial(11));
    views.menus = buildMenu(window, views.strip);

    auto* central = new QWidget(&window);
    central->setObjectName("centralWidget");
    window.setCentralWidget(central);

    buildConnectionGroup(central, views);
    buildStrip(central, views.strip, views.eqPage);
    buildEqualiserPage(central, views.eqPage);
    QGroupBox* side = buildSideGroup(central, views);
    buildPanels(central, views);
    buildOffscreenControls(central, views);

    // Floating panels stay above the groups they cover. Their frame style sheet
    // would hand their controls the application font, so they get the window's.
    const StripView& strip = views.strip;
    for (QWidget* w : std::initializer_list<QWidget*>{strip.gainPopup, strip.delayPopup, strip.limiterPopup,
                                                      views.status.transferPanel, views.search.progressPanel,
                                                      views.search.resultPanel}) {
        w->raise();
        for (QWidget* c : w->findChildren<QWidget*>())
            c->setFont(central->font());
    }

    setReadingTabOrder(central, {views.connection.group, side, strip.group, strip.gainPopup, strip.delayPopup,
                                 strip.limiterPopup, views.eqPage.page});
    window.setFixedSize(kClientWidth, kClientHeight);
    if (QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
    return views;
}

void showBroadcastLock(const MainWindowViews& views, bool on) {
    const PresetsView& presets = views.presets;
    for (QWidget* control : std::initializer_list<QWidget*>{presets.loadList, presets.load, views.search.search,
                                                            views.search.showResult, presets.saveOneGroup,
                                                            presets.saveAllGroups, presets.loadAllGroups})
        control->setEnabled(!on);
}

void showSearchLock(const MainWindowViews& views, bool editing, bool connectionToo) {
    views.connection.group->setEnabled(!connectionToo);
    views.strip.group->setEnabled(!editing);
    views.eqPage.page->setEnabled(!editing);
}

void setButtonColour(QAbstractButton* button, const QColor& colour) {
    if (!button)
        return;
    const bool dark = colour.lightness() < 110;
    const QColor text = dark ? QColor(255, 255, 255) : QColor(0, 0, 0);
    button->setProperty(kFaceProperty, colour);
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: %2;"
                       " border: 1px solid rgb(128, 128, 128); border-radius: 2px; padding: 0px; }"
                       "QPushButton:hover { background-color: %3; color: black; }"
                       "QPushButton:pressed { background-color: %4; }"
                       "QPushButton:focus { border: 1px solid rgb(0, 84, 227); }"
                       "QPushButton:disabled { color: rgb(150, 150, 150); }")
            .arg(rgb(colour), rgb(text), rgb(kHotTrack), rgb(colour.darker(115))));
}

QColor buttonColour(const QAbstractButton* button) {
    if (!button)
        return {};
    return button->property(kFaceProperty).value<QColor>();
}

} // namespace talvex
