// Names, kinds, captions, item lists and the starting visible state of the controls;
// pop-ups and dialogs, windows of their own, in the main window's font, and long lists at a normal height.

#include "support/layout.h"
#include "support/qstring_print.h"

#include "model/value_tables.h"
#include "ui/prompts.h"
#include "ui/warning_dialog.h"

#include <QAbstractItemView>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScrollBar>
#include <QTimer>

namespace {

QStringList withDigits(const QString& prefix, int count) {
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << prefix + QString::number(i);
    return names;
}

void expectWindowFont(const QWidget* widget, const QWidget& window) {
    EXPECT_EQ(widget->font().family(), window.font().family()) << widget->metaObject()->className();
    EXPECT_EQ(widget->font().pixelSize(), window.font().pixelSize()) << widget->metaObject()->className();
}

} // namespace

// Every component name the rest of the editor looks up, with its widget kind.
TEST_F(LayoutTest, EveryNamedControlExistsWithItsKind) {
    QStringList buttons = {"btn_connect", "btn_broadcase", "btn46", "btn_load2dev", "btn_save2dev", "btn41", "btn42",
                           "btn_save_onegrp2pc", "btn_load_onegrp2pc", "btn_save_20grp2pc", "btn_load_20grp2pc",
                           "btn_changetermthr", "btn_in0_eq", "btn_in0_delay", "btn_in0_pol", "btn_op2_bassp",
                           "btn_grpbx_gain_close", "btn2", "btn3", "btn_searchid", "btn_s_close", "btn5"};
    for (int k = 0; k < 3; ++k)
        for (const char* s : {"mute", "gain", "eq", "lim", "delay", "pol"})
            buttons << QStringLiteral("btn_op%1_%2").arg(k).arg(s);
    for (const QString& n : buttons)
        find<QPushButton>(n);

    for (const QString& n : QStringList{"cbb_comport", "cbb_deviceid", "cbb_load2dev", "cbb_save2dev", "cbb_TemperatureThr",
                                        "cbb_lim_thr", "cbb_lim_att", "cbb_lim_rel", "cbb_op3hpf_type", "cbb_op3lpf_type"} +
                                withDigits("cbb_op3eq_type_0", 10))
        EXPECT_FALSE(find<QComboBox>(n)->isEditable()) << n.toStdString();

    for (const QString& n : QStringList{"edt22", "edt_save2dev", "edt_op3hpf_freq", "edt_op3lpf_freq", "edt_empty", "edt1",
                                        "edt2", "edt3"} + withDigits("edt_op3eq_freq_0", 10) +
                                withDigits("edt_op3eq_gain_0", 10) + withDigits("edt_op3eq_qval_0", 10))
        find<QLineEdit>(n);

    for (const char* n : {"rztrckbr_ingain", "rztrckbr_gain", "rztrckbr_delay"})
        EXPECT_EQ(find<QSlider>(n)->orientation(), Qt::Horizontal) << n;

    for (const QString& n : QStringList{"lbl28", "albl1", "albl2", "lbl_cur_ch", "lbl_temperature", "lbl_attenuation",
                                        "lbl_usbhid", "img_connectstate", "img_true", "img_false", "img2", "img6",
                                        "img_eqbackground", "img_brg0", "img_brg1", "img_brg2"} +
                                withDigits("img_EQBmp", 10))
        find<QLabel>(n);

    for (const char* n : {"grp1", "grp2", "grp3", "grp4", "rzgrpbx1", "rzgrpbx2", "rzgrpbx3", "rzgrpbx4", "rzgrpbx5",
                          "rzgrpbx6", "rzgrpbx9", "grpbx_gain", "grpbx_delay", "grpbx_limit", "rzgrpbx_data_tx_bar",
                          "rzgrpbx_searchID", "rzgrpbx_sch_result"})
        find<QGroupBox>(n);
    find<QWidget>("pnl1");
    for (const char* n : {"rzprgrsbr_data_bar", "rzprgrsbr_searchid"})
        find<QProgressBar>(n);
    for (const char* n : {"DevListBox", "HistoryListBox"})
        find<QListWidget>(n);
    for (const char* n : {"mmo_saveloaddata", "mmo_s_result"})
        find<QPlainTextEdit>(n);

    // Handlers find a control by name, so no name may be used twice.
    QStringList all;
    for (QWidget* w : window().findChildren<QWidget*>())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_"))
            all << w->objectName();
    EXPECT_EQ(all.size(), QSet<QString>(all.begin(), all.end()).size());
}

TEST_F(LayoutTest, HiddenDesignControlsExistHidden) {
    for (const QString& n : QStringList{"DevListBox", "HistoryListBox", "lbl_usbhid", "edt1", "edt2", "edt3",
                                        "mmo_saveloaddata", "img_true", "img_false", "img_brg0", "img_brg1", "img_brg2",
                                        "grpbx_gain", "grpbx_delay", "grpbx_limit", "rzgrpbx_data_tx_bar",
                                        "rzgrpbx_searchID", "rzgrpbx_sch_result"} + withDigits("img_EQBmp", 10))
        EXPECT_TRUE(find(n)->isHidden()) << n.toStdString();

    EXPECT_TRUE(QFontInfo(find("HistoryListBox")->font()).fixedPitch());

    // edt_empty takes the focus away from the equaliser boxes: shown, but beyond the visible part of the window.
    QWidget* empty = find("edt_empty");
    EXPECT_FALSE(empty->isHidden());
    EXPECT_EQ(empty->focusPolicy(), Qt::ClickFocus); // not reached by Tab
    empty->setFocus(); // still takes the focus when told to
    EXPECT_EQ(window().focusWidget(), empty);
    EXPECT_FALSE(rect("edt_empty").intersects(QRect(0, 0, talvex::kClientWidth, talvex::kClientHeight)));
}

TEST_F(LayoutTest, ConnectionControlsStartDisconnected) {
    EXPECT_EQ(text("btn_connect"), "Connect");
    EXPECT_EQ(face("btn_connect"), talvex::kStateRed);
    EXPECT_TRUE(enabled("btn_connect"));
    for (const char* n : {"btn_connect", "cbb_comport", "img_connectstate"})
        EXPECT_EQ(parentName(n), "rzgrpbx2") << n;

    const QStringList ids = items("cbb_deviceid");
    ASSERT_EQ(ids.size(), 250);
    EXPECT_EQ((QStringList{ids[0], ids[249]}), QStringList({"1", "250"}));
    EXPECT_EQ(std::pair(combo("cbb_deviceid")->currentIndex(), combo("cbb_comport")->count()), std::pair(0, 0));

    const QImage shown = control<QLabel>("img_connectstate")->pixmap().toImage();
    EXPECT_EQ(shown, control<QLabel>("img_false")->pixmap().toImage());
    EXPECT_NE(shown, control<QLabel>("img_true")->pixmap().toImage());
}

// The lists hold the value tables, whose texts model/value_tables_test checks.
TEST_F(LayoutTest, ListsCarryTheirDesignItems) {
    const auto names = [](const auto& table) {
        QStringList out;
        for (const char* name : table)
            out << QString::fromUtf8(name);
        return out;
    };
    const QStringList presets = {"Usr0:", "Usr1:", "Usr2:", "Usr3:", "Pre4:", "Pre5:", "Pre6:", "Pre7:"};
    EXPECT_EQ(items("cbb_load2dev"), presets);
    EXPECT_EQ(items("cbb_save2dev"), presets);
    EXPECT_EQ(control<QLineEdit>("edt_save2dev")->maxLength(), 19);
    EXPECT_EQ(items("cbb_TemperatureThr"), names(talvex::kTemperatureThresholdNames));
    for (const auto& [list, table] : {std::pair{"cbb_lim_thr", names(talvex::kLimiterThresholdNames)},
                                      {"cbb_lim_att", names(talvex::kLimiterAttackNames)},
                                      {"cbb_lim_rel", names(talvex::kLimiterReleaseNames)}}) {
        EXPECT_EQ(items(list), table) << list;
        EXPECT_EQ(combo(list)->currentIndex(), 0) << list;
    }
    EXPECT_EQ(items("cbb_op3hpf_type"), names(talvex::kCrossoverTypeNames));
    EXPECT_EQ(items("cbb_op3lpf_type"), names(talvex::kCrossoverTypeNames));
    for (const QString& n : withDigits("cbb_op3eq_type_0", 10))
        EXPECT_EQ(talvex::testing::Controls::itemsOf(find(n)), names(talvex::kBandTypeNames));
}

TEST_F(LayoutTest, CaptionsAndDesignTexts) {
    // Buttons, labels and boxes, each with the text it starts with.
    const std::pair<const char*, const char*> texts[] = {
        {"btn_in0_eq", "Main EQ"}, {"btn_in0_delay", "Main delay"}, {"btn_in0_pol", "+"}, {"btn_op1_mute", "Mute"},
        {"btn_op1_gain", "Gain"}, {"btn_op1_eq", "EQ/HPF/LPF"}, {"btn_op1_lim", "Limiter"}, {"btn_op1_delay", "Delay"},
        {"btn_op1_pol", "+"}, {"btn_op2_bassp", "recoup"}, {"btn41", "search device id"}, {"btn42", "search result"},
        {"btn_save_onegrp2pc", "save one group to PC"}, {"btn_load_onegrp2pc", "load one group to DV"},
        {"btn_save_20grp2pc", "save all-group to PC"}, {"btn_load_20grp2pc", "load all-group to DV"},
        {"btn_changetermthr", "Change"}, {"btn46", "OK"}, {"btn_load2dev", "Load"}, {"btn_save2dev", "Save"},
        {"btn_s_close", "Close"}, {"btn3", "X"}, {"btn_broadcase", "Broadcast\nMode"}, {"btn_searchid", "取消"},
        {"lbl28", "0db"}, {"albl1", "-60 dB"}, {"albl2", "0 ms"}, {"lbl_cur_ch", "Current : MAIN"},
        {"lbl_temperature", "10 °C"}, {"lbl_attenuation", "0 dB"}, {"lbl_volume", "Volume"},
        {"lbl_row_high", " High "}, {"lbl_row_mid", " Mid   "}, {"lbl_row_low", " Low "},
        {"lbl_data_tx", "Please wait,The data is being transmitted.............. "},
        {"lbl_sch_result", "Search result:"}, {"edt22", "1"}, {"edt_op3hpf_freq", "19.7"},
        {"edt_op3lpf_freq", "21900"}, {"edt_op3eq_freq_04", "19.7"}, {"edt_op3eq_gain_04", "0.0"},
        {"edt_op3eq_qval_04", ""}};
    for (const auto& [name, shown] : texts) {
        EXPECT_TRUE(find(name)->inherits(name[0] == 'b' ? "QPushButton" : name[0] == 'e' ? "QLineEdit" : "QLabel"));
        EXPECT_EQ(text(name), QString::fromUtf8(shown)) << name;
    }
    EXPECT_EQ(control<QPlainTextEdit>("mmo_s_result")->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    // The graph starts as a plain dark image.
    const QImage graph = control<QLabel>("img_eqbackground")->pixmap().toImage();
    EXPECT_EQ(graph.size(), QSize(720, 250));
    EXPECT_EQ(graph.pixelColor(0, 0), QColor(20, 20, 20));
    EXPECT_EQ(graph.pixelColor(719, 249), QColor(20, 20, 20));
}

TEST_F(LayoutTest, ButtonsAreGreyArialAndTakeNewColours) {
    for (QPushButton* b : window().findChildren<QPushButton*>()) {
        if (b->objectName() == "btn_connect")
            continue;
        EXPECT_EQ(talvex::buttonColour(b), talvex::kButtonGrey) << b->objectName().toStdString();
        EXPECT_EQ(b->font().family(), "Arial") << b->objectName().toStdString();
    }

    QPushButton probe;
    talvex::setButtonColour(&probe, talvex::kOpenYellow);
    EXPECT_EQ(talvex::buttonColour(&probe), talvex::kOpenYellow);
    EXPECT_TRUE(probe.styleSheet().contains("rgb(255, 255, 0)") && probe.styleSheet().contains("color: rgb(0, 0, 0)"));
    talvex::setButtonColour(&probe, talvex::kConnectedGreen);
    EXPECT_EQ(talvex::buttonColour(&probe), talvex::kConnectedGreen);
    EXPECT_FALSE(probe.styleSheet().contains("rgb(255, 255, 0);"));
    EXPECT_TRUE(probe.styleSheet().contains("color: rgb(255, 255, 255)")); // white on dark green
    talvex::setButtonColour(nullptr, talvex::kStateRed); // harmless
    EXPECT_FALSE(talvex::buttonColour(nullptr).isValid());
}

TEST_F(LayoutTest, BridgeMenuHasFourCheckableItemsNoneChecked) {
    QStringList titles;
    for (QAction* menu : window().menuBar()->actions())
        titles << menu->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&View", "Bridge Config"}));
    const QList<QAction*> actions = window().findChild<QMenu*>("BridgeConfig1")->actions();
    const std::pair<const char*, const char*> expected[] = {{"NoBTL1", "No BTL"}, {"Lowmidbridge1", "Low-mid BTL"},
        {"highmidbridge1", "high-mid BTL"}, {"LowmidBTLhighlow1", "Low-mid BTL high=low"}};
    ASSERT_EQ(actions.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(std::tuple(actions[i]->objectName(), actions[i]->text(), actions[i]->isCheckable(),
                             actions[i]->isChecked()), std::tuple(expected[i].first, expected[i].second, true, false));
        EXPECT_EQ(window().findChild<QAction*>(expected[i].first), actions[i]);
    }
    // Checking one item removes the mark from the others.
    actions[2]->setChecked(true);
    actions[3]->setChecked(true);
    EXPECT_FALSE(actions[2]->isChecked());
    actions[3]->setChecked(false);
}

TEST(WarningDialog, CaptionTextAndOkClosesIt) {
    QWidget owner;
    talvex::WarningDialog dialog(&owner);
    EXPECT_EQ(dialog.objectName(), "TForm4");
    EXPECT_EQ(dialog.windowTitle(), "Warnning");
    EXPECT_FALSE(dialog.isModal());
    EXPECT_FALSE(dialog.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
    EXPECT_TRUE(dialog.isHidden());

    auto* text = dialog.findChild<QLabel*>();
    auto* ok = dialog.findChild<QPushButton*>();
    ASSERT_TRUE(text && ok);
    EXPECT_EQ((QStringList{text->text(), ok->text()}), QStringList({"Connection has been disconnedted!!", "OK"}));

    dialog.show();
    EXPECT_TRUE(dialog.isVisible());
    ok->click();
    EXPECT_FALSE(dialog.isVisible());
    dialog.show(); // shown again by the next link loss
    EXPECT_TRUE(dialog.isVisible());
}

TEST(Popups, MenuAndDialogsUseTheWindowFont) {
    QMainWindow window;
    talvex::buildMainWindowLayout(window);
    ASSERT_NE(window.font().family(), QApplication::font().family()); // else this proves nothing
    expectWindowFont(window.findChild<QMenu*>("BridgeConfig1"), window);
    talvex::WarningDialog warning(&window);
    expectWindowFont(&warning, window);

    talvex::MessageBoxPrompts prompts(&window);
    int boxesSeen = 0;
    auto answerYes = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        ++boxesSeen;
        expectWindowFont(box, window);
        QAbstractButton* button = box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)
                                                                 : box->button(QMessageBox::Ok);
        ASSERT_NE(button, nullptr);
        button->click();
    };
    QTimer::singleShot(0, &window, answerYes);
    EXPECT_TRUE(prompts.question(QStringLiteral("Really?")));
    QTimer::singleShot(0, &window, answerYes);
    prompts.message(QStringLiteral("Done."));
    EXPECT_EQ(boxesSeen, 2);
}

TEST(Popups, DeviceIdListScrollsAtANormalHeight) {
    QMainWindow window;
    talvex::buildMainWindowLayout(window);
    window.show();
    auto* ids = talvex::testing::findControl<QComboBox>(&window, "cbb_deviceid");
    ASSERT_NE(ids, nullptr);
    ASSERT_EQ(ids->count(), 250);
    ids->showPopup();
    QAbstractItemView* view = ids->view();
    ASSERT_TRUE(view->isVisible());
    const int row = view->sizeHintForRow(0);
    EXPECT_LE(view->window()->height(), ids->maxVisibleItems() * row + 2 * row);
    EXPECT_GT(view->verticalScrollBar()->maximum(), 0); // the rest is reached by scrolling
    // It drops down below its box.
    EXPECT_GE(view->window()->geometry().top(), ids->mapToGlobal(QPoint(0, 0)).y());
    ids->hidePopup();
}
