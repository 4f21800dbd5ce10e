// Plug-in libraries through dlopen/dlsym.
#include "plugins/PluginLibrary.h"

#include <cxxabi.h>
#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "plugins/QVRPluginIF.h"

namespace qvr {
namespace {

template <class Function>
Function Export(void* library, const char* name) {
  return reinterpret_cast<Function>(dlsym(library, name));
}

}  // namespace

std::string CurrentExceptionClassName() {
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (type == nullptr) return "Exception";
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(type->name(), nullptr, nullptr, &status),
                                                  std::free);
  return status == 0 && readable ? readable.get() : type->name();
}

bool IsPluginIdentifier(const std::string& name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

PluginIdentity QueryPluginLibrary(const std::string& path) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) throw Error("[" + path + "] をロードできません");
  auto identify = Export<QVR_Plugin_ID_Function>(library, "QVR_Plugin_ID");
  if (identify == nullptr) {
    dlclose(library);
    throw Error("[" + path + "] はＱＶＲ用のプラグインではありません");
  }
  // From here the library stays loaded: the handle is never closed.
  TPluginInfo info{};
  try {
    identify(&info);
  } catch (...) {
    throw Error(CurrentExceptionClassName());
  }
  PluginIdentity identity;
  identity.IsPlugin = info.IsPlugin != 0;
  identity.PluginName = info.PluginName ? info.PluginName : "";
  identity.PluginCaption = info.PluginCaption ? info.PluginCaption : "";
  identity.PluginModule = library;
  if (auto pad_image = Export<QVR_Plugin_PadImage_Function>(library, "QVR_Plugin_PadImage")) {
    std::size_t size = 0;
    const void* data = nullptr;
    try {
      data = pad_image(&size);
    } catch (...) {
      throw Error(CurrentExceptionClassName());
    }
    if (data != nullptr && size > 0) identity.PadImage.assign(static_cast<const char*>(data), size);
  }
  return identity;
}

void RunPluginLibrary(const std::string& path, const std::function<void()>& process_pending) {
  const std::string cannot_run = "[" + path + "] を実行できません";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) throw Error(cannot_run);
  // Frees the extra reference on every way out.
  std::unique_ptr<void, int (*)(void*)> reference(library, dlclose);
  auto exec = Export<QVR_Plugin_Exec_Function>(library, "QVR_Plugin_Exec");
  if (Export<QVR_Plugin_ID_Function>(library, "QVR_Plugin_ID") == nullptr || exec == nullptr) throw Error(cannot_run);
  try {
    exec();
  } catch (...) {
    throw Error(CurrentExceptionClassName());
  }
  if (process_pending) process_pending();
}

}  // namespace qvr
