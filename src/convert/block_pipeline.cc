#include "convert/block_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace {

struct BlockJob {
  Block block;
  BlockResult result;
  bool done = false;  // converted; guarded by the pipeline's mutex
};

}  // namespace

// The jobs of a run. The calling thread alone gives jobs and takes them
// back: `ring`, `oldest`, `in_flight`, `caller` and `workers` are its own.
// The workers share `queue`, `settings` and each job's `done` with it, under
// `mutex`.
struct BlockPipeline::Shared {
  size_t most_jobs = 1;
  int threads = 1;
  const BlockSettings* settings = nullptr;
  std::vector<std::unique_ptr<BlockJob>> ring;  // jobs in the order given, oldest at `oldest`
  size_t oldest = 0;
  size_t in_flight = 0;  // given and not yet taken back, from `oldest` on
  std::optional<BlockWorker> caller;
  std::vector<std::thread> workers;
  bool workers_started = false;
  std::mutex mutex;
  std::condition_variable work_waiting;
  std::condition_variable work_done;
  std::vector<BlockJob*> queue;  // given, not yet taken by a thread (oldest first)
  size_t queue_head = 0;
  bool closing = false;
};

namespace {

using Pipeline = BlockPipeline::Shared;

// Takes the oldest job given and not yet taken, or null. Requires the lock.
BlockJob* take_job(Pipeline& p) {
  if (p.queue_head == p.queue.size()) return nullptr;
  BlockJob* job = p.queue[p.queue_head++];
  if (p.queue_head == p.queue.size()) {
    p.queue.clear();
    p.queue_head = 0;
  }
  return job;
}

// Converts a job taken from the queue, then marks it done.
void convert_taken(Pipeline& p, BlockJob* job, BlockWorker& worker) {
  convert_block(job->block, *p.settings, worker, job->result);
  {
    std::lock_guard lock(p.mutex);
    job->done = true;
  }
  p.work_done.notify_all();
}

void work(Pipeline& p, BlockWorker& worker) {
  for (;;) {
    BlockJob* job;
    {
      std::unique_lock lock(p.mutex);
      p.work_waiting.wait(lock, [&] { return p.closing || p.queue_head < p.queue.size(); });
      job = take_job(p);
      if (job == nullptr) return;
    }
    convert_taken(p, job, worker);
  }
}

void start_workers(Pipeline& p, const TimeZone& zone, const StampCache& stamp_cache) {
  p.workers_started = true;
  for (int i = 1; i < p.threads; ++i) {
    try {
      p.workers.emplace_back([&p, zone, stamp_cache] {
        BlockWorker worker{zone, {}, stamp_cache, {}};
        work(p, worker);
      });
    } catch (const std::system_error&) {
      break;  // no more threads to be had (a process limit): the ones started do the work
    }
  }
}

// A job whose block may be filled and given, or null while all are in flight.
// The ring grows while the first blocks of a file are read (none taken back
// yet), up to two jobs more than threads: one being read, one being joined.
BlockJob* free_job(Pipeline& p, const BlockReader& reader) {
  if (p.in_flight == p.ring.size()) {
    if (p.ring.size() == p.most_jobs || p.oldest != 0) return nullptr;
    p.ring.push_back(std::make_unique<BlockJob>());
  }
  BlockJob* const job = p.ring[(p.oldest + p.in_flight) % p.ring.size()].get();
  block_init(job->block, reader);
  block_result_init(job->result, reader, p.settings->record_length);
  return job;
}

void give(Pipeline& p, BlockJob* job) {
  ++p.in_flight;
  {
    std::lock_guard lock(p.mutex);
    job->done = false;
    p.queue.push_back(job);
  }
  p.work_waiting.notify_one();
}

// Takes back the oldest job given once it is converted, converting jobs not
// yet taken meanwhile. Requires a job in flight; the job may be given again
// after the next call of free_job.
BlockJob* take_back_oldest(Pipeline& p) {
  BlockJob* const oldest = p.ring[p.oldest].get();
  {
    std::unique_lock lock(p.mutex);
    while (!oldest->done) {
      if (BlockJob* job = take_job(p)) {
        lock.unlock();
        convert_taken(p, job, *p.caller);
        lock.lock();
      } else {
        p.work_done.wait(lock);
      }
    }
  }
  p.oldest = (p.oldest + 1) % p.ring.size();
  --p.in_flight;
  return oldest;
}

}  // namespace

BlockPipeline::BlockPipeline(int threads) : shared_(std::make_unique_for_overwrite<Shared>()) {
  shared_->threads = std::max(threads, 1);
  shared_->most_jobs = shared_->threads > 1 ? static_cast<size_t>(shared_->threads) + 2 : 1;
  shared_->queue.reserve(shared_->most_jobs);
}

BlockPipeline::~BlockPipeline() {
  Pipeline& p = *shared_;
  {
    std::lock_guard lock(p.mutex);
    p.closing = true;
  }
  p.work_waiting.notify_all();
  for (std::thread& worker : p.workers) worker.join();
}

void BlockPipeline::convert_in_order(BlockReader& reader, const BlockSettings& settings,
                                     const TimeZone& zone, const BlockSink& on_block) {
  Pipeline& p = *shared_;
  {
    std::lock_guard lock(p.mutex);
    p.settings = &settings;
  }
  // Options are fixed for a run: each worker's cache reads every line of every file the same way.
  const StampCache stamp_cache = empty_stamp_cache(settings.options->month_first);
  if (!p.caller) p.caller.emplace(BlockWorker{zone, {}, stamp_cache, {}});
  p.oldest = 0;  // nothing in flight between files
  bool stopping = false;
  bool read_all = false;
  for (;;) {
    BlockJob* job;
    while (!read_all && !stopping && (job = free_job(p, reader)) != nullptr) {
      if (!next_block(reader, job->block)) {
        read_all = true;
        break;
      }
      give(p, job);
      if (p.in_flight == 2 && !p.workers_started) start_workers(p, zone, stamp_cache);
    }
    if (p.in_flight == 0) break;
    BlockJob* const oldest = take_back_oldest(p);
    if (!stopping && !on_block(oldest->result)) stopping = true;
  }
}
