#pragma once
// Keys of the lists in the address book and the phrase window, for users without a mouse.
#include <QKeySequence>
#include <functional>

class QAbstractButton;
class QAbstractItemView;
class QWidget;

namespace userdata {

// Down or Up in a list where nothing is selected selects the row the list marks as current
// (its first row when none), instead of stepping past it to the next one.
void SelectCurrentOnFirstStep(QAbstractItemView* list);

// Runs command when key is pressed anywhere in window; the button's tool tip names the key.
void AddKey(QWidget* window, const QKeySequence& key, std::function<void()> command,
            QAbstractButton* button = nullptr);

}  // namespace userdata
