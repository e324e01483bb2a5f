#include "app/DelayedSend.h"

#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>

#include "platform/Application.h"

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace

TDelayedSend::TDelayedSend(QWidget* window, QStatusBar* bar,
                           std::function<void(const QString&)> status)
    : status_(std::move(status)) {
    Button_cancel = new QPushButton(Text("送信取り消し"), bar);
    Button_cancel->setFont(window->font());
    Button_cancel->setAccessibleName(Text("送信取り消し"));
    Button_cancel->setToolTip(Text("送信取り消し (Esc)"));
    Button_cancel->hide();
    bar->addPermanentWidget(Button_cancel);
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape_->setEnabled(false);
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &TDelayedSend::Tick);
    connect(Button_cancel, &QPushButton::clicked, this, &TDelayedSend::Cancel);
    connect(escape_, &QShortcut::activated, this, &TDelayedSend::Cancel);
}

void TDelayedSend::Start(int seconds, std::function<void()> send, std::function<void(bool)> lock) {
    if (Running())
        return;
    left_ = seconds;
    send_ = std::move(send);
    lock_ = std::move(lock);
    lock_(true);
    Button_cancel->show();
    escape_->setEnabled(true);
    // Enter or the space bar cancel too, and a screen reader lands on the way back.
    Button_cancel->setFocus();
    ShowCount();
    timer_.start();
}

void TDelayedSend::Cancel() {
    if (!Running())
        return;
    Stop();
    status_(Text("送信を取り消しました。"));
}

void TDelayedSend::Tick() {
    if (--left_ > 0) {
        ShowCount();
        return;
    }
    Stop();
    const std::function<void()> send = std::move(send_);
    try {
        send();
    } catch (const std::exception& e) {
        platform::HandleException(e);
    }
}

void TDelayedSend::Stop() {
    timer_.stop();
    escape_->setEnabled(false);
    Button_cancel->hide();
    lock_(false);
}

void TDelayedSend::ShowCount() {
    status_(Text("%1 秒後に送信します（Esc で取り消し）").arg(left_));
}
