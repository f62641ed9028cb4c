#pragma once
// The controls of each feature, as the layout builds them: plain structs of
// typed pointers, one per feature, filled once by buildMainWindowLayout(). A
// feature receives only its own struct. The comment after a member gives the
// control's objectName, which tests and accessibility tools use.
//
// A control that two features use (the page buttons of the equaliser sit in the
// strip; the Device ID list is the connection's and the administration's) is
// named in both structs; each feature uses it for its own purpose only.

#include <array>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QWidget;

namespace talvex {

// Port and Device ID selection and the Connect button (grp1, first box).
struct ConnectionView {
    QGroupBox* group = nullptr;        // grp1
    QComboBox* portList = nullptr;     // cbb_comport
    QComboBox* deviceIdList = nullptr; // cbb_deviceid
    QPushButton* connect = nullptr;    // btn_connect
    QLabel* connectedImage = nullptr;  // img_connectstate
};

// Device ID choice and assignment, broadcast mode, temperature threshold.
struct AdminView {
    QComboBox* deviceIdList = nullptr;         // cbb_deviceid
    QPushButton* broadcast = nullptr;          // btn_broadcase
    QGroupBox* assignBox = nullptr;            // rzgrpbx4
    QLineEdit* newDeviceId = nullptr;          // edt22
    QPushButton* assign = nullptr;             // btn46
    QComboBox* temperatureThreshold = nullptr; // cbb_TemperatureThr
    QPushButton* changeThreshold = nullptr;    // btn_changetermthr
};

// The device's presets and the group files.
struct PresetsView {
    QComboBox* loadList = nullptr;       // cbb_load2dev
    QPushButton* load = nullptr;         // btn_load2dev
    QComboBox* saveList = nullptr;       // cbb_save2dev
    QPushButton* save = nullptr;         // btn_save2dev
    QLineEdit* saveName = nullptr;       // edt_save2dev
    QPushButton* saveOneGroup = nullptr; // btn_save_onegrp2pc
    QPushButton* loadOneGroup = nullptr; // btn_load_onegrp2pc
    QPushButton* saveAllGroups = nullptr; // btn_save_20grp2pc
    QPushButton* loadAllGroups = nullptr; // btn_load_20grp2pc
};

// The Device ID search, its progress panel and its result panel.
struct SearchView {
    QPushButton* search = nullptr;        // btn41
    QPushButton* showResult = nullptr;    // btn42
    QGroupBox* progressPanel = nullptr;   // rzgrpbx_searchID
    QProgressBar* progress = nullptr;     // rzprgrsbr_searchid
    QPushButton* cancel = nullptr;        // btn_searchid
    QGroupBox* resultPanel = nullptr;     // rzgrpbx_sch_result
    QPlainTextEdit* resultText = nullptr; // mmo_s_result
    QPushButton* resultCross = nullptr;   // btn5
    QPushButton* resultClose = nullptr;   // btn_s_close
};

// What the window itself shows of the session: meters, transfer progress,
// traffic and device lists, USB state.
struct StatusView {
    QLabel* temperature = nullptr;               // lbl_temperature
    QLabel* attenuation = nullptr;               // lbl_attenuation
    std::array<QLineEdit*, 3> meters{};          // edt1, edt2, edt3
    QGroupBox* transferPanel = nullptr;          // rzgrpbx_data_tx_bar
    QProgressBar* transferProgress = nullptr;    // rzprgrsbr_data_bar
    QListWidget* historyList = nullptr;          // HistoryListBox
    QListWidget* deviceList = nullptr;           // DevListBox
    QLabel* usbStatus = nullptr;                 // lbl_usbhid
};

// The channel strip, its three pop-ups and the "Bridge Config" menu.
struct StripView {
    struct OutputRow {
        QPushButton* mute = nullptr;     // btn_opK_mute
        QPushButton* gain = nullptr;     // btn_opK_gain
        QPushButton* eq = nullptr;       // btn_opK_eq
        QPushButton* limiter = nullptr;  // btn_opK_lim
        QPushButton* delay = nullptr;    // btn_opK_delay
        QPushButton* polarity = nullptr; // btn_opK_pol
    };
    QGroupBox* group = nullptr;           // grp2
    std::array<OutputRow, 3> outputs{};   // K = 0 High, 1 Mid, 2 Low
    QPushButton* mainDelay = nullptr;     // btn_in0_delay
    QPushButton* mainPolarity = nullptr;  // btn_in0_pol
    QPushButton* recoup = nullptr;        // btn_op2_bassp
    QSlider* mainGain = nullptr;          // rztrckbr_ingain
    QLabel* mainGainText = nullptr;       // lbl28
    QLabel* highFeed = nullptr;           // img2
    QLabel* midFeed = nullptr;            // img6

    QGroupBox* gainPopup = nullptr;       // grpbx_gain
    QSlider* gainBar = nullptr;           // rztrckbr_gain
    QLabel* gainText = nullptr;           // albl1
    QPushButton* gainClose = nullptr;     // btn_grpbx_gain_close
    QGroupBox* delayPopup = nullptr;      // grpbx_delay
    QSlider* delayBar = nullptr;          // rztrckbr_delay
    QLabel* delayText = nullptr;          // albl2
    QPushButton* delayClose = nullptr;    // btn2
    QGroupBox* limiterPopup = nullptr;    // grpbx_limit
    QComboBox* threshold = nullptr;       // cbb_lim_thr
    QComboBox* attack = nullptr;          // cbb_lim_att
    QComboBox* release = nullptr;         // cbb_lim_rel
    QPushButton* limiterClose = nullptr;  // btn3

    // No BTL, Low-mid BTL, high-mid BTL, Low-mid BTL high=low
    std::array<QAction*, 4> bridgeModes{}; // NoBTL1, Lowmidbridge1, highmidbridge1, LowmidBTLhighlow1
};

// The equaliser page, its page buttons and the response graph.
struct EqPageView {
    QGroupBox* page = nullptr;                   // rzgrpbx5
    QLabel* channelCaption = nullptr;            // lbl_cur_ch
    QLineEdit* hpfFrequency = nullptr;           // edt_op3hpf_freq
    QComboBox* hpfType = nullptr;                // cbb_op3hpf_type
    QLineEdit* lpfFrequency = nullptr;           // edt_op3lpf_freq
    QComboBox* lpfType = nullptr;                // cbb_op3lpf_type
    std::array<QLineEdit*, 10> bandFrequency{};  // edt_op3eq_freq_0J
    std::array<QLineEdit*, 10> bandGain{};       // edt_op3eq_gain_0J
    std::array<QComboBox*, 10> bandType{};       // cbb_op3eq_type_0J
    std::array<QLineEdit*, 10> bandQ{};          // edt_op3eq_qval_0J
    // Main, High, Mid, Low
    std::array<QPushButton*, 4> pageButtons{};   // btn_in0_eq, btn_op0_eq, btn_op1_eq, btn_op2_eq
    QLabel* responseGraph = nullptr;             // img_eqbackground
    QWidget* focusSink = nullptr;                // edt_empty: takes the focus from a box
};

// The standard menus the features fill.
struct MenuView {
    QMenu* file = nullptr; // menuFile
    QMenu* edit = nullptr; // menuEdit
    QMenu* view = nullptr; // menuView
};

struct MainWindowViews {
    ConnectionView connection;
    AdminView admin;
    PresetsView presets;
    SearchView search;
    StatusView status;
    StripView strip;
    EqPageView eqPage;
    MenuView menus;
};

} // namespace talvex
