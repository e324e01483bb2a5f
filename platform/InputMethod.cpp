#include "platform/InputMethod.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "platform/FcitxController.h"

namespace platform {
namespace {

InputMethod* installed = nullptr;

// Switches on each focus-in of the field it watches, whatever moved the focus there: Tab, a
// click, a shortcut or the window coming back to the front. The focus coming back from a popup
// (the field's own context menu, a menu) never left the field: the user's own switch stays.
class FocusSwitch : public QObject {
  public:
    FocusSwitch(QWidget* field, bool open) : QObject(field), open_(open) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusIn &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            CurrentInputMethod().Switch(open_);
        return false;
    }

  private:
    bool open_;
};

}  // namespace

InputMethod& CurrentInputMethod() {
    if (installed)
        return *installed;
    // Owned by the application, so it leaves the session bus before the application ends.
    static QPointer<FcitxController> desktop;
    if (!desktop)
        desktop = new FcitxController(QCoreApplication::instance());
    return *desktop;
}

void SetInputMethod(InputMethod* inputMethod) {
    installed = inputMethod;
}

void FollowInputMethod(QWidget* field, bool open) {
    field->setAttribute(Qt::WA_InputMethodEnabled, true);
    field->setInputMethodHints(open ? Qt::ImhNone
                                    : Qt::ImhLatinOnly | Qt::ImhNoAutoUppercase |
                                          Qt::ImhNoPredictiveText | Qt::ImhPreferLatin);
    field->installEventFilter(new FocusSwitch(field, open));
}

}  // namespace platform
