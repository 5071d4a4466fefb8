// The widths of the file table's four columns (name, then three numbers) for
// the width of the list. The number columns take a quarter each; where the
// name column would then be narrower than its title needs (long
// translations: "Fichier dans l'archive"), they give up what they have
// beyond their own needs, so the columns fit without a scroll bar whenever
// the titles can. A title too long for a quarter widens its column.
#pragma once

#include <array>

namespace kestrum {

std::array<int, 4> FitListColumns(int width, const std::array<int, 4>& needs);

}  // namespace kestrum
