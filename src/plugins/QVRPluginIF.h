/*
 * QVRPluginIF.h: the interface between the QVR CD player and its plug-ins.
 *
 * A plug-in is a shared library whose file name ends in ".QPI", placed in the player's plug-in
 * folder (setting "PluginPath", by default the "Plugin" folder beside the program). The player
 * offers every accepted plug-in as an entry of its "プラグイン" menu and as a button on its
 * plug-in pad; choosing either runs the plug-in.
 *
 * Exports, with C linkage:
 *
 *   void QVR_Plugin_ID(TPluginInfo* info);             required
 *     Fill IsPlugin, PluginName and PluginCaption. Called twice on every refresh of the list
 *     (start-up, options applied); it must return within 5 seconds. Set IsPlugin to 0 to
 *     decline.
 *
 *   void QVR_Plugin_Exec(void);                        required
 *     Do the plug-in's work. Called when the user chooses the plug-in. The player stays usable
 *     meanwhile, and asks the user whether to end a run that has not returned after 10 seconds:
 *     do long work on a thread of your own.
 *
 *   const void* QVR_Plugin_PadImage(size_t* size);     optional
 *     The picture of the pad button: the address of a PNG or BMP image held by the library, its
 *     size in bytes stored at *size. Without this export the player shows its own plug picture.
 *
 * PluginName is the plug-in's identifier: letters, digits and underscores, not starting with a
 * digit, unique among the installed plug-ins, at most 64 bytes. PluginCaption is the menu caption
 * and the button's hint, in Shift-JIS (code page 932), at most 255 bytes (a longer one is cut).
 * Both texts belong to the plug-in and must stay valid while the library is loaded; the player
 * copies them. The picture may be at most 65536 bytes; a larger one is not shown.
 *
 * Each library runs in a host process of its own (qvr-plugin-host, beside the player), which
 * loads it once and lives while the plug-in is listed, so its global data persists from one run
 * to the next. Both calls run on the host's main thread. A C++ exception escaping either call is
 * caught and reported by the player; a crash ends only the host, and the player reports it.
 * See docs/plugins.md.
 */
#ifndef QVR_PLUGIN_IF_H
#define QVR_PLUGIN_IF_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TPluginInfo {
  unsigned char IsPlugin;    /* non-zero: the library is a plug-in; 0: skip it */
  const char* PluginName;    /* zero-terminated identifier */
  const char* PluginCaption; /* zero-terminated caption, Shift-JIS */
  void* PluginModule;        /* set after the call: the library's handle (in its host) */
} TPluginInfo;

typedef void (*QVR_Plugin_ID_Function)(TPluginInfo* info);
typedef void (*QVR_Plugin_Exec_Function)(void);
typedef const void* (*QVR_Plugin_PadImage_Function)(size_t* size);

#ifdef __cplusplus
}
#endif

#endif /* QVR_PLUGIN_IF_H */
