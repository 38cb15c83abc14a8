#pragma once
// An APF page's rows read for coding again: pages are stored in MH, and a
// call that agreed on MR or MMR sends them re-coded.

#include "faximage/PageEncoder.h"

#include <cstdio>

namespace faxengine {

// Reads `size` bytes of page data from `f` (rows behind two-byte length
// words when `lengthWords`), decodes its MH rows of `width` pixels and codes
// them into `encoder`. Returns 0 or the read error.
int EncodeStoredPage(std::FILE* f, long size, bool lengthWords, int width,
                     faximage::PageEncoder& encoder);

} // namespace faxengine
