// Blocks of data files converted on several threads and handed back in file
// order. The calling thread is one of the threads: it converts blocks itself
// while it waits for the oldest one, so with one thread there are no workers.
// The workers and the blocks' memory last from file to file.
#pragma once

#include <functional>
#include <memory>

#include "convert/block_conversion.h"
#include "convert/block_reader.h"
#include "zone/time_zone.h"

// Called on the calling thread with each converted block, in file order;
// returns false to stop the file.
using BlockSink = std::function<bool(BlockResult& result)>;

// The threads of a run and the jobs they share, for one file after the other.
class BlockPipeline {
 public:
  // Up to `threads` threads, the caller's among them. No worker starts before
  // a file has a second block.
  explicit BlockPipeline(int threads);
  // Ends the workers.
  ~BlockPipeline();
  BlockPipeline(const BlockPipeline&) = delete;
  BlockPipeline& operator=(const BlockPipeline&) = delete;

  // Reads `reader` block by block to the end of its text, converts the blocks
  // with `settings` and hands each result to `on_block`. Every thread keeps
  // its own copy of the first file's `zone`: a zone holds caches only. A
  // thread that cannot be started leaves the work to those that were, down to
  // the calling thread alone, with the same results. Once `on_block` returns
  // false no more blocks are read, and those already read are converted but
  // not handed on. Returns when no thread holds a block of the file.
  void convert_in_order(BlockReader& reader, const BlockSettings& settings, const TimeZone& zone,
                        const BlockSink& on_block);

  struct Shared;

 private:
  std::unique_ptr<Shared> shared_;
};
