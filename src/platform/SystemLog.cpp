// Standard error and syslog(3); the log's connection is opened at the first message.
#include "platform/SystemLog.h"

#include <syslog.h>

#include <cstdio>

namespace qvr {

void LogToSystem(const std::string& message) {
  std::fprintf(stderr, "qvr: %s\n", message.c_str());
  std::fflush(stderr);
  static const bool opened = [] {
    openlog("qvr", LOG_PID, LOG_USER);
    return true;
  }();
  (void)opened;
  syslog(LOG_ERR, "%s", message.c_str());
}

}  // namespace qvr
