// Blocks of a data file converted on worker threads and handed back in the
// order they were given. The calling thread is one of the threads: it
// converts blocks itself while it waits for the oldest one, so with one thread
// there are no workers at all.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "convert/block_conversion.h"
#include "convert/block_reader.h"

// How many threads convert a data file: TAGPRESS_THREADS when it holds a
// number from 1 to 256, else the CPUs this process may run on, at most 16.
int conversion_thread_count();

struct BlockJob {
  Block block;
  BlockResult result;
  bool done = false;
};

struct BlockPipeline {
  BlockSettings settings;
  std::vector<std::unique_ptr<BlockJob>> ring;  // jobs in the order given, oldest at `oldest`
  size_t oldest = 0;
  size_t in_flight = 0;
  BlockWorker caller_worker;  // the calling thread's
  std::vector<std::thread> threads;
  std::mutex mutex;
  std::condition_variable work_waiting;
  std::condition_variable work_done;
  std::vector<BlockJob*> queue;  // given, not yet taken by a worker (oldest first)
  size_t queue_head = 0;
  bool closing = false;
};

// Starts `threads` - 1 threads that convert with `settings` and their own
// copy of `zone`, as the calling thread does. Blocks are read by `reader`.
void pipeline_start(BlockPipeline& pipeline, const BlockSettings& settings,
                    const BlockReader& reader, const TimeZone& zone, int threads);

// A job whose block may be filled and given, or null while all are in flight.
BlockJob* pipeline_free_job(BlockPipeline& pipeline);

// Gives the filled job (from pipeline_free_job) to be converted.
void pipeline_give(BlockPipeline& pipeline, BlockJob* job);

// Returns the oldest job given once it is converted, converting jobs not yet
// taken meanwhile; it stays in flight until pipeline_release_oldest.
// Requires a job in flight.
BlockJob* pipeline_oldest(BlockPipeline& pipeline);

// Frees the oldest job for a new block.
void pipeline_release_oldest(BlockPipeline& pipeline);

// Waits for every job in flight, then ends the threads.
void pipeline_stop(BlockPipeline& pipeline);
