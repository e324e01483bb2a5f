// What a start costs before any work of the program's own: linked to Qt Core and OpenSSL and
// returning at once; with "app", making the application and a TLS context first, as every
// secure send of tidemark-send does. Measured by bench/startup_floor.py.
#include <openssl/ssl.h>

#include <QCoreApplication>
#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "app") == 0) {
        QCoreApplication app(argc, argv);
        SSL_CTX_free(SSL_CTX_new(TLS_client_method()));
    }
    return 0;
}
