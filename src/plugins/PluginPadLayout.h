// Where things go on the plug-in pad and where the pad opens: plain geometry, shared by the
// window and the tests.
#pragma once

#include <cstddef>
#include <vector>

namespace qvr {

struct PadRect {
  int left = 0, top = 0, width = 0, height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
  friend bool operator==(const PadRect&, const PadRect&) = default;
};

struct PluginPadLayout {
  std::vector<PadRect> buttons;  // the plug-in buttons, 21 x 21 each, in a row from left 2
  PadRect exit;                  // the exit button after them
  int client_width = 0, client_height = 0;
};

// The layout for `count` plug-ins (count >= 1).
PluginPadLayout LayOutPluginPad(std::size_t count);

// Where the pad (outer size `pad_width` x `pad_height`) opens: at the left of the control pad's
// plug-in button (`button_left`, screen x), below `anchor` (the control pad window, or the
// floating toolbar that holds the button), pulled in from the right screen edge, and above the
// anchor when it would pass the bottom edge.
PadRect PlacePluginPad(int pad_width, int pad_height, int button_left, const PadRect& anchor, int screen_width,
                       int screen_height);

}  // namespace qvr
