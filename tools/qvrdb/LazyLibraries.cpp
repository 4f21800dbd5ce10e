// The libraries the device layer needs only for some drives and images, loaded by the drive
// module when one of their functions is first called, not when qvrdb loads the module: libFLAC
// (FLAC images), libudev (waiting for the default drive to appear) and cdio's paranoia reader
// (the audio of a real drive). Loading each costs about half a millisecond, and most reads need
// none of them: an image with a cue sheet or a .toc file needs libcdio alone.
//
// Each function here has the name and type of the library's own, so that the device layer calls
// it unchanged, and the module links none of these libraries. The first call loads the library
// (once, never unloaded) and finds the real function; a library that cannot be loaded raises
// Error naming it, which the module's entry reports as its problem.
#include <FLAC/stream_decoder.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <dlfcn.h>
#include <libudev.h>

#include <string>

#include "util/Error.h"

namespace qvr {
namespace {

void* LoadedLibrary(const char* soname) {
  void* library = dlopen(soname, RTLD_LAZY | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    throw Error("ライブラリ " + std::string(soname) + " を読み込めません" +
                (reason != nullptr ? std::string(": ") + reason : std::string()));
  }
  return library;
}

// The function `name` of the library `soname`.
void* LazySymbol(const char* soname, const char* name) {
  void* symbol = dlsym(LoadedLibrary(soname), name);
  if (symbol == nullptr) throw Error("ライブラリ " + std::string(soname) + " に " + name + " がありません");
  return symbol;
}

}  // namespace
}  // namespace qvr

// Defines the library function `name` as one that finds the library's own on its first call and
// calls it; `soname` is one of the QVR_*_SONAME the build reads from the libraries themselves.
#define QVR_FORWARD(soname, result, name, parameters, arguments)                                \
  extern "C" __attribute__((visibility("hidden"))) result name parameters {                     \
    static const auto real = reinterpret_cast<decltype(&name)>(qvr::LazySymbol(soname, #name)); \
    return real arguments;                                                                      \
  }

QVR_FORWARD(QVR_FLAC_SONAME, FLAC__StreamDecoder*, FLAC__stream_decoder_new, (void), ())
QVR_FORWARD(QVR_FLAC_SONAME, void, FLAC__stream_decoder_delete, (FLAC__StreamDecoder * decoder), (decoder))
QVR_FORWARD(QVR_FLAC_SONAME, FLAC__bool, FLAC__stream_decoder_finish, (FLAC__StreamDecoder * decoder), (decoder))
QVR_FORWARD(QVR_FLAC_SONAME, FLAC__bool, FLAC__stream_decoder_flush, (FLAC__StreamDecoder * decoder), (decoder))
QVR_FORWARD(QVR_FLAC_SONAME, FLAC__StreamDecoderState, FLAC__stream_decoder_get_state,
            (const FLAC__StreamDecoder* decoder), (decoder))
QVR_FORWARD(QVR_FLAC_SONAME, FLAC__StreamDecoderInitStatus, FLAC__stream_decoder_init_FILE,
            (FLAC__StreamDecoder * decoder, FILE* file, FLAC__StreamDecoderWriteCallback write_callback,
             FLAC__StreamDecoderMetadataCallback metadata_callback, FLAC__StreamDecoderErrorCallback error_callback,
             void* client_data),
            (decoder, file, write_callback, metadata_callback, error_callback, client_data))
QVR_FORWARD(QVR_FLAC_SONAME, FLAC__bool, FLAC__stream_decoder_process_single, (FLAC__StreamDecoder * decoder),
            (decoder))
QVR_FORWARD(QVR_FLAC_SONAME, FLAC__bool, FLAC__stream_decoder_process_until_end_of_metadata,
            (FLAC__StreamDecoder * decoder), (decoder))
QVR_FORWARD(QVR_FLAC_SONAME, FLAC__bool, FLAC__stream_decoder_seek_absolute,
            (FLAC__StreamDecoder * decoder, FLAC__uint64 sample), (decoder, sample))
QVR_FORWARD(QVR_FLAC_SONAME, FLAC__bool, FLAC__stream_decoder_set_metadata_respond,
            (FLAC__StreamDecoder * decoder, FLAC__MetadataType type), (decoder, type))

QVR_FORWARD(QVR_CDDA_SONAME, cdrom_drive_t*, cdio_cddap_identify_cdio,
            (CdIo_t * cdio, int message_destination, char** messages), (cdio, message_destination, messages))
QVR_FORWARD(QVR_CDDA_SONAME, int, cdio_cddap_open, (cdrom_drive_t * drive), (drive))
QVR_FORWARD(QVR_CDDA_SONAME, int, cdio_cddap_speed_set, (cdrom_drive_t * drive, int speed), (drive, speed))
QVR_FORWARD(QVR_CDDA_SONAME, bool, cdio_cddap_close_no_free_cdio, (cdrom_drive_t * drive), (drive))

QVR_FORWARD(QVR_PARANOIA_SONAME, cdrom_paranoia_t*, cdio_paranoia_init, (cdrom_drive_t * drive), (drive))
QVR_FORWARD(QVR_PARANOIA_SONAME, void, cdio_paranoia_free, (cdrom_paranoia_t * paranoia), (paranoia))
QVR_FORWARD(QVR_PARANOIA_SONAME, void, cdio_paranoia_modeset, (cdrom_paranoia_t * paranoia, int mode_flags),
            (paranoia, mode_flags))
QVR_FORWARD(QVR_PARANOIA_SONAME, lsn_t, cdio_paranoia_seek, (cdrom_paranoia_t * paranoia, int32_t seek, int whence),
            (paranoia, seek, whence))
QVR_FORWARD(QVR_PARANOIA_SONAME, int16_t*, cdio_paranoia_read,
            (cdrom_paranoia_t * paranoia, void (*callback)(long int, paranoia_cb_mode_t)), (paranoia, callback))

QVR_FORWARD(QVR_UDEV_SONAME, struct udev*, udev_new, (void), ())
QVR_FORWARD(QVR_UDEV_SONAME, struct udev*, udev_unref, (struct udev * udev), (udev))
QVR_FORWARD(QVR_UDEV_SONAME, struct udev_monitor*, udev_monitor_new_from_netlink,
            (struct udev * udev, const char* name), (udev, name))
QVR_FORWARD(QVR_UDEV_SONAME, int, udev_monitor_filter_add_match_subsystem_devtype,
            (struct udev_monitor * monitor, const char* subsystem, const char* devtype), (monitor, subsystem, devtype))
QVR_FORWARD(QVR_UDEV_SONAME, int, udev_monitor_enable_receiving, (struct udev_monitor * monitor), (monitor))
QVR_FORWARD(QVR_UDEV_SONAME, int, udev_monitor_get_fd, (struct udev_monitor * monitor), (monitor))
QVR_FORWARD(QVR_UDEV_SONAME, struct udev_device*, udev_monitor_receive_device, (struct udev_monitor * monitor),
            (monitor))
QVR_FORWARD(QVR_UDEV_SONAME, struct udev_monitor*, udev_monitor_unref, (struct udev_monitor * monitor), (monitor))
QVR_FORWARD(QVR_UDEV_SONAME, struct udev_device*, udev_device_unref, (struct udev_device * device), (device))
