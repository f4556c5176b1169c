#include "DemoSite.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

// tallyra-demo-site [--port N] [--fixtures DIR] [--tls CERT KEY]
// Prints the bound port as the first line of standard output.
int main(int argc, char *argv[])
{
    int port = 8680;
    std::string fixtures;
    std::string certificate;
    std::string key;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else if (arg == "--fixtures" && i + 1 < argc) {
            fixtures = argv[++i];
        } else if (arg == "--tls" && i + 2 < argc) {
            certificate = argv[++i];
            key = argv[++i];
        } else {
            std::cerr << "usage: tallyra-demo-site [--port N] [--fixtures DIR] [--tls CERT KEY]\n";
            return 2;
        }
    }

    demo::DemoSite site(fixtures, certificate, key);
    if (!site.valid()) {
        std::cerr << "tallyra-demo-site: cannot use the certificate " << certificate << " and key " << key << "\n";
        return 1;
    }
    const int bound = site.bind(port);
    if (bound < 0) {
        std::cerr << "tallyra-demo-site: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    std::cout << bound << std::endl;
    site.serve();
    return 0;
}
