#include "ui/transfer_progress.h"

#include <QProgressBar>
#include <QWidget>

namespace talvex {

TransferProgress::TransferProgress(QWidget* panel, QProgressBar* bar, std::function<bool()> linkUp, Clock& clock,
                                   QObject* parent)
    : QObject(parent), panel_(panel), bar_(bar), linkUp_(std::move(linkUp)),
      timer_(clock.makeTimer("progress", kStepMs, Clock::Repeat::Every, [this] { advance(); }))
{
}

void TransferProgress::show(bool animate)
{
    panel_->setVisible(true);
    panel_->raise();
    bar_->setValue(0);
    if (animate) {
        percent_ = 0;
        timer_->start();
    }
}

void TransferProgress::hide()
{
    panel_->setVisible(false);
    timer_->stop();
}

void TransferProgress::setPercent(int percent) { bar_->setValue(percent); }

void TransferProgress::advance()
{
    if (!linkUp_())
        return;
    percent_ += kStepPercent;
    if (percent_ <= 99) {
        bar_->setValue(percent_);
        return;
    }
    percent_ = 0;
    bar_->setValue(0);
    hide();
}

} // namespace talvex
