#pragma once

#include <memory>
#include <vector>

class TopoEntity;

// Values the kernel cannot hold, refused before it runs: it fails on them
// with texts that name nothing the user wrote. Judged on the model's actual
// box (its active entities), so a run of operations is judged on the product
// of its factors.

// A "scale" factor that would put a coordinate beyond the kernel's range or
// shrink the model below the kernel's confusion distance.
void checkScaleLimits(const std::vector<std::shared_ptr<TopoEntity>>& entities, double factor);

// An air "padding" that would put the air's box beyond the kernel's range.
void checkPaddingLimits(const std::vector<std::shared_ptr<TopoEntity>>& entities, double padding);
