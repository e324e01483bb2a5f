#pragma once
// The one Qt application of a fuzz target that drives the socket layer.
#include <QCoreApplication>

inline void StartFuzzApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}
