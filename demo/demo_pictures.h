// The demo photo stores' pictures, drawn in code so that the demo data needs
// no files: small uncompressed 24-bit BMPs, the same bytes on every run.
#pragma once

#include "foundation/value.h"

namespace officerecords::demo {

struct rgb {
    unsigned char r, g, b;
};

// A 32x40 head-and-shoulders figure on a plain background.
blob portrait(rgb background, rgb shirt);

// A 48x32 scene: sky, ground and a banner.
blob scene(rgb sky, rgb banner);

}  // namespace officerecords::demo
