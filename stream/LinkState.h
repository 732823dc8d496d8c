#pragma once

namespace stream {

// Where a broker connection stands, for the status bar and the log.
enum class LinkState : int {
    Connecting = 0,   // an attempt is under way (also after a loss)
    Connected = 1,    // the broker accepted the session
    Unreachable = 2,  // the last attempt failed or got no answer in time
    Refused = 3,      // the broker refused the session (credentials, id)
};

} // namespace stream
