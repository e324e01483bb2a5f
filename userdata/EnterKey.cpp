#include "userdata/EnterKey.h"

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>

namespace userdata {
namespace {

class EnterFilter : public QObject {
  public:
    EnterFilter(QWidget* widget, std::function<void()> command)
        : QObject(widget), command_(std::move(command)) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        // With a modifier Enter means something else (Ctrl+Enter sends from the compose window).
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (!plain || (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter))
            return false;
        command_();
        return true;
    }

  private:
    std::function<void()> command_;
};

}  // namespace

void OnEnter(QWidget* widget, std::function<void()> command) {
    widget->installEventFilter(new EnterFilter(widget, std::move(command)));
}

}  // namespace userdata
