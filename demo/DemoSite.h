#pragma once

#include "Roster.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace httplib {
class Server;
}

namespace demo {

// A small stand-in for a school's teacher information system: portal, sign
// in, a frameset whose content frame "FCONTENT" shows grade pages with the
// form "wlist", a help page and a staff page. Loopback only; state in memory.
class DemoSite {
public:
    // `fixturesFolder`, when not empty, is served under /fixtures/ with
    // "{{PORT}}" in its files replaced by the port (for cross-origin pages).
    // With `certificateFile` and `keyFile` (PEM) it serves HTTPS instead.
    explicit DemoSite(std::string fixturesFolder = {}, const std::string &certificateFile = {},
                      const std::string &keyFile = {});
    ~DemoSite();

    // False when the certificate or its key could not be loaded.
    bool valid() const;
    // Binds 127.0.0.1:port (0 picks a free one). Returns the port, or -1.
    int bind(int port);
    // Serves until stop() is called from another thread.
    void serve();
    void stop();

    static constexpr int kCurrentVersion = 171;

private:
    void installRoutes();
    bool signedIn(const std::string &cookieHeader, std::string *account = nullptr) const;
    const SchoolClass *findClass(const std::string &code) const;

    std::unique_ptr<httplib::Server> m_server;
    std::string m_fixtures;
    int m_port = -1;
    std::vector<SchoolClass> m_classes;

    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_sessions;                    // token -> account
    std::map<std::string, std::map<std::string, std::string>> m_scores; // class -> id -> score
    unsigned m_nextSession = 1;
};

} // namespace demo
