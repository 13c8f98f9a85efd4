#pragma once

namespace vexlo::widgets {

// Window layouts are given in twips; at 96 dpi a pixel is 15 twips (Qt scales for other
// densities).
constexpr int twipsToPixels(int twips) noexcept {
    return twips >= 0 ? (twips + 7) / 15 : -((-twips + 7) / 15);
}

}  // namespace vexlo::widgets
