#pragma once
// The wait after 送信 in which a send can still be taken back: the status bar counts the seconds
// down beside a 送信取り消し button, Esc cancels as well, and the send runs when the count ends.
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class QPushButton;
class QShortcut;
class QStatusBar;
class QWidget;

class TDelayedSend : public QObject {
  public:
    // The button goes into bar, hidden while nothing waits; status shows the count (UTF-8).
    TDelayedSend(QWidget* window, QStatusBar* bar, std::function<void(const QString&)> status);

    // Runs send after seconds; lock(true) while waiting, lock(false) before the send or after
    // a cancel. A wait already running is left alone.
    void Start(int seconds, std::function<void()> send, std::function<void(bool)> lock);
    // Nothing is sent; the fields stay as they were.
    void Cancel();
    bool Running() const { return timer_.isActive(); }

    QPushButton* Button_cancel;  // "送信取り消し"

  private:
    void Tick();
    void Stop();
    void ShowCount();

    std::function<void(const QString&)> status_;
    QShortcut* escape_;
    QTimer timer_;
    int left_ = 0;
    std::function<void()> send_;
    std::function<void(bool)> lock_;
};
