#include "tuning/tuning_panel.h"

#include "model/parameter_model.h"
#include "tuning/match_dialog.h"
#include "ui/file_dialogs.h"
#include "ui/prompts.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace talvex {

namespace {

const char* const kChannelNames[4] = {"Main", "High", "Mid", "Low"};

QString channelText(int channel) { return QString::fromLatin1(kChannelNames[channel & 3]); }

QAction* addAction(QMenu* menu, const char* name, const QString& text)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

TuningPanel::TuningPanel(QMainWindow& window, Parts parts, QObject* parent)
    : QObject(parent), window_(window), parts_(std::move(parts))
{
    setObjectName(QStringLiteral("tuningPanel"));
    QMenu* menu = window_.menuBar()->addMenu(QStringLiteral("Tuning"));
    menu->setObjectName(QStringLiteral("menuTuning"));
    menu->setFont(window_.font());
    import_ = addAction(menu, "actionImportMeasurement", QStringLiteral("Import measurement…"));
    clear_ = addAction(menu, "actionClearMeasurement", QStringLiteral("Clear measurement"));
    match_ = addAction(menu, "actionMatchTarget", QStringLiteral("Match to target…"));
    menu->addSeparator();
    switch_ = addAction(menu, "actionSwitchAB", QStringLiteral("Switch to B"));
    switch_->setShortcut(QKeySequence(Qt::Key_F6));
    switch_->setShortcutContext(Qt::WindowShortcut);
    copy_ = addAction(menu, "actionCopyAToB", QStringLiteral("Copy A to B"));
    connect(import_, &QAction::triggered, this, &TuningPanel::importMeasurement);
    connect(clear_, &QAction::triggered, this, &TuningPanel::clearMeasurement);
    connect(match_, &QAction::triggered, this, &TuningPanel::openMatchDialog);
    connect(switch_, &QAction::triggered, this, &TuningPanel::switchAB);
    connect(copy_, &QAction::triggered, this, &TuningPanel::copyAToB);
    connect(menu, &QMenu::aboutToShow, this, &TuningPanel::refreshActions);
    dialog_ = new MatchDialog(*this, &window_);
    refreshActions();
    parts_.showOverlays(&overlays_);
}

TuningPanel::~TuningPanel() { parts_.showOverlays(nullptr); }

int TuningPanel::channel() const { return parts_.model.pageChannel & 3; }

void TuningPanel::refreshActions()
{
    const int c = channel();
    clear_->setEnabled(hasMeasurement(c));
    match_->setEnabled(hasMeasurement(c));
    switch_->setText(slots_.active(c) == 0 ? QStringLiteral("Switch to B") : QStringLiteral("Switch to A"));
}

void TuningPanel::refreshOverlay(int c)
{
    const auto& m = measurements_[std::size_t(c)];
    overlays_[std::size_t(c)] =
        m ? match::measuredOverlay(ResponseGrid{}, *m, lastSettings_[std::size_t(c)]) : CurveOverlay{};
    parts_.showOverlays(&overlays_);
}

void TuningPanel::importMeasurement()
{
    const int c = channel();
    FileDialogOptions options;
    options.name = QStringLiteral("dlgOpenMeasurement");
    options.filter = QStringLiteral("Measurements (*.txt *.frd *.csv)|*.txt;*.frd;*.csv|All files|*");
    const QString path = parts_.dialogs.openFile(options);
    if (path.isEmpty())
        return;
    measurement::ReadResult read;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        read.fault = {0, "The file cannot be read: " + file.errorString().toStdString() + "."};
    } else {
        const QByteArray content = file.read(qint64(measurement::kMaxFileBytes) + 1);
        read = measurement::parseMeasurement(std::string_view(content.constData(), std::size_t(content.size())));
    }
    if (!read.ok()) {
        parts_.prompts.message(QStringLiteral("The measurement \"%1\" cannot be used. %2")
                                   .arg(shownPath(path), QString::fromStdString(read.fault.reason)));
        return;
    }
    measurements_[std::size_t(c)] = std::move(read.measurement);
    refreshOverlay(c);
    refreshActions();
}

void TuningPanel::clearMeasurement()
{
    const int c = channel();
    measurements_[std::size_t(c)].reset();
    refreshOverlay(c);
    refreshActions();
}

void TuningPanel::openMatchDialog()
{
    const int c = channel();
    if (!hasMeasurement(c)) {
        parts_.prompts.message(QStringLiteral("Import a measurement of the %1 channel first.").arg(channelText(c)));
        return;
    }
    settingsBeforeDialog_ = lastSettings_[std::size_t(c)];
    dialog_->setWindowTitle(QStringLiteral("Match to target (%1)").arg(channelText(c)));
    dialog_->open();
    dialog_->start(lastSettings_[std::size_t(c)]);
}

std::optional<TuningPanel::Proposal> TuningPanel::propose(const match::Settings& settings, QString* why)
{
    const int c = channel();
    const auto& m = measurements_[std::size_t(c)];
    auto refuse = [&](const QString& text) {
        if (why)
            *why = text;
        return std::nullopt;
    };
    if (!m)
        return refuse(QStringLiteral("The %1 channel has no measurement.").arg(channelText(c)));
    const ResponseGrid grid;
    std::vector<double> measured = match::onGrid(grid, *m);
    if (!match::shiftToZeroMean(grid, measured, settings.lowHz, settings.highHz))
        return refuse(QStringLiteral("The measurement has no point within the range."));
    Proposal p;
    p.channel = c;
    p.settings = settings;
    p.before = tuning::channelRecords(parts_.model, c);
    const match::Problem problem(grid, measured, p.before, settings);
    if (problem.usableBands().empty())
        return refuse(QStringLiteral("No band is at 0 dB; choose \"All ten bands\"."));
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const match::Fit fit = match::fit(problem);
    QGuiApplication::restoreOverrideCursor();
    p.bands = match::fittedRecords(p.before, problem, fit);
    p.rmsBefore = fit.rmsBefore;
    p.rmsAfter = fit.rmsAfter;
    lastSettings_[std::size_t(c)] = settings;
    return p;
}

void TuningPanel::preview(const std::optional<Proposal>& proposal)
{
    for (std::size_t c = 0; c < overlays_.size(); ++c)
        overlays_[c].proposal.clear();
    if (proposal) {
        // The range and target of the proposal, and its predicted response.
        refreshOverlay(proposal->channel);
        CurveOverlay& overlay = overlays_[std::size_t(proposal->channel)];
        const ResponseGrid grid;
        const std::vector<double> curve = match::channelCurve(grid, {proposal->before.crossover, proposal->bands});
        overlay.proposal = overlay.measured;
        for (std::size_t i = 0; i < overlay.proposal.size() && i < curve.size(); ++i)
            overlay.proposal[i] += curve[i];
    }
    parts_.showOverlays(&overlays_);
}

void TuningPanel::matchClosed(bool applied)
{
    if (!applied)
        lastSettings_[std::size_t(channel())] = settingsBeforeDialog_;
    preview(std::nullopt);
    refreshOverlay(channel());
}

void TuningPanel::applyProposal(Proposal proposal)
{
    if (tuning::channelRecords(parts_.model, proposal.channel).bands != proposal.before.bands ||
        tuning::channelRecords(parts_.model, proposal.channel).crossover != proposal.before.crossover) {
        // The image changed under the dialog (a reply, a load): fit what is there now.
        if (proposal.channel != channel())
            return;
        std::optional<Proposal> again = propose(proposal.settings);
        if (!again)
            return;
        proposal = std::move(*again);
    }
    tuning::PageSettings wanted = tuning::readPage(parts_.model, proposal.channel);
    for (std::size_t j = 0; j < 10; ++j)
        wanted[j + 1] = proposal.bands[j];
    const QString label = QStringLiteral("Match to target (%1)").arg(channelText(proposal.channel));
    parts_.applyStep(label, tuning::editsTowards(parts_.model, proposal.channel, wanted, label.toStdString()), {});
}

void TuningPanel::switchAB()
{
    const int c = channel();
    const tuning::PageSettings left = tuning::readPage(parts_.model, c);
    const tuning::PageSettings next = slots_.leave(c, left);
    const QString label =
        QStringLiteral("Switch to %1 (%2)").arg(slots_.active(c) == 0 ? "B" : "A", channelText(c));
    const std::vector<ParameterEdit> edits = tuning::editsTowards(parts_.model, c, next, label.toStdString());
    slots_.flip(c);
    parts_.applyStep(label, edits, [this, c, left, next](bool undone) {
        slots_.flip(c);
        slots_.setOther(c, undone ? next : left);
        refreshActions();
    });
    refreshActions();
}

void TuningPanel::copyAToB()
{
    const int c = channel();
    const tuning::PageSettings wanted = slots_.copyAToB(c, tuning::readPage(parts_.model, c));
    const QString label = QStringLiteral("Copy A to B (%1)").arg(channelText(c));
    parts_.applyStep(label, tuning::editsTowards(parts_.model, c, wanted, label.toStdString()), {});
}

} // namespace talvex
