#include "userdata/ListKeys.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>

namespace userdata {
namespace {

class FirstStepFilter : public QObject {
  public:
    explicit FirstStepFilter(QAbstractItemView* list) : QObject(list), list_(list) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool step = key->key() == Qt::Key_Down || key->key() == Qt::Key_Up;
        if (!step || key->modifiers() != Qt::NoModifier || list_->selectionModel()->hasSelection())
            return false;
        QModelIndex row = list_->currentIndex();
        if (!row.isValid())
            row = list_->model()->index(0, 0);
        if (!row.isValid())
            return false;
        list_->selectionModel()->setCurrentIndex(
            row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return true;
    }

  private:
    QAbstractItemView* list_;
};

}  // namespace

void SelectCurrentOnFirstStep(QAbstractItemView* list) {
    list->installEventFilter(new FirstStepFilter(list));
}

void AddKey(QWidget* window, const QKeySequence& key, std::function<void()> command,
            QAbstractButton* button) {
    auto* action = new QAction(window);
    action->setShortcut(key);
    window->addAction(action);
    QObject::connect(action, &QAction::triggered, window, std::move(command));
    if (button) {
        button->setToolTip(button->text() + " (" + key.toString(QKeySequence::NativeText) + ')');
    }
}

}  // namespace userdata
