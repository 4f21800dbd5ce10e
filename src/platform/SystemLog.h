// Errors that no one is there to answer (the session is ending, the program was told to end by a
// signal): written to standard error and to the system log (the journal on systemd desktops),
// never shown in a box that would hold the exit.
#pragma once

#include <string>

namespace qvr {

// Writes "qvr: message" to standard error and the message to the system log as an error.
void LogToSystem(const std::string& message);

}  // namespace qvr
