#include "tuning/match_dialog.h"

#include "model/number_text.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvex {

namespace {

QLineEdit* numberBox(QWidget* parent, const char* name)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setMaximumWidth(80);
    return box;
}

QString numberText(double value) { return QString::fromStdString(generalNumberText(value)); }

QString dbText(double value) { return QString::fromStdString(fixedText(value, 2)) + QStringLiteral(" dB"); }

} // namespace

MatchDialog::MatchDialog(TuningPanel& panel, QWidget* parent) : QDialog(parent), panel_(panel)
{
    setObjectName(QStringLiteral("dlgMatchTarget"));
    setWindowTitle(QStringLiteral("Match to target"));
    setWindowModality(Qt::WindowModal);

    low_ = numberBox(this, "edtMatchLow");
    high_ = numberBox(this, "edtMatchHigh");
    auto* range = new QHBoxLayout;
    range->addWidget(low_);
    range->addWidget(new QLabel(QStringLiteral("Hz to"), this));
    range->addWidget(high_);
    range->addWidget(new QLabel(QStringLiteral("Hz"), this));

    target_ = new QComboBox(this);
    target_->setObjectName(QStringLiteral("cbbMatchTarget"));
    target_->addItems({QStringLiteral("Flat"), QStringLiteral("Tilt")});
    tilt_ = numberBox(this, "edtMatchTilt");
    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(target_);
    targetRow->addWidget(tilt_);
    targetRow->addWidget(new QLabel(QStringLiteral("dB per octave"), this));

    bands_ = new QComboBox(this);
    bands_->setObjectName(QStringLiteral("cbbMatchBands"));
    bands_->addItems({QStringLiteral("All ten bands"), QStringLiteral("Bands at 0 dB")});
    boost_ = numberBox(this, "edtMatchBoost");
    auto* boostRow = new QHBoxLayout;
    boostRow->addWidget(boost_);
    boostRow->addWidget(new QLabel(QStringLiteral("dB (0: cuts only)"), this));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Range:"), range);
    form->addRow(QStringLiteral("Target:"), targetRow);
    form->addRow(QStringLiteral("Bands:"), bands_);
    form->addRow(QStringLiteral("Maximum boost:"), boostRow);

    result_ = new QLabel(this);
    result_->setObjectName(QStringLiteral("lblMatchResult"));
    result_->setWordWrap(true);

    apply_ = new QPushButton(QStringLiteral("Apply"), this);
    apply_->setObjectName(QStringLiteral("btnMatchApply"));
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("btnMatchCancel"));
    apply_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(apply_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(result_);
    layout->addLayout(buttons);

    for (QLineEdit* box : {low_, high_, tilt_, boost_})
        connect(box, &QLineEdit::editingFinished, this, [this] {
            if (isVisible())
                refit();
        });
    connect(target_, &QComboBox::currentIndexChanged, this, [this](int index) {
        tilt_->setEnabled(index == 1);
        refit();
    });
    connect(bands_, &QComboBox::currentIndexChanged, this, &MatchDialog::refit);
    connect(apply_, &QPushButton::clicked, this, &MatchDialog::applyProposal);
    connect(cancel_, &QPushButton::clicked, this, &MatchDialog::reject);
}

void MatchDialog::start(const match::Settings& s)
{
    closing_ = false;
    const QSignalBlocker blockTarget(target_), blockBands(bands_);
    low_->setText(numberText(s.lowHz));
    high_->setText(numberText(s.highHz));
    target_->setCurrentIndex(s.tiltDbPerOctave != 0.0 ? 1 : 0);
    tilt_->setText(numberText(s.tiltDbPerOctave));
    tilt_->setEnabled(s.tiltDbPerOctave != 0.0);
    bands_->setCurrentIndex(s.onlyFlatBands ? 1 : 0);
    boost_->setText(numberText(s.maxBoostDb));
    refit();
}

std::optional<match::Settings> MatchDialog::settings(QString* why) const
{
    match::Settings s;
    const std::pair<QLineEdit*, double*> fields[] = {
        {low_, &s.lowHz}, {high_, &s.highHz}, {boost_, &s.maxBoostDb}, {tilt_, &s.tiltDbPerOctave}};
    for (const auto& [box, value] : fields) {
        if (box == tilt_ && target_->currentIndex() == 0)
            continue;
        const std::optional<double> number = parseDecimal(box->text().trimmed().toStdString());
        if (!number) {
            if (why)
                *why = QStringLiteral("\"%1\" is not a number.").arg(box->text());
            return std::nullopt;
        }
        *value = *number;
    }
    s.onlyFlatBands = bands_->currentIndex() == 1;
    const std::string fault = match::checkSettings(s);
    if (!fault.empty()) {
        if (why)
            *why = QString::fromStdString(fault);
        return std::nullopt;
    }
    return s;
}

void MatchDialog::refit()
{
    if (closing_)
        return;
    QString why;
    proposal_.reset();
    if (const std::optional<match::Settings> s = settings(&why))
        proposal_ = panel_.propose(*s, &why);
    panel_.preview(proposal_);
    apply_->setEnabled(proposal_.has_value());
    if (!proposal_) {
        result_->setText(why);
        return;
    }
    result_->setText(QStringLiteral("RMS deviation: %1 before, %2 after.")
                         .arg(dbText(proposal_->rmsBefore), dbText(proposal_->rmsAfter)));
}

void MatchDialog::applyProposal()
{
    if (!proposal_)
        return;
    const TuningPanel::Proposal chosen = *proposal_;
    accept(); // the preview goes first, then the edit draws the graph
    panel_.applyProposal(chosen);
}

void MatchDialog::done(int result)
{
    // Hiding takes the focus from a box, whose editingFinished must not fit again.
    closing_ = true;
    QDialog::done(result);
    panel_.matchClosed(result == QDialog::Accepted);
    proposal_.reset();
}

} // namespace talvex
