#pragma once
// The input method switch of fcitx5: its controller on the session bus, asked only while fcitx5
// owns its bus name. A call to a name without an owner would make the bus start a second fcitx5,
// so every call also forbids the bus to start anything. Without fcitx5 (no session bus, another
// input method, none at all) it does nothing.
#include <QObject>
#include <optional>

#include "platform/InputMethod.h"

namespace platform {

class FcitxController : public QObject, public InputMethod {
  public:
    explicit FcitxController(QObject* parent = nullptr);
    void Switch(bool on) override;

  private:
    void OwnerKnown(bool owned);
    void Send(bool on);

    bool owned_ = false;
    // The last switch asked for, made again when fcitx5 turns up after it was asked.
    std::optional<bool> wanted_;
};

}  // namespace platform
