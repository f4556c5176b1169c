#pragma once

#include <functional>

namespace tallyra::EndRequest {

// Turns SIGTERM, SIGINT and SIGHUP (a session that ends, a kill, Ctrl+C in
// a terminal) into one call on the user-interface thread, so that Tallyra
// can close as though its window were closed instead of dying mid-run.
void install(std::function<void()> onRequest);

} // namespace tallyra::EndRequest
