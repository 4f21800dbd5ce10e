// The test plug-ins the build makes (tests/plugins/TestPlugin.cpp, one library per kind in
// build/test-plugins/), copied into a test's own plug-in folder, and what they report of
// themselves from inside their host processes.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace qvr::test {

// Copies the test plug-in of `kind` into `folder` as `name`; returns its path.
inline std::string InstallTestPlugin(const std::filesystem::path& folder, const std::string& kind,
                                     const std::string& name) {
  const auto path = folder / name;
  std::filesystem::copy_file(std::string(QVR_TEST_PLUGIN_DIR) + "/" + kind + ".QPI", path);
  return path.string();
}

// How often the plug-in at `path` was called in its current host: identifications and runs.
struct PluginCalls {
  int id = 0, exec = 0;
  friend bool operator==(const PluginCalls&, const PluginCalls&) = default;
};
inline PluginCalls CallsOf(const std::string& path) {
  PluginCalls calls;
  std::ifstream in(path + ".calls");
  in >> calls.id >> calls.exec;
  return calls;
}

// The processes this process has started and not yet reaped (plug-in hosts, in these tests).
inline std::vector<pid_t> ChildProcesses() {
  std::vector<pid_t> children;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream in(task.path() / "children");
    for (pid_t pid; in >> pid;) children.push_back(pid);
  }
  return children;
}

}  // namespace qvr::test
