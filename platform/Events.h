#pragma once
// Event types. An event is a std::function member; an empty one is skipped.
#include <QObject>
#include <functional>
#include <string>
#include <utility>

using TObject = QObject;
using TComponent = QObject;

using TNotifyEvent = std::function<void(TObject* Sender)>;
using THandlerEvent = std::function<void(bool& Handled)>;
using TOnStatus = std::function<void(TComponent* Sender, const std::string& Status)>;
using TOnHostResolved = std::function<void(TComponent* Sender)>;

// Calls the event when a handler is assigned.
template <class Event, class... Args>
void Fire(const Event& event, Args&&... args) {
    if (event)
        event(std::forward<Args>(args)...);
}
