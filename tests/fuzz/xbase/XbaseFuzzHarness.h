#pragma once
// What the table engine's fuzz targets do with one input, shared with the
// test that replays kept inputs. Each harness writes the input as one file
// of a table in a private scratch folder and drives the engine over it.
// Engine errors (XBaseError) are the expected outcome of bad input; a crash,
// a sanitizer report or a broken invariant is a finding.

#include <cstddef>
#include <cstdint>

namespace xbfuzz {

// Input: a DBF file. Opens it (with an empty memo file beside it) and reads
// every field and memo of every record in both directions.
void runDbf(const uint8_t* data, size_t size);
// Input: an FPT memo file. Reads every block number it could hold, through
// a table whose records point into it.
void runFpt(const uint8_t* data, size_t size);
// Input: a CDX file beside a fixed valid table. Walks the tag both ways and
// then appends, edits and deletes records through it.
void runCdx(const uint8_t* data, size_t size);

} // namespace xbfuzz
