#pragma once

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace quillcast {

// Splits [0, count) into one stretch per core, at least `minimumPerThread`
// long, and runs run(from, to, part) for each: the first on the calling
// thread, the others on threads of their own, all joined before it returns.
// A short run stays on the calling thread.
template<typename Run>
void forEachRange(size_t count, size_t minimumPerThread, Run run)
{
    const size_t parts =
        std::clamp<size_t>(count / std::max<size_t>(minimumPerThread, 1), 1,
                           std::max(1u, std::thread::hardware_concurrency()));
    const size_t chunk = parts == 1 ? count : (count + parts - 1) / parts;
    std::vector<std::thread> workers;
    workers.reserve(parts - 1);
    for (size_t part = 1; part < parts; ++part)
        workers.emplace_back([&run, part, chunk, count] {
            run(std::min(count, part * chunk), std::min(count, (part + 1) * chunk), part);
        });
    run(0, std::min(count, chunk), size_t(0));
    for (std::thread &worker : workers)
        worker.join();
}

} // namespace quillcast
