// tidemark-send: sends one message with the compose window's send flow, without a window.
#include <QCoreApplication>
#include <iostream>

#include "cli/SendCommand.h"
#include "platform/ExceptionHook.h"

int main(int argc, char** argv) {
    platform::InstallLastResort("tidemark-send");
    return platform::RunGuarded([argc, argv]() mutable {
        // The socket layer and the settings store run on this application's event loop.
        QCoreApplication app(argc, argv);
        const std::vector<std::string> args(argv + 1, argv + argc);
        return RunSendCommand(args, std::cin, std::cout, std::cerr);
    });
}
