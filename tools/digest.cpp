// Splits the files to digest among threads.
#include "digest.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>

namespace mird_tool {

namespace {

// Files each thread digests between two progress updates: enough to keep
// its lanes full most of the time.
constexpr size_t kFilesPerUpdate = 512;

// Digests paths[first], paths[first + step], ... below `end` into `digests`.
void DigestEvery(const std::vector<std::string>& paths, size_t first, size_t end, size_t step,
                 uint64_t skip_size, std::vector<QZCheckFileDigest>* digests) {
  std::vector<std::string> share;
  for (size_t i = first; i < end; i += step) share.push_back(paths[i]);
  std::vector<QZCheckFileDigest> done = QZCheckDigestFiles(share, skip_size);
  for (size_t i = first, k = 0; i < end; i += step, ++k) (*digests)[i] = std::move(done[k]);
}

}  // namespace

std::vector<QZCheckFileDigest> DigestFiles(const std::vector<std::string>& paths,
                                           uint64_t skip_size, int jobs, Progress* progress) {
  std::vector<QZCheckFileDigest> digests(paths.size());
  const size_t threads = jobs > 0 ? static_cast<size_t>(jobs)
                                  : std::max<size_t>(1, std::thread::hardware_concurrency());
  for (size_t begin = 0; begin < paths.size();) {
    const size_t end = std::min(paths.size(), begin + kFilesPerUpdate * threads);
    // Thread t takes every threads-th file from begin + t, so that large and
    // small files spread evenly.
    std::vector<std::exception_ptr> failures(threads);
    const auto run = [&](size_t t) {
      try {
        DigestEvery(paths, begin + t, end, threads, skip_size, &digests);
      } catch (...) {
        failures[t] = std::current_exception();
      }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(threads);
    for (size_t t = 1; t < threads && begin + t < end; ++t) {
      try {
        helpers.emplace_back(run, t);
      } catch (const std::system_error&) {
        run(t);  // no thread to be had: this one does that share too
      }
    }
    run(0);
    for (std::thread& helper : helpers) helper.join();
    for (const std::exception_ptr& failure : failures) {
      if (failure) std::rethrow_exception(failure);
    }
    uint64_t bytes = 0;
    for (size_t i = begin; i < end; ++i) bytes += digests[i].hex.empty() ? 0 : digests[i].size;
    progress->Add(static_cast<int64_t>(end - begin), bytes);
    begin = end;
  }
  return digests;
}

}  // namespace mird_tool
