#pragma once

namespace stream {
// libmosquitto's process-wide initialisation, done once.
void ensureMosquittoLib();
} // namespace stream
