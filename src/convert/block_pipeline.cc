#include "convert/block_pipeline.h"

#include <sched.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

constexpr int kMostThreadsByDefault = 16;
constexpr int kMostThreads = 256;

// Takes the oldest job given and not yet taken, or null. Requires the lock.
BlockJob* take_job(BlockPipeline& p) {
  if (p.queue_head == p.queue.size()) return nullptr;
  BlockJob* job = p.queue[p.queue_head++];
  if (p.queue_head == p.queue.size()) {
    p.queue.clear();
    p.queue_head = 0;
  }
  return job;
}

// Converts a job taken from the queue, then marks it done.
void convert_taken(BlockPipeline& p, BlockJob* job, BlockWorker& worker) {
  convert_block(job->block, p.settings, worker, job->result);
  {
    std::lock_guard lock(p.mutex);
    job->done = true;
  }
  p.work_done.notify_all();
}

void work(BlockPipeline& p, BlockWorker& worker) {
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

}  // namespace

int conversion_thread_count() {
  if (const char* text = std::getenv("TAGPRESS_THREADS")) {
    char* end = nullptr;
    const long wanted = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && wanted >= 1 && wanted <= kMostThreads) {
      return static_cast<int>(wanted);
    }
  }
  cpu_set_t cpus;
  if (sched_getaffinity(0, sizeof cpus, &cpus) != 0) return 1;
  return std::clamp(CPU_COUNT(&cpus), 1, kMostThreadsByDefault);
}

void pipeline_start(BlockPipeline& p, const BlockSettings& settings, const BlockReader& reader,
                    const TimeZone& zone, int threads) {
  p.settings = settings;
  // Two blocks more than threads: one being read, one being joined.
  const size_t jobs = threads > 1 ? static_cast<size_t>(threads) + 2 : 1;
  for (size_t i = 0; i < jobs; ++i) {
    auto job = std::make_unique<BlockJob>();
    block_init(job->block, reader);
    block_result_init(job->result, reader, settings.record_length);
    p.ring.push_back(std::move(job));
  }
  p.queue.reserve(jobs);
  p.caller_worker = BlockWorker{zone, {}};
  // The calling thread converts too, whenever it would otherwise wait.
  for (int i = 1; i < threads; ++i) {
    p.threads.emplace_back([&p, zone] {
      BlockWorker worker{zone, {}};
      work(p, worker);
    });
  }
}

BlockJob* pipeline_free_job(BlockPipeline& p) {
  if (p.in_flight == p.ring.size()) return nullptr;
  return p.ring[(p.oldest + p.in_flight) % p.ring.size()].get();
}

void pipeline_give(BlockPipeline& p, BlockJob* job) {
  ++p.in_flight;
  {
    std::lock_guard lock(p.mutex);
    job->done = false;
    p.queue.push_back(job);
  }
  p.work_waiting.notify_one();
}

BlockJob* pipeline_oldest(BlockPipeline& p) {
  BlockJob* const oldest = p.ring[p.oldest].get();
  std::unique_lock lock(p.mutex);
  while (!oldest->done) {
    if (BlockJob* job = take_job(p)) {
      lock.unlock();
      convert_taken(p, job, p.caller_worker);
      lock.lock();
    } else {
      p.work_done.wait(lock);
    }
  }
  return oldest;
}

void pipeline_release_oldest(BlockPipeline& p) {
  p.oldest = (p.oldest + 1) % p.ring.size();
  --p.in_flight;
}

void pipeline_stop(BlockPipeline& p) {
  while (p.in_flight > 0) {
    pipeline_oldest(p);
    pipeline_release_oldest(p);
  }
  {
    std::lock_guard lock(p.mutex);
    p.closing = true;
  }
  p.work_waiting.notify_all();
  for (std::thread& thread : p.threads) thread.join();
  p.threads.clear();
}
