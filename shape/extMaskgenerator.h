#pragma once
// Mask generation: every pixel whose colour differs from the transparent colour belongs to the
// window. Column 0 never does; a row whose last pixel is opaque also covers column W (the window
// is one pixel wider than its picture).
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Bitmap.h"
#include "platform/Region.h"

namespace shape {

// Regions are the ground floor's; the window shapes here are made of them.
using platform::Rect;
using platform::Region;
using platform::RegionBuilder;

// The outline of `picture` with `transparent` (0x00RRGGBB) cut away, built in one pass over the
// pixels. `eachRow`, when given, runs once before every row (the window serves its pending
// events there so the program stays responsive during a long scan).
Region maskRegion(const platform::Image& picture, std::uint32_t transparent,
                  const std::function<void()>& eachRow = {});

// Writes the mask file for `picture`, replacing an existing one atomically. Writes nothing for a
// picture without rows or columns. Returns false when the file could not be written.
bool GenerateMask(const platform::Image& picture, std::uint32_t transparent,
                  const std::string& maskFile, const std::function<void()>& eachRow = {});

} // namespace shape
