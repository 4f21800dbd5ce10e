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
 *     (start-up, options applied), on the GUI thread. Set IsPlugin to 0 to decline.
 *
 *   void QVR_Plugin_Exec(void);                        required
 *     Do the plug-in's work. Called on the GUI thread when the user chooses the plug-in; the
 *     player waits until it returns.
 *
 *   const void* QVR_Plugin_PadImage(size_t* size);     optional
 *     The picture of the pad button: the address of a PNG or BMP image held by the library, its
 *     size in bytes stored at *size. Without this export the player shows its own plug picture.
 *
 * PluginName is the plug-in's identifier: letters, digits and underscores, not starting with a
 * digit, unique among the installed plug-ins. PluginCaption is the menu caption and the button's
 * hint, in Shift-JIS (code page 932). Both texts belong to the plug-in and must stay valid while
 * the library is loaded; the player copies them.
 *
 * An accepted library stays loaded for the life of the player, so its global data persists from
 * one run to the next. A C++ exception escaping either call is caught and reported by the player.
 */
#ifndef QVR_PLUGIN_IF_H
#define QVR_PLUGIN_IF_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TPluginInfo {
  unsigned char IsPlugin;     /* non-zero: the library is a plug-in; 0: skip it */
  const char* PluginName;     /* zero-terminated identifier */
  const char* PluginCaption;  /* zero-terminated caption, Shift-JIS */
  void* PluginModule;         /* set by the player after the call: the library's handle */
} TPluginInfo;

typedef void (*QVR_Plugin_ID_Function)(TPluginInfo* info);
typedef void (*QVR_Plugin_Exec_Function)(void);
typedef const void* (*QVR_Plugin_PadImage_Function)(size_t* size);

#ifdef __cplusplus
}
#endif

#endif /* QVR_PLUGIN_IF_H */
