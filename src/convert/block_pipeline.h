// Blocks of a data file converted on several threads and handed back in file
// order. The calling thread is one of the threads: it converts blocks itself
// while it waits for the oldest one, so with one thread there are no workers.
#pragma once

#include <functional>

#include "convert/block_conversion.h"
#include "convert/block_reader.h"
#include "convert/time_zone.h"

// Called on the calling thread with each converted block, in file order;
// returns false to stop the run.
using BlockSink = std::function<bool(BlockResult& result)>;

// Reads `reader` block by block to the end of its text, converts the blocks
// with `settings` on `threads` threads (each with its own copy of `zone`) and
// hands each result to `on_block`. A thread that cannot be started leaves the
// work to those that were, down to the calling thread alone, with the same
// results. Once `on_block` returns false no more
// blocks are read, and those already read are converted but not handed on.
// Returns when every thread has ended.
void convert_in_order(BlockReader& reader, const BlockSettings& settings, const TimeZone& zone,
                      int threads, const BlockSink& on_block);
