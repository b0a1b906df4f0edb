#pragma once

#include "Site.h"

// A site of any size made from a pattern site (the demo site, or any site file): its
// cameras first, unchanged, then copies of them, round after round, each copy with an
// id, address, MAC and host name of its own and everything else (brand, credentials,
// state, fault, channels) as in the camera it copies. What the topology manages of a
// pattern camera it manages of each copy too; stations and credentials stay the
// pattern's. Timing suits a large site: more search batches, no pause between
// detection results or login answers (the server hands those over in slices of one
// event-loop turn each). The same count gives the same site every time.
namespace SiteGenerator {

// Fewer cameras than the pattern has: its first ones.
Site generate(const Site& pattern, int cameraCount);

} // namespace SiteGenerator
