// A plug-in library inside its host, through dlopen/dlsym.
#include "plugins/PluginLibrary.h"

#include <cxxabi.h>
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <typeinfo>

#include "plugins/QVRPluginIF.h"

namespace qvr {
namespace {

template <class Function>
Function Export(void* library, const char* name) {
  dlerror();
  return reinterpret_cast<Function>(dlsym(library, name));
}

// A zero-terminated text of the plug-in, read no further than `limit` bytes.
std::string BoundedText(const char* text, std::size_t limit) {
  return text ? std::string(text, strnlen(text, limit)) : "";
}

std::string ClassName() {
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (type == nullptr) return "exception";
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(type->name(), nullptr, nullptr, &status),
                                                  std::free);
  return status == 0 && readable ? readable.get() : type->name();
}

}  // namespace

std::string CurrentExceptionDescription() {
  try {
    throw;
  } catch (const std::exception& error) {
    return ClassName() + ": " + CutText(error.what(), kPluginReasonLimit);
  } catch (...) {
    return ClassName();
  }
}

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
  dlerror();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) load_error_ = LoaderReason();
}

std::string PluginLibrary::LoaderReason() const {
  const char* message = dlerror();
  std::string reason = message ? message : "";
  if (reason.rfind(path_ + ": ", 0) == 0) reason.erase(0, path_.size() + 2);
  return reason;
}

PluginIdentifyReply PluginLibrary::Identify() {
  PluginIdentifyReply reply;
  if (handle_ == nullptr) {
    reply.outcome = PluginOutcome::CannotLoad;
    reply.reason = load_error_;
    return reply;
  }
  auto identify = Export<QVR_Plugin_ID_Function>(handle_, "QVR_Plugin_ID");
  if (identify == nullptr) {
    reply.outcome = PluginOutcome::NoIdentify;
    reply.reason = LoaderReason();
    return reply;
  }
  TPluginInfo info{};
  try {
    identify(&info);
    info.PluginModule = handle_;
    reply.is_plugin = info.IsPlugin != 0;
    if (!reply.is_plugin) return reply;
    reply.name = BoundedText(info.PluginName, kPluginNameLimit + 1);
    reply.caption = BoundedText(info.PluginCaption, kPluginCaptionLimit + 1);
    if (auto pad_image = Export<QVR_Plugin_PadImage_Function>(handle_, "QVR_Plugin_PadImage")) {
      std::size_t size = 0;
      const void* data = pad_image(&size);
      if (data != nullptr && size > 0) {
        reply.image_size = size;
        if (size <= kPluginImageLimit) reply.image.assign(static_cast<const char*>(data), size);
      }
    }
  } catch (...) {
    reply = {};
    reply.outcome = PluginOutcome::Exception;
    reply.reason = CurrentExceptionDescription();
  }
  return reply;
}

PluginRunReply PluginLibrary::Run() {
  PluginRunReply reply;
  if (handle_ == nullptr) return {PluginOutcome::CannotLoad, load_error_};
  if (Export<QVR_Plugin_ID_Function>(handle_, "QVR_Plugin_ID") == nullptr)
    return {PluginOutcome::NoIdentify, LoaderReason()};
  auto exec = Export<QVR_Plugin_Exec_Function>(handle_, "QVR_Plugin_Exec");
  if (exec == nullptr) return {PluginOutcome::NoExec, LoaderReason()};
  try {
    exec();
  } catch (...) {
    return {PluginOutcome::Exception, CurrentExceptionDescription()};
  }
  return reply;
}

}  // namespace qvr
