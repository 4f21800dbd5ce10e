// Plug-in pad geometry.
#include "plugins/PluginPadLayout.h"

namespace qvr {

constexpr int kButtonSize = 21;
constexpr int kMargin = 2;

PluginPadLayout LayOutPluginPad(std::size_t count) {
  PluginPadLayout layout;
  const int n = static_cast<int>(count);
  for (int i = 1; i <= n; ++i)
    layout.buttons.push_back({kButtonSize * (i - 1) + kMargin, kMargin, kButtonSize, kButtonSize});
  layout.exit = {kButtonSize * n + kMargin, kMargin, kButtonSize, kButtonSize};
  layout.client_width = kButtonSize * n + 25;
  layout.client_height = 25;
  return layout;
}

PadRect PlacePluginPad(int pad_width, int pad_height, int button_left, const PadRect& anchor, int screen_width,
                       int screen_height) {
  PadRect pad{button_left, anchor.Bottom(), pad_width, pad_height};
  if (pad.Right() > screen_width) pad.left = screen_width - pad_width;
  if (pad.Bottom() > screen_height) pad.top = anchor.top - pad_height;
  return pad;
}

}  // namespace qvr
