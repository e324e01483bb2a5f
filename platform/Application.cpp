#include "platform/Application.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "platform/Exception.h"
#include "platform/MessageBoxes.h"

namespace platform {

std::string ApplicationTitleFor(const std::string& executablePath) {
    std::string name = executablePath.substr(executablePath.find_last_of('/') + 1);
    name = name.substr(0, name.find('.'));
    for (size_t i = 1; i < name.size(); ++i) {
        if (name[i] >= 'A' && name[i] <= 'Z')
            name[i] = static_cast<char>(name[i] - 'A' + 'a');
    }
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

namespace {
std::string& GivenTitle() {
    static std::string title;
    return title;
}
}  // namespace

void SetApplicationTitle(const std::string& title) {
    GivenTitle() = title;
}

std::string ApplicationTitle() {
    if (!GivenTitle().empty())
        return GivenTitle();
    return ApplicationTitleFor(QCoreApplication::applicationFilePath().toStdString());
}

std::string ExecutableDir() {
    return QFileInfo(QCoreApplication::applicationFilePath()).absolutePath().toStdString() + "/";
}

std::string ErrorDisplayText(const std::string& message) {
    if (message.empty())
        return message;
    const auto last = static_cast<unsigned char>(message.back());
    return last > '.' ? message + "." : message;
}

void HandleException(const std::exception& e) {
    const auto* own = dynamic_cast<const Exception*>(&e);
    const std::string message = own ? own->Message() : std::string(e.what());
    CurrentMessageBoxes().Show(ApplicationTitle(), ErrorDisplayText(message), MsgIcon::Error,
                               MsgButtons::Ok);
}

}  // namespace platform
