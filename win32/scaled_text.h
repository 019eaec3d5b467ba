#pragma once

#include <string_view>

#include "platform/windows_api.h"
#include "win32/fonts.h"
#include "win32/scale.h"

namespace zephran::win32 {

// Draws `text` in the current text colour, from the top-left corner of
// `area` (at `scale`) `shift` pixels at 96 dpi lower (higher when negative),
// or centred in its height (DT_VCENTER), on one line (DT_SINGLELINE) or
// broken at spaces onto further lines (DT_WORDBREAK), cut off at the area's
// edges: at 96 dpi, DrawTextW in the base face.
//
// At any other scale, as the Qt window draws on a scaled screen: lines are
// broken and placed as at 96 dpi, the baseline and each character then put
// where the face's design puts them at the exact scaled size (31.5 pixels
// for 21 at 150 %), the characters drawn in the face at the nearest whole
// size. Laid out in that face itself, a line would be a few pixels longer or
// shorter than the Qt window's.
void DrawScaledText(HDC dc, std::wstring_view text, const RECT& area, int shift,
                    const ScaledFace& face, const Scale& scale, UINT format);

}  // namespace zephran::win32
