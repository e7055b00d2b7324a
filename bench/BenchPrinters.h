#pragma once

// Saves `count` printers the way a status query fills them (media, fonts, sizes and
// sources), named "Plotter 0", "Plotter 1", ..., as one change of the registry.
namespace BenchPrinters {

void save(int count);

}  // namespace BenchPrinters
